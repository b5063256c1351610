#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <memory>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QSystemTrayIcon>

#include "audio/views/MonitorView.h"
#include "config/SqliteRegistry.h"
#include "config/Values.h"
#include "mail/ScriptedSmtpServer.h"
#include "support/ShellRig.h"
#include "window/AudioFileDialog.h"
#include "window/LevelBar.h"
#include "window/MainWindow.h"
#include "window/PortValidator.h"
#include "window/QtTranslations.h"
#include "window/QtTrayIcon.h"
#include "window/StatusLogView.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

class MainWindowTest : public ::testing::Test, protected ShellRig {
protected:
    void SetUp() override { ASSERT_TRUE(tmp.isValid()); }

    // As the program builds it: the window, the shell on it, then the
    // start-up.
    MainWindow& open(bool withTray = false) {
        form = std::make_unique<MainWindow>(withTray);
        shell = std::make_unique<Shell>(ports(), *form);
        form->connectTo(*shell, shell->settings(), shell->errors());
        shell->start();
        return *form;
    }
    void TearDown() override {
        if (form)
            form->disconnectFrom();
        shell.reset();
    }

    template <typename W>
    W* child(const char* name) {
        auto* w = form->findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    QString stored(const QString& name) {
        auto v = registry->value(Root::LocalMachine, kConfigKey, name);
        if (!v)
            return QStringLiteral("<missing>");
        return v->kind == RegValue::Kind::Integer ? QString::number(v->number) : v->text;
    }

    std::unique_ptr<MainWindow> form;
    std::unique_ptr<Shell> shell;
};

// Without a display the program does its whole job with nothing drawn: asked
// to show (the start mode, the hot-key), the window stays hidden, the
// monitoring views are never fed, and the hold hardware's arrival pops no
// notice, while every line still reaches the log. On a screen the same
// window shows and its views listen.
TEST_F(MainWindowTest, WithoutADisplayNothingIsDrawnAndNoViewIsFed) {
    const auto alertShown = [] {
        const QWidgetList windows = QApplication::topLevelWidgets();
        return std::any_of(windows.begin(), windows.end(), [](QWidget* w) {
            return w->isVisible() && w->windowTitle() == QStringLiteral("Aviso");
        });
    };
    for (const auto output : {MainWindow::Output::NoDisplay, MainWindow::Output::Screen}) {
        const bool onScreen = output == MainWindow::Output::Screen;
        SCOPED_TRACE(onScreen ? "on a screen" : "without a display");
        form = std::make_unique<MainWindow>(false, output);
        shell = std::make_unique<Shell>(ports(), *form);
        form->connectTo(*shell, shell->settings(), shell->errors());
        shell->start();
        echoed.clear();

        form->show();
        form->reveal();
        EXPECT_EQ(form->isVisible(), onScreen);
        form->setViewsSource(&monitor);
        EXPECT_EQ(monitor.listeners.size(), onScreen ? 3u : 0u);
        devices.usb(UsbChange::Arrival, kHoldHardwareUsbId);
        EXPECT_EQ(alertShown(), onScreen);
        EXPECT_EQ(form->alert().text(),
                  QStringLiteral("Canal 1 localizado e conectado com sucesso."));
        EXPECT_TRUE(echoed.join('\n').contains(QStringLiteral("O Hardware foi conectado.")));

        form->setViewsSource(nullptr);
        form->disconnectFrom();
        shell.reset();
        form.reset();
    }
}

TEST_F(MainWindowTest, WindowCarriesEveryCaptionOfBothPages) {
    MainWindow& f = open();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Quindra - VIZUDU"));
    EXPECT_EQ(f.minimumSize(), QSize(776, 604));
    EXPECT_EQ(f.maximumSize(), QSize(776, 604));
    ASSERT_EQ(f.pages()->count(), 2);
    EXPECT_EQ(f.pages()->tabText(0), QStringLiteral("Principal"));
    EXPECT_EQ(f.pages()->tabText(1), QStringLiteral("Configurações"));
    EXPECT_EQ(f.pages()->currentIndex(), 0);
    EXPECT_EQ(child<StatusLogView>("statusLog")->size(), QSize(749, 123));
    EXPECT_EQ(child<QWidget>("powerButton")->toolTip(), QStringLiteral("Desliga o Sistema"));
    EXPECT_EQ(child<QWidget>("documentationButton")->toolTip(),
              QStringLiteral("Documentação On-line"));

    QStringList shown;
    for (auto* g : f.findChildren<QGroupBox*>())
        shown << g->title();
    for (auto* l : f.findChildren<QLabel*>())
        shown << l->text();
    for (auto* c : f.findChildren<QCheckBox*>())
        shown << c->text();
    for (auto* b : f.findChildren<QPushButton*>())
        shown << b->text();
    for (const char* caption : {"Informações dos arquivos de áudio",
                                "Arquivo Atual:",
                                "Entrada:",
                                "Arquivo Anterior:",
                                "Saída:",
                                "Monitorando Hardware",
                                "Dados da Empresa",
                                "Linha 1",
                                "Linha 2",
                                "Linha 3",
                                "Diretório do arquivo de Áudio",
                                "Selecione o Diretório",
                                "Opções de Inicialização",
                                "Inicializa com o Windows",
                                "Inicializa Minimizado",
                                "Inicializa Oculto",
                                "Retorno modo Oculto",
                                "Teclas de Atalho",
                                "Configurações de E-mail",
                                "Enviar para:",
                                "Usuário SMTP",
                                "Senha SMTP",
                                "Servidor SMTP",
                                "Porta",
                                "Autenticação Segura",
                                "Teste",
                                "Opções de E-mail",
                                "Habilitar envio de Email's",
                                "Mensagem de hardware desconectado",
                                "Mensagem de troca de gravação"})
        EXPECT_TRUE(shown.contains(QString::fromUtf8(caption))) << caption;

    EXPECT_EQ(child<QLineEdit>("dropFolder")->toolTip(),
              QStringLiteral("Clique no botão para selecionar um arquivo de áudio\n"
                             "Os arquivos de áudio devem ter a seguinte configuração\n"
                             "44100hz 16bit Mono\n"
                             "Podendo ser utilizados nos formatos Wav e Mp3"));
    EXPECT_TRUE(child<QLineEdit>("dropFolder")->isReadOnly());
    EXPECT_EQ(child<QLineEdit>("smtpPassword")->echoMode(), QLineEdit::Password);
}

TEST_F(MainWindowTest, TypedLettersChangeCaseAndTheStoredTextAroundThemStaysAsItWas) {
    ASSERT_TRUE(registry->createKey(Root::LocalMachine, kConfigKey));
    for (const auto& [name, text] :
         {std::pair{"Contato", "Contato: Maria"}, std::pair{"SendTo", "Avisos@Vizudu.example"}})
        ASSERT_TRUE(registry->setValue(Root::LocalMachine, kConfigKey, QString::fromLatin1(name),
                                       RegValue::String(QString::fromLatin1(text))));
    open();
    auto* contato = child<QLineEdit>("contact");
    EXPECT_EQ(contato->text(), QStringLiteral("Contato: Maria"));
    QTest::keyClicks(contato, QStringLiteral(" e jo"));
    QKeyEvent atilde(QEvent::KeyPress, Qt::Key_Atilde, Qt::NoModifier, QStringLiteral("ã"));
    QCoreApplication::sendEvent(contato, &atilde);
    QTest::keyClicks(contato, QStringLiteral("o"));
    EXPECT_EQ(contato->text(), QStringLiteral("Contato: Maria E JOÃO"));
    EXPECT_EQ(stored(QStringLiteral("Contato")), QStringLiteral("Contato: Maria E JOÃO"));
    EXPECT_EQ(child<QLabel>("companyLine2")->text(), QStringLiteral("Contato: Maria E JOÃO"));

    auto* empresa = child<QLineEdit>("company");
    QTest::keyClicks(empresa, QStringLiteral("vizudu ltda"));
    EXPECT_EQ(stored(QStringLiteral("Empresa")), QStringLiteral("VIZUDU LTDA"));

    auto* sendTo = child<QLineEdit>("recipient");
    QTest::keyClicks(sendTo, QStringLiteral(".BR"));
    EXPECT_EQ(stored(QStringLiteral("SendTo")), QStringLiteral("Avisos@Vizudu.example.br"));
    // A letter composed from a dead key is typed too.
    QInputMethodEvent composed;
    composed.setCommitString(QStringLiteral("Á"));
    QCoreApplication::sendEvent(sendTo, &composed);
    EXPECT_EQ(sendTo->text(), QStringLiteral("Avisos@Vizudu.example.brá"));
    EXPECT_TRUE(boxes.errors.isEmpty()) << boxes.errors.join('\n').toStdString();
}

TEST_F(MainWindowTest, ARefusedEditIsReportedAndLeavesTheHeaderAsItWas) {
    open();
    recorder.refusing = true;
    QTest::keyClicks(child<QLineEdit>("company"), QStringLiteral("v"));
    EXPECT_EQ(child<QLineEdit>("company")->text(), QStringLiteral("V"));
    EXPECT_EQ(child<QLabel>("companyLine1")->text(), QString());
    EXPECT_EQ(boxes.errors, QStringList{QStringLiteral("Failed to set data for 'Empresa'")});

    // The test mail with a port that is no number goes nowhere.
    recorder.refusing = false;
    boxes.errors.clear();
    child<QLineEdit>("smtpPort")->setText(QStringLiteral("25a"));
    child<QPushButton>("testMail")->click();
    EXPECT_EQ(boxes.errors, QStringList(2, QStringLiteral("'25a' is not a valid integer value.")));
    EXPECT_TRUE(boxes.infos.isEmpty());

    // Nor does one that no port can be: it is refused, never wrapped.
    boxes.errors.clear();
    child<QLineEdit>("smtpPort")->setText(QStringLiteral("70000"));
    child<QPushButton>("testMail")->click();
    EXPECT_EQ(boxes.errors,
              QStringList(2, QStringLiteral("'70000' is not a valid integer value.")));
    EXPECT_TRUE(boxes.infos.isEmpty());
}

// "Porta" takes a TCP port only: a letter typed is not taken, and clearing
// the field to type another port stores nothing and asks nothing.
TEST_F(MainWindowTest, PortaTakesAPortOnly) {
    struct Case {
        const char* text;
        QValidator::State state;
    };
    PortValidator validator;
    for (const Case& c : {Case{"", QValidator::Intermediate}, Case{"1", QValidator::Acceptable},
                          Case{"25", QValidator::Acceptable}, Case{"587", QValidator::Acceptable},
                          Case{"65535", QValidator::Acceptable}, Case{"65536", QValidator::Invalid},
                          Case{"0", QValidator::Invalid}, Case{"025", QValidator::Invalid},
                          Case{"25a", QValidator::Invalid}, Case{"-25", QValidator::Invalid},
                          Case{" 25", QValidator::Invalid}, Case{"100000", QValidator::Invalid},
                          Case{"٢٥", QValidator::Invalid}}) {
        QString text = QString::fromUtf8(c.text);
        int pos = 0;
        EXPECT_EQ(validator.validate(text, pos), c.state) << c.text;
    }

    open();
    auto* port = child<QLineEdit>("smtpPort");
    QTest::keyClicks(port, QStringLiteral("587"));
    EXPECT_EQ(stored(QStringLiteral("PortaSMTP")), QStringLiteral("587"));
    QTest::keyClicks(port, QStringLiteral("a"));
    EXPECT_EQ(port->text(), QStringLiteral("587"));
    port->selectAll();
    QTest::keyClick(port, Qt::Key_Backspace);
    EXPECT_EQ(port->text(), QString());
    EXPECT_EQ(stored(QStringLiteral("PortaSMTP")), QStringLiteral("587"));
    EXPECT_EQ(shell->mail().smtp().port, 587);
    EXPECT_TRUE(boxes.errors.isEmpty()) << boxes.errors.join('\n').toStdString();
}

// "Teste" against a server that never answers: the window goes on handling
// its events (a timer of its own keeps firing), the button says a test is
// running and takes no second click, and one box gives the time-out reason.
TEST_F(MainWindowTest, TheTestRunsWhileTheWindowGoesOn) {
    ScriptedSmtpServer server(std::vector<ScriptedSmtpServer::Replies>{{{"greeting", "silent"}}});
    open();
    shell->office().client().readTimeout = std::chrono::seconds(1);
    child<QLineEdit>("recipient")->setText(QStringLiteral("op@empresa.com.br"));
    child<QLineEdit>("smtpServer")->setText(QStringLiteral("127.0.0.1"));
    child<QLineEdit>("smtpPort")->setText(QString::number(server.port()));
    auto* test = child<QPushButton>("testMail");
    const QString caption = test->text();

    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(50);
    test->click();
    EXPECT_FALSE(test->isEnabled());
    EXPECT_EQ(test->text(), QStringLiteral("Testando…"));
    test->click();
    QTest::mouseClick(test, Qt::LeftButton);
    for (int i = 0; i < 1000 && boxes.infos.isEmpty(); ++i) {
        QTest::qWait(10);
        loop.processPendingMessages();
    }
    EXPECT_GT(ticks, 20);  // two attempts of a second each
    EXPECT_EQ(boxes.infos,
              QStringList{QStringLiteral("Ocorreu um erro verifique suas configurações.\n"
                                         "Motivo: o servidor não respondeu em 1 s.")});
    EXPECT_EQ(server.connections(), 2);
    EXPECT_TRUE(test->isEnabled());
    EXPECT_EQ(test->text(), caption);
}

TEST_F(MainWindowTest, FilledAtStartTheHotKeyFieldShowsTheCombinationWithoutWritingIt) {
    ASSERT_TRUE(registry->createKey(Root::LocalMachine, kConfigKey));
    ASSERT_TRUE(registry->setValue(Root::LocalMachine, kConfigKey, QStringLiteral("Hotkey"),
                                   RegValue::Integer(kShiftKey | kCtrlKey | 'Q')));
    open();
    EXPECT_EQ(child<QLineEdit>("hotKey")->text(), QStringLiteral("Shift+Ctrl+Q"));
    EXPECT_EQ(hotKeys.grabbed, kShiftKey | kCtrlKey | 'Q');
    EXPECT_FALSE(recorder.written.contains(QStringLiteral("HotKey"), Qt::CaseInsensitive));
}

TEST_F(MainWindowTest, HotKeyEntrySubstitutesAltAndStoresTheCombination) {
    open();
    auto* entry = child<QLineEdit>("hotKey");
    EXPECT_EQ(entry->text(), QStringLiteral("Alt+A"));

    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        int stored;
        const char* text;
    };
    for (const Case& c : {Case{Qt::Key_Q, Qt::NoModifier, 0x8000 | 'Q', "Alt+Q"},
                          Case{Qt::Key_Q, Qt::ShiftModifier, 0x8000 | 'Q', "Alt+Q"},
                          Case{Qt::Key_Q, Qt::ControlModifier, 0x4000 | 'Q', "Ctrl+Q"},
                          Case{Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier, 0x6000 | 0x74,
                               "Shift+Ctrl+F5"}}) {
        QTest::keyClick(entry, c.key, c.mods);
        EXPECT_EQ(stored(QStringLiteral("HotKey")), QString::number(c.stored)) << c.text;
        EXPECT_EQ(entry->text(), QString::fromLatin1(c.text));
        EXPECT_EQ(shell->globalHotKey().key(), c.stored);
    }
    // The registered combination changes only at the next start.
    EXPECT_EQ(hotKeys.grabbed, kDefaultHotKey);
}

