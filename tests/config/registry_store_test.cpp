#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <functional>
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

// Each value is read at start under other letter cases than its change
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
        EXPECT_TRUE(v.written() != v.page() || v.written() != v.runtime());
        EXPECT_EQ(v.written().compare(v.page(), Qt::CaseInsensitive), 0);
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
        for (const QString& name : {v.page(), v.runtime()}) {
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
                  QStringLiteral("Não foi possível gravar 'X' no arquivo de configurações: o "
                                 "arquivo não é um banco de dados."));
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
    const QString refused = QStringLiteral(
        "Não foi possível gravar '%1' no arquivo de configurações: o arquivo não tem permissão "
        "de gravação.");
    EXPECT_EQ(thrownText([&] { key.writeString(QStringLiteral("Empresa"), QStringLiteral("X")); }),
              refused.arg(QStringLiteral("Empresa")));
    EXPECT_EQ(thrownText([&] { key.writeInteger(QStringLiteral("HotKey"), 1); }),
              refused.arg(QStringLiteral("HotKey")));
    EXPECT_EQ(thrownText([&] { key.createKey(QStringLiteral("Software\\Outra")); }),
              refused.arg(QStringLiteral("Software\\Outra")));
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
            QStringLiteral("Não foi possível gravar 'Empresa' no arquivo de configurações: o "
                           "arquivo está bloqueado por outro programa."));
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

namespace quindra {
namespace {

using testing::TempStore;

// The store holds the SMTP password: only its user may read it.
TEST(ConfigStorePrivacy, TheFileIsTheUsersAlone) {
    QTemporaryDir dir;
    const auto mode = [](const QString& file) {
        struct stat st {};
        EXPECT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
        return st.st_mode & 0777;
    };
    const QString fresh = dir.filePath(QStringLiteral("novo/registry.db"));
    {
        SqliteRegistry store(fresh);
        ASSERT_TRUE(store.createKey(Root::LocalMachine, kConfigKey));
        ASSERT_TRUE(store.setValue(Root::LocalMachine, kConfigKey, QStringLiteral("SenhaSMTP"),
                                   RegValue::String(QStringLiteral("segredo"))));
        EXPECT_EQ(mode(fresh), 0600u);
    }
    // Found readable by others: tightened at start, keeping what it holds.
    ASSERT_EQ(::chmod(QFile::encodeName(fresh).constData(), 0644), 0);
    {
        SqliteRegistry store(fresh);
        EXPECT_EQ(mode(fresh), 0600u);
        EXPECT_EQ(store.value(Root::LocalMachine, kConfigKey, QStringLiteral("senhasmtp"))->text,
                  QStringLiteral("segredo"));
    }
    // A read-only file stays read-only.
    ASSERT_EQ(::chmod(QFile::encodeName(fresh).constData(), 0444), 0);
    {
        SqliteRegistry store(fresh);
        EXPECT_EQ(mode(fresh), 0400u);
    }
    // A store named by a link: its target, any file of the user's, keeps its
    // mode and its bytes.
    const QString notes = dir.filePath(QStringLiteral("notas.txt"));
    const QString linked = dir.filePath(QStringLiteral("link/registry.db"));
    {
        QFile f(notes);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("lista de compras\n");
    }
    ASSERT_EQ(::chmod(QFile::encodeName(notes).constData(), 0644), 0);
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("link"))));
    ASSERT_TRUE(QFile::link(notes, linked));
    {
        SqliteRegistry store(linked);
        EXPECT_FALSE(store.usable());
    }
    EXPECT_EQ(mode(notes), 0644u);
    QFile f(notes);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("lista de compras\n"));
}

// A store that cannot be used says so once, naming the file and the reason,
// and once more when it works again; what it cannot use it leaves as it is.
struct StoreFault {
    const char* name;
    // Spoils the store's file before it is opened; returns what the other
    // side holds (a lock), if anything.
    std::function<void(const QString& file)> spoil;
    QString reason;
    bool fileKept = true;  // byte for byte
};

void PrintTo(const StoreFault& c, std::ostream* os) {
    *os << c.name;
}

class ConfigStoreFault : public ::testing::TestWithParam<StoreFault> {};

QString unusable(const QString& file, const QString& reason) {
    return QStringLiteral(
               "O arquivo de configurações %1 não pode ser usado: %2. O programa continua com os "
               "valores que tem, sem gravar configurações nem histórico.")
        .arg(file, reason);
}

