#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <QFile>
#include <QRandomGenerator>
#include <iterator>
#include <vector>

#include "config/RegistryKey.h"
#include "config/SqliteRegistry.h"
#include "config/Values.h"
#include "support/TempStore.h"

namespace quindra {
namespace {

using testing::TempStore;
using testing::thrownText;

class ConfigStore : public ::testing::Test {
protected:
    TempStore store;
};

// Each value is read at start under other letter cases than its handler
// writes: every form must reach the one value, and no two values may meet.
TEST_F(ConfigStore, EveryNameFormOfAValueReachesTheSameValue) {
    const std::vector<ConfigValue> forms{values::TrocaMsg,   values::IniWin,   values::HideMode,
                                         values::HotKey,     values::UserSMTP, values::SenhaSMTP,
                                         values::ServerSMTP, values::PortaSMTP};
    store.createConfigKey();
    RegistryKey writer(store.registry(), Root::LocalMachine);
    writer.openKey(kConfigKey, false);
    for (std::size_t i = 0; i < forms.size(); ++i) {
        const ConfigValue& v = forms[i];
        SCOPED_TRACE(v.writtenAs);
        // A row whose forms are spelled alike would prove nothing here.
        EXPECT_TRUE(v.written() != v.control() || v.written() != v.runtime());
        EXPECT_EQ(v.written().compare(v.control(), Qt::CaseInsensitive), 0);
        EXPECT_EQ(v.written().compare(v.runtime(), Qt::CaseInsensitive), 0);
        if (v.kind == ValueKind::Integer)
            writer.writeInteger(v.written(), 32833 + static_cast<int>(i));
        else
            writer.writeString(v.written(), QStringLiteral("valor %1").arg(i));
    }

    RegistryKey reader = store.configKey();
    for (std::size_t i = 0; i < forms.size(); ++i) {
        const ConfigValue& v = forms[i];
        SCOPED_TRACE(v.writtenAs);
        for (const QString& name : {v.control(), v.runtime()}) {
            if (v.kind == ValueKind::Integer)
                EXPECT_EQ(reader.readInteger(name), 32833 + static_cast<int>(i));
            else
                EXPECT_EQ(reader.readString(name), QStringLiteral("valor %1").arg(i));
        }
    }
}

TEST_F(ConfigStore, KeyPathFormsNameTheSameKey) {
    RegistryKey key(store.registry(), Root::LocalMachine);
    EXPECT_FALSE(key.keyExists(kConfigKey));
    key.createKey(kConfigKey);

    for (const QString& path :
         {kConfigKey, kConfigKeySlash, QStringLiteral("SOFTWARE\\quindraespera\\Config\\")}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_TRUE(key.keyExists(path));
    }
    // Creating a key creates its parents.
    EXPECT_TRUE(key.keyExists(QStringLiteral("Software\\QuindraEspera")));

    ASSERT_TRUE(key.openKey(kConfigKeySlash, false));
    key.writeString(QStringLiteral("Empresa"), QStringLiteral("ACME"));
    ASSERT_TRUE(key.openKey(kConfigKey, false));
    EXPECT_EQ(key.readString(QStringLiteral("Empresa")), QStringLiteral("ACME"));
    // The parent holds no values of its child.
    ASSERT_TRUE(key.openKey(QStringLiteral("Software\\QuindraEspera"), false));
    EXPECT_FALSE(key.valueExists(QStringLiteral("Empresa")));
}

TEST_F(ConfigStore, RootsAreSeparate) {
    RegistryKey machine(store.registry(), Root::LocalMachine);
    RegistryKey user(store.registry(), Root::CurrentUser);
    machine.createKey(kConfigKey);
    EXPECT_FALSE(user.keyExists(kConfigKey));

    ASSERT_TRUE(user.openKey(kRunKey, false));
    user.writeString(kAutostartValue, QStringLiteral("/opt/quindra/espera"));
    ASSERT_TRUE(machine.openKey(kRunKey, false));
    EXPECT_FALSE(machine.valueExists(kAutostartValue));
}

TEST_F(ConfigStore, ANameDifferingOnlyInCaseReplacesTheValue) {
    store.createConfigKey();
    RegistryKey key = store.configKey();
    key.writeString(QStringLiteral("HideMode"), QStringLiteral("-1"));
    key.writeString(QStringLiteral("HIDEMODE"), QStringLiteral("0"));
    // Folding reaches accented letters too.
    key.writeString(QStringLiteral("Razão"), QStringLiteral("a"));
    key.writeString(QStringLiteral("RAZÃO"), QStringLiteral("b"));

    EXPECT_EQ(key.readString(QStringLiteral("hidemode")), QStringLiteral("0"));
    EXPECT_EQ(key.readString(QStringLiteral("razão")), QStringLiteral("b"));

    store.close();
    sqlite3* db = nullptr;
    ASSERT_EQ(
        sqlite3_open_v2(store.file().toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr),
        SQLITE_OK);
    sqlite3_stmt* count = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT count(*) FROM vals", -1, &count, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(count), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(count, 0), 2);
    sqlite3_finalize(count);
    sqlite3_close(db);
}

// What a read finds for each kind of stored value.
TEST_F(ConfigStore, ReadsCheckTheKindOfTheValue) {
    enum class Stored { Nothing, Text, Number };
    enum class ReadAs { Text, Number };
    struct Case {
        Stored stored;
        ReadAs readAs;
        QString error;  // empty: the read succeeds
    };
    const Case cases[] = {
        {Stored::Text, ReadAs::Number, QStringLiteral("Invalid data type for 'Valor'")},
        {Stored::Number, ReadAs::Text, QStringLiteral("Invalid data type for 'Valor'")},
        {Stored::Nothing, ReadAs::Number, QStringLiteral("Failed to get data for 'Valor'")},
        {Stored::Nothing, ReadAs::Text, QString()},
        {Stored::Text, ReadAs::Text, QString()},
        {Stored::Number, ReadAs::Number, QString()},
    };
    store.createConfigKey();
    const QString name = QStringLiteral("Valor");
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        RegistryKey key(store.registry(), Root::LocalMachine);
        // A key of its own per case, so nothing is left from the one before.
        const QString path = kConfigKey + QStringLiteral("\\caso%1").arg(i);
        ASSERT_TRUE(key.openKey(path, true));
        if (c.stored == Stored::Text)
            key.writeString(name, QStringLiteral("25"));
        if (c.stored == Stored::Number)
            key.writeInteger(name, 25);

        QString result;
        const QString error = thrownText([&] {
            result = c.readAs == ReadAs::Text ? key.readString(name)
                                              : QString::number(key.readInteger(name));
        });
        EXPECT_EQ(error, c.error);
        if (c.error.isEmpty()) {
            EXPECT_EQ(result, c.stored == Stored::Nothing ? QString() : QStringLiteral("25"));
        }
    }
}

TEST_F(ConfigStore, WritesWithoutACurrentKeyFail) {
    RegistryKey key(store.registry(), Root::LocalMachine);
    EXPECT_EQ(thrownText([&] { key.writeString(QStringLiteral("Empresa"), QStringLiteral("x")); }),
              QStringLiteral("Failed to set data for 'Empresa'"));

    EXPECT_FALSE(key.openKey(kConfigKeySlash, false));
    EXPECT_FALSE(key.hasCurrentKey());
    EXPECT_EQ(thrownText([&] { key.writeInteger(QStringLiteral("HotKey"), 1); }),
              QStringLiteral("Failed to set data for 'HotKey'"));
    EXPECT_FALSE(key.keyExists(kConfigKey));

    // The store itself refuses a value for a missing key.
    EXPECT_FALSE(store.registry().setValue(Root::LocalMachine, kConfigKey,
                                           QStringLiteral("Empresa"), RegValue::String("x")));
    EXPECT_FALSE(key.keyExists(kConfigKey));

    key.createKey(kConfigKey);
    ASSERT_TRUE(key.openKey(kConfigKey, false));
    key.closeKey();
    EXPECT_EQ(thrownText([&] { key.writeString(QStringLiteral("Empresa"), QStringLiteral("x")); }),
              QStringLiteral("Failed to set data for 'Empresa'"));
}

TEST_F(ConfigStore, TextsRoundTripUnchangedAcrossReopening) {
    const QString alphabet = QStringLiteral("aéç\"'\\\n%ñÃ ");
    QString longText;
    for (int i = 0; i < 100000; ++i)
        longText += alphabet[i % alphabet.size()];
    const QString texts[] = {
        QStringLiteral("\"aspas duplas\" e 'simples'"),
        QStringLiteral("VIZUDU TELEFÔNICA AÇÃO Ñ ü €"),
        QStringLiteral("linha 1\nlinha 2\r\nlinha 3\n"),
        QStringLiteral("C:\\Áudio\\%1 %s"),
        QStringLiteral("  brancos  "),
        QString(),
        longText,
    };
    store.createConfigKey();
    {
        RegistryKey key = store.configKey();
        for (std::size_t i = 0; i < std::size(texts); ++i)
            key.writeString(QStringLiteral("Texto%1").arg(i), texts[i]);
        key.writeInteger(QStringLiteral("HotKey"), -123456789);
    }
    store.reopen();

    RegistryKey key = store.configKey();
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        SCOPED_TRACE(i);
        const QString name = QStringLiteral("Texto%1").arg(i);
        EXPECT_TRUE(key.valueExists(name));
        const QString read = key.readString(name);
        EXPECT_EQ(read.size(), texts[i].size());
        EXPECT_TRUE(read == texts[i]);
    }
    EXPECT_EQ(key.readInteger(QStringLiteral("Hotkey")), -123456789);
}

