#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "config/Registry.h"
#include "core/AppError.h"

namespace quindra {

// A failure of the settings store, with the text the operator sees.
class ConfigError : public AppError {
public:
    using AppError::AppError;
};

// A handle on the store: one root, at most one open key. Each handler opens
// its own, uses it and lets it go.
class RegistryKey {
public:
    RegistryKey(Registry& registry, Root root) : registry_(registry), root_(root) {}

    // Opens an existing key; with canCreate, creates it first when missing.
    // False when there is no such key (or it could not be created): reads then
    // see missing values and writes fail.
    bool openKey(const QString& path, bool canCreate);
    bool keyExists(const QString& path);
    // Throws "Failed to create key %s".
    void createKey(const QString& path);
    void closeKey() { current_.clear(); }
    bool hasCurrentKey() const { return !current_.isEmpty(); }

    // The value as stored, or nothing when missing (or no current key).
    std::optional<RegValue> value(const QString& name);
    bool valueExists(const QString& name) { return value(name).has_value(); }

    // Empty when missing; throws "Invalid data type for '%s'" for an integer.
    QString readString(const QString& name);
    // Throws "Failed to set data for '%s'".
    void writeString(const QString& name, const QString& text);
    // Writes the texts in order as one change: a crash or a refusal leaves
    // none of them written. Throws "Failed to set data for '%s'" with the
    // first name.
    void writeStrings(const QList<std::pair<QString, QString>>& texts);
    // Throws "Failed to get data for '%s'" when missing, "Invalid data type for '%s'"
    // for a string.
    std::int32_t readInteger(const QString& name);
    void writeInteger(const QString& name, std::int32_t number);

private:
    Registry& registry_;
    Root root_;
    QString current_;  // the open key's path; empty when none is open
};

}  // namespace quindra
