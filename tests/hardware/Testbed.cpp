// Before any Qt header, whose keywords its GLib headers would trip over.
#include <umockdev.h>

#include "Testbed.h"

#include <QFile>
#include <algorithm>
#include <vector>

#include "core/QtEventLoop.h"

namespace quindra::testing {

namespace {

// A NULL-terminated array of name/value texts, as the test bed takes them.
class CStrings {
public:
    explicit CStrings(const QStringList& list) {
        for (const QString& s : list)
            bytes_.push_back(s.toUtf8());
        for (QByteArray& b : bytes_)
            pointers_.push_back(b.data());
        pointers_.push_back(nullptr);
    }
    gchar** get() { return pointers_.data(); }

private:
    std::vector<QByteArray> bytes_;
    std::vector<gchar*> pointers_;
};

QString hex4(const char* s) {
    return QString::fromLatin1(s);
}

}  // namespace

QByteArray UmockdevPreload() {
    return QByteArrayLiteral("libumockdev-preload.so.0");
}

Testbed::Testbed() : bed_(umockdev_testbed_new()) {}

Testbed::~Testbed() {
    g_object_unref(bed_);
}

QString Testbed::root() const {
    gchar* dir = umockdev_testbed_get_root_dir(bed_);
    const QString root = QString::fromUtf8(dir);
    g_free(dir);
    return root;
}

QString Testbed::add(const char* subsystem, const QString& name, const QString& parent,
                     const QStringList& attributes, const QStringList& properties) {
    CStrings attrs(attributes), props(properties);
    const QByteArray n = name.toUtf8(), p = parent.toUtf8();
    gchar* path = umockdev_testbed_add_devicev(bed_, subsystem, n.constData(),
                                               parent.isEmpty() ? nullptr : p.constData(),
                                               attrs.get(), props.get());
    const QString syspath = QString::fromUtf8(path);
    g_free(path);
    return syspath;
}

MockUsbDevice Testbed::addUsbHid(const QString& port, const QString& parent, const char* vendor,
                                 const char* product, const char* productName, int hidraw,
                                 bool audio, bool identifiable) {
    MockUsbDevice d;
    const QString v = hex4(vendor), p = hex4(product);
    // PRODUCT writes the ids without leading zeros.
    const QString productProperty = QStringLiteral("%1/%2/100")
                                        .arg(QString::number(v.toUInt(nullptr, 16), 16),
                                             QString::number(p.toUInt(nullptr, 16), 16));
    d.usb = add("usb", port, parent,
                {"idVendor", v, "idProduct", p, "product", productName, "serial",
                 QStringLiteral("SN-") + port, "bDeviceClass", "00"},
                {"DEVTYPE", "usb_device", "PRODUCT", productProperty, "TYPE", "0/0/0"});
    d.nodes << d.usb;
    int interface = 0;
    if (audio) {
        d.nodes << add("usb", port + QStringLiteral(":1.0"), d.usb,
                       {"bInterfaceClass", "01", "bInterfaceSubClass", "01"},
                       {"DEVTYPE", "usb_interface", "INTERFACE", "1/1/0"});
        interface = 3;
    }
    const QString hidInterface = add("usb", port + QStringLiteral(":1.%1").arg(interface), d.usb,
                                     {"bInterfaceClass", "03", "bInterfaceSubClass", "00"},
                                     {"DEVTYPE", "usb_interface", "INTERFACE", "3/0/0"});
    d.nodes << hidInterface;
    const QString hidName = QStringLiteral("0003:%1:%2.%3")
                                .arg(v.toUpper(), p.toUpper())
                                .arg(hidraw + 1, 4, 16, QLatin1Char('0'));
    const QString hid =
        add("hid", hidName, hidInterface, {},
            {"HID_ID",
             identifiable ? QStringLiteral("0003:0000%1:0000%2").arg(v.toUpper(), p.toUpper())
                          : QStringLiteral("0003:garbled"),
             "HID_NAME", productName});
    d.nodes << hid;
    d.hidraw = add("hidraw", QStringLiteral("hidraw%1").arg(hidraw), hid, {},
                   {"DEVNAME", QStringLiteral("/dev/hidraw%1").arg(hidraw)});
    d.nodes << d.hidraw;
    return d;
}

MockUsbDevice Testbed::plugHoldHardware(const QString& port, int hidraw) {
    return addUsbHid(port, {}, "0416", "8200", "Q-ZORBE", hidraw, true);
}

MockUsbDevice Testbed::plugKeyboard(const QString& port, int hidraw, const QString& parent) {
    return addUsbHid(port, parent, "04d9", "1603", "USB Keyboard", hidraw, false);
}

MockUsbDevice Testbed::plugUnidentifiableHid(const QString& port, int hidraw) {
    return addUsbHid(port, {}, "1234", "5678", "Odd Gadget", hidraw, false, false);
}

MockUsbDevice Testbed::plugHub(const QString& port) {
    MockUsbDevice d;
    d.usb = add(
        "usb", port, {},
        {"idVendor", "05e3", "idProduct", "0610", "product", "USB2.0 Hub", "bDeviceClass", "09"},
        {"DEVTYPE", "usb_device", "PRODUCT", "5e3/610/9322", "TYPE", "9/0/1"});
    d.nodes << d.usb;
    return d;
}

MockUsbDevice Testbed::plugUnidentifiableUsb(const QString& port) {
    MockUsbDevice d;
    d.usb = add("usb", port, {}, {"product", "Odd Gadget", "bDeviceClass", "ff"},
                {"DEVTYPE", "usb_device", "PRODUCT", "garbled", "TYPE", "255/0/0"});
    d.nodes << d.usb;
    return d;
}

void Testbed::pull(const MockUsbDevice& d) {
    // The test bed reads a node's properties to announce it, so the removal
    // is announced while the node is still there.
    for (auto node = d.nodes.crbegin(); node != d.nodes.crend(); ++node)
        umockdev_testbed_uevent(bed_, node->toUtf8().constData(), "remove");
    for (auto node = d.nodes.crbegin(); node != d.nodes.crend(); ++node)
        umockdev_testbed_remove_device(bed_, node->toUtf8().constData());
}

void Testbed::removeAttribute(const QString& node, const char* name) {
    QFile::remove(root() + node + QLatin1Char('/') + QString::fromLatin1(name));
}

}  // namespace quindra::testing
