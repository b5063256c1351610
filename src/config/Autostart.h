#pragma once

#include <QString>

namespace quindra {

// Whether the desktop session starts the program when it begins.
class SessionAutostart {
public:
    virtual ~SessionAutostart() = default;
    // False when the session's file could not be written or removed.
    virtual bool set(bool on) = 0;
};

// The XDG autostart file ($XDG_CONFIG_HOME/autostart/quindra-espera.desktop),
// whose Exec is the running program's real path.
class XdgAutostartFile final : public SessionAutostart {
public:
    XdgAutostartFile(QString desktopFile, QString executablePath);
    static QString defaultFile();

    bool set(bool on) override;
    const QString& file() const { return file_; }

private:
    QString file_;
    QString executable_;
};

}  // namespace quindra