TEST_F(MainWindowTest, ClickingABoxWritesItAndSetsItsFlag) {
    open();
    auto* box = child<QCheckBox>("mailEnabled");
    box->click();
    EXPECT_EQ(stored(QStringLiteral("SendMail")), QStringLiteral("-1"));
    EXPECT_TRUE(shell->mail().flags().enabled);
    box->click();
    EXPECT_EQ(stored(QStringLiteral("SendMail")), QStringLiteral("0"));
    EXPECT_FALSE(shell->mail().flags().enabled);
}

TEST_F(MainWindowTest, ClickingTheFilePanelShowsThePlayerOnTheThreeViews) {
    open();
    shell->channel().openOnHoldHardware();  // no hardware listed: nothing linked
    QTest::mouseClick(child<QWidget>("filePanel"), Qt::LeftButton);
    for (const char* name : {"spectrum", "waveform", "level"})
        EXPECT_EQ(child<MonitorView>(name)->source(), &player) << name;
}

TEST_F(MainWindowTest, StatusPanelIsFilledAndItsBarsReadAsProgressBarsWithTheirFigures) {
    sysInfo.identity = {QStringLiteral("Debian GNU/Linux"), QStringLiteral("12"),
                        QStringLiteral("6.1.0-18-amd64")};
    sysInfo.disks[paths.defaultDropFolder] = {.available = std::int64_t{75} << 30,
                                              .total = std::int64_t{320} << 30};
    sysInfo.memoryStatus = MemoryStatus{.physicalTotal = 4 << 20,
                                        .physicalFree = 1604321,
                                        .virtualTotal = 3 << 20,
                                        .virtualFree = 2 << 20,
                                        .pagingTotal = 6 << 20,
                                        .pagingFree = 5 << 20};
    open();
    EXPECT_EQ(child<QLabel>("osName")->text(), QStringLiteral("Debian GNU/Linux"));
    EXPECT_EQ(child<QLabel>("osBuild")->text(), QStringLiteral("6.1.0-18-amd64"));
    // Until the first refresh: the design-time captions, bars at half.
    EXPECT_EQ(child<QLabel>("disk")->text(), QStringLiteral("memLabel3"));
    EXPECT_EQ(child<LevelBar>("diskBar")->percent(), 50);
    idle.fire();
    EXPECT_EQ(child<QLabel>("disk")->text(), QStringLiteral("75/320 GB"));
    EXPECT_EQ(child<QLabel>("physicalMemory")->text(), QStringLiteral("1,53/ 4,00 GB"));

    auto* bar = child<LevelBar>("physicalMemoryBar");
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(bar);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::ProgressBar);
    EXPECT_EQ(a->text(QAccessible::Name), QStringLiteral("Memória Física Livre"));
    EXPECT_EQ(a->text(QAccessible::Value), QStringLiteral("38%"));
    ASSERT_NE(a->valueInterface(), nullptr);
    EXPECT_EQ(a->valueInterface()->currentValue().toDouble(), 1604321.0);
    EXPECT_EQ(a->valueInterface()->maximumValue().toDouble(), 4.0 * (1 << 20));
    QAccessibleInterface* cpu = QAccessible::queryAccessibleInterface(child<LevelBar>("cpuUsage"));
    EXPECT_EQ(cpu->text(QAccessible::Name), QStringLiteral("CPU"));
    EXPECT_EQ(cpu->text(QAccessible::Value), QStringLiteral("0%"));
    for (const char* button : {"powerButton", "documentationButton"}) {
        QWidget* w = child<QWidget>(button);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name), w->toolTip());
    }
}

