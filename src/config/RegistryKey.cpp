#include "config/RegistryKey.h"

namespace quindra {

namespace {

// A change the store refused. When the fault is the store's own, the
// operator reads why, in Portuguese; otherwise (no such key) the store's
// classic text.
ConfigError refused(const Registry& registry, const QString& classic, const QString& name) {
    const QString fault = registry.writeFault();
    if (fault.isEmpty())
        return ConfigError(classic);
    return ConfigError(
        QStringLiteral("Não foi possível gravar '%1' no arquivo de configurações: %2.")
            .arg(name, fault));
}

}  // namespace

bool RegistryKey::openKey(const QString& path, bool canCreate) {
    current_.clear();
    // A key that cannot be created leaves no current key, so the write that
    // follows reports the refused value.
    if (!registry_.keyExists(root_, path) && !(canCreate && registry_.createKey(root_, path)))
        return false;
    current_ = path;
    return true;
}

bool RegistryKey::keyExists(const QString& path) {
    return registry_.keyExists(root_, path);
}

void RegistryKey::createKey(const QString& path) {
    if (!registry_.createKey(root_, path))
        throw refused(registry_, QStringLiteral("Failed to create key %1").arg(path), path);
}

std::optional<RegValue> RegistryKey::value(const QString& name) {
    if (current_.isEmpty())
        return std::nullopt;
    return registry_.value(root_, current_, name);
}

QString RegistryKey::readString(const QString& name) {
    const auto v = value(name);
    if (!v)
        return {};
    if (v->kind != RegValue::Kind::String)
        throw ConfigError(QStringLiteral("Invalid data type for '%1'").arg(name));
    return v->text;
}

void RegistryKey::writeString(const QString& name, const QString& text) {
    if (current_.isEmpty() || !registry_.setValue(root_, current_, name, RegValue::String(text)))
        throw refused(registry_, QStringLiteral("Failed to set data for '%1'").arg(name), name);
}

void RegistryKey::writeStrings(const QList<std::pair<QString, QString>>& texts) {
    if (texts.isEmpty())
        return;
    QList<std::pair<QString, RegValue>> values;
    for (const auto& [name, text] : texts)
        values.append({name, RegValue::String(text)});
    if (current_.isEmpty() || !registry_.setValues(root_, current_, values))
        throw refused(registry_,
                      QStringLiteral("Failed to set data for '%1'").arg(texts.front().first),
                      texts.front().first);
}

std::int32_t RegistryKey::readInteger(const QString& name) {
    const auto v = value(name);
    if (!v)
        throw ConfigError(QStringLiteral("Failed to get data for '%1'").arg(name));
    if (v->kind != RegValue::Kind::Integer)
        throw ConfigError(QStringLiteral("Invalid data type for '%1'").arg(name));
    return v->number;
}

void RegistryKey::writeInteger(const QString& name, std::int32_t number) {
    if (current_.isEmpty() || !registry_.setValue(root_, current_, name, RegValue::Integer(number)))
        throw refused(registry_, QStringLiteral("Failed to set data for '%1'").arg(name), name);
}

}  // namespace quindra
