#include "config/SqliteRegistry.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>

namespace quindra {

namespace {

// How long a write waits for another process to let go of the file. The UI
// thread waits here, so it stays short; a longer lock fails the write.
constexpr int kBusyTimeoutMs = 250;

// Marks a database as this program's store ("QNDR").
constexpr int kApplicationId = 0x514E4452;

// Keys and names are compared by their case-folded form, which also folds
// accented letters, unlike SQLite's ASCII-only NOCASE.
QString folded(const QString& s) {
    return s.toCaseFolded();
}

// "A\B\", "\A\B" and "a\b" all name the same key.
QStringList pathParts(const QString& path) {
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

QString normalPath(const QString& path) {
    return pathParts(path).join(QLatin1Char('\\'));
}

int rootId(Root r) {
    return r == Root::LocalMachine ? 0 : 1;
}

// One prepared statement, finalized on every path.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
        if (rc_ != SQLITE_OK)
            stmt_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int i, int v) {
        if (stmt_)
            sqlite3_bind_int(stmt_, i, v);
        return *this;
    }
    Statement& bind(int i, const QString& s) {
        if (stmt_) {
            const QByteArray utf8 = s.toUtf8();
            sqlite3_bind_text(stmt_, i, utf8.constData(), static_cast<int>(utf8.size()),
                              SQLITE_TRANSIENT);
        }
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code (also the one that kept the
    // statement from being prepared).
    int step() {
        if (stmt_)
            rc_ = sqlite3_step(stmt_);
        return rc_;
    }
    int columnInt(int i) const { return sqlite3_column_int(stmt_, i); }
    QString columnText(int i) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
        const int n = sqlite3_column_bytes(stmt_, i);
        return p ? QString::fromUtf8(p, n) : QString();
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int rc_ = SQLITE_ERROR;
};

bool isError(int rc) {
    return rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE;
}

int exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// Runs fn inside one write transaction and commits only when it returns
// SQLITE_OK; anything else rolls back and is returned.
template <typename Fn>
int inTransaction(sqlite3* db, Fn fn) {
    int rc = exec(db, "BEGIN IMMEDIATE");
    if (rc != SQLITE_OK)
        return rc;
    rc = fn();
    if (rc == SQLITE_OK)
        rc = exec(db, "COMMIT");
    if (rc != SQLITE_OK)
        exec(db, "ROLLBACK");
    return rc;
}

int insertKey(sqlite3* db, int root, const QString& path) {
    Statement s(db, "INSERT OR IGNORE INTO keys(root, path, name) VALUES (?1, ?2, ?3)");
    const int rc = s.bind(1, root).bind(2, folded(path)).bind(3, path).step();
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

// The operator's words for what went wrong.
QString faultText(int rc) {
    switch (rc & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return QStringLiteral("o arquivo está bloqueado por outro programa");
        case SQLITE_READONLY:
            return QStringLiteral("o arquivo ou o disco não aceita gravação");
        case SQLITE_FULL:
            return QStringLiteral("o disco está cheio");
        case SQLITE_NOTADB:
            return QStringLiteral("o arquivo não é um banco de dados");
        case SQLITE_CORRUPT:
            return QStringLiteral("o arquivo está corrompido");
        case SQLITE_CANTOPEN:
            return QStringLiteral("o arquivo não pôde ser aberto");
        case SQLITE_IOERR:
            return QStringLiteral("erro de leitura ou gravação no disco");
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return QStringLiteral("sem permissão de acesso");
        case SQLITE_ERROR:
        case SQLITE_SCHEMA:
        case SQLITE_CONSTRAINT:
        case SQLITE_MISMATCH:
        case SQLITE_FORMAT:
            return QStringLiteral("as tabelas do arquivo não são as que o programa usa");
        case SQLITE_NOMEM:
            return QStringLiteral("falta memória");
        case SQLITE_PROTOCOL:
            return QStringLiteral("o bloqueio do arquivo falhou");
        case SQLITE_NOLFS:
        case SQLITE_TOOBIG:
            return QStringLiteral("o arquivo é grande demais");
        default:
            // Never the library's own words: they are English.
            return QStringLiteral("falha do banco de dados (código %1)").arg(rc);
    }
}

// Takes away any access of others, on the file itself: the mode is changed
// through a descriptor of a regular file opened here, never through a link
// (whose target may be any file of the user's) nor by a name that could be
// swapped for one between a check and the change.
void tightenMode(const QByteArray& native) {
    const int fd =
        ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0)
        ::fchmod(fd, st.st_mode & 0700);
    ::close(fd);
}

}  // namespace

void SqliteRegistry::Closer::operator()(sqlite3* db) const {
    sqlite3_close_v2(db);
}

QString SqliteRegistry::defaultFile() {
    const QByteArray env = qgetenv("QUINDRA_REGISTRY");
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/quindra/registry.db");
}

SqliteRegistry::SqliteRegistry(const QString& file) : file_(file) {
    if (!open())
        failed(Use::Read, openFailure_);
    else
        ensureSchema();
}

SqliteRegistry::~SqliteRegistry() = default;

bool SqliteRegistry::open() {
    const QFileInfo info(file_);
    QDir().mkpath(info.absolutePath());
    const QByteArray native = QFile::encodeName(file_);

    struct stat st {};
    if (::stat(native.constData(), &st) != 0) {
        // Made here, readable by its user only, before SQLite writes to it
        // (an empty file is an empty database). Its journal takes the same mode.
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0)
            ::close(fd);
    } else if (S_ISDIR(st.st_mode)) {
        openFailure_ = QStringLiteral("há uma pasta no lugar do arquivo");
        return false;
    } else {
        tightenMode(native);
        // Permission bits decide, so a read-only file stays read-only even for root.
        readOnly_ = (st.st_mode & S_IWUSR) == 0;
    }