// The line's state at a glance: the band on the main page, read by a screen
// reader as it changes, the tray icon's look and tooltip, the window's icon.
TEST_F(MainWindowTest, TheBandTheTrayAndTheTitleIconFollowTheLine) {
    lister.inputs = {QStringLiteral("Microfone (Q-ZORBE)")};
    open(/*withTray=*/true);
    auto* band = child<QLabel>("lineBand");
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(band);
    ASSERT_NE(a, nullptr);
    auto* icon = form->trayIcon()->findChild<QSystemTrayIcon*>();
    ASSERT_NE(icon, nullptr);
    const auto read = [&] { return a->text(QAccessible::Name); };

    // A first start without a message, once the channel is open.
    loop.advance(6000);
    EXPECT_EQ(band->text(), QStringLiteral("Fora do ar · sem mensagem na pasta"));
    EXPECT_EQ(read(), band->text());
    EXPECT_EQ(icon->toolTip(), band->text());
    const qint64 offAirIcon = form->windowIcon().cacheKey();
    const qint64 offAirTray = icon->icon().cacheKey();

    const LineState onAir{.onAir = true,
                          .reason = OffAirReason::None,
                          .file = QStringLiteral("/opt/quindra/Audio/promo.wav"),
                          .durationMs = 83000,
                          .hardwarePresent = true};
    form->showLine(onAir);
    EXPECT_EQ(read(), QStringLiteral("No ar · promo.wav · 1:23"));
    EXPECT_EQ(a->text(QAccessible::Description), QStringLiteral("No ar · promo.wav · 1:23"));
    EXPECT_EQ(icon->toolTip(), QStringLiteral("No ar · promo.wav · 1:23"));
    EXPECT_NE(form->windowIcon().cacheKey(), offAirIcon);
    EXPECT_NE(icon->icon().cacheKey(), offAirTray);
    const QColor onAirColour = band->grab().toImage().pixelColor(3, band->height() / 2);

    LineState unplugged = onAir;
    unplugged.onAir = false;
    unplugged.reason = OffAirReason::HardwareAbsent;
    unplugged.hardwarePresent = false;
    form->showLine(unplugged);
    EXPECT_EQ(read(), QStringLiteral("Fora do ar · hardware desconectado"));
    EXPECT_EQ(icon->toolTip(),
              QStringLiteral("Fora do ar · hardware desconectado\nMensagem: promo.wav"));
    EXPECT_EQ(form->windowIcon().cacheKey(), offAirIcon);
    // The animation goes on in the off-air look.
    form->trayIcon()->setFrame(1);
    const qint64 offAirFrame1 = icon->icon().cacheKey();
    form->showLine(onAir);
    form->trayIcon()->setFrame(1);
    EXPECT_NE(icon->icon().cacheKey(), offAirFrame1);
    form->showLine(unplugged);
    const QColor offAirColour = band->grab().toImage().pixelColor(3, band->height() / 2);
    EXPECT_GT(onAirColour.green(), onAirColour.red());
    EXPECT_GT(offAirColour.red(), offAirColour.green());
}

