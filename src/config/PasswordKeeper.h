#pragma once

#include <QString>
#include <optional>

namespace quindra {

// Where the SMTP password is kept apart from the settings file: the
// desktop's keyring, when it answers.
class PasswordKeeper {
public:
    virtual ~PasswordKeeper() = default;
    // The password kept, an empty text when none is; nothing when the keyring
    // does not answer (no session bus, no Secret Service, a locked keyring).
    virtual std::optional<QString> read() = 0;
    // Keeps the password (an empty one takes it away); false when refused.
    virtual bool write(const QString& password) = 0;
};

// The freedesktop Secret Service (GNOME Keyring, KWallet) through libsecret,
// in the default collection, under the program's own schema.
class SecretServiceKeeper final : public PasswordKeeper {
public:
    std::optional<QString> read() override;
    bool write(const QString& password) override;
};

}  // namespace quindra
