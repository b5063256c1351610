#pragma once

#include <QStringList>
#include <memory>

#include "config/Registry.h"

namespace quindra::testing {

// The settings store as the program sees it, noting the name of every value
// written, so a test can tell a value written back unchanged from one left
// alone; while refusing, it takes no write, as a read-only store does.
template <typename Store>
class RecordingRegistry final : public Registry {
public:
    explicit RecordingRegistry(std::unique_ptr<Store>& store) : store_(store) {}

    bool keyExists(Root root, const QString& path) override {
        return store_->keyExists(root, path);
    }
    bool createKey(Root root, const QString& path) override {
        return store_->createKey(root, path);
    }
    std::optional<RegValue> value(Root root, const QString& path, const QString& name) override {
        return store_->value(root, path, name);
    }
    bool setValue(Root root, const QString& path, const QString& name, const RegValue& v) override {
        written << name;
        return !refusing && store_->setValue(root, path, name, v);
    }
    bool setValues(Root root, const QString& path,
                   const QList<std::pair<QString, RegValue>>& values) override {
        for (const auto& [name, v] : values)
            written << name;
        return !refusing && store_->setValues(root, path, values);
    }

    QString writeFault() const override { return store_->writeFault(); }

    QStringList written;
    bool refusing = false;

private:
    std::unique_ptr<Store>& store_;
};

}  // namespace quindra::testing
