#pragma once

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>
#include <utility>

namespace quindra {

enum class Root { LocalMachine, CurrentUser };

// One stored value: a text or a 32-bit integer.
struct RegValue {
    enum class Kind { String, Integer };
    Kind kind = Kind::String;
    QString text;
    std::int32_t number = 0;

    static RegValue String(QString t) { return {Kind::String, std::move(t), 0}; }
    static RegValue Integer(std::int32_t n) { return {Kind::Integer, {}, n}; }
};

// The settings store as the platform gives it: keys named by a root and a
// backslash path, holding named values. Key paths and value names compare
// without regard to case; a trailing backslash names the same key.
class Registry {
public:
    virtual ~Registry() = default;

    virtual bool keyExists(Root root, const QString& path) = 0;
    // Creates the key and any missing parent; false when the store refuses.
    virtual bool createKey(Root root, const QString& path) = 0;
    // Nothing when the key or the value is missing, or the store can't be read.
    virtual std::optional<RegValue> value(Root root, const QString& path, const QString& name) = 0;
    // Creates or replaces the value in one durable step; false when refused
    // (missing key, read-only or locked store). A name differing only in case
    // replaces the existing value.
    virtual bool setValue(Root root, const QString& path, const QString& name,
                          const RegValue& v) = 0;
    // Several values in one durable step, in order: all of them or none.
    virtual bool setValues(Root root, const QString& path,
                           const QList<std::pair<QString, RegValue>>& values) = 0;
    // Why the store itself refuses changes now (a file it cannot use, no
    // write permission, a lock that made the last write fail), in the
    // operator's words; empty while it takes them, so that a refused change
    // is the caller's (a missing key).
    virtual QString writeFault() const { return {}; }
};

}  // namespace quindra
