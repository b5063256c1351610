// GLib's headers name struct members "signals", which Qt defines as a
// keyword: they come first.
#include <libsecret/secret.h>

#include "config/PasswordKeeper.h"

namespace quindra {

namespace {

const SecretSchema* schema() {
    static const SecretSchema s = {
        "br.com.vizudu.quindra.SmtpPassword",
        SECRET_SCHEMA_NONE,
        {{"setting", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr};
    return &s;
}

constexpr const char* kSetting = "SenhaSMTP";

}  // namespace

std::optional<QString> SecretServiceKeeper::read() {
    GError* error = nullptr;
    gchar* found =
        secret_password_lookup_sync(schema(), nullptr, &error, "setting", kSetting, nullptr);
    if (error) {
        g_error_free(error);
        return std::nullopt;
    }
    const QString password = found ? QString::fromUtf8(found) : QString();
    secret_password_free(found);
    return password;
}

bool SecretServiceKeeper::write(const QString& password) {
    GError* error = nullptr;
    gboolean done;
    if (password.isEmpty()) {
        secret_password_clear_sync(schema(), nullptr, &error, "setting", kSetting, nullptr);
        done = error == nullptr;
    } else {
        const QByteArray utf8 = password.toUtf8();
        done = secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT,
                                          "Quindra: senha SMTP", utf8.constData(), nullptr, &error,
                                          "setting", kSetting, nullptr);
    }
    if (error)
        g_error_free(error);
    return done;
}

}  // namespace quindra
