#pragma once

#include <QString>

namespace quindra {

// Mirrors the stored autostart entry into the desktop session, so the
// program really starts with it.
class AutostartMirror {
public:
    virtual ~AutostartMirror() = default;
    // An empty entry switches autostart off. False when the session's file
    // could not be written or removed.
    virtual bool apply(const QString& entry) = 0;
};

// The XDG autostart file ($XDG_CONFIG_HOME/autostart/quindra-espera.desktop),
// whose Exec is the running program's real path.
class XdgAutostartFile final : public AutostartMirror {
public:
    XdgAutostartFile(QString desktopFile, QString executablePath);
    static QString defaultFile();

    bool apply(const QString& entry) override;
    const QString& file() const { return file_; }

private:
    QString file_;
    QString executable_;
};

}  // namespace quindra
