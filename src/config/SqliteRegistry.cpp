#include "config/SqliteRegistry.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

namespace quindra {

namespace {

// How long a write waits for another process to let go of the file. The UI
// thread waits here, so it stays short; a longer lock fails the write.
constexpr int kBusyTimeoutMs = 250;

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
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK)
            stmt_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
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
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
    int columnInt(int i) const { return sqlite3_column_int(stmt_, i); }
    QString columnText(int i) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
        const int n = sqlite3_column_bytes(stmt_, i);
        return p ? QString::fromUtf8(p, n) : QString();
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

bool exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Runs fn inside one write transaction; rolls back unless fn and the commit
// both succeed.
template <typename Fn>
bool inTransaction(sqlite3* db, Fn fn) {
    if (!exec(db, "BEGIN IMMEDIATE"))
        return false;
    if (!fn() || !exec(db, "COMMIT")) {
        exec(db, "ROLLBACK");
        return false;
    }
    return true;
}

bool insertKey(sqlite3* db, int root, const QString& path) {
    Statement s(db, "INSERT OR IGNORE INTO keys(root, path, name) VALUES (?1, ?2, ?3)");
    return s.bind(1, root).bind(2, folded(path)).bind(3, path).step() == SQLITE_DONE;
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
    const QFileInfo info(file);
    QDir().mkpath(info.absolutePath());

    // Permission bits decide, so a read-only file stays read-only even for root.
    struct stat st {};
    const QByteArray native = QFile::encodeName(file);
    if (::stat(native.constData(), &st) == 0 && (st.st_mode & S_IWUSR) == 0)
        readOnly_ = true;

    const int flags = readOnly_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(native.constData(), &raw, flags, nullptr);
    db_.reset(raw);
    if (rc != SQLITE_OK) {
        db_.reset();
        return;
    }
    sqlite3_busy_timeout(db_.get(), kBusyTimeoutMs);
    sqlite3_extended_result_codes(db_.get(), 1);
    schemaReady_ = prepareSchema();
}

SqliteRegistry::~SqliteRegistry() = default;

bool SqliteRegistry::prepareSchema() {
    sqlite3* db = db_.get();
    // Reading the schema is what tells a corrupt or foreign file apart.
    Statement probe(db, "SELECT count(*) FROM sqlite_master WHERE name IN ('keys', 'vals')");
    if (!probe.ok() || probe.step() != SQLITE_ROW)
        return false;
    if (probe.columnInt(0) == 2)
        return true;
    if (readOnly_)
        return false;

    return inTransaction(db, [db] {
        if (!exec(db,
                  "CREATE TABLE IF NOT EXISTS keys ("
                  "  root INTEGER NOT NULL, path TEXT NOT NULL, name TEXT NOT NULL,"
                  "  PRIMARY KEY (root, path))") ||
            !exec(db,
                  "CREATE TABLE IF NOT EXISTS vals ("
                  "  root INTEGER NOT NULL, path TEXT NOT NULL, name_key TEXT NOT NULL,"
                  "  name TEXT NOT NULL, kind INTEGER NOT NULL, data,"
                  "  PRIMARY KEY (root, path, name_key))"))
            return false;
        // The system's run keys exist on every installation; only their
        // values come and go.
        for (int root : {0, 1}) {
            QString partial;
            for (const QString& part :
                 pathParts(QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Run"))) {
                partial = partial.isEmpty() ? part : partial + QLatin1Char('\\') + part;
                if (!insertKey(db, root, partial))
                    return false;
            }
        }
        return true;
    });
}

bool SqliteRegistry::ensureSchema() {
    // A file that was busy at start may have become usable since.
    if (!schemaReady_ && db_)
        schemaReady_ = prepareSchema();
    return schemaReady_;
}

bool SqliteRegistry::keyExists(Root root, const QString& path) {
    const QString p = normalPath(path);
    if (p.isEmpty() || !ensureSchema())
        return false;
    Statement s(db_.get(), "SELECT 1 FROM keys WHERE root = ?1 AND path = ?2");
    return s.bind(1, rootId(root)).bind(2, folded(p)).step() == SQLITE_ROW;
}

bool SqliteRegistry::createKey(Root root, const QString& path) {
    const QStringList parts = pathParts(path);
    if (parts.isEmpty() || readOnly_ || !ensureSchema())
        return false;
    sqlite3* db = db_.get();
    return inTransaction(db, [&] {
        QString partial;
        for (const QString& part : parts) {
            partial = partial.isEmpty() ? part : partial + QLatin1Char('\\') + part;
            if (!insertKey(db, rootId(root), partial))
                return false;
        }
        return true;
    });
}

std::optional<RegValue> SqliteRegistry::value(Root root, const QString& path, const QString& name) {
    if (!ensureSchema())
        return std::nullopt;
    Statement s(db_.get(),
                "SELECT kind, data FROM vals WHERE root = ?1 AND path = ?2 AND name_key = ?3");
    s.bind(1, rootId(root)).bind(2, folded(normalPath(path))).bind(3, folded(name));
    if (s.step() != SQLITE_ROW)
        return std::nullopt;
    if (s.columnInt(0) == static_cast<int>(RegValue::Kind::Integer))
        return RegValue::Integer(s.columnInt(1));
    return RegValue::String(s.columnText(1));
}

bool SqliteRegistry::setValue(Root root, const QString& path, const QString& name,
                              const RegValue& v) {
    if (readOnly_ || !ensureSchema())
        return false;
    const QString p = folded(normalPath(path));
    sqlite3* db = db_.get();
    return inTransaction(db, [&] {
        Statement key(db, "SELECT 1 FROM keys WHERE root = ?1 AND path = ?2");
        if (key.bind(1, rootId(root)).bind(2, p).step() != SQLITE_ROW)
            return false;
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
        return put.step() == SQLITE_DONE;
    });
}

}  // namespace quindra