TEST_F(MainWindowTest, FileDialogShowsTheFiltersAsWrittenAndQtsOwnWordsInPortuguese) {
    ASSERT_TRUE(InstallQtTranslations(QLocale(QStringLiteral("pt_BR"))));
    const auto dialog = MakeAudioFileDialog(nullptr, tmp.path());
    auto* filters = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(filters, nullptr);
    QStringList shown;
    for (int i = 0; i < filters->count(); ++i)
        shown << filters->itemText(i);
    EXPECT_EQ(shown, (QStringList{QStringLiteral("Arquivos de Audio(*.wav;*.mp3)"),
                                  QStringLiteral("Todos Arquivos")}));
    EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(tmp.path()).canonicalPath());
    auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Cancelar"));
}

// An empty folder, the usual first set-up, has no file to open: the dialog
// takes the folder it shows.
TEST_F(MainWindowTest, FileDialogTakesTheFolderItShowsEvenAnEmptyOne) {
    QDir(tmp.path()).mkdir(QStringLiteral("vazia"));
    const QString empty = tmp.path() + QStringLiteral("/vazia");
    const auto dialog = MakeAudioFileDialog(nullptr, empty);
    auto* useFolder = dialog->findChild<QPushButton*>(QStringLiteral("useFolderButton"));
    ASSERT_NE(useFolder, nullptr);
    EXPECT_EQ(useFolder->text(), QStringLiteral("Usar esta pasta"));
    EXPECT_TRUE(useFolder->isEnabled());
    useFolder->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(QDir(dialog->chosen()).canonicalPath(), QDir(empty).canonicalPath());
}

}  // namespace
