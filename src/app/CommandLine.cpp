#include "app/CommandLine.h"

#include <array>
#include <string_view>

namespace quindra {

namespace {

// Qt's application options, as QGuiApplication and QApplication take them.
constexpr std::array<std::u16string_view, 13> kQtOptionsWithValue = {
    u"-platform",    u"-platformpluginpath", u"-platformtheme", u"-plugin",  u"-qwindowgeometry",
    u"-qwindowicon", u"-qwindowtitle",       u"-session",       u"-display", u"-geometry",
    u"-style",       u"-stylesheet",         u"-qmljsdebugger"};
constexpr std::array<std::u16string_view, 5> kQtFlags = {u"-reverse", u"-widgetcount", u"-nograb",
                                                         u"-dograb", u"-sync"};

template <std::size_t N>
bool listed(const std::array<std::u16string_view, N>& table, QStringView option) {
    for (std::u16string_view name : table) {
        if (QStringView(name) == option)
            return true;
    }
    return false;
}

// "-style=fusion" and "--style fusion" are Qt's too.
QStringView qtOptionName(const QString& argument) {
    QStringView name(argument);
    if (name.startsWith(u"--"))
        name = name.mid(1);
    const auto equals = name.indexOf(u'=');
    return equals < 0 ? name : name.left(equals);
}

}  // namespace

CommandLine CommandLine::parse(const QStringList& arguments) {
    CommandLine line;
    const auto refuse = [](QString problem) {
        return CommandLine{Action::Refuse, std::move(problem)};
    };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == u"-h" || a == u"--help") {
            line.action = Action::Help;
            continue;
        }
        if (a == u"-V" || a == u"--version") {
            if (line.action != Action::Help)
                line.action = Action::Version;
            continue;
        }
        const QStringView name = qtOptionName(a);
        if (a.startsWith(u'-') && listed(kQtOptionsWithValue, name)) {
            if (name.size() == qsizetype(a.size()) - (a.startsWith(u"--") ? 1 : 0) &&
                !a.contains(u'=')) {
                if (i + 1 >= arguments.size())
                    return refuse(QStringLiteral("espera: a opção %1 precisa de um valor (veja "
                                                 "espera --help)")
                                      .arg(a));
                ++i;
            }
            continue;
        }
        if (a.startsWith(u'-') && listed(kQtFlags, name))
            continue;
        if (a.startsWith(u'-') && a.size() > 1)
            return refuse(
                QStringLiteral("espera: opção desconhecida: %1 (veja espera --help)").arg(a));
        return refuse(
            QStringLiteral("espera: argumento inesperado: %1 (veja espera --help)").arg(a));
    }
    return line;
}

QString CommandLine::usage() {
    return QStringLiteral(
        "Uso: espera [OPÇÃO]\n"
        "Toca a mensagem de espera da central telefônica, sem parar, no hardware da espera,\n"
        "e troca a mensagem quando um arquivo novo chega à pasta de reposição.\n"
        "\n"
        "  -h, --help     mostra esta ajuda e termina\n"
        "  -V, --version  mostra a versão e termina\n"
        "\n"
        "Sem opção, abre o programa; se ele já está aberto para este usuário, termina na hora.\n"
        "As opções do Qt (-platform, -style, -session…) também valem.\n"
        "O manual: man espera\n");
}

}  // namespace quindra
