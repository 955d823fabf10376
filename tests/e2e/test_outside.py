# The built program as a user gets it, driven from outside: a copy in a folder
# of its own with its talvorin.ini beside it, started twice in that folder.
# Run A is on a D-Bus desktop (this test plays the StatusNotifierWatcher with
# its host, and the screen saver), sleeps and wakes after each Status item,
# is locked and unlocked a thousand times with its guardian stopped, and
# is killed, as in a crash; a fake logind on a private system bus serves it.
# Then, after the crash, three starts on weston's headless Wayland desktop:
# with XWayland, with it but Qt's Wayland platform chosen, and without. The
# command line comes first.
# Usage: test_outside.py PATH-TO-TalvorinTool PATH-TO-private-bus.conf VERSION
# (on an X display with openbox and trayer, as scripts/test gives it).
import os, re, select, signal, socket, subprocess, sys, tempfile, threading
from pathlib import Path
import dbus, dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib
from outside import EXE, guardian_of, asked, copied, finish, folder, menu, site, wait_until, window
import outside

# The fakes answer on a thread of their own: dbus-python must know of threads
# before the second one starts.
dbus.mainloop.glib.threads_init()

BUS_CONFIG, VERSION = sys.argv[2:4]
ITEM, MENU, PROPS = "org.kde.StatusNotifierItem", "com.canonical.dbusmenu", "org.freedesktop.DBus.Properties"
OWN_TIP = "Talvorin Tool for GoogleTalk. Click to show or right click for menu"
# Once loaded, the chat asks the site for title.txt over and over, and tells
# it what the engine's switches change: gc() and the language.
CHAT = """<title>Chat</title><script>onload = () => setInterval(() => fetch('/title.txt', {cache: 'no-store'}), 200);
    fetch('/probe?gc=' + typeof gc + '&lang=' + navigator.language, {cache: 'no-store'});</script>"""


class Watcher(dbus.service.Object):
    items = []

    @dbus.service.method("org.kde.StatusNotifierWatcher", in_signature="s", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender):
        self.items.append(sender)

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return name == "IsStatusNotifierHostRegistered"

    # Qt reads the watcher's properties as its introspection declares them.
    @dbus.service.method("org.freedesktop.DBus.Introspectable", out_signature="s")
    def Introspect(self):
        return """<node><interface name="org.kde.StatusNotifierWatcher"><property type="b" access="read"
            name="IsStatusNotifierHostRegistered"/></interface></node>"""


# A delay inhibitor is a pipe: the program gets the write end, and the read end
# sees its end of file when the program lets the sleep go.
class Logind(dbus.service.Object):
    inhibitors = []  # the read ends, in the order taken

    @dbus.service.method("org.freedesktop.login1.Manager", in_signature="ssss", out_signature="h")
    def Inhibit(self, what, who, why, mode):
        assert (what, mode) == ("sleep", "delay"), "this logind gives sleep delays only"
        read, write = os.pipe()
        self.inhibitors.append(read)
        given = dbus.types.UnixFd(write)  # a copy of its own
        os.close(write)
        return given

    @dbus.service.signal("org.freedesktop.login1.Manager", signature="b")
    def PrepareForSleep(self, start):
        pass


class ScreenSaver(dbus.service.Object):
    @dbus.service.signal("org.freedesktop.ScreenSaver", signature="b")
    def ActiveChanged(self, active):
        pass


# The fakes answer on a thread of their own while this one waits for the program.
# That thread owns their connections: all else that touches them runs there too.
def on_loop(*works):
    done, results = threading.Event(), []
    GLib.idle_add(lambda: results.extend(work() for work in works) or done.set())
    assert done.wait(30), "the fakes' thread did not get to it"
    return results[-1]


