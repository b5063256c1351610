#pragma once

#include <QMap>
#include <QString>

#include "config/Values.h"
#include "core/ShortCut.h"

namespace quindra {

class Registry;

// The settings page's texts, by what they hold.
enum class Field {
    Company,  // the header's three lines
    Contact,
    Phone,
    DropFolder,
    Recipient,  // where the notices go
    Sender,     // "De:", the notices' sender address; empty: the recipient
    SmtpUser,
    SmtpPassword,
    SmtpServer,
    SmtpPort,     // as typed: a number, or a text that is reported as none
    MetricsFile,  // node_exporter's textfile; empty: no metrics
};

// The settings page's check boxes.
enum class Box {
    StartWithSession,
    StartMinimized,
    StartHidden,
    MailEnabled,
    MailOnSwap,
    MailOnHardware,
    SecureMail,
    LevelMessages,  // every message played at one loudness
};

// What the settings page shows, as stored.
struct PageSettings {
    QMap<Field, QString> fields;
    QMap<Box, bool> boxes;
    ShortCut hotKey = kDefaultHotKey;
};

// The settings page's values in the store. Each write goes in at once, under
// the value's name; a store that refuses throws ConfigError with its text.
class SettingsStore {
public:
    explicit SettingsStore(Registry& registry) : registry_(registry) {}

    void write(Field f, const QString& text);
    void write(Box b, bool on);  // as "-1" or "0"
    void writeHotKey(ShortCut key);

    // The stored value behind a field or a box.
    static const ConfigValue& valueOf(Field f);
    static const ConfigValue& valueOf(Box b);

private:
    Registry& registry_;
};

}  // namespace quindra
