"""The tray as D-Bus desktops show it (KDE Plasma, GNOME with AppIndicator,
Xfce, Cinnamon, Budgie): the built program on a session bus of its own, on
which this test plays the StatusNotifierWatcher and the host that draws items.

Usage: test_statusnotifier.py PATH-TO-TalvorinTool (on an X display).
"""

import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

WATCHER = "org.kde.StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
PROPERTIES = "org.freedesktop.DBus.Properties"
OWN_TOOLTIP = "Talvorin Tool for GoogleTalk. Click to show or right click for menu"
CHAT = b"""<html><head><title>Chat</title></head><body>chat<script>
setInterval(function () { fetch('/title').then(r => r.text())
    .then(t => { if (t) document.title = t; }); }, 200);
</script></body></html>"""
# Qt reads the watcher's properties through its introspection.
WATCHER_XML = """<node><interface name="org.kde.StatusNotifierWatcher">
<method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
<property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
<property name="ProtocolVersion" type="i" access="read"/></interface></node>"""


class Watcher(dbus.service.Object):
    items = []

    @dbus.service.method(WATCHER, in_signature="s", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender):
        self.items.append(sender)

    @dbus.service.method(PROPERTIES, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return {"IsStatusNotifierHostRegistered": True, "ProtocolVersion": dbus.Int32(0)}[name]

    @dbus.service.method("org.freedesktop.DBus.Introspectable", out_signature="s")
    def Introspect(self):
        return WATCHER_XML


class Site(BaseHTTPRequestHandler):
    pages = {"/badge": b"<a href='/chat' target='_blank'>chat</a>", "/chat": CHAT, "/title": b""}
    asked = set()

    def do_GET(self):
        self.asked.add(self.path)
        body = self.pages.get(self.path, b"")
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def wait_until(condition, what, timeout=30):
    end = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > end:
            sys.exit("timed out: " + what)
        GLib.MainContext.default().iteration(False) or time.sleep(0.05)


def call(method, *args, **keywords):
    """A call to the program, answered while this fake watcher goes on serving:
    the program asks the watcher too, and waits for it."""
    reply = []
    method(*args, reply_handler=lambda *values: reply.append(values),
           error_handler=lambda error: reply.append(error), **keywords)
    wait_until(lambda: reply, "an answer to " + str(method))
    if isinstance(reply[0], Exception):
        raise reply[0]
    return reply[0][0] if len(reply[0]) == 1 else reply[0]


def window_shown():
    return subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Talvorin Tool GoogleTalk$"],
                          capture_output=True).returncode == 0


def main(executable):
    daemon = subprocess.Popen(["dbus-daemon", "--session", "--print-address", "--nofork"],
                              stdout=subprocess.PIPE, text=True)
    address = daemon.stdout.readline().strip()
    bus = dbus.bus.BusConnection(address, mainloop=DBusGMainLoop())
    bus.request_name(WATCHER)
    bus.request_name("org.kde.StatusNotifierHost-%d" % os.getpid())
    Watcher(bus, "/StatusNotifierWatcher")
    site = ThreadingHTTPServer(("127.0.0.1", 0), Site)
    threading.Thread(target=site.serve_forever, daemon=True).start()

    scratch = tempfile.mkdtemp(prefix="talvorin-sni-")
    shutil.copy2(executable, os.path.join(scratch, "TalvorinTool"))
    with open(os.path.join(scratch, "talvorin.ini"), "wb") as ini:
        ini.write(b"[badgelink]=http://127.0.0.1:%d/badge\r\n[taskbar]=True\r\n" % site.server_port)
    env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=address, HOME=scratch,
               XDG_CONFIG_HOME=scratch + "/config", XDG_DATA_HOME=scratch + "/data")
    env.setdefault("QTWEBENGINE_DISABLE_SANDBOX", "1")
    program = subprocess.Popen([os.path.join(scratch, "TalvorinTool")], env=env)
    try:
        wait_until(lambda: Watcher.items, "the item registers")
        item = bus.get_object(Watcher.items[0], "/StatusNotifierItem")

        def get(name):
            return call(item.Get, ITEM, name, dbus_interface=PROPERTIES, byte_arrays=True)

        wait_until(lambda: "/title" in Site.asked, "the chat page")
        assert get("ToolTip")[2] == OWN_TOOLTIP, get("ToolTip")
        own_icon = get("IconPixmap")

        menu = bus.get_object(Watcher.items[0], get("Menu"))
        entries = call(menu.GetLayout, 0, -1, [], dbus_interface="com.canonical.dbusmenu")[1][2]
        items = {str(p["label"]): (p.get("toggle-type", ""), p.get("toggle-state", 0), i)
                 for i, p, _ in entries}
        assert [str(p["label"]) for _, p, _ in entries] == [
            "Restore", "Maizimize", "Minimize", "Always on top", "Start with windows",
            "Show in taskbar", "Exit"], entries
        assert {label: state for label, (kind, state, _) in items.items() if kind == "checkmark"} \
            == {"Always on top": 0, "Start with windows": 0, "Show in taskbar": 1}, items

        call(menu.Event, items["Minimize"][2], "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0),
                   dbus_interface="com.canonical.dbusmenu")
        wait_until(lambda: not window_shown(), "Minimize hides the window")
        Site.pages["/title"] = b"(3) Visitor: hello"
        wait_until(lambda: get("ToolTip")[2] == "3 new messages", "the count in the tooltip")
        assert get("IconPixmap") != own_icon, "the icon shows no count"

        call(item.Activate, 0, 0, dbus_interface=ITEM)
        wait_until(window_shown, "Activate shows the window")
        wait_until(lambda: get("ToolTip")[2] == OWN_TOOLTIP, "the count cleared")
        assert get("IconPixmap") == own_icon
    finally:
        program.terminate()
        program.wait(15)
        daemon.terminate()
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main(sys.argv[1])
