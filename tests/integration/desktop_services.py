#!/usr/bin/python3
"""The parts of a desktop session the program talks to over the session bus,
for tests: a notification server that records every notification, one per
line as "summary|body|urgency", and a StatusNotifierWatcher, so that Qt puts
its tray icon on the bus where its tooltip can be read.

usage: desktop_services.py RECORD_FILE [--no-notifications]
Prints "ready" once the names are owned.
"""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NOTIFY_NAME = "org.freedesktop.Notifications"
WATCHER_NAME = "org.kde.StatusNotifierWatcher"


class Notifications(dbus.service.Object):
    def __init__(self, bus, record):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.record = record
        self.next_id = 1

    @dbus.service.method(NOTIFY_NAME, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        urgency = int(hints.get("urgency", 1))
        with open(self.record, "a", encoding="utf-8") as f:
            f.write(f"{summary}|{body}|{urgency}\n")
        self.next_id += 1
        return self.next_id - 1

    @dbus.service.method(NOTIFY_NAME, in_signature="", out_signature="as")
    def GetCapabilities(self):
        return ["body"]

    @dbus.service.method(NOTIFY_NAME, in_signature="u", out_signature="")
    def CloseNotification(self, nid):
        pass

    @dbus.service.method(NOTIFY_NAME, in_signature="", out_signature="ssss")
    def GetServerInformation(self):
        return ("recorder", "quindra-tests", "1", "1.2")


class Watcher(dbus.service.Object):
    def __init__(self, bus, record):
        super().__init__(bus, "/StatusNotifierWatcher")
        self.bus = bus
        self.record = record
        self.items = []

    @dbus.service.method(WATCHER_NAME, in_signature="s", out_signature="",
                         sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        # Qt passes its service name; the item lives at /StatusNotifierItem.
        item = service if service.startswith(":") or "." in service else sender
        self.items.append(item)
        with open(self.record + ".items", "a", encoding="utf-8") as f:
            f.write(item + "\n")

    @dbus.service.method(WATCHER_NAME, in_signature="s", out_signature="")
    def RegisterStatusNotifierHost(self, service):
        pass

    # Qt reads the watcher's property through an interface built from the
    # introspection data, so the property must be declared there.
    @dbus.service.method(dbus.INTROSPECTABLE_IFACE, in_signature="", out_signature="s")
    def Introspect(self):
        return f"""<node>
  <interface name="{WATCHER_NAME}">
    <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg type="s" direction="in"/></method>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  </interface>
  <interface name="org.freedesktop.DBus.Properties">
    <method name="Get"><arg type="s" direction="in"/><arg type="s" direction="in"/>
      <arg type="v" direction="out"/></method>
    <method name="GetAll"><arg type="s" direction="in"/><arg type="a{{sv}}" direction="out"/></method>
  </interface>
</node>"""

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, prop):
        return self.GetAll(interface)[prop]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return {
            "IsStatusNotifierHostRegistered": dbus.Boolean(True),
            "ProtocolVersion": dbus.Int32(0),
            "RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
        }


def main():
    record = sys.argv[1]
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    keep = [Watcher(bus, record)]
    names = [dbus.service.BusName(WATCHER_NAME, bus)]
    if "--no-notifications" not in sys.argv:
        keep.append(Notifications(bus, record))
        names.append(dbus.service.BusName(NOTIFY_NAME, bus))
    print("ready", flush=True)
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