    const int flags = readOnly_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(native.constData(), &raw, flags, nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK) {
        db_.reset();
        openFailure_ = faultText(rc);
        return false;
    }
    sqlite3_busy_timeout(db_.get(), kBusyTimeoutMs);
    sqlite3_extended_result_codes(db_.get(), 1);
    return true;
}

// Reading the schema is what tells a corrupt, a foreign and a new file apart.
// Tables are added only to a database that holds none.
SqliteRegistry::Schema SqliteRegistry::prepareSchema(int& rc) {
    sqlite3* db = db_.get();
    Statement tables(db, "SELECT name FROM sqlite_master WHERE type = 'table'");
    QSet<QString> names;
    while ((rc = tables.step()) == SQLITE_ROW)
        names.insert(tables.columnText(0));
    if (rc != SQLITE_DONE)
        return Schema::Unknown;
    Statement id(db, "PRAGMA application_id");
    if ((rc = id.step()) != SQLITE_ROW)
        return Schema::Unknown;
    const int applicationId = id.columnInt(0);
    rc = SQLITE_OK;

    if (applicationId != 0 && applicationId != kApplicationId)
        return Schema::Foreign;
    if (names.contains(QStringLiteral("keys")) && names.contains(QStringLiteral("vals")))
        return Schema::Ours;
    if (!names.isEmpty())
        return Schema::Foreign;
    if (readOnly_) {
        rc = SQLITE_READONLY;
        return Schema::Unknown;
    }

    rc = inTransaction(db, [db] {
        int r = exec(db,
                     "CREATE TABLE keys ("
                     "  root INTEGER NOT NULL, path TEXT NOT NULL, name TEXT NOT NULL,"
                     "  PRIMARY KEY (root, path))");
        if (r == SQLITE_OK)
            r = exec(db,
                     "CREATE TABLE vals ("
                     "  root INTEGER NOT NULL, path TEXT NOT NULL, name_key TEXT NOT NULL,"
                     "  name TEXT NOT NULL, kind INTEGER NOT NULL, data,"
                     "  PRIMARY KEY (root, path, name_key))");
        if (r == SQLITE_OK) {
            const QByteArray pragma =
                "PRAGMA application_id = " + QByteArray::number(kApplicationId);
            r = exec(db, pragma.constData());
        }
        // Earlier versions write their autostart entry under these keys and
        // fail without them; a store made here keeps serving them.
        for (int root : {0, 1}) {
            QString partial;
            for (const QString& part :
                 pathParts(QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Run"))) {
                partial = partial.isEmpty() ? part : partial + QLatin1Char('\\') + part;
                if (r == SQLITE_OK)
                    r = insertKey(db, root, partial);
            }
        }
        return r;
    });
    return rc == SQLITE_OK ? Schema::Ours : Schema::Unknown;
}

bool SqliteRegistry::ensureSchema() {
    if (!db_)
        return false;
    // A file that was busy at start may have become usable since; another
    // program's database never becomes ours.
    if (schema_ == Schema::Unknown) {
        int rc = SQLITE_OK;
        schema_ = prepareSchema(rc);
        if (schema_ == Schema::Foreign)
            failed(Use::Read, QStringLiteral("o arquivo é um banco de dados de outro programa"));
        else if (schema_ == Schema::Unknown)
            failed(Use::Read, rc);
    }
    return schema_ == Schema::Ours;
}

bool SqliteRegistry::writable() {
    if (!ensureSchema())
        return false;
    if (readOnly_) {
        failed(Use::Write, QStringLiteral("o arquivo não tem permissão de gravação"));
        return false;
    }
    return true;
}

bool SqliteRegistry::keyExists(Root root, const QString& path) {
    const QString p = normalPath(path);
    if (p.isEmpty() || !ensureSchema())
        return false;
    Statement s(db_.get(), "SELECT 1 FROM keys WHERE root = ?1 AND path = ?2");
    const int rc = s.bind(1, rootId(root)).bind(2, folded(p)).step();
    if (isError(rc)) {
        failed(Use::Read, rc);
        return false;
    }
    worked(Use::Read);
    return rc == SQLITE_ROW;
}

bool SqliteRegistry::createKey(Root root, const QString& path) {
    const QStringList parts = pathParts(path);
    if (parts.isEmpty())
        return false;
    if (!writable())
        return false;
    sqlite3* db = db_.get();
    const int rc = inTransaction(db, [&] {
        QString partial;
        for (const QString& part : parts) {
            partial = partial.isEmpty() ? part : partial + QLatin1Char('\\') + part;
            if (const int r = insertKey(db, rootId(root), partial); r != SQLITE_OK)
                return r;
        }
        return SQLITE_OK;
    });
    if (rc != SQLITE_OK) {
        failed(Use::Write, rc);
        return false;
    }
    worked(Use::Write);
    return true;
}

std::optional<RegValue> SqliteRegistry::value(Root root, const QString& path, const QString& name) {
    if (!ensureSchema())
        return std::nullopt;
    Statement s(db_.get(),
                "SELECT kind, data FROM vals WHERE root = ?1 AND path = ?2 AND name_key = ?3");
    s.bind(1, rootId(root)).bind(2, folded(normalPath(path))).bind(3, folded(name));
    const int rc = s.step();
    if (isError(rc)) {
        failed(Use::Read, rc);
        return std::nullopt;
    }
    worked(Use::Read);
    if (rc != SQLITE_ROW)
        return std::nullopt;
    if (s.columnInt(0) == static_cast<int>(RegValue::Kind::Integer))
        return RegValue::Integer(s.columnInt(1));
    return RegValue::String(s.columnText(1));
}

bool SqliteRegistry::setValue(Root root, const QString& path, const QString& name,
                              const RegValue& v) {
    return setValues(root, path, {{name, v}});
}

bool SqliteRegistry::setValues(Root root, const QString& path,
                               const QList<std::pair<QString, RegValue>>& values) {
    if (!writable())
        return false;
    const int rc = writeValues(root, path, values);
    if (rc == SQLITE_NOTFOUND) {
        // No such key: the write is refused, but the store itself is fine
        // (its write lock was taken).
        worked(Use::Read);
        openFault_.clear();
        openFaultUse_.reset();
        return false;
    }
    if (rc != SQLITE_OK) {
        failed(Use::Write, rc);
        return false;
    }
    worked(Use::Write);
    return true;
}

QString SqliteRegistry::writeFault() const {
    if (!usable())
        return fault_;
    if (readOnly_)
        return QStringLiteral("o arquivo não tem permissão de gravação");
    return openFault_;
}

int SqliteRegistry::writeValues(Root root, const QString& path,
                                const QList<std::pair<QString, RegValue>>& values) {
    const QString p = folded(normalPath(path));
    sqlite3* db = db_.get();
    return inTransaction(db, [&] {
        Statement key(db, "SELECT 1 FROM keys WHERE root = ?1 AND path = ?2");
        const int found = key.bind(1, rootId(root)).bind(2, p).step();
        if (found == SQLITE_DONE)
            return SQLITE_NOTFOUND;
        if (found != SQLITE_ROW)
            return found;
        for (const auto& [name, v] : values) {
            Statement put(db,
                          "INSERT INTO vals(root, path, name_key, name, kind, data) "
                          "VALUES (?1, ?2, ?3, ?4, ?5, ?6) "
                          "ON CONFLICT(root, path, name_key) DO UPDATE SET "
                          "name = excluded.name, kind = excluded.kind, data = excluded.data");
            put.bind(1, rootId(root)).bind(2, p).bind(3, folded(name)).bind(4, name);
            put.bind(5, static_cast<int>(v.kind));
            if (v.kind == RegValue::Kind::Integer)
                put.bind(6, static_cast<int>(v.number));
            else
                put.bind(6, v.text);
            if (const int rc = put.step(); rc != SQLITE_DONE)
                return rc;
        }
        return SQLITE_OK;
    });
}

void SqliteRegistry::setReporter(std::function<void(const QString&)> report) {
    reporter_ = std::move(report);
    if (!reporter_)
        return;
    for (const QString& line : std::exchange(unsent_, {}))
        reporter_(line);
}

void SqliteRegistry::failed(Use use, int rc) {
    failed(use, faultText(rc));
}

void SqliteRegistry::failed(Use use, const QString& reason) {
    fault_ = reason;
    openFault_ = reason;
    if (openFaultUse_ != Use::Write)
        openFaultUse_ = use;
    if (failing_) {
        // Once a write has failed, only a write that works shows the end.
        if (use == Use::Write)
            failing_ = Use::Write;
        return;
    }
    failing_ = use;
    report(QStringLiteral("O arquivo de configurações %1 não pode ser usado: %2. O programa "
                          "continua com os valores que tem, sem gravar configurações nem "
                          "histórico.")
               .arg(QDir::toNativeSeparators(file_), reason));
}

void SqliteRegistry::worked(Use use) {
    // A read that works says nothing of a write that failed.
    if (use == Use::Write || openFaultUse_ != Use::Write) {
        openFault_.clear();
        openFaultUse_.reset();
    }
    // A read that works says nothing of writes that failed.
    if (!failing_ || (use == Use::Read && *failing_ == Use::Write))
        return;
    failing_.reset();
    report(QStringLiteral("O arquivo de configurações %1 voltou a funcionar.")
               .arg(QDir::toNativeSeparators(file_)));
}

void SqliteRegistry::report(const QString& line) {
    if (reporter_) {
        reporter_(line);
        return;
    }
    // Before anyone listens only the latest failure and its end matter.
    unsent_ << line;
    while (unsent_.size() > 2)
        unsent_.removeFirst();
}

}  // namespace quindra
