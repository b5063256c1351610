#pragma once

#include <libudev.h>

#include <memory>

namespace quindra::udev {

struct ContextUnref {
    void operator()(::udev* u) const { udev_unref(u); }
};
struct DeviceUnref {
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
struct MonitorUnref {
    void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
};
struct EnumerateUnref {
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
};

using ContextPtr = std::unique_ptr<::udev, ContextUnref>;
using DevicePtr = std::unique_ptr<udev_device, DeviceUnref>;
using MonitorPtr = std::unique_ptr<udev_monitor, MonitorUnref>;
using EnumeratePtr = std::unique_ptr<udev_enumerate, EnumerateUnref>;

}  // namespace quindra::udev
