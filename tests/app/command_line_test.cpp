#include <gtest/gtest.h>

#include "app/CommandLine.h"

using namespace quindra;

namespace {

using Action = CommandLine::Action;

struct Case {
    QStringList arguments;
    Action action;
    QString problem;
};

TEST(CommandLine, AsksForWhatTheOperatorTypedAndRefusesWhatItDoesNotKnow) {
    const QString unknown = QStringLiteral("espera: opção desconhecida: %1 (veja espera --help)");
    const Case cases[] = {
        {{}, Action::Run, {}},
        {{QStringLiteral("--help")}, Action::Help, {}},
        {{QStringLiteral("-h")}, Action::Help, {}},
        {{QStringLiteral("--version")}, Action::Version, {}},
        {{QStringLiteral("-V")}, Action::Version, {}},
        {{QStringLiteral("--version"), QStringLiteral("--help")}, Action::Help, {}},
        // A session manager restoring the program, or Qt's own options.
        {{QStringLiteral("-session"), QStringLiteral("1234abcd")}, Action::Run, {}},
        {{QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("-reverse")},
         Action::Run,
         {}},
        {{QStringLiteral("-style=fusion")}, Action::Run, {}},
        {{QStringLiteral("--help-all")}, Action::Refuse, unknown.arg(QStringLiteral("--help-all"))},
        {{QStringLiteral("--verbose"), QStringLiteral("--help")},
         Action::Refuse,
         unknown.arg(QStringLiteral("--verbose"))},
        {{QStringLiteral("-x")}, Action::Refuse, unknown.arg(QStringLiteral("-x"))},
        {{QStringLiteral("musica.wav")},
         Action::Refuse,
         QStringLiteral("espera: argumento inesperado: musica.wav (veja espera --help)")},
        {{QStringLiteral("-session")},
         Action::Refuse,
         QStringLiteral("espera: a opção -session precisa de um valor (veja espera --help)")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const CommandLine line = CommandLine::parse(c.arguments);
        EXPECT_EQ(line.action, c.action);
        EXPECT_EQ(line.problem, c.problem);
    }
}

TEST(CommandLine, TheUsageNamesEveryOptionInPortuguese) {
    const QString usage = CommandLine::usage();
    EXPECT_TRUE(usage.startsWith(QStringLiteral("Uso: espera [OPÇÃO]\n")));
    for (const char* option : {"-h, --help", "-V, --version", "man espera"})
        EXPECT_TRUE(usage.contains(QLatin1String(option))) << option;
}

}  // namespace
