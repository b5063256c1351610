#pragma once

#include <QString>
#include <array>

namespace quindra {

// Where the settings live. The start-up, the company and drop-folder fields
// and the message swap name the key with a trailing backslash; both forms
// name the same key.
inline const QString kConfigKey = QStringLiteral("Software\\QuindraEspera\\config");
inline const QString kConfigKeySlash = QStringLiteral("Software\\QuindraEspera\\config\\");
// Earlier versions kept an autostart entry named kAutostartValue under the
// run key; the session's own autostart file stands for it now, and the name
// stays only in the store's errors.
inline const QString kRunKey = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\run");
inline const QString kAutostartValue = QStringLiteral("Vizudu");

enum class ValueKind { Text, Boolean, Integer, IntegerText };

// One value of the settings key with every form of its name in use. Names
// compare without regard to case in the store, so each form reaches the same
// value; they are kept as the program has always used them.
struct ConfigValue {
    const char* readForPage;     // read at start to be shown on a page
    const char* readForRuntime;  // read at start into its runtime copy
    const char* writtenAs;       // written when it changes, or by the swap
    ValueKind kind;

    QString page() const { return QString::fromLatin1(readForPage); }
    QString runtime() const { return QString::fromLatin1(readForRuntime); }
    QString written() const { return QString::fromLatin1(writtenAs); }
};

namespace values {
inline constexpr ConfigValue PathAudio{"PathAudio", "PathAudio", "PathAudio", ValueKind::Text};
inline constexpr ConfigValue Contato{"Contato", "Contato", "Contato", ValueKind::Text};
inline constexpr ConfigValue Empresa{"Empresa", "Empresa", "Empresa", ValueKind::Text};
inline constexpr ConfigValue Telefone{"Telefone", "Telefone", "Telefone", ValueKind::Text};
inline constexpr ConfigValue HideMode{"HideMOde", "HideMode", "HideMode", ValueKind::Boolean};
inline constexpr ConfigValue IniWin{"IniWin", "IniWin", "iniwin", ValueKind::Boolean};
inline constexpr ConfigValue EstadoJanela{"EstadoJanela", "EstadoJanela", "EstadoJanela",
                                          ValueKind::Boolean};
inline constexpr ConfigValue SendMail{"SendMail", "SendMail", "SendMail", ValueKind::Boolean};
inline constexpr ConfigValue TrocaMsg{"TrocaMsg", "TrocaMsg", "TrocaMSg", ValueKind::Boolean};
inline constexpr ConfigValue HardDesc{"HardDesc", "HardDesc", "HardDesc", ValueKind::Boolean};
inline constexpr ConfigValue AuthSeguro{"AuthSeguro", "AuthSeguro", "AuthSeguro",
                                        ValueKind::Boolean};
inline constexpr ConfigValue NivelaVolume{"NivelaVolume", "NivelaVolume", "NivelaVolume",
                                          ValueKind::Boolean};
inline constexpr ConfigValue SendTo{"SendTo", "SendTo", "SendTo", ValueKind::Text};
// The notices' sender ("De:"); newer than the others, one name for all uses.
inline constexpr ConfigValue SendFrom{"SendFrom", "SendFrom", "SendFrom", ValueKind::Text};
inline constexpr ConfigValue UserSMTP{"UserSmtp", "UserSMTP", "UserSMTP", ValueKind::Text};
inline constexpr ConfigValue SenhaSMTP{"SenhaSmtp", "SenhaSMTP", "SenhaSMTP", ValueKind::Text};
inline constexpr ConfigValue ServerSMTP{"ServerSmtp", "ServerSMTP", "ServerSMTP", ValueKind::Text};
inline constexpr ConfigValue PortaSMTP{"PortaSmtp", "PortaSMTP", "PortaSMTP",
                                       ValueKind::IntegerText};
// Where the hold line's metrics are written for node_exporter; new in this
// version, so it has one spelling.
inline constexpr ConfigValue PathMetricas{"PathMetricas", "PathMetricas", "PathMetricas",
                                          ValueKind::Text};
inline constexpr ConfigValue HotKey{"Hotkey", "Hotkey", "HotKey", ValueKind::Integer};
inline constexpr ConfigValue ArquivoAtual{"ArquivoAtual", "ArquivoAtual", "ArquivoAtual",
                                          ValueKind::Text};
inline constexpr ConfigValue ArquivoAnterior{"ArquivoAnterior", "ArquivoAnterior",
                                             "ArquivoAnterior", ValueKind::Text};
inline constexpr ConfigValue DataAtual{"DataAtual", "DataAtual", "DataAtual", ValueKind::Text};
inline constexpr ConfigValue DataAnteriorEntra{"DataAnteriorEntra", "DataAnteriorEntra",
                                               "DataAnteriorEntra", ValueKind::Text};
inline constexpr ConfigValue DataAnteriorSai{"DataAnteriorSai", "DataAnteriorSai",
                                             "DataAnteriorSai", ValueKind::Text};
}  // namespace values

// Every value of the settings key.
inline constexpr std::array kConfigValues{
    values::PathAudio,       values::Contato,      values::Empresa,
    values::Telefone,        values::HideMode,     values::IniWin,
    values::EstadoJanela,    values::SendMail,     values::TrocaMsg,
    values::HardDesc,        values::AuthSeguro,   values::SendTo,
    values::UserSMTP,        values::SenhaSMTP,    values::ServerSMTP,
    values::PortaSMTP,       values::HotKey,       values::ArquivoAtual,
    values::ArquivoAnterior, values::DataAtual,    values::DataAnteriorEntra,
    values::DataAnteriorSai, values::PathMetricas, values::SendFrom,
    values::NivelaVolume,
};

}  // namespace quindra