# A dbus-daemon of the test's own: its address, and a connection for the fakes on it if asked for.
def private_bus(fakes=True):
    daemons.append(subprocess.Popen(["dbus-daemon", "--config-file=" + BUS_CONFIG, "--print-address", "--nofork"],
                                    stdout=subprocess.PIPE, text=True))
    address = daemons[-1].stdout.readline().strip()
    return address, fakes and on_loop(lambda: dbus.bus.BusConnection(address, mainloop=DBusGMainLoop()))


# The main copy, or the one at `exe`, on the given session bus and the fake logind's.
def start(session, exe=None, **more):
    return outside.start(exe or MAIN, DBUS_SESSION_BUS_ADDRESS=session, DBUS_SYSTEM_BUS_ADDRESS=system, **more)


ONLINE = r"Your site shows you online since \d\d:\d\d"
NOT_REACHED = r"Your site was not reached since \d\d:\d\d \(connection refused\) \u2014 next try at \d\d:\d\d"
FAILED = r"Your site answered 500 Internal Server Error at \d\d:\d\d"


# The status links the site has seen are these, in this order.
def sent(*links):
    return lambda: [path for path in asked if path in ("/on", "/off")] == list(links)


# The tray through D-Bus; killed at the end, as in a crash.
def run_a():
    session, fakes = private_bus()
    saver = on_loop(lambda: fakes.request_name("org.kde.StatusNotifierWatcher"),
                    lambda: fakes.request_name("org.kde.StatusNotifierHost-%d" % os.getpid()),
                    lambda: Watcher(fakes, "/StatusNotifierWatcher"),
                    lambda: ScreenSaver(fakes, "/org/freedesktop/ScreenSaver"))
    program = start(session)
    bus = dbus.bus.BusConnection(session)
    getter = lambda service: lambda name: bus.get_object(service, "/StatusNotifierItem").Get(
        ITEM, name, dbus_interface=PROPS, byte_arrays=True)
    get = getter(wait_until(lambda: Watcher.items, "the item registers")[0])
    # The design's text or the count, then the site's status (none while a tray message shows).
    tip = lambda get: (str(get("ToolTip")[2]).split("\n") + [""])[:2]
    wait_until(lambda: re.fullmatch(ONLINE, tip(get)[1]), "the site answered: online")
    own_icon = get("IconPixmap")
    # Copies beside other settings files run as well: one whose site is down,
    # one whose site fails. Neither may ever look as if it had been heard.
    for link, said in ((REFUSED, NOT_REACHED), ("http://127.0.0.1:%d/fail" % site.server_port, FAILED)):
        copy, seen = start(session, copied("[linkstart]=" + link + "\r\n")), []
        copy_get = getter(wait_until(lambda: Watcher.items[1:] and Watcher.items.pop(), "the copy's item registers"))
        wait_until(lambda: seen.append(tip(copy_get)) or re.fullmatch(said, seen[-1][1]), said)
        assert all(line[0] == OWN_TIP and "online" not in line[1] for line in seen), seen
        assert copy_get("IconPixmap") != own_icon, "a site not heard looks as one that answered"
        copy.kill()  # its window would stand beside the first one's
    tray_menu = bus.get_object(Watcher.items[0], get("Menu"))
    entries = [(i, str(p["label"]), p.get("toggle-state", -1))
               for i, p, _ in tray_menu.GetLayout(0, -1, [], dbus_interface=MENU)[1][2]]
    assert [entry[1:] for entry in entries] == [("Restore", -1), ("Maizimize", -1), ("Minimize", -1),
        ("Always on top", 1), ("Start with windows", 1), ("Show in taskbar", 0), ("Exit", -1)], entries
    wait_until(lambda: window() and "/chat.html" in asked, "the window shows the chat")
    # Minimize from the tray's menu; a second copy brings the window back and ends.
    tray_menu.Event(entries[2][0], "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0), dbus_interface=MENU)
    wait_until(lambda: not window(), "Minimize hides")
    assert start(session).wait(30) == 0, "a second copy ran on"
    wait_until(window, "a second copy brings the first one's window back")
    on_loop(lambda: saver.ActiveChanged(True))  # with "Away when idle" on, as the file has it
    wait_until(lambda: sent("/on", "/off")() and tip(get)[1].startswith("Away since"), "locked: exit link, away")
    on_loop(lambda: saver.ActiveChanged(False))
    wait_until(lambda: sent("/on", "/off", "/on")() and re.fullmatch(ONLINE, tip(get)[1]) and get("IconPixmap") == own_icon,
               "unlocked: the start link, online")
    # Offline, then Online three times from the Status menu, each followed by
    # a sleep and a wake, which the site hears of while Online is checked:
    # neither item looks at its check mark, each click sends and flips both.
    told = ["/on", "/off", "/on"]
    for keys, clicked, slept in ((["Down"], "/off", []), ([], "/on", ["/off", "/on"]), ([], "/on", []),
                                 ([], "/on", ["/off", "/on"])):
        menu(program.pid, "Right", *keys, "Return")
        told.append(clicked)
        wait_until(sent(*told), "the click sends " + clicked)
        # A sleep, let go once the site has heard of it (nothing is written to
        # the pipes: a readable read end is at its end of file), greyed while
        # Online; then a wake, after which the next sleep is held.
        taken = len(Logind.inhibitors)
        on_loop(lambda: logind.PrepareForSleep(True))
        wait_until(lambda: len(select.select(Logind.inhibitors, [], [], 0)[0]) == len(Logind.inhibitors),
                   "the sleep is let go")
        assert sent(*told, *slept[:1])(), "the sleep was let go before the site heard " + " ".join(told + slept[:1])
        wait_until(lambda: not slept or get("IconPixmap") != own_icon, "asleep: greyed")
        on_loop(lambda: logind.PrepareForSleep(False))
        wait_until(lambda: len(Logind.inhibitors) == taken + 1, "woken: the next sleep held")
        told += slept
        wait_until(sent(*told), "the site told " + " ".join(told))
    # Its guardian stopped, a thousand locks and unlocks: the window keeps
    # answering all the while, and the guardian, let go on, holds the last.
    guardian, ons = guardian_of(program.pid), asked.count("/on")
    os.kill(guardian, signal.SIGSTOP)
    on_loop(lambda: [saver.ActiveChanged(locked) for _ in range(500) for locked in (True, False)])
    wait_until(lambda: asked.count("/on") >= ons + 500, "the site told of each unlock", 120)
    wait_until(lambda: re.fullmatch(ONLINE, tip(get)[1]), "online again")
    os.kill(guardian, signal.SIGCONT)
    program.kill()
    program.wait()  # gone for good: a lock of a process still there is no stale one
    wait_until(lambda: [path for path in asked if path in ("/on", "/off")][-1] == "/off",
               "killed online: its guardian sends the exit link")


# On weston's headless desktop: with XWayland the window is an X11 one there,
# unless the owner chose Qt's Wayland platform; without, the program runs as a
# Wayland client. Each time: the chat (the first one after a crash), the owner's
# engine switches (on the command line, else in QTWEBENGINE_CHROMIUM_FLAGS), and
# Exit on a late signal, as a logout or a terminal sends it.
def on_weston(session, xwayland, platform, number, args=()):
    runtime = tempfile.mkdtemp(dir=folder)
    log = os.path.join(runtime, "weston.log")
    daemons.append(subprocess.Popen(["weston", "--backend=headless-backend.so", "--socket=wayland-talvorin",
                                     "--idle-time=0", "--log=" + log] + ["--xwayland"] * xwayland,
                                    env=dict(os.environ, XDG_RUNTIME_DIR=runtime)))
    # Its socket, then (its log is there before) XWayland's display, or None without.
    listening = lambda: re.findall(r"xserver listening on display (:\d+)", Path(log).read_text()) if xwayland else [None]
    display = wait_until(lambda: os.path.exists(os.path.join(runtime, "wayland-talvorin")) and listening(),
                         "weston is up")[0]
    asked.clear()
    program = start(session, XDG_RUNTIME_DIR=runtime, WAYLAND_DISPLAY="wayland-talvorin", XDG_SESSION_TYPE="wayland",
                    DISPLAY=display, QT_QPA_PLATFORM=platform, QTWEBENGINE_CHROMIUM_FLAGS=None if args else "--lang=fr",
                    args=args, QT_LOGGING_RULES="qt.webenginecontext.debug=true",  # the engine's switches on stderr
                    popen=dict(stderr=open(os.path.join(runtime, "program.log"), "w")))
    x11 = xwayland and not platform
    # The chat asks for its title over and over; its page itself may come from the cache.
    wait_until(lambda: "/title.txt" in asked and (not x11 or window(display=display)), "the chat on weston", 60)
    wait_until(lambda: any(path.startswith("/probe?gc=function") if args else path.endswith("&lang=fr")
                           for path in asked), "the owner's switch in the page")
    # The engine's switches as it was started, from the log the program left.
    switches = re.findall(r"^\s*\*\s+(\S+)", Path(runtime, "program.log").read_text(errors="replace"), re.M)
    assert "enable-low-end-device-mode" in switches, "the low-end mode lost beside QTWEBENGINE_CHROMIUM_FLAGS"
    assert x11 or not display or not window(display=display), "an X11 window where Wayland was chosen"
    program.send_signal(number)
    assert program.wait(30) == 0 and sent("/on", "/off")(), asked


daemons, loop = [], GLib.MainLoop()
fakes_thread = threading.Thread(target=loop.run, daemon=True)
try:
    refused = socket.socket()  # bound, never listening: connecting to it is refused
    refused.bind(("127.0.0.1", 0))
    REFUSED = "http://127.0.0.1:%d/on" % refused.getsockname()[1]
    for name, text in (("badge.html", "<a href='/chat.html' target='_blank'>chat</a>"), ("chat.html", CHAT),
                       ("title.txt", ""), ("on", "on"), ("off", "off")):
        Path(folder, name).write_text(text, newline="")
    MAIN = copied("[badgelink]=http://127.0.0.1:{0}/badge.html\r\n[linkstart]=http://127.0.0.1:{0}/on\r\n"
                  "[linkclose]=http://127.0.0.1:{0}/off\r\n[ontop]=True\r\n[startwin]=True\r\n[away]=True\r\n"
                  .format(site.server_port))
    fakes_thread.start()
    system, logind_bus = private_bus()
    logind = on_loop(lambda: logind_bus.request_name("org.freedesktop.login1"),
                     lambda: Logind(logind_bus, "/org/freedesktop/login1"))
    # Without a display: the status and the first line of the answer.
    for arguments, status, first in ((["--version"], 0, "TalvorinTool " + VERSION),
                                     (["--help"], 0, "Usage: TalvorinTool [options]"),
                                     (["--bogus"], 2, "TalvorinTool: Unknown option 'bogus'. Try --help.")):
        done = subprocess.run([EXE] + arguments, capture_output=True, text=True, env=dict(os.environ, DISPLAY=""))
        assert (done.returncode, (done.stdout + done.stderr).splitlines()[0]) == (status, first), done
    run_a()
    plain, _ = private_bus(fakes=False)  # a session bus with no notification area on it
    on_weston(plain, True, None, signal.SIGINT, ["--webEngineArgs", "--js-flags=--expose-gc"])
    on_weston(plain, True, "wayland", signal.SIGHUP)
    on_weston(plain, False, None, signal.SIGTERM)
finally:
    # The fakes' loop ends before their buses go.
    loop.quit()
    if fakes_thread.is_alive():
        fakes_thread.join(5)
    finish(*daemons)
