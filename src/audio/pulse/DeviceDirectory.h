#pragma once

#include <QString>
#include <string>
#include <vector>

#include "audio/pulse/PulseConnection.h"
#include "ports/WaveControl.h"

namespace quindra::pulse {

enum class DeviceKind { Capture, Playback };

// A source or sink as the server describes it.
struct ServerDevice {
    std::string pulseName;  // the server's own name, used to open streams
    QString product;        // device.product.name, else the description
    bool monitor = false;   // a sink's monitor source
};

// A device under the name the operator sees.
struct NamedDevice {
    QString name;
    std::string pulseName;
};

// "Microfone (product)" for capture, "Alto-falantes (product)" for playback,
// in the server's order; monitor sources are no capture devices. A name that
// repeats is numbered as the operator knows it from other systems:
// "Microfone (2- Q-ZORBE)" for the second device of that product.
std::vector<NamedDevice> nameDevices(DeviceKind kind, const std::vector<ServerDevice>& devices);

// Lists the server's devices, fresh on every call; each query waits (bounded)
// for the server and throws WaveError when it fails.
class DeviceDirectory {
public:
    explicit DeviceDirectory(PulseConnection& connection) : connection_(connection) {}

    std::vector<NamedDevice> list(DeviceKind kind);
    // The server's name of the device the operator's name means; throws
    // WaveError "Dispositivo de áudio não encontrado: " + name when none.
    std::string find(DeviceKind kind, const QString& name);
    // The server's name for a choice; empty, the server's own default, for
    // the system default.
    std::string resolve(DeviceKind kind, const DeviceChoice& choice);

private:
    PulseConnection& connection_;
};

}  // namespace quindra::pulse
