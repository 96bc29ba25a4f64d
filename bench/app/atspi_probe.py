#!/usr/bin/python3
"""An assistive tool's view of a running program, over AT-SPI: listens to every object event
the program sends and asks it questions a screen reader asks, five times a second, until the
program's process ends. Prints how long the program took to answer (p50/p99/max) and how many
questions went unanswered within a second.

Usage: atspi_probe.py PID (the program must run with the accessibility bridge on, in the same
D-Bus session)."""

import os
import sys
import time

import dbus
import dbus.mainloop.glib
from gi.repository import GLib

ACCESSIBLE = "org.a11y.atspi.Accessible"
TABLE = "org.a11y.atspi.Table"
APPLICATION = "org.a11y.atspi.Application"
PROPERTIES = "org.freedesktop.DBus.Properties"
ROLE_TABLE = 55  # ATSPI_ROLE_TABLE
ANSWER_WITHIN = 1.0
QUERY_TIMEOUT = 60.0


def accessibility_bus():
    session = dbus.SessionBus()
    address = session.get_object("org.a11y.Bus", "/org/a11y/bus").GetAddress(
        dbus_interface="org.a11y.Bus")
    return dbus.bus.BusConnection(address)


def listen_to_object_events(bus):
    """Tells the registry that a tool listens, so the program sends its events, and takes
    them (only counted)."""
    registry = bus.get_object("org.a11y.atspi.Registry", "/org/a11y/atspi/registry")
    for event in ("object:", "window:", "focus:"):
        try:
            registry.RegisterEvent(event, dbus.Array([], signature="s"), "",
                                   dbus_interface="org.a11y.atspi.Registry")
        except dbus.DBusException:
            registry.RegisterEvent(event, dbus_interface="org.a11y.atspi.Registry")
    received = {"events": 0}

    def count(*_args, **_kwargs):
        received["events"] += 1

    for interface in ("org.a11y.atspi.Event.Object", "org.a11y.atspi.Event.Window",
                      "org.a11y.atspi.Event.Focus"):
        bus.add_signal_receiver(count, dbus_interface=interface)
    return received


def find_application(bus, pid, deadline):
    root = bus.get_object("org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root")
    daemon = bus.get_object("org.freedesktop.DBus", "/org/freedesktop/DBus")
    while time.monotonic() < deadline:
        for name, path in root.GetChildren(dbus_interface=ACCESSIBLE):
            try:
                if daemon.GetConnectionUnixProcessID(
                        name, dbus_interface="org.freedesktop.DBus") == pid:
                    return name, path
            except dbus.DBusException:
                continue
        time.sleep(0.2)
    return None


def find_tables(bus, name, path, depth=0, found=None):
    """The tables under path; their cells are not walked (there may be hundreds of
    thousands)."""
    found = [] if found is None else found
    node = bus.get_object(name, path, introspect=False)
    if node.GetRole(dbus_interface=ACCESSIBLE, timeout=QUERY_TIMEOUT) == ROLE_TABLE:
        found.append(path)
        return found
    if depth > 12:
        return found
    for child_name, child_path in node.GetChildren(dbus_interface=ACCESSIBLE,
                                                   timeout=QUERY_TIMEOUT):
        find_tables(bus, child_name, child_path, depth + 1, found)
    return found


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))] if ordered else 0.0


def main():
    pid = int(sys.argv[1])
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = accessibility_bus()
    received = listen_to_object_events(bus)
    application = find_application(bus, pid, time.monotonic() + 60)
    if application is None:
        print("  AT-SPI: the program never showed up on the accessibility bus")
        return 1
    name, root = application
    tables = find_tables(bus, name, root)
    latencies = []
    failures = {"count": 0}  # questions without an answer
    loop = GLib.MainLoop()

    def ask():
        if not os.path.exists(f"/proc/{pid}") or open(f"/proc/{pid}/stat").read().split()[2] == "Z":
            loop.quit()
            return False
        started = time.monotonic()
        try:
            node = bus.get_object(name, root, introspect=False)
            node.Get(ACCESSIBLE, "ChildCount", dbus_interface=PROPERTIES, timeout=QUERY_TIMEOUT)
            for table in tables:
                cell = bus.get_object(name, table, introspect=False)
                rows = cell.Get(TABLE, "NRows", dbus_interface=PROPERTIES,
                                timeout=QUERY_TIMEOUT)
                if rows > 0:
                    cell.GetAccessibleAt(rows - 1, 0, dbus_interface=TABLE,
                                         timeout=QUERY_TIMEOUT)
        except dbus.DBusException as error:
            # An error is an answer too (a cell that went with its row); no answer is not.
            failures.setdefault("errors", set()).add(error.get_dbus_name())
            if error.get_dbus_name() == "org.freedesktop.DBus.Error.NoReply":
                failures["count"] += 1
                return True
        latencies.append(time.monotonic() - started)
        return True

    GLib.timeout_add(200, ask)
    loop.run()
    late = sum(1 for value in latencies if value > ANSWER_WITHIN) + failures["count"]
    print(f"  AT-SPI client: {len(latencies)} queries to {len(tables)} tables, "
          f"answer p50 {percentile(latencies, 0.5) * 1000:.1f} ms, "
          f"p99 {percentile(latencies, 0.99) * 1000:.1f} ms, "
          f"max {max(latencies, default=0) * 1000:.1f} ms; "
          f"{late} not answered within {ANSWER_WITHIN:.0f} s; "
          f"{received['events']} events received")
    if failures.get("errors"):
        print(f"  AT-SPI errors: {', '.join(sorted(failures['errors']))}")
    return 0 if late == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
