#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "config/Registry.h"

struct sqlite3;

namespace quindra {

// The settings store on one SQLite file: a table of keys and a table of
// values, both addressed by case-folded names. Every write is its own
// transaction, so a crash never leaves half a value behind.
//
// The file holds the SMTP password: it is created readable by its user only,
// and an existing regular file loses any access of others when it is opened
// (a link is never followed for that: its target is left as it is).
//
// A file that cannot be used (corrupt, not a database, another program's
// database, locked past a short wait, a folder in its place) is never
// rewritten: reads then see missing values and writes fail. A file without
// write permission is opened read-only. The first failure is reported in one
// line naming the file and the reason, and so is the moment it works again.
class SqliteRegistry final : public Registry {
public:
    explicit SqliteRegistry(const QString& file);
    ~SqliteRegistry() override;

    // The file named by QUINDRA_REGISTRY, else $XDG_CONFIG_HOME/quindra/registry.db.
    static QString defaultFile();

    bool usable() const { return db_ != nullptr && schema_ == Schema::Ours; }
    const QString& file() const { return file_; }

    // Where the store's reports go. Reports made before there was anywhere to
    // send them (at start, before the status log exists) are sent now.
    void setReporter(std::function<void(const QString&)> report);

    bool keyExists(Root root, const QString& path) override;
    bool createKey(Root root, const QString& path) override;
    std::optional<RegValue> value(Root root, const QString& path, const QString& name) override;
    bool setValue(Root root, const QString& path, const QString& name, const RegValue& v) override;
    bool setValues(Root root, const QString& path,
                   const QList<std::pair<QString, RegValue>>& values) override;
    QString writeFault() const override;

private:
    struct Closer {
        void operator()(sqlite3* db) const;
    };
    enum class Schema { Unknown, Ours, Foreign };
    enum class Use { Read, Write };

    bool open();
    Schema prepareSchema(int& rc);
    bool ensureSchema();
    bool writable();
    // A write of the values when the key exists: SQLITE_OK, SQLITE_NOTFOUND
    // for a missing key (the caller's fault, not the store's), or the error.
    int writeValues(Root root, const QString& path,
                    const QList<std::pair<QString, RegValue>>& values);

    void failed(Use use, const QString& reason);
    void failed(Use use, int rc);
    void worked(Use use);
    void report(const QString& line);

    QString file_;
    std::unique_ptr<sqlite3, Closer> db_;
    bool readOnly_ = false;
    Schema schema_ = Schema::Unknown;
    QString openFailure_;  // why the file could not be opened at all

    QString fault_;  // the reason of the latest failure
    // Why the store refuses now: the reason of a failure not yet followed by
    // an operation of its kind that worked.
    QString openFault_;
    std::optional<Use> openFaultUse_;
    std::optional<Use> failing_;  // what must work again to end a failure
    std::function<void(const QString&)> reporter_;
    QStringList unsent_;
};

}  // namespace quindra
