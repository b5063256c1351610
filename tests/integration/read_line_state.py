#!/usr/bin/python3
"""Reads what the program shows of the line's state without looking at
pixels: the band on the main page through the accessibility tree (AT-SPI),
and the tray icon's tooltip through its StatusNotifierItem on the session bus.

usage: read_line_state.py band
       read_line_state.py tooltip ITEMS_FILE
Prints the text, or nothing when it cannot be read yet.
"""
import sys


def band():
    import pyatspi

    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is None or app.name not in ("quindra", "espera"):
            continue
        stack = [app]
        while stack:
            node = stack.pop()
            try:
                name = node.name or ""
                role = node.getRoleName()
                children = list(node)
            except Exception:
                continue
            if role == "label" and (name.startswith("No ar") or name.startswith("Fora do ar")):
                print(name)
                return
            stack.extend(c for c in children if c is not None)


def tooltip(items_file):
    import dbus

    bus = dbus.SessionBus()
    with open(items_file, encoding="utf-8") as f:
        items = [l.strip() for l in f if l.strip()]
    for item in reversed(items):
        service, _, path = item.partition("/")
        obj = bus.get_object(service, "/" + path if path else "/StatusNotifierItem")
        tip = obj.Get("org.kde.StatusNotifierItem", "ToolTip",
                      dbus_interface=dbus.PROPERTIES_IFACE)
        print("\n".join(str(part) for part in (tip[2], tip[3]) if str(part)))
        return


if __name__ == "__main__":
    try:
        if sys.argv[1] == "band":
            band()
        elif sys.argv[1] == "tooltip":
            tooltip(sys.argv[2])
    except Exception as e:  # not there yet: the caller asks again
        print(f"unreadable: {e}", file=sys.stderr)
