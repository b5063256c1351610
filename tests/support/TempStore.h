#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "config/RegistryKey.h"
#include "config/SqliteRegistry.h"
#include "config/Values.h"

namespace quindra::testing {

// A settings store on a fresh file of its own temporary folder.
class TempStore {
public:
    TempStore() : file_(dir_.filePath(QStringLiteral("registry.db"))) {
        EXPECT_TRUE(dir_.isValid());
        reopen();
    }

    SqliteRegistry& registry() { return *registry_; }
    const QString& file() const { return file_; }
    QString path(const QString& name) const { return dir_.filePath(name); }

    // Lets go of the file and opens it again, as the next start would.
    void reopen() {
        registry_.reset();
        registry_ = std::make_unique<SqliteRegistry>(file_);
    }
    void close() { registry_.reset(); }

    QByteArray bytes() const {
        QFile f(file_);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    void createConfigKey() { RegistryKey(*registry_, Root::LocalMachine).createKey(kConfigKey); }

    // A fresh handle on the settings key, as the start-up reads it.
    RegistryKey configKey() {
        RegistryKey key(*registry_, Root::LocalMachine);
        key.openKey(kConfigKeySlash, false);
        return key;
    }

private:
    QTemporaryDir dir_;
    QString file_;
    std::unique_ptr<SqliteRegistry> registry_;
};

// The operator's text of whatever fn throws; empty when it throws nothing.
template <typename Fn>
QString thrownText(Fn&& fn) {
    try {
        fn();
    } catch (const AppError& e) {
        return e.text();
    }
    return {};
}

}  // namespace quindra::testing