void writeFile(const QString& file, const QByteArray& bytes) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray contentOf(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST_P(ConfigStoreFault, IsReportedOnceAndTheFileLeftAlone) {
    const StoreFault& c = GetParam();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("registry.db"));
    c.spoil(file);
    const QByteArray before = contentOf(file);

    SqliteRegistry store(file);
    QStringList lines;
    store.setReporter([&](const QString& line) { lines << line; });
    for (int i = 0; i < 3; ++i) {
        store.keyExists(Root::LocalMachine, kConfigKey);
        store.value(Root::LocalMachine, kConfigKey, QStringLiteral("Empresa"));
        store.createKey(Root::LocalMachine, kConfigKey);
        store.setValue(Root::LocalMachine, kConfigKey, QStringLiteral("Empresa"),
                       RegValue::String(QStringLiteral("ACME")));
    }
    EXPECT_EQ(lines, QStringList{unusable(file, c.reason)});
    // A change refused on the way says why, in Portuguese.
    RegistryKey key(store, Root::LocalMachine);
    key.openKey(kConfigKey, true);
    EXPECT_EQ(
        thrownText([&] { key.writeString(QStringLiteral("PathAudio"), QStringLiteral("/x")); }),
        QStringLiteral("Não foi possível gravar 'PathAudio' no arquivo de configurações: %1.")
            .arg(c.reason));
    if (c.fileKept) {
        EXPECT_EQ(contentOf(file), before);
        EXPECT_FALSE(QFile::exists(file + QStringLiteral("-journal")));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ConfigStoreFault,
    ::testing::Values(
        StoreFault{"Garbage",
                   [](const QString& file) {
                       QByteArray random(8192, '\0');
                       QRandomGenerator gen(20240611);
                       for (char& ch : random)
                           ch = static_cast<char>(gen.bounded(256));
                       writeFile(file, random);
                   },
                   QStringLiteral("o arquivo não é um banco de dados")},
        StoreFault{"AFolderInItsPlace", [](const QString& file) { QDir().mkpath(file); },
                   QStringLiteral("há uma pasta no lugar do arquivo"), false},
        // Another program's database never gets the program's tables.
        StoreFault{"AnotherProgramsDatabase",
                   [](const QString& file) {
                       sqlite3* db = nullptr;
                       ASSERT_EQ(sqlite3_open(file.toUtf8().constData(), &db), SQLITE_OK);
                       ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE clientes (nome TEXT)", nullptr,
                                              nullptr, nullptr),
                                 SQLITE_OK);
                       sqlite3_close(db);
                   },
                   QStringLiteral("o arquivo é um banco de dados de outro programa")},
        // The program's mark and table names, but not its columns: what
        // SQLite calls a logic error is told in the operator's words.
        StoreFault{"TablesOfAnotherShape",
                   [](const QString& file) {
                       sqlite3* db = nullptr;
                       ASSERT_EQ(sqlite3_open(file.toUtf8().constData(), &db), SQLITE_OK);
                       ASSERT_EQ(sqlite3_exec(db,
                                              "PRAGMA application_id = 1364083794;"
                                              "CREATE TABLE keys (x);"
                                              "CREATE TABLE vals (y);",
                                              nullptr, nullptr, nullptr),
                                 SQLITE_OK);
                       sqlite3_close(db);
                   },
                   QStringLiteral("as tabelas do arquivo não são as que o programa usa")},
        StoreFault{"ReadOnly",
                   [](const QString& file) {
                       { SqliteRegistry made(file); }
                       ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0400), 0);
                   },
                   QStringLiteral("o arquivo não tem permissão de gravação")}),
    [](const auto& info) { return std::string(info.param.name); });

// A report made before anyone listens (at start, before the status log
// exists) is not lost.
TEST(ConfigStoreReport, AFailureBeforeTheLogExistsIsSentWhenItDoes) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("registry.db"));
    writeFile(file, QByteArrayLiteral("[config]\nEmpresa=ACME\n"));
    SqliteRegistry store(file);
    QStringList lines;
    store.setReporter([&](const QString& line) { lines << line; });
    EXPECT_EQ(lines,
              QStringList{unusable(file, QStringLiteral("o arquivo não é um banco de dados"))});
}

// Another process holds the file locked, then lets go: one line when the
// store fails, one when it works again, and the history written meanwhile
// is refused whole.
TEST(ConfigStoreReport, ALockIsReportedOnceAndItsEndToo) {
    TempStore store;
    store.createConfigKey();
    QStringList lines;
    store.registry().setReporter([&](const QString& line) { lines << line; });

    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(store.file().toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    const QList<std::pair<QString, RegValue>> history{
        {QStringLiteral("ArquivoAtual"), RegValue::String(QStringLiteral("promo.wav"))},
        {QStringLiteral("ArquivoAnterior"), RegValue::String(QStringLiteral("espera.wav"))}};
    EXPECT_FALSE(store.registry().setValues(Root::LocalMachine, kConfigKey, history));
    store.registry().value(Root::LocalMachine, kConfigKey, QStringLiteral("Empresa"));
    EXPECT_EQ(lines,
              QStringList{unusable(store.file(),
                                   QStringLiteral("o arquivo está bloqueado por outro programa"))});

    ASSERT_EQ(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    EXPECT_EQ(
        store.registry().value(Root::LocalMachine, kConfigKey, QStringLiteral("ArquivoAtual")),
        std::nullopt);
    // A read that works again says nothing yet of writes: one that works does.
    EXPECT_EQ(lines.size(), 1);
    EXPECT_TRUE(store.registry().setValues(Root::LocalMachine, kConfigKey, history));
    EXPECT_EQ(
        lines.mid(1),
        QStringList{
            QStringLiteral("O arquivo de configurações %1 voltou a funcionar.").arg(store.file())});
    EXPECT_EQ(store.registry()
                  .value(Root::LocalMachine, kConfigKey, QStringLiteral("arquivoanterior"))
                  ->text,
              QStringLiteral("espera.wav"));
    // A write refused for a missing key is the caller's, not the store's.
    EXPECT_FALSE(
        store.registry().setValues(Root::LocalMachine, QStringLiteral("Software\\Outra"), history));
    EXPECT_EQ(lines.size(), 2);
}

}  // namespace
}  // namespace quindra