// Tests and installations point the store elsewhere through the environment.
TEST(ConfigStoreFile, EnvironmentChoosesTheFile) {
    qputenv("XDG_CONFIG_HOME", "/tmp/quindra-config");
    qunsetenv("QUINDRA_REGISTRY");
    EXPECT_EQ(SqliteRegistry::defaultFile(),
              QStringLiteral("/tmp/quindra-config/quindra/registry.db"));
    qputenv("QUINDRA_REGISTRY", "/srv/quindra/teste.db");
    EXPECT_EQ(SqliteRegistry::defaultFile(), QStringLiteral("/srv/quindra/teste.db"));
    qunsetenv("QUINDRA_REGISTRY");
    qunsetenv("XDG_CONFIG_HOME");
}

// A store file that cannot be used is left exactly as it is.
class ConfigStoreBadFile : public ConfigStore {
protected:
    // Everything a handler could try on the file; all of it must fail quietly.
    void expectUnusable() {
        EXPECT_FALSE(store.registry().usable());
        RegistryKey key(store.registry(), Root::LocalMachine);
        key.openKey(kConfigKeySlash, false);
        EXPECT_EQ(key.readString(QStringLiteral("Empresa")), QString());
        EXPECT_EQ(thrownText([&] { key.readInteger(QStringLiteral("HotKey")); }),
                  QStringLiteral("Failed to get data for 'HotKey'"));
        EXPECT_EQ(thrownText([&] { key.writeString(QStringLiteral("X"), QStringLiteral("1")); }),
                  QStringLiteral("Failed to set data for 'X'"));
        EXPECT_FALSE(store.registry().createKey(Root::LocalMachine, kConfigKey));
        EXPECT_FALSE(store.registry().setValue(Root::LocalMachine, kConfigKey, QStringLiteral("X"),
                                               RegValue::String("1")));
    }

