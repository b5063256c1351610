#include "audio/pulse/DeviceDirectory.h"

#include <pulse/introspect.h>

#include <QHash>

#include "audio/pulse/MemberCallback.h"
#include "audio/pulse/PulseOperation.h"
#include "ports/WaveControl.h"

namespace quindra::pulse {

namespace {

QString productOf(const pa_proplist* props, const char* description, const char* name) {
    if (const char* product = pa_proplist_gets(props, PA_PROP_DEVICE_PRODUCT_NAME);
        product && *product) {
        return QString::fromUtf8(product);
    }
    if (description && *description)
        return QString::fromUtf8(description);
    return QString::fromUtf8(name);
}

// Collects the answer of one list request; lives until the request is done
// or cancelled.
struct DeviceQuery {
    PulseConnection& connection;
    std::vector<ServerDevice> devices;
    bool done = false;
    bool failed = false;

    void onSource(pa_context*, const pa_source_info* info, int eol) {
        if (info) {
            devices.push_back({info->name, productOf(info->proplist, info->description, info->name),
                               info->monitor_of_sink != PA_INVALID_INDEX});
        }
        finish(eol);
    }
    void onSink(pa_context*, const pa_sink_info* info, int eol) {
        if (info) {
            devices.push_back(
                {info->name, productOf(info->proplist, info->description, info->name), false});
        }
        finish(eol);
    }
    void finish(int eol) {
        if (eol == 0)
            return;
        done = true;
        failed = eol < 0;
        connection.signal();
    }
};

}  // namespace

std::vector<NamedDevice> nameDevices(DeviceKind kind, const std::vector<ServerDevice>& devices) {
    const QString prefix = kind == DeviceKind::Capture ? QStringLiteral("Microfone (")
                                                       : QStringLiteral("Alto-falantes (");
    std::vector<NamedDevice> named;
    QHash<QString, int> seen;
    for (const auto& d : devices) {
        if (d.monitor)
            continue;
        const int n = ++seen[d.product];
        const QString number = n > 1 ? QStringLiteral("%1- ").arg(n) : QString();
        named.push_back({prefix + number + d.product + QLatin1Char(')'), d.pulseName});
    }
    return named;
}

std::vector<NamedDevice> DeviceDirectory::list(DeviceKind kind) {
    PulseConnection::Lock lock(connection_);
    pa_context* context = connection_.context(lock);
    DeviceQuery query{connection_, {}};
    PulseOperation op(
        kind == DeviceKind::Capture
            ? pa_context_get_source_info_list(context, memberCallback<&DeviceQuery::onSource>,
                                              &query)
            : pa_context_get_sink_info_list(context, memberCallback<&DeviceQuery::onSink>, &query));
    if (op.valid()) {
        connection_.wait(
            lock, [&] { return query.done; }, QStringLiteral("lista de dispositivos de áudio"));
    }
    if (!op.valid() || query.failed) {
        throw WaveError(QStringLiteral("Não foi possível listar os dispositivos de áudio."));
    }
    return nameDevices(kind, query.devices);
}

std::string DeviceDirectory::find(DeviceKind kind, const QString& name) {
    for (const auto& d : list(kind)) {
        if (d.name == name)
            return d.pulseName;
    }
    throw WaveError(QStringLiteral("Dispositivo de áudio não encontrado: ") + name);
}

std::string DeviceDirectory::resolve(DeviceKind kind, const DeviceChoice& choice) {
    return choice.isSystemDefault() ? std::string() : find(kind, choice.name());
}

}  // namespace quindra::pulse
