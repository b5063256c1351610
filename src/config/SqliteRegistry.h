#pragma once

#include <QString>
#include <memory>

#include "config/Registry.h"

struct sqlite3;

namespace quindra {

// The settings store on one SQLite file: a table of keys and a table of
// values, both addressed by case-folded names. Every write is its own
// transaction, so a crash never leaves half a value behind.
//
// A file that cannot be used (corrupt, not a database, locked past a short
// wait) is never rewritten: reads then see missing values and writes fail.
// A file without write permission is opened read-only.
class SqliteRegistry final : public Registry {
public:
    explicit SqliteRegistry(const QString& file);
    ~SqliteRegistry() override;

    // The file named by QUINDRA_REGISTRY, else $XDG_CONFIG_HOME/quindra/registry.db.
    static QString defaultFile();

    bool usable() const { return db_ != nullptr && schemaReady_; }
    const QString& file() const { return file_; }

    bool keyExists(Root root, const QString& path) override;
    bool createKey(Root root, const QString& path) override;
    std::optional<RegValue> value(Root root, const QString& path, const QString& name) override;
    bool setValue(Root root, const QString& path, const QString& name, const RegValue& v) override;

private:
    struct Closer {
        void operator()(sqlite3* db) const;
    };

    bool prepareSchema();
    bool ensureSchema();

    QString file_;
    std::unique_ptr<sqlite3, Closer> db_;
    bool readOnly_ = false;
    bool schemaReady_ = false;
};

}  // namespace quindra