    void replaceFile(const QByteArray& content) {
        store.close();
        QFile f(store.file());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        f.close();
        store.reopen();
    }
};

TEST_F(ConfigStoreBadFile, CorruptFileIsNeverRewritten) {
    QByteArray random(8192, '\0');
    QRandomGenerator gen(20240611);
    for (char& c : random)
        c = static_cast<char>(gen.bounded(256));
    const QByteArray contents[] = {
        random,
        QByteArrayLiteral("[config]\nEmpresa=ACME\nHotKey=32833\n"),
    };
    for (const QByteArray& content : contents) {
        SCOPED_TRACE(content.left(16).toHex().toStdString());
        replaceFile(content);
        expectUnusable();
        store.close();
        EXPECT_EQ(store.bytes(), content);
        EXPECT_FALSE(QFile::exists(store.file() + QStringLiteral("-journal")));
    }
}

TEST_F(ConfigStoreBadFile, ReadOnlyFileIsReadButNeverWritten) {
    store.createConfigKey();
    store.configKey().writeString(QStringLiteral("Empresa"), QStringLiteral("ACME"));
    store.close();
    const QByteArray before = store.bytes();
    ASSERT_EQ(::chmod(QFile::encodeName(store.file()).constData(), 0444), 0);
    store.reopen();

    RegistryKey key = store.configKey();
    EXPECT_TRUE(key.hasCurrentKey());
    EXPECT_EQ(key.readString(QStringLiteral("empresa")), QStringLiteral("ACME"));
    EXPECT_EQ(thrownText([&] { key.writeString(QStringLiteral("Empresa"), QStringLiteral("X")); }),
              QStringLiteral("Failed to set data for 'Empresa'"));
    EXPECT_EQ(thrownText([&] { key.writeInteger(QStringLiteral("HotKey"), 1); }),
              QStringLiteral("Failed to set data for 'HotKey'"));
    EXPECT_EQ(thrownText([&] { key.createKey(QStringLiteral("Software\\Outra")); }),
              QStringLiteral("Failed to create key Software\\Outra"));
    EXPECT_EQ(key.readString(QStringLiteral("Empresa")), QStringLiteral("ACME"));

    store.close();
    EXPECT_EQ(store.bytes(), before);
}

