#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QMap>
#include <QStringList>
#include <functional>
#include <ostream>
#include <vector>

#include "app/ProgramSettings.h"
#include "config/Autostart.h"
#include "core/VirtualEventLoop.h"
#include "mail/MailNotices.h"
#include "mail/MailOffice.h"
#include "metrics/LineMetrics.h"
#include "support/FakeAutostart.h"
#include "support/FakeClock.h"
#include "support/FakeFiles.h"
#include "support/FakeLog.h"
#include "support/Fakes.h"
#include "support/TempStore.h"
#include "window/GlobalHotKey.h"

namespace quindra {
namespace {

using testing::FakeAutostart;
using testing::FakeBoxes;
using testing::FakeRegistrar;
using testing::TempStore;
using testing::thrownText;

// Public members: the case tables below reach into them.
class ProgramSettingsTest : public ::testing::Test {
public:
    bool configKeyExists() { return store.registry().keyExists(Root::LocalMachine, kConfigKey); }
    std::optional<RegValue> stored(const QString& name) {
        return store.registry().value(Root::LocalMachine, kConfigKey, name);
    }
    QString storedText(const QString& name) { return store.configKey().readString(name); }

    // A store that refuses every write, as one without write permission does.
    // What a change refused by a read-only store says.
    static QString readOnlyRefusal(const QString& name) {
        return QStringLiteral(
                   "Não foi possível gravar '%1' no arquivo de configurações: o arquivo não tem "
                   "permissão de gravação.")
            .arg(name);
    }

    void makeReadOnly() {
        store.createConfigKey();
        store.close();
        ASSERT_EQ(::chmod(QFile::encodeName(store.file()).constData(), 0444), 0);
        store.reopen();
    }

