#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>

#include "support/WaitFor.h"

// umockdev's headers clash with Qt's keywords: only Testbed.cpp reads them.
typedef struct _UMockdevTestbed UMockdevTestbed;

namespace quindra {
class QtEventLoop;
}

namespace quindra::testing {

// The value of LD_PRELOAD that puts a program under umockdev's test bed
// (with the test bed's UMOCKDEV_DIR in its environment).
QByteArray UmockdevPreload();

// A USB device in the test bed: its whole-device node and every node below
// it, parents first.
struct MockUsbDevice {
    QString usb;     // the usb_device
    QString hidraw;  // its HID node, if it has one
    QStringList nodes;
};

// umockdev's test bed: a /sys of its own for this process (which runs under
// umockdev's preload library, see UnderUmockdev.cpp) and for the programs it
// starts with UmockdevPreload() and the same UMOCKDEV_DIR. Devices are made
// as the kernel shows them; the test bed announces each node it adds with an
// "add" uevent, as udev would.
//
// The test bed delivers uevents over local datagram sockets, which queue at
// most net.unix.max_dgram_qlen (10 on Debian) plus one messages each that
// pass the reader's filter; more in one go, without the reader's loop
// running, abort the test.
class Testbed {
public:
    Testbed();
    ~Testbed();
    Testbed(const Testbed&) = delete;
    Testbed& operator=(const Testbed&) = delete;

    QString root() const;

    // Each plugs a device in.
    // The hold hardware: a usb_device 0416:8200 "Q-ZORBE" with an audio
    // interface and a HID interface, its hid device and hidraw node.
    MockUsbDevice plugHoldHardware(const QString& port, int hidraw);
    // A USB keyboard: a usb_device with a HID interface, hid device and
    // hidraw node. parent: a hub's node, or empty.
    MockUsbDevice plugKeyboard(const QString& port, int hidraw, const QString& parent = {});
    // A HID device whose hid node carries no usable HID_ID.
    MockUsbDevice plugUnidentifiableHid(const QString& port, int hidraw);
    // A hub with nothing on it.
    MockUsbDevice plugHub(const QString& port);
    // A usb_device whose ids can be read neither from its attributes nor
    // from its uevent.
    MockUsbDevice plugUnidentifiableUsb(const QString& port);

    // Announces the removal of every node, children first, then takes them
    // away.
    void pull(const MockUsbDevice& d);
    // Removes a file under a node, as sysfs loses a device's attributes
    // once it is gone.
    void removeAttribute(const QString& node, const char* name);

private:
    QString add(const char* subsystem, const QString& name, const QString& parent,
                const QStringList& attributes, const QStringList& properties);
    MockUsbDevice addUsbHid(const QString& port, const QString& parent, const char* vendor,
                            const char* product, const char* productName, int hidraw, bool audio,
                            bool identifiable = true);

    UMockdevTestbed* bed_;
};

}  // namespace quindra::testing