// Another process holds the file in an exclusive transaction, whether our
// store opened it before or during the lock.
class ConfigStoreLocked : public ConfigStore, public ::testing::WithParamInterface<bool> {};

TEST_P(ConfigStoreLocked, WriteFailsAndValuesSurviveTheLock) {
    const bool openedDuringLock = GetParam();
    store.createConfigKey();
    store.configKey().writeString(QStringLiteral("Empresa"), QStringLiteral("ACME"));
    if (openedDuringLock)
        store.close();

    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(store.file().toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    if (openedDuringLock)
        store.reopen();

    {
        RegistryKey key(store.registry(), Root::LocalMachine);
        key.openKey(kConfigKey, false);
        // Nothing can be read through the lock; it reads as missing.
        EXPECT_EQ(key.readString(QStringLiteral("Empresa")), QString());
        EXPECT_EQ(
            thrownText([&] { key.writeString(QStringLiteral("Empresa"), QStringLiteral("X")); }),
            QStringLiteral("Failed to set data for 'Empresa'"));
        EXPECT_FALSE(store.registry().setValue(Root::LocalMachine, kConfigKey,
                                               QStringLiteral("Empresa"), RegValue::String("X")));
    }

    ASSERT_EQ(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);

    RegistryKey key = store.configKey();
    EXPECT_EQ(key.readString(QStringLiteral("Empresa")), QStringLiteral("ACME"));
    key.writeString(QStringLiteral("Empresa"), QStringLiteral("NOVA"));
    store.reopen();
    EXPECT_EQ(store.configKey().readString(QStringLiteral("Empresa")), QStringLiteral("NOVA"));
}

INSTANTIATE_TEST_SUITE_P(Config, ConfigStoreLocked, ::testing::Bool(), [](const auto& info) {
    return std::string(info.param ? "OpenedDuringLock" : "OpenedBeforeLock");
});

}  // namespace
}  // namespace quindra