    TempStore store;
    VirtualEventLoop loop;
    RuntimeState state;
    MailNotices mail{loop};
    SmtpClientSettings& smtp = mail.smtp();
    testing::FakeLog log;
    testing::FakeClock clock{QDateTime(QDate(2026, 12, 10), QTime(14, 5, 33))};
    FakeBoxes boxes;
    MailOffice office{mail,
                      {.log = log,
                       .clock = clock,
                       .formats = LocaleFormats(QLocale(QStringLiteral("pt_BR"))),
                       .onAir = state.onAir,
                       .boxes = boxes}};
    FakeAutostart mirror;
    FakeRegistrar registrar;
    GlobalHotKey hotKey{registrar};
    testing::FakeFileOperations files;
    LineMetrics metrics{loop, clock, log};
    std::vector<bool> levelled;  // what the player was told of levelling
    // Made afresh for each change: a test may reopen the store.
    ProgramSettings settings() {
        return ProgramSettings({.registry = store.registry(),
                                .copies = state.settings,
                                .mail = mail,
                                .office = office,
                                .autostart = mirror,
                                .hotKey = hotKey,
                                .boxes = boxes,
                                .files = files,
                                .locale = QLocale(QStringLiteral("pt_BR")),
                                .metrics = metrics,
                                .levelMessages = [this](bool on) { levelled.push_back(on); }});
    }
};

// A text field: the value it writes and what it updates after.
struct TextCase {
    Field field;
    const char* name;  // as written
    bool keyMustExist;
    std::function<QString&(ProgramSettingsTest&)> effect;  // nothing to update when empty
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.name;
}

class ProgramSettingsFields : public ProgramSettingsTest,
                              public ::testing::WithParamInterface<TextCase> {
protected:
    void setEffect(const QString& text) {
        if (GetParam().effect)
            GetParam().effect(*this) = text;
    }
    void expectEffect(const QString& text) {
        if (GetParam().effect) {
            EXPECT_EQ(GetParam().effect(*this), text);
        }
    }
};

const TextCase kTextCases[] = {
    // The header shows the company lines; the window's page updates it.
    {Field::Company, "Empresa", true, nullptr},
    {Field::Contact, "Contato", true, nullptr},
    {Field::Phone, "Telefone", true, nullptr},
    {Field::DropFolder, "PathAudio", true,
     [](ProgramSettingsTest& h) -> QString& { return h.state.settings.dropFolder; }},
    {Field::Recipient, "SendTo", false, nullptr},
    {Field::SmtpUser, "UserSMTP", false,
     [](ProgramSettingsTest& h) -> QString& { return h.smtp.user; }},
    {Field::SmtpPassword, "SenhaSMTP", false,
     [](ProgramSettingsTest& h) -> QString& { return h.smtp.password; }},
    {Field::SmtpServer, "ServerSMTP", false,
     [](ProgramSettingsTest& h) -> QString& { return h.smtp.host; }},
};

// The metrics file's path is stored and followed; empty writes no metrics.
TEST_F(ProgramSettingsTest, TheMetricsFileIsStoredAndFollowed) {
    for (const QString& path :
         {QStringLiteral("/var/lib/prometheus/node-exporter/quindra.prom"), QString()}) {
        settings().fieldChanged(Field::MetricsFile, path);
        EXPECT_EQ(storedText(QStringLiteral("PathMetricas")), path);
        EXPECT_EQ(metrics.path(), path);
    }
}

TEST_P(ProgramSettingsFields, WritesTheTextThenUpdates) {
    const TextCase& c = GetParam();
    const QString name = QString::fromLatin1(c.name);
    if (c.keyMustExist)
        store.createConfigKey();

    for (const QString& text : {QStringLiteral("VIZUDU TELEFÔNICA \"Ltda\""), QString()}) {
        settings().fieldChanged(c.field, text);
        const auto v = stored(name);
        ASSERT_TRUE(v.has_value());
        EXPECT_EQ(v->kind, RegValue::Kind::String);
        EXPECT_EQ(v->text, text);
        expectEffect(text);
    }
}

// The company and drop-folder fields never create the settings key; the
// others do on their first change.
TEST_P(ProgramSettingsFields, WithoutTheSettingsKey) {
    const TextCase& c = GetParam();
    const QString name = QString::fromLatin1(c.name);
    setEffect(QStringLiteral("ANTERIOR"));

    const QString error = thrownText([&] { settings().fieldChanged(c.field, "NOVO"); });
    if (c.keyMustExist) {
        EXPECT_EQ(error, QStringLiteral("Failed to set data for '%1'").arg(name));
        EXPECT_FALSE(configKeyExists());
        expectEffect(QStringLiteral("ANTERIOR"));
    } else {
        EXPECT_EQ(error, QString());
        EXPECT_EQ(storedText(name), QStringLiteral("NOVO"));
        expectEffect(QStringLiteral("NOVO"));
    }
}

TEST_P(ProgramSettingsFields, RefusedWriteNamesTheValueAndUpdatesNothing) {
    const TextCase& c = GetParam();
    makeReadOnly();
    setEffect(QStringLiteral("ANTERIOR"));

    EXPECT_EQ(thrownText([&] { settings().fieldChanged(c.field, "NOVO"); }),
              readOnlyRefusal(QString::fromLatin1(c.name)));
    expectEffect(QStringLiteral("ANTERIOR"));
}

INSTANTIATE_TEST_SUITE_P(Settings, ProgramSettingsFields, ::testing::ValuesIn(kTextCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A check box: the value it writes and the mail option's runtime
// copy beside it, which some boxes change at once and the others only at the
// next start. The start options have no runtime copy before the next start.
struct BoxCase {
    Box box;
    const char* name;  // as written
    bool MailFlags::*flag = nullptr;
    void (MailNotices::*setFlag)(bool) = nullptr;
    bool flagFollows = false;
};

void PrintTo(const BoxCase& c, std::ostream* os) {
    *os << c.name;
}

class ProgramSettingsBoxes : public ProgramSettingsTest,
                             public ::testing::WithParamInterface<BoxCase> {};

const BoxCase kBoxCases[] = {
    {.box = Box::StartHidden, .name = "HideMode"},
    {.box = Box::StartMinimized, .name = "EstadoJanela"},
    {.box = Box::MailEnabled,
     .name = "SendMail",
     .flag = &MailFlags::enabled,
     .setFlag = &MailNotices::setEnabled,
     .flagFollows = true},
    {.box = Box::MailOnHardware,
     .name = "HardDesc",
     .flag = &MailFlags::onHardware,
     .setFlag = &MailNotices::setOnHardware,
     .flagFollows = true},
    {.box = Box::MailOnSwap,
     .name = "TrocaMSg",
     .flag = &MailFlags::onSwap,
     .setFlag = &MailNotices::setOnSwap,
     .flagFollows = true},
    {.box = Box::SecureMail,
     .name = "AuthSeguro",
     .flag = &MailFlags::secure,
     .setFlag = &MailNotices::setSecure},
    {.box = Box::LevelMessages, .name = "NivelaVolume"},
};

// Starts without the settings key: the first click creates it.
TEST_P(ProgramSettingsBoxes, WritesBoolTextAndItsFlag) {
    const BoxCase& c = GetParam();
    ASSERT_FALSE(configKeyExists());
    for (bool checked : {true, false, true}) {
        SCOPED_TRACE(checked);
        if (c.flag)
            (mail.*c.setFlag)(!checked);
        settings().boxChanged(c.box, checked);
        EXPECT_EQ(storedText(QString::fromLatin1(c.name)), checked ? "-1" : "0");
        if (c.flag) {
            EXPECT_EQ(mail.flags().*c.flag, c.flagFollows ? checked : !checked);
        }
    }
}

TEST_P(ProgramSettingsBoxes, RefusedWriteNamesTheValueAndLeavesTheFlag) {
    const BoxCase& c = GetParam();
    makeReadOnly();
    EXPECT_EQ(thrownText([&] { settings().boxChanged(c.box, true); }),
              readOnlyRefusal(QString::fromLatin1(c.name)));
    if (c.flag) {
        EXPECT_FALSE(mail.flags().*c.flag);
    }
}

INSTANTIATE_TEST_SUITE_P(Settings, ProgramSettingsBoxes, ::testing::ValuesIn(kBoxCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The port is stored as typed, keystroke by keystroke, and converted after.
// The player levels from the moment the box is stored, and not when the
// store refuses it.
TEST_F(ProgramSettingsTest, LevellingFollowsTheBoxOnceStored) {
    settings().boxChanged(Box::LevelMessages, true);
    settings().boxChanged(Box::LevelMessages, false);
    EXPECT_EQ(levelled, (std::vector<bool>{true, false}));
    makeReadOnly();
    EXPECT_ANY_THROW(settings().boxChanged(Box::LevelMessages, true));
    EXPECT_EQ(levelled, (std::vector<bool>{true, false}));
}

TEST_F(ProgramSettingsTest, PortIsStoredBeforeItIsConverted) {
    struct Step {
        QString text;
        int port;
        QString error;
    };
    const Step steps[] = {
        {QStringLiteral("2"), 2, QString()},
        {QStringLiteral("25"), 25, QString()},
        {QString(), 25, QStringLiteral("'' is not a valid integer value")},
        {QStringLiteral("5"), 5, QString()},
        {QStringLiteral("58"), 58, QString()},
        {QStringLiteral("58x"), 58, QStringLiteral("'58x' is not a valid integer value")},
        // A port outside 1..65535 is refused as it stands, never wrapped
        // (70000 would reach port 4464).
        {QStringLiteral("70000"), 58, QStringLiteral("'70000' is not a valid integer value")},
        {QStringLiteral("0"), 58, QStringLiteral("'0' is not a valid integer value")},
        {QStringLiteral("-25"), 58, QStringLiteral("'-25' is not a valid integer value")},
        {QStringLiteral("65535"), 65535, QString()},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.text.toStdString());
        EXPECT_EQ(thrownText([&] { settings().fieldChanged(Field::SmtpPort, s.text); }), s.error);
        const auto v = stored(QStringLiteral("PortaSmtp"));
        ASSERT_TRUE(v.has_value());
        EXPECT_EQ(v->text, s.text);
        EXPECT_EQ(smtp.port, s.port);
    }
}

// The notices go where the page says: the recipient follows the field even
// when the store refuses the text.
TEST_F(ProgramSettingsTest, RecipientFollowsTheFieldWhetherStoredOrNot) {
    settings().fieldChanged(Field::Recipient, QStringLiteral("ana@x.com.br"));
    EXPECT_EQ(mail.recipient(), QStringLiteral("ana@x.com.br"));
    makeReadOnly();
    EXPECT_EQ(thrownText([&] { settings().fieldChanged(Field::Recipient, "bia@x.com.br"); }),
              readOnlyRefusal(QStringLiteral("SendTo")));
    EXPECT_EQ(mail.recipient(), QStringLiteral("bia@x.com.br"));
}

TEST_F(ProgramSettingsTest, PortRefusedKeepsThePort) {
    makeReadOnly();
    smtp.port = 587;
    EXPECT_EQ(thrownText([&] { settings().fieldChanged(Field::SmtpPort, QStringLiteral("25")); }),
              readOnlyRefusal(QStringLiteral("PortaSMTP")));
    EXPECT_EQ(smtp.port, 587);
}

TEST_F(ProgramSettingsTest, HotKeyIsStoredAsAnInteger) {
    const ShortCut ctrlAltQ = kCtrlKey | kAltKey | 'Q';
    settings().hotKeyChanged(ctrlAltQ);
    EXPECT_EQ(hotKey.key(), ctrlAltQ);
    EXPECT_EQ(store.configKey().readInteger(QStringLiteral("Hotkey")), ctrlAltQ);
}

// The combination is handed on before the write, so it stays set when the
// write fails.
TEST_F(ProgramSettingsTest, HotKeyCombinationIsSetEvenWhenTheWriteFails) {
    makeReadOnly();
    EXPECT_EQ(thrownText([&] { settings().hotKeyChanged(kDefaultHotKey); }),
              readOnlyRefusal(QStringLiteral("HotKey")));
    EXPECT_EQ(hotKey.key(), kDefaultHotKey);
}

TEST_F(ProgramSettingsTest, TickingAndClearingSetTheSessionsAutostartAndTheFlag) {
    store.createConfigKey();
    struct Step {
        bool checked;
        QString flag;
    };
    std::vector<bool> requested;
    for (const Step& s : {Step{true, QStringLiteral("-1")}, Step{false, QStringLiteral("0")}}) {
        SCOPED_TRACE(s.checked);
        settings().boxChanged(Box::StartWithSession, s.checked);
        requested.push_back(s.checked);
        EXPECT_EQ(mirror.requests, requested);
        EXPECT_EQ(storedText(QStringLiteral("IniWin")), s.flag);
        // The session's own autostart is the entry; no other is written.
        for (Root root : {Root::LocalMachine, Root::CurrentUser})
            EXPECT_FALSE(store.registry().value(root, kRunKey, kAutostartValue).has_value());
    }
}

TEST_F(ProgramSettingsTest, AutostartFailsWhenTheMirrorFails) {
    store.createConfigKey();
    mirror.works = false;
    EXPECT_EQ(thrownText([&] { settings().boxChanged(Box::StartWithSession, true); }),
              QStringLiteral("Failed to set data for 'Vizudu'"));
    EXPECT_FALSE(stored(QStringLiteral("IniWin")).has_value());
}

// The session's autostart is set, then the flag fails on the missing
// settings key, or on a store that refuses writes.
TEST_F(ProgramSettingsTest, AutostartFlagNeedsTheSettingsKeyAndAWritableStore) {
    EXPECT_EQ(thrownText([&] { settings().boxChanged(Box::StartWithSession, true); }),
              QStringLiteral("Failed to set data for 'iniwin'"));
    EXPECT_FALSE(configKeyExists());
    EXPECT_EQ(mirror.requests, std::vector<bool>{true});

    makeReadOnly();
    EXPECT_EQ(thrownText([&] { settings().boxChanged(Box::StartWithSession, false); }),
              readOnlyRefusal(QStringLiteral("iniwin")));
    EXPECT_EQ(mirror.requests, (std::vector<bool>{true, false}));
}

}  // namespace
}  // namespace quindra
