#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "app/Shell.h"
#include "config/RegistryKey.h"
#include "config/SqliteRegistry.h"
#include "config/Values.h"
#include "support/ShellRig.h"

using namespace quindra;
using namespace quindra::testing;

namespace {

class ShellStart : public ::testing::Test, protected ShellRig {
protected:
    void SetUp() override { ASSERT_TRUE(tmp.isValid()); }

    Shell& start() {
        shell = std::make_unique<Shell>(ports(), window);
        window.shell = shell.get();
        shell->start();
        return *shell;
    }

    void preset(const QString& name, const RegValue& v) {
        ASSERT_TRUE(registry->createKey(Root::LocalMachine, kConfigKey));
        ASSERT_TRUE(registry->setValue(Root::LocalMachine, kConfigKey, name, v));
    }
    void preset(const QString& name, const QString& text) { preset(name, RegValue::String(text)); }

    std::optional<RegValue> stored(const QString& name, Root root = Root::LocalMachine,
                                   const QString& key = kConfigKey) {
        return registry->value(root, key, name);
    }
    QString storedText(const QString& name) {
        auto v = stored(name);
        return v ? v->text : QStringLiteral("<missing>");
    }

    FakeWindow window;
    std::unique_ptr<Shell> shell;
};

TEST_F(ShellStart, FirstStartOnAFreshMachineShowsNoErrorAndStoresTheDefaultDropFolder) {
    Shell& s = start();

    EXPECT_TRUE(boxes.errors.isEmpty()) << boxes.errors.join('\n').toStdString();
    EXPECT_TRUE(registry->keyExists(Root::LocalMachine, kConfigKey));
    EXPECT_EQ(s.state().settings.dropFolder, paths.defaultDropFolder);
    EXPECT_TRUE(QFileInfo(paths.defaultDropFolder).isDir());
    EXPECT_EQ(storedText(QStringLiteral("PathAudio")), paths.defaultDropFolder);
    EXPECT_EQ(window.settings.fields.value(Field::DropFolder), paths.defaultDropFolder);
    // The message folder is created empty: nothing on air.
    EXPECT_TRUE(QFileInfo(paths.messageFolder()).isDir());
    EXPECT_EQ(s.state().onAir.file, QString());
    EXPECT_EQ(window.onAirFile(), QString());

    // Initial values everywhere; only the drop folder's handler ran and wrote.
    for (const auto& v : kConfigValues) {
        if (v.written() == QStringLiteral("PathAudio"))
            continue;
        EXPECT_FALSE(stored(v.written())) << v.writtenAs;
    }
    EXPECT_EQ(s.mail().smtp().port, 25);
    EXPECT_EQ(s.state().swap.replaySuspended, false);
    EXPECT_EQ(s.state().swap.pauseActive, true);
    EXPECT_EQ(hotKeys.grabbed, kDefaultHotKey);
    EXPECT_TRUE(s.globalHotKey().enabled());
    EXPECT_TRUE(s.showOnRun());
    EXPECT_TRUE(window.trayIcon.visible);
    EXPECT_TRUE(s.modes().minimizeToTray());
    EXPECT_TRUE(s.log().clearTimer().enabled());
    EXPECT_TRUE(s.checkTimer().enabled());
    EXPECT_EQ(s.checkTimer().interval(), 30000);
    EXPECT_TRUE(autostart.requests.empty());
}

TEST_F(ShellStart, StoredValuesFillControlsLabelsFlagsAndTheMailClient) {
    QDir().mkpath(tmp.path() + QStringLiteral("/drop"));
    preset(QStringLiteral("PathAudio"), tmp.path() + QStringLiteral("/drop"));
    preset(QStringLiteral("Empresa"), QStringLiteral("Vizudu \"Telefonia\" Ltda"));
    preset(QStringLiteral("Contato"), QStringLiteral("João Ávila"));
    preset(QStringLiteral("Telefone"), QStringLiteral("(11) 5555-0100"));
    preset(QStringLiteral("ArquivoAnterior"), QStringLiteral("antigo.wav"));
    preset(QStringLiteral("DataAtual"), QStringLiteral("09/12/2026-10:00:00"));
    preset(QStringLiteral("DataAnteriorEntra"), QStringLiteral("01/12/2026-08:00:00"));
    preset(QStringLiteral("DataAnteriorSai"), QStringLiteral("09/12/2026-10:00:00"));
    // Written under one form of the name, read under another; the booleans
    // in forms that the start-up writes back as "-1".
    preset(QStringLiteral("TrocaMSg"), QStringLiteral("1"));
    preset(QStringLiteral("SendMail"), QStringLiteral("True"));
    preset(QStringLiteral("HardDesc"), QStringLiteral("1"));
    preset(QStringLiteral("AuthSeguro"), QStringLiteral("-1"));
    preset(QStringLiteral("SendTo"), QStringLiteral("operador@empresa.com.br"));
    preset(QStringLiteral("UserSMTP"), QStringLiteral("quindra"));
    preset(QStringLiteral("SenhaSMTP"), QStringLiteral("s3nh@'\""));
    preset(QStringLiteral("ServerSMTP"), QStringLiteral("smtp.empresa.com.br"));
    preset(QStringLiteral("PortaSMTP"), QStringLiteral("587"));
    preset(QStringLiteral("HotKey"), RegValue::Integer(kCtrlKey | 'Q'));
    QDir().mkpath(paths.messageFolder());
    for (const char* name : {"zeta.wav", "Bravo.mp3", "alfa.wav", ".oculto.wav"}) {
        QFile f(paths.messageFolder() + QLatin1Char('/') + QLatin1String(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    recorder.written.clear();
    Shell& s = start();

    EXPECT_TRUE(boxes.errors.isEmpty()) << boxes.errors.join('\n').toStdString();
    EXPECT_EQ(s.state().onAir.file, paths.messageFolder() + QStringLiteral("/alfa.wav"));
    EXPECT_EQ(window.onAirFile(), QStringLiteral("alfa.wav"));
    EXPECT_EQ(window.settings.fields.value(Field::Company),
              QStringLiteral("Vizudu \"Telefonia\" Ltda"));
    EXPECT_EQ(window.settings.fields.value(Field::Company),
              QStringLiteral("Vizudu \"Telefonia\" Ltda"));
    EXPECT_EQ(window.settings.fields.value(Field::Contact), QStringLiteral("João Ávila"));
    EXPECT_EQ(window.settings.fields.value(Field::Phone), QStringLiteral("(11) 5555-0100"));
    EXPECT_EQ(window.onAirShown.history.previousFile, QStringLiteral("antigo.wav"));
    EXPECT_EQ(window.onAirShown.history.since, QStringLiteral("09/12/2026-10:00:00"));
    EXPECT_EQ(window.onAirShown.history.previousSince, QStringLiteral("01/12/2026-08:00:00"));
    EXPECT_EQ(window.onAirShown.history.previousUntil, QStringLiteral("09/12/2026-10:00:00"));
    EXPECT_EQ(s.state().settings.dropFolder, tmp.path() + QStringLiteral("/drop"));
    EXPECT_TRUE(window.settings.boxes.value(Box::MailOnSwap));
    EXPECT_TRUE(s.mail().flags().onSwap);
    EXPECT_TRUE(s.mail().flags().enabled);
    EXPECT_TRUE(s.mail().flags().onHardware);
    EXPECT_TRUE(s.mail().flags().secure);
    EXPECT_FALSE(window.settings.boxes.value(Box::StartHidden));
    EXPECT_EQ(window.settings.fields.value(Field::SmtpPassword), QStringLiteral("s3nh@'\""));
    EXPECT_EQ(s.mail().smtp().host, QStringLiteral("smtp.empresa.com.br"));
    EXPECT_EQ(s.mail().smtp().port, 587);
    EXPECT_EQ(s.mail().smtp().user, QStringLiteral("quindra"));
    EXPECT_EQ(s.mail().smtp().password, QStringLiteral("s3nh@'\""));
    EXPECT_EQ(window.settings.hotKey, kCtrlKey | 'Q');
    EXPECT_EQ(hotKeys.grabbed, kCtrlKey | 'Q');

    // Filling a control is a change like a user's: each handler wrote its
    // value back, a boolean in its stored form, under the name it writes.
    EXPECT_EQ(storedText(QStringLiteral("TrocaMSg")), QStringLiteral("-1"));
    EXPECT_EQ(storedText(QStringLiteral("SendMail")), QStringLiteral("-1"));
    EXPECT_EQ(storedText(QStringLiteral("HardDesc")), QStringLiteral("-1"));
    EXPECT_EQ(storedText(QStringLiteral("Empresa")), QStringLiteral("Vizudu \"Telefonia\" Ltda"));
    EXPECT_EQ(recorder.written,
              (QStringList{"Contato", "Empresa", "Telefone", "PathAudio", "SendMail", "TrocaMSg",
                           "HardDesc", "AuthSeguro", "SendTo", "UserSMTP", "SenhaSMTP",
                           "ServerSMTP", "PortaSMTP"}));
    // The hot-key is shown and registered, never written back.
    EXPECT_FALSE(recorder.written.contains(QStringLiteral("HotKey")));
}

TEST_F(ShellStart, AutostartOnIsRewrittenWithTheCurrentProgramAtEveryStart) {
    preset(QStringLiteral("iniwin"), QStringLiteral("-1"));
    start();
    EXPECT_TRUE(boxes.errors.isEmpty()) << boxes.errors.join('\n').toStdString();
    EXPECT_EQ(autostart.requests, std::vector<bool>{true});
    EXPECT_FALSE(stored(kAutostartValue, Root::CurrentUser, kRunKey));
}

struct StartModeCase {
    const char* storedHidden;
    const char* storedMinimized;
    bool shown;
    bool trayIcon;
};

class ShellStartMode : public ShellStart, public ::testing::WithParamInterface<StartModeCase> {};

TEST_P(ShellStartMode, FlagsChooseShownInTrayOrHidden) {
    const auto& c = GetParam();
    if (c.storedHidden)
        preset(QStringLiteral("HideMode"), QString::fromLatin1(c.storedHidden));
    if (c.storedMinimized)
        preset(QStringLiteral("EstadoJanela"), QString::fromLatin1(c.storedMinimized));
    Shell& s = start();
    EXPECT_EQ(s.showOnRun(), c.shown);
    EXPECT_EQ(window.trayIcon.visible, c.trayIcon);
    EXPECT_TRUE(s.modes().minimizeToTray());
}

INSTANTIATE_TEST_SUITE_P(Modes, ShellStartMode,
                         ::testing::Values(StartModeCase{nullptr, nullptr, true, true},
                                           StartModeCase{"0", "-1", false, true},
                                           StartModeCase{"-1", "0", false, false},
                                           StartModeCase{"-1", "-1", false, false}));

struct MalformedCase {
    const char* name;
    RegValue value;
    const char* box;
};

class ShellMalformed : public ShellStart, public ::testing::WithParamInterface<MalformedCase> {};

// A value that is there but unusable is reported once, the initial value is
// used, and every later step still runs.
TEST_P(ShellMalformed, IsReportedOnceAndStartUpGoesOn) {
    const auto& c = GetParam();
    preset(QString::fromLatin1(c.name), c.value);
    Shell& s = start();
    EXPECT_EQ(boxes.errors, QStringList{QString::fromUtf8(c.box)});
    EXPECT_TRUE(s.globalHotKey().enabled());
    EXPECT_TRUE(s.log().clearTimer().enabled());
    EXPECT_TRUE(window.trayIcon.visible);
    EXPECT_EQ(s.state().settings.dropFolder, paths.defaultDropFolder);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ShellMalformed,
    ::testing::Values(
        // Read for the box and again for the flag: still one report.
        MalformedCase{"SendMail", RegValue::String(QStringLiteral("sim")),
                      "'sim' is not a valid boolean value."},
        MalformedCase{"HideMode", RegValue::String(QString()), "'' is not a valid boolean value."},
        MalformedCase{"HardDesc", RegValue::Integer(1), "Invalid data type for 'HardDesc'"},
        // The field's own handler and the client's conversion fail alike.
        MalformedCase{"PortaSMTP", RegValue::String(QStringLiteral("abc")),
                      "'abc' is not a valid integer value."},
        MalformedCase{"Hotkey", RegValue::String(QStringLiteral("32833")),
                      "Invalid data type for 'Hotkey'"},
        MalformedCase{"Empresa", RegValue::Integer(7), "Invalid data type for 'Empresa'"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShellStart, MalformedValuesKeepInitialValues) {
    preset(QStringLiteral("SendMail"), QStringLiteral("sim"));
    preset(QStringLiteral("PortaSMTP"), QStringLiteral("abc"));
    preset(QStringLiteral("Hotkey"), QStringLiteral("x"));
    Shell& s = start();
    EXPECT_FALSE(s.mail().flags().enabled);
    EXPECT_FALSE(window.settings.boxes.value(Box::MailEnabled));
    EXPECT_EQ(s.mail().smtp().port, 25);
    EXPECT_EQ(hotKeys.grabbed, kDefaultHotKey);
    // The malformed texts themselves are left as they were.
    EXPECT_EQ(storedText(QStringLiteral("SendMail")), QStringLiteral("sim"));
    EXPECT_EQ(storedText(QStringLiteral("PortaSMTP")), QStringLiteral("abc"));
}

TEST_F(ShellStart, DropFolderStoredAsAFileMeansItsFolderAndAMissingOneIsKept) {
    QDir().mkpath(tmp.path() + QStringLiteral("/Músicas"));
    const QString file = tmp.path() + QStringLiteral("/Músicas/promo.wav");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    preset(QStringLiteral("PathAudio"), file);
    shell.reset();
    Shell& s = start();
    EXPECT_EQ(s.state().settings.dropFolder, tmp.path() + QStringLiteral("/Músicas"));
    EXPECT_EQ(storedText(QStringLiteral("PathAudio")), tmp.path() + QStringLiteral("/Músicas"));
    EXPECT_EQ(window.settings.fields.value(Field::DropFolder),
              tmp.path() + QStringLiteral("/Músicas"));

    // A folder that is not there (a share not mounted yet) stays the
    // operator's setting, stored and shown; the default folder serves
    // meanwhile, and one line says so.
    const QString share = tmp.path() + QStringLiteral("/rede/espera");
    preset(QStringLiteral("PathAudio"), share);
    shell.reset();
    window.log.lines.clear();
    Shell& late = start();
    EXPECT_EQ(late.state().settings.dropFolder, share);
    EXPECT_EQ(storedText(QStringLiteral("PathAudio")), share);
    EXPECT_EQ(window.settings.fields.value(Field::DropFolder), share);
    EXPECT_TRUE(QFileInfo(paths.defaultDropFolder).isDir());
    EXPECT_FALSE(QFileInfo::exists(share));
    EXPECT_EQ(window.log.lines.filter(share).size(), 1)
        << window.log.lines.join('\n').toStdString();
    // A value that is not text is a missing one, not an error.
    preset(QStringLiteral("PathAudio"), RegValue::Integer(47));
    shell.reset();
    EXPECT_EQ(start().state().settings.dropFolder, paths.defaultDropFolder);
    EXPECT_EQ(storedText(QStringLiteral("PathAudio")), paths.defaultDropFolder);
    EXPECT_TRUE(boxes.errors.isEmpty()) << boxes.errors.join('\n').toStdString();

    // Without a home folder there is no default: nothing is made anywhere.
    paths.defaultDropFolder.clear();
    preset(QStringLiteral("PathAudio"), tmp.path() + QStringLiteral("/apagada"));
    shell.reset();
    EXPECT_EQ(start().state().settings.dropFolder, tmp.path() + QStringLiteral("/apagada"));
    EXPECT_FALSE(QFileInfo::exists(tmp.path() + QStringLiteral("/apagada")));
}

// The browse button stores the chosen file's folder, which the next start
// keeps; a folder with other files in it is taken only on "Sim".
TEST_F(ShellStart, ChosenFileGivesItsFolderOnceTheOperatorAgreesToWhatHappensToTheOthers) {
    const QString empty = tmp.path() + QStringLiteral("/vazia");
    const QString full = tmp.path() + QStringLiteral("/coleção");
    QDir().mkpath(empty);
    QDir().mkpath(full);
    for (const QString& name : {QStringLiteral("vazia/promo.wav"), QStringLiteral("coleção/a.mp3"),
                                QStringLiteral("coleção/b.mp3"), QStringLiteral("coleção/c.wav"),
                                QStringLiteral("coleção/d.txt"), QStringLiteral("coleção/e.mp3"),
                                QStringLiteral("coleção/escolhida.wav")}) {
        QFile f(tmp.path() + QLatin1Char('/') + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    Shell* s = &start();
    s->errors().guard([&] { s->settings().dropFileChosen(empty + QStringLiteral("/promo.wav")); });
    EXPECT_TRUE(boxes.questions.isEmpty());
    EXPECT_EQ(s->state().settings.dropFolder, empty);
    EXPECT_EQ(storedText(QStringLiteral("PathAudio")), empty);
    shell.reset();
    s = &start();
    EXPECT_EQ(s->state().settings.dropFolder, empty);
    EXPECT_EQ(window.settings.fields.value(Field::DropFolder), empty);

    boxes.answer = false;
    s->errors().guard(
        [&] { s->settings().dropFileChosen(full + QStringLiteral("/escolhida.wav")); });
    ASSERT_EQ(boxes.questions.size(), 1);
    EXPECT_EQ(boxes.questions[0],
              QStringLiteral("Confirmação: A pasta %1 contém outros 5 arquivos além de "
                             "escolhida.wav.\nCada arquivo desta pasta será colocado no ar e "
                             "removido dela, um após o outro.\nDeseja usar esta pasta para as "
                             "mensagens de espera?")
                  .arg(full));
    EXPECT_EQ(s->state().settings.dropFolder, empty);
    EXPECT_EQ(storedText(QStringLiteral("PathAudio")), empty);
    EXPECT_EQ(QDir(full).entryList(QDir::Files).size(), 6);

    boxes.answer = true;
    s->errors().guard(
        [&] { s->settings().dropFileChosen(full + QStringLiteral("/escolhida.wav")); });
    EXPECT_EQ(s->state().settings.dropFolder, full);
    EXPECT_EQ(storedText(QStringLiteral("PathAudio")), full);
    EXPECT_TRUE(boxes.errors.isEmpty()) << boxes.errors.join('\n').toStdString();
}

// "Usar esta pasta" hands the folder itself over: an empty one, the usual
// first set-up, is taken at once; one holding files is asked about. A '%'
// in a name is shown as it is.
TEST_F(ShellStart, AChosenFolderIsTakenAsItIsAndOneWithFilesOnlyOnceTheOperatorAgrees) {
    const QString empty = tmp.path() + QStringLiteral("/nova");
    const QString full = tmp.path() + QStringLiteral("/100%2 mensagens");
    QDir().mkpath(empty);
    QDir().mkpath(full);
    for (const QString& name : {QStringLiteral("a.wav"), QStringLiteral("b.mp3")}) {
        QFile f(full + QLatin1Char('/') + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    Shell* s = &start();
    s->errors().guard([&] { s->settings().dropFileChosen(empty); });
    EXPECT_TRUE(boxes.questions.isEmpty());
    EXPECT_EQ(s->state().settings.dropFolder, empty);
    EXPECT_EQ(storedText(QStringLiteral("PathAudio")), empty);

    boxes.answer = false;
    s->errors().guard([&] { s->settings().dropFileChosen(full); });
    ASSERT_EQ(boxes.questions.size(), 1);
    EXPECT_EQ(boxes.questions[0],
              QStringLiteral("Confirmação: A pasta ") + full +
                  QStringLiteral(" contém 2 arquivos.\nCada arquivo desta pasta será colocado no "
                                 "ar e removido dela, um após o outro.\nDeseja usar esta pasta "
                                 "para as mensagens de espera?"));
    EXPECT_EQ(storedText(QStringLiteral("PathAudio")), empty);

    boxes.answer = true;
    s->errors().guard([&] { s->settings().dropFileChosen(full); });
    EXPECT_EQ(s->state().settings.dropFolder, full);
    EXPECT_EQ(storedText(QStringLiteral("PathAudio")), full);
    EXPECT_EQ(QDir(full).entryList(QDir::Files).size(), 2);
    EXPECT_TRUE(boxes.errors.isEmpty()) << boxes.errors.join('\n').toStdString();
}

TEST_F(ShellStart, AHotKeyTheDesktopRefusesIsWrittenOnceAndHiddenStartKeepsAWayBack) {
    preset(QStringLiteral("HideMode"), QStringLiteral("-1"));
    preset(QStringLiteral("HotKey"), RegValue::Integer(kCtrlKey | 'Q'));
    hotKeys.accepts = false;
    Shell& s = start();
    EXPECT_EQ(window.log.lines.filter(QStringLiteral("tecla de atalho")),
              QStringList{QStringLiteral("10/12/2026 - 14:05:33 - A tecla de atalho Ctrl+Q não "
                                         "pôde ser registrada (está em uso por outro programa?); "
                                         "escolha outra em \"Teclas de Atalho\".")});
    EXPECT_EQ(s.modes().mode(), WindowModes::Mode::InTray);
    EXPECT_TRUE(window.trayIcon.visible);

    // A session with no grabs at all (no X11 display) has nothing to report.
    shell.reset();
    window.log.lines.clear();
    hotKeys.desktop = false;
    start();
    EXPECT_TRUE(window.log.lines.filter(QStringLiteral("tecla de atalho")).isEmpty());
}

TEST_F(ShellStart, StatusPanelShowsTheSystemAtStartAndRefreshesWhenIdle) {
    sysInfo.identity = {QStringLiteral("Debian GNU/Linux"), QStringLiteral("12"),
                        QStringLiteral("6.1.0-18-amd64")};
    sysInfo.disks[paths.defaultDropFolder] = {.available = std::int64_t{75} << 30,
                                              .total = std::int64_t{320} << 30};
    start();
    EXPECT_EQ(window.status.labels[StatusLabel::OsName], QStringLiteral("Debian GNU/Linux"));
    EXPECT_EQ(window.status.labels[StatusLabel::OsVersion], QStringLiteral("12"));
    EXPECT_EQ(window.status.labels[StatusLabel::OsBuild], QStringLiteral("6.1.0-18-amd64"));
    // Nothing is refreshed until the program falls idle.
    EXPECT_FALSE(window.status.labels.contains(StatusLabel::Disk));
    ASSERT_TRUE(idle.handler);
    idle.fire();
    EXPECT_EQ(window.status.labels[StatusLabel::Disk], QStringLiteral("75/320 GB"));
    EXPECT_EQ(sysInfo.diskPaths, std::vector<QString>{paths.defaultDropFolder});
}

TEST_F(ShellStart, UnusableStoreStillStartsAndReportsTheRefusedWrite) {
    registry.reset();
    const QString file = tmp.path() + QStringLiteral("/registry.db");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("this is not a settings database, but it must not be lost");
    }
    registry = std::make_unique<SqliteRegistry>(file);

    Shell& s = start();

    // The box says why in Portuguese, never the store's classic English.
    EXPECT_EQ(boxes.errors,
              QStringList{QStringLiteral("Não foi possível gravar 'PathAudio' no arquivo de "
                                         "configurações: o arquivo não é um banco de dados.")});
    EXPECT_EQ(s.state().settings.dropFolder, paths.defaultDropFolder);
    EXPECT_TRUE(s.log().clearTimer().enabled());
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("this is not a settings database, but it must not be lost"));
}

TEST_F(ShellStart, PowerButtonAsksAndOnlyYesEndsTheProgram) {
    Shell& s = start();

    boxes.answer = false;
    s.confirmShutdown();
    EXPECT_EQ(boxes.questions,
              QStringList{QStringLiteral("Confirmação: Deseja realmente finalizar o sistema?")});
    EXPECT_FALSE(loop.quitRequested());
    EXPECT_FALSE(s.state().swap.replaySuspended);
    EXPECT_TRUE(s.checkTimer().enabled());

    boxes.answer = true;
    s.confirmShutdown();
    EXPECT_TRUE(loop.quitRequested());
    EXPECT_TRUE(s.state().swap.replaySuspended);
    EXPECT_FALSE(s.checkTimer().enabled());
}

// On air, then the close box: the end of the pass that is playing restarts
// nothing, a file dropped afterwards is never taken, and the end of the run
// is written, with the silence it causes.
TEST_F(ShellStart, CloseStopsTheLoopAndTheWatchAndDestroyReleasesEverything) {
    QDir().mkpath(paths.messageFolder());
    QFile f(paths.messageFolder() + QStringLiteral("/espera.wav"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    lister.inputs = {QStringLiteral("Microfone (Q-ZORBE)")};
    Shell& s = start();
    loop.advance(6000);
    ASSERT_TRUE(player.playing());

    s.closeRequested();
    EXPECT_TRUE(boxes.questions.isEmpty());
    const int plays = player.plays;
    player.finishFile();
    loop.processPendingMessages();
    EXPECT_EQ(player.plays, plays);
    QFile promo(paths.defaultDropFolder + QStringLiteral("promo.wav"));
    ASSERT_TRUE(promo.open(QIODevice::WriteOnly));
    promo.close();
    loop.advance(60000);
    EXPECT_EQ(player.plays, plays);
    EXPECT_TRUE(QFileInfo::exists(promo.fileName()));

    player.play(player.file());
    const int frames = static_cast<int>(window.trayIcon.frames.size());
    s.finish();
    EXPECT_FALSE(player.playing());
    EXPECT_FALSE(s.log().clearTimer().enabled());
    EXPECT_TRUE(hotKeys.released);
    EXPECT_FALSE(window.trayIcon.enabled);
    EXPECT_FALSE(idle.handler);
    loop.advance(5000);
    EXPECT_EQ(window.trayIcon.frames.size(), static_cast<std::size_t>(frames));
    EXPECT_TRUE(window.log.lines.last().endsWith(
        QStringLiteral(" - Sistema finalizado: a mensagem de espera saiu do ar.")));
}

TEST_F(ShellStart, AnEndWithNothingOnAirSaysSoWithoutASilence) {
    Shell& s = start();
    s.finish();
    EXPECT_TRUE(window.log.lines.last().endsWith(QStringLiteral(" - Sistema finalizado.")));
}

TEST_F(ShellStart, ControlChangesWriteAndAFailedWriteReachesTheErrorBox) {
    Shell& s = start();
    window.edit(Field::SmtpPort, QStringLiteral("2"));
    window.edit(Field::SmtpPort, QStringLiteral("25"));
    EXPECT_EQ(storedText(QStringLiteral("PortaSMTP")), QStringLiteral("25"));
    EXPECT_EQ(s.mail().smtp().port, 25);
    window.edit(Field::SmtpPort, QString());
    EXPECT_EQ(storedText(QStringLiteral("PortaSMTP")), QString());
    EXPECT_EQ(boxes.errors, QStringList{QStringLiteral("'' is not a valid integer value.")});
    EXPECT_EQ(s.mail().smtp().port, 25);
}

TEST_F(ShellStart, HoldHardwareFoundAtStartPlaysTheMessageSixSecondsLater) {
    QDir().mkpath(paths.messageFolder());
    QFile f(paths.messageFolder() + QStringLiteral("/espera.wav"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    lister.inputs = {QStringLiteral("Microfone (Q-ZORBE)")};

    Shell& s = start();
    EXPECT_EQ(
        window.log.lines,
        (QStringList{QStringLiteral("10/12/2026 - 14:05:33 - Localizando Hardware da Vizudu..."),
                     QStringLiteral("10/12/2026 - 14:05:33 - O hardware da espera foi localizado."),
                     QStringLiteral("10/12/2026 - 14:05:33 - Aguarde inicializando stream.")}));
    EXPECT_EQ(echoed, window.log.lines);
    loop.advance(5999);
    EXPECT_EQ(player.plays, 0);
    loop.advance(1);
    EXPECT_TRUE(s.state().channel.active);
    EXPECT_EQ(player.file(), paths.messageFolder() + QStringLiteral("/espera.wav"));
    EXPECT_EQ(window.viewSources, std::vector<WaveControl*>{&monitor});

    s.finish();
    EXPECT_FALSE(player.playing());
}

// Another program already plays into the hold hardware: the window, the log
// and the watch of the drop folder run, and nothing this program looks for
// or is told opens the channel: not the start, not the hardware's devices
// showing up in the sound server, not the hardware plugged back in.
TEST_F(ShellStart, ALineTakenByAnotherProgramIsWrittenAndTheChannelNeverOpens) {
    QDir().mkpath(paths.messageFolder());
    QFile f(paths.messageFolder() + QStringLiteral("/espera.wav"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    lister.inputs = {QStringLiteral("Microfone (Q-ZORBE)")};
    devices.hid = {HoldHardwareHid()};
    const QString taken = QStringLiteral(
        "A mensagem de espera já é tocada no hardware da espera pelo programa do usuário "
        "operador; este programa não abre o canal da espera.");

    shell = std::make_unique<Shell>(ports(), window);
    window.shell = shell.get();
    shell->start(taken);
    EXPECT_EQ(window.log.lines, QStringList{QStringLiteral("10/12/2026 - 14:05:33 - ") + taken});
    EXPECT_EQ(echoed, window.log.lines);

    loop.processPendingMessages();
    lister.changeDevices();
    devices.unplugHoldHardware();
    devices.replugHoldHardware();
    loop.advance(60000);

    EXPECT_FALSE(shell->state().channel.active);
    EXPECT_EQ(player.plays, 0);
    EXPECT_FALSE(monitor.capturing);
    for (const FakeWaveControl* c : {&player, &monitor})
        EXPECT_TRUE(c->calls.filter(QStringLiteral("Q-ZORBE")).isEmpty())
            << c->calls.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(shell->checkTimer().enabled());
    EXPECT_TRUE(shell->showOnRun());
    // Nothing in between: no arrival, no search, no silence.
    shell->finish();
    EXPECT_EQ(window.log.lines.mid(1),
              QStringList{QStringLiteral("10/12/2026 - 14:05:33 - Sistema finalizado.")});
}

TEST_F(ShellStart, AFileDroppedIntoTheDefaultDropFolderGoesOnAirWithItsHistory) {
    QDir().mkpath(paths.messageFolder());
    QFile old(paths.messageFolder() + QStringLiteral("/espera.wav"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.close();
    lister.inputs = {QStringLiteral("Microfone (Q-ZORBE)")};
    Shell& s = start();
    QFile promo(paths.defaultDropFolder + QStringLiteral("promo.wav"));
    ASSERT_TRUE(promo.open(QIODevice::WriteOnly));
    promo.close();
    std::int64_t promoStarted = -1;
    player.onCall = [&](const QString& call) {
        if (call.endsWith(QStringLiteral("/promo.wav")))
            promoStarted = loop.now();
    };

    // The first check sees it and greets it; the look after the settle
    // finds it as it was and takes it.
    loop.advance(40000);
    // Start-up armed the swap's pause: the old message stops, 3000 ms of
    // the pause timer, 750 and 250 ms more, then the new one starts.
    EXPECT_EQ(promoStarted, 30000 + 2000 + 3000 + 750 + 250);

    EXPECT_EQ(window.log.lines.mid(4),
              (QStringList{QStringLiteral("10/12/2026 - 14:05:33 - O arquivo promo.wav foi "
                                          "recebido e vai ao ar em cerca de 6 segundos."),
                           QStringLiteral("10/12/2026 - 14:05:33 - Efetuando troca de arquivo de "
                                          "áudio."),
                           QStringLiteral("10/12/2026 - 14:05:33 - Troca de arquivo de áudio "
                                          "efetuada com sucesso.")}));
    EXPECT_EQ(player.file(), paths.messageFolder() + QStringLiteral("/promo.wav"));
    EXPECT_EQ(QDir(paths.messageFolder()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("promo.wav")});
    EXPECT_EQ(window.onAirFile(), QStringLiteral("promo.wav"));
    EXPECT_EQ(window.onAirShown.history.previousFile, QStringLiteral("espera.wav"));
    EXPECT_EQ(window.onAirShown.history.since, QStringLiteral("10/12/2026-14:05:33"));
    EXPECT_EQ(storedText(QStringLiteral("ArquivoAtual")), QStringLiteral("promo.wav"));
    EXPECT_TRUE(s.state().swap.replaySuspended);
    EXPECT_TRUE(boxes.errors.isEmpty()) << boxes.errors.join('\n').toStdString();
}

TEST_F(ShellStart, AFailingDeviceListIsReportedAndLeavesNoVerdict) {
    lister.listFails = true;
    start();
    EXPECT_EQ(boxes.errors, QStringList{QStringLiteral("list failed.")});
    // Nothing follows the search's first line: no verdict either way.
    EXPECT_TRUE(
        window.log.lines.back().endsWith(QStringLiteral(" - Localizando Hardware da Vizudu...")));
}

TEST_F(ShellStart, AFailureNoHandlerCaughtReachesTheErrorBoxAndTheProgramGoesOn) {
    start();
    int ticks = 0;
    auto t = loop.createTimer(1000, [&] {
        ++ticks;
        throw AppError(QStringLiteral("Falha inesperada"));
    });
    t->setEnabled(true);
    loop.post([] { throw AppError(QStringLiteral("Outra falha")); });
    loop.advance(2000);
    EXPECT_EQ(ticks, 2);
    EXPECT_EQ(boxes.errors,
              (QStringList{QStringLiteral("Outra falha."), QStringLiteral("Falha inesperada."),
                           QStringLiteral("Falha inesperada.")}));
}

}  // namespace
