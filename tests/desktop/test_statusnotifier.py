# The tray as D-Bus desktops show it (KDE Plasma, GNOME with AppIndicator,
# Xfce, Cinnamon, Budgie): the built program on a session bus of its own, on
# which this test plays the StatusNotifierWatcher with a host registered.
# Usage: test_statusnotifier.py PATH-TO-TalvorinTool (on an X display).
import os, shutil, subprocess, sys, tempfile, threading, time
from functools import partial
from http.server import SimpleHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path
import dbus, dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

ITEM, MENU, PROPS = "org.kde.StatusNotifierItem", "com.canonical.dbusmenu", "org.freedesktop.DBus.Properties"
OWN_TOOLTIP = "Talvorin Tool for GoogleTalk. Click to show or right click for menu"
# Once loaded, the chat takes its title from title.txt, as a chat announces a message.
CHAT = """<title>Chat</title><script>onload = () => setInterval(() => fetch('/title.txt', {cache: 'no-store'})
    .then(r => r.text()).then(t => { if (t) document.title = t; }), 200);</script>"""
# Qt reads the watcher's properties as its introspection declares them.
WATCHER_XML = """<node><interface name="org.kde.StatusNotifierWatcher">
<property name="IsStatusNotifierHostRegistered" type="b" access="read"/></interface></node>"""


class Watcher(dbus.service.Object):
    items = []

    @dbus.service.method("org.kde.StatusNotifierWatcher", in_signature="s", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender):
        self.items.append(sender)

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return name == "IsStatusNotifierHostRegistered"

    @dbus.service.method("org.freedesktop.DBus.Introspectable", out_signature="s")
    def Introspect(self):
        return WATCHER_XML


class Site(SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def wait_until(condition, what):
    for _ in range(300):
        if condition():
            return
        time.sleep(0.1)
    sys.exit("timed out: " + what)


def window_shown():
    return subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Talvorin Tool GoogleTalk$"],
                          capture_output=True).returncode == 0


def main(executable):
    daemon = subprocess.Popen(["dbus-daemon", "--session", "--print-address", "--nofork"],
                              stdout=subprocess.PIPE, text=True)
    address = daemon.stdout.readline().strip()
    # The fakes answer on a thread of their own: the program asks the watcher
    # while this test waits for the program's answers.
    fakes = dbus.bus.BusConnection(address, mainloop=DBusGMainLoop())
    fakes.request_name("org.kde.StatusNotifierWatcher")
    fakes.request_name("org.kde.StatusNotifierHost-%d" % os.getpid())
    Watcher(fakes, "/StatusNotifierWatcher")
    threading.Thread(target=GLib.MainLoop().run, daemon=True).start()
    bus = dbus.bus.BusConnection(address)

    folder = tempfile.mkdtemp(prefix="talvorin-sni-")
    site = ThreadingHTTPServer(("127.0.0.1", 0), partial(Site, directory=folder))
    threading.Thread(target=site.serve_forever, daemon=True).start()
    for name, text in (("badge.html", "<a href='/chat.html' target='_blank'>chat</a>"), ("chat.html", CHAT),
                       ("title.txt", ""), ("talvorin.ini", "[badgelink]=http://127.0.0.1:%d/badge.html\r\n"
                                           "[taskbar]=True\r\n" % site.server_port)):
        Path(folder, name).write_text(text)
    shutil.copy2(executable, folder)
    home = os.path.join(folder, "home")
    program = subprocess.Popen([os.path.join(folder, "TalvorinTool")], env=dict(
        os.environ, DBUS_SESSION_BUS_ADDRESS=address, HOME=home, XDG_CONFIG_HOME=home, XDG_DATA_HOME=home))
    try:
        wait_until(lambda: Watcher.items, "the item registers")
        item = bus.get_object(Watcher.items[0], "/StatusNotifierItem")
        get = lambda name: item.Get(ITEM, name, dbus_interface=PROPS, byte_arrays=True)
        own_icon = get("IconPixmap")
        assert get("ToolTip")[2] == OWN_TOOLTIP, get("ToolTip")

        menu = bus.get_object(Watcher.items[0], get("Menu"))
        entries = [(i, str(p["label"]), p.get("toggle-state", -1))
                   for i, p, _ in menu.GetLayout(0, -1, [], dbus_interface=MENU)[1][2]]
        assert [entry[1:] for entry in entries] == [
            ("Restore", -1), ("Maizimize", -1), ("Minimize", -1), ("Always on top", 0),
            ("Start with windows", 0), ("Show in taskbar", 1), ("Exit", -1)], entries
        menu.Event(entries[2][0], "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0), dbus_interface=MENU)
        wait_until(lambda: not window_shown(), "Minimize hides the window")

        Path(folder, "title.txt").write_text("(3) Visitor: hello")
        wait_until(lambda: get("ToolTip")[2] == "3 new messages", "the count in the tooltip")
        assert get("IconPixmap") != own_icon, "no count on the icon"

        item.Activate(0, 0, dbus_interface=ITEM)
        wait_until(window_shown, "Activate shows the window")
        wait_until(lambda: get("ToolTip")[2] == OWN_TOOLTIP and get("IconPixmap") == own_icon, "the count cleared")
    finally:
        program.terminate()
        program.wait(15)
        daemon.terminate()
        shutil.rmtree(folder, ignore_errors=True)


main(sys.argv[1])
