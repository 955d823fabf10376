"""One installed copy of TalvorinTool, started and driven as its user would.

Every copy lives in a directory of its own (the executable with its
talvorin.ini beside it) and gets a home of its own, so no run sees another's
settings, browser profile or autostart entry. A restart reuses both, as a
user's next login would.
"""

import os
import re
import shutil
import signal
import subprocess
import tempfile
import time

import desktop
from desktop import wait_until

TITLE = "Talvorin Tool GoogleTalk"
SETTINGS_TITLE = "Link Address Settings"
PROGRAM_NAME = "TalvorinTool"

FILE_ITEMS = ["Reload", "Settings", "Start with Windows", "Show in taskbar", "Always on top",
              "Create badge", "Exit"]
STATUS_ITEMS = ["Online", "Offline"]
TRAY_ITEMS = ["Restore", "Maizimize", "Minimize", "Always on top", "Start with windows",
              "Show in taskbar", "Exit"]

MENU_BAR_TITLES = ["File", "Status", "About"]
CHECKABLE = {"Start with Windows", "Show in taskbar", "Always on top", "Online", "Offline",
             "Start with windows"}

# The middle of the menu bar's titles, down from the client area's top.
MENU_BAR_MIDDLE_Y = 10

START_TIMEOUT = 40
MENU_SETTLE = 0.3


def _dark(colour):
    return max(colour) < 110


class Program:
    def __init__(self, executable, directory_name="Talvorin"):
        self.scratch = tempfile.mkdtemp(prefix="talvorin-e2e-")
        self.directory = os.path.join(self.scratch, directory_name)
        os.makedirs(self.directory)
        self.executable = os.path.join(self.directory, PROGRAM_NAME)
        shutil.copy2(executable, self.executable)
        self.home = os.path.join(self.scratch, "home")
        self.config_home = os.path.join(self.home, ".config")
        self.data_home = os.path.join(self.home, ".local", "share")
        self.cache_home = os.path.join(self.home, ".cache")
        self.runtime_dir = os.path.join(self.scratch, "runtime")
        for path in (self.config_home, self.data_home, self.cache_home, self.runtime_dir):
            os.makedirs(path)
        os.chmod(self.runtime_dir, 0o700)
        self.ini_path = os.path.join(self.directory, "talvorin.ini")
        self.autostart_path = os.path.join(self.config_home, "autostart", "TalvorinTool.desktop")
        self.process = None
        self.started_at = None
        self.log_path = None
        self._runs = 0
        self._groups = []
        self._wid = None
        self._titles = None

    # --- files -------------------------------------------------------------

    def write_ini(self, badge="", start="", close="", ontop=False, taskbar=False,
                  startwin=False, size=None):
        lines = ["[badgelink]=" + badge, "[linkstart]=" + start, "[linkclose]=" + close,
                 "[ontop]=%s" % ontop, "[taskbar]=%s" % taskbar, "[startwin]=%s" % startwin]
        if size:
            lines += ["[height]=%d" % size[0], "[width]=%d" % size[1]]
        with open(self.ini_path, "wb") as out:
            out.write("".join(line + "\r\n" for line in lines).encode("utf-8"))

    def ini_bytes(self):
        with open(self.ini_path, "rb") as f:
            return f.read()

    def ini_mtime(self):
        try:
            return os.stat(self.ini_path).st_mtime_ns
        except FileNotFoundError:
            return None

    def ini_values(self):
        """The file's tagged lines as a dict; fails on a malformed file."""
        data = self.ini_bytes()
        if not data.endswith(b"\r\n"):
            raise AssertionError("talvorin.ini does not end with CR LF: %r" % data)
        values = {}
        order = []
        for line in data[:-2].split(b"\r\n"):
            m = re.match(rb"^\[(\w+)\]=(.*)$", line)
            if not m or b"\r" in line or b"\n" in line:
                raise AssertionError("malformed line %r in talvorin.ini: %r" % (line, data))
            name = m.group(1).decode()
            values[name] = m.group(2).decode("utf-8")
            order.append(name)
        values["__order__"] = order
        return values

    def autostart_text(self):
        try:
            with open(self.autostart_path, encoding="utf-8") as f:
                return f.read()
        except FileNotFoundError:
            return None

    # --- life cycle --------------------------------------------------------

    def environment(self):
        env = dict(os.environ)
        env.update({
            "HOME": self.home,
            "XDG_CONFIG_HOME": self.config_home,
            "XDG_DATA_HOME": self.data_home,
            "XDG_CACHE_HOME": self.cache_home,
            "XDG_RUNTIME_DIR": self.runtime_dir,
            "QTWEBENGINE_DISABLE_SANDBOX": "1",
            "QT_QPA_PLATFORM": "xcb",
        })
        # No session bus: the notification area is the X11 one.
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        env.pop("SESSION_MANAGER", None)
        return env

    def start(self, extra_env=None):
        assert self.process is None or self.process.poll() is not None, "already running"
        self._runs += 1
        self._wid = None
        self._titles = None
        self.log_path = os.path.join(self.scratch, "run%d.log" % self._runs)
        log = open(self.log_path, "wb")
        self.started_at = time.monotonic()
        env = self.environment()
        env.update(extra_env or {})
        self.process = subprocess.Popen([self.executable], cwd=self.directory, env=env, stdout=log,
                                        stderr=subprocess.STDOUT, start_new_session=True)
        log.close()
        # A session of its own: its browser helpers share its process group.
        self._groups.append(self.process.pid)
        return self

    def alive(self):
        return self.process is not None and self.process.poll() is None

    def log(self, lines=25):
        """The end of the program's output, the browser engine's start-up
        banner left out."""
        if not self.log_path or not os.path.exists(self.log_path):
            return ""
        with open(self.log_path, errors="replace") as f:
            text = f.read().splitlines()
        banner = re.compile(r"^(\s*\*\s|GL Type|Surface |QSG |Using |Init Parameters|"
                            r"qt\.webenginecontext:|Sandboxing disabled|\s*$)")
        return "\n".join([line for line in text if not banner.match(line)][-lines:])

    def wait_exit(self, timeout):
        """The exit status, or an AssertionError when still running after timeout."""
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("program still running %.1fs later" % timeout)

    def terminate(self):
        os.kill(self.process.pid, signal.SIGTERM)

    def kill_all(self):
        """Ends whatever is left of every run: the program and its helpers."""
        for group in self._groups:
            # Only a group still made of this copy's processes: its number may
            # have gone to someone else once all of them ended.
            if self._group_is_ours(group):
                try:
                    os.killpg(group, signal.SIGKILL)
                except (ProcessLookupError, PermissionError):
                    pass
        if self.process is not None:
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                pass

    def _group_is_ours(self, group):
        marker = ("HOME=%s" % self.home).encode() + b"\0"
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open("/proc/%s/stat" % entry, "rb") as f:
                    fields = f.read().rsplit(b")", 1)[1].split()
                if int(fields[2]) != group:
                    continue
                with open("/proc/%s/environ" % entry, "rb") as f:
                    if marker in f.read():
                        return True
            except (OSError, IndexError, ValueError):
                continue
        return False

    def cleanup(self):
        self.kill_all()
        shutil.rmtree(self.scratch, ignore_errors=True)

    # --- the main window ---------------------------------------------------

    def windows_named(self, title):
        return [w for w in desktop.search_windows(name="^%s$" % re.escape(title),
                                                  pid=self.process.pid)
                if desktop.window_title(w) == title]

    def main_window(self, timeout=START_TIMEOUT):
        """The main window's id, once it exists. Looked up afresh every time:
        a change of window flags (always on top) may give the window a new
        native window."""
        def found():
            self._check_alive()
            windows = self.windows_named(TITLE)
            if not windows:
                return None
            viewable = [w for w in windows if desktop.is_viewable(w)]
            # The newest window is the live one while an old one goes away.
            return max(viewable or windows)

        self._wid = wait_until(found, timeout, "a window titled %r" % TITLE, interval=0.05)
        return self._wid

    def wait_viewable(self, timeout=START_TIMEOUT):
        wait_until(lambda: desktop.is_viewable(self.main_window(timeout)), timeout,
                   lambda: "the main window to be viewable (map state %s)"
                   % desktop.map_state(self._wid))
        return self._wid

    def wait_hidden(self, timeout=5):
        wait_until(lambda: desktop.map_state(self.main_window()) == "IsUnMapped", timeout,
                   lambda: "the main window to be unmapped (map state %s)"
                   % desktop.map_state(self._wid))

    def _check_alive(self):
        if self.process is None or self.process.poll() is not None:
            raise AssertionError("program ended (status %s);\n%s"
                                 % (self.process.returncode, self.log()))
        return True

    def client_geometry(self):
        info = desktop.window_info(self.main_window())
        return info["x"], info["y"], info["width"], info["height"]

    def wm_state(self):
        return desktop.net_wm_state(self.main_window())

    def popups(self):
        """Viewable windows of the program other than its main window and its
        tray icon: menus, dialogs, message boxes."""
        main = self.main_window()
        docked = {icon[0] for icon in desktop.tray_icons()}
        return [w for w in desktop.search_windows(pid=self.process.pid)
                if w != main and w not in docked and desktop.is_viewable(w)]

    def wait_popup(self, before, what, timeout=5):
        def opened():
            self._check_alive()
            new = [w for w in self.popups() if w not in before]
            return new[0] if new else None
        return wait_until(opened, timeout, what)

    def wait_no_popup(self, popup, timeout=5):
        wait_until(lambda: not desktop.is_viewable(popup), timeout, "the menu to close")

    def focus_main(self):
        wid = self.wait_viewable()
        desktop.activate(wid)
        return wid

    def menu_bar_titles(self):
        """Where the menu bar's titles (File, Status, About) are, as x offsets
        of their middles from the client area's left edge: the runs of dark
        text pixels along the bar, looked up on a screenshot."""
        if self._titles is None:
            # Until the window is painted the bar may still be black.
            self._titles = wait_until(self._scan_menu_bar, 5, lambda: "the menu bar's titles "
                                      "(text runs at %s)" % self._scan_menu_bar(raw=True))
        return self._titles

    def _scan_menu_bar(self, raw=False):
        x, y, width, _ = self.client_geometry()
        shot = desktop.Screenshot()
        columns = [any(_dark(shot.pixel(xx, yy)) for yy in range(y + 3, y + 17))
                   for xx in range(x, x + min(width, 240))]
        runs, start, gap, end = [], None, 0, 0
        for i, dark in enumerate(columns + [False] * 8):
            if dark:
                if start is None:
                    start = i
                gap, end = 0, i
            elif start is not None:
                gap += 1
                if gap >= 6:
                    runs.append((start, end))
                    start = None
        if raw:
            return runs
        # Titles are words: short runs with room between them.
        if len(runs) != len(MENU_BAR_TITLES) or any(e - s > 60 for s, e in runs):
            return None
        return {title: (s + e) // 2 for title, (s, e) in zip(MENU_BAR_TITLES, runs)}

    def _open_menu_bar_title(self, title="File"):
        """Clicks a title on the menu bar and waits for its menu to open."""
        self.focus_main()
        offset = self.menu_bar_titles()[title]
        x, y, _, _ = self.client_geometry()
        before = self.popups()
        desktop.click(x + offset, y + MENU_BAR_MIDDLE_Y)
        popup = self.wait_popup(before, "the %s menu to open" % title)
        time.sleep(MENU_SETTLE)
        return popup

    def file_menu(self, item):
        """Chooses an item of the File menu by walking it with the arrow keys."""
        popup = self._open_menu_bar_title("File")
        self._walk_menu(popup, FILE_ITEMS.index(item))

    def status_menu(self, item):
        popup = self._open_menu_bar_title("Status")
        self._walk_menu(popup, STATUS_ITEMS.index(item))

    def _open_tray_menu(self):
        x, y = self.tray_icon_centre()
        before = self.popups()
        desktop.click(x, y, button=3)
        popup = self.wait_popup(before, "the tray menu to open")
        time.sleep(MENU_SETTLE)
        return popup

    def tray_menu(self, item):
        popup = self._open_tray_menu()
        self._walk_menu(popup, TRAY_ITEMS.index(item))

    def _walk_menu(self, popup, index):
        # The pointer stays where it clicked, on the menu bar or the icon: off
        # the menu, where it would make the item under it the current one.
        desktop.key(*(["Down"] * (index + 1) + ["Return"]))
        self.wait_no_popup(popup)

    def check_marks(self, menu):
        """The check marks of a menu ("File", "Status" or "tray") as seen on
        screen: {item: checked} for its checkable items."""
        if menu == "tray":
            popup, items = self._open_tray_menu(), TRAY_ITEMS
        else:
            popup = self._open_menu_bar_title(menu)
            items = FILE_ITEMS if menu == "File" else STATUS_ITEMS
        try:
            info = desktop.window_info(popup)
            shot = desktop.Screenshot()
            item_height = (info["height"] - 2) / len(items)
            marks = {}
            for i, item in enumerate(items):
                if item not in CHECKABLE:
                    continue
                middle = info["y"] + 1 + int((i + 0.5) * item_height)
                dark = sum(1 for yy in range(middle - 7, middle + 8)
                           for xx in range(info["x"] + 5, info["x"] + 27)
                           if _dark(shot.pixel(xx, yy)))
                marks[item] = dark >= 6
            return marks
        finally:
            desktop.key("Escape")
            self.wait_no_popup(popup)
            if menu != "tray":
                # The first Escape leaves the bar's title chosen.
                desktop.key("Escape")

    # --- the tray icon -----------------------------------------------------

    def tray_icon(self, timeout=15):
        """(x, y, width, height) of the program's icon in the notification area."""
        def found():
            self._check_alive()
            ours = set(desktop.search_windows(pid=self.process.pid))
            icons = [icon for icon in desktop.tray_icons() if icon[0] in ours]
            return icons[0] if len(icons) == 1 else None
        wid, width, height, x, y = wait_until(
            found, timeout, lambda: "the program's icon in the notification area (icons "
            "there: %s)" % desktop.tray_icons())
        return x, y, width, height

    def tray_icon_centre(self):
        x, y, width, height = self.tray_icon()
        return x + width // 2, y + height // 2

    # --- dialogs -----------------------------------------------------------

    def wait_window(self, title, timeout=10):
        def found():
            self._check_alive()
            for wid in self.windows_named(title):
                if desktop.is_viewable(wid):
                    return wid
            return None
        return wait_until(found, timeout, "a viewable window titled %r" % title)

    def viewable_windows(self):
        return [(w, desktop.window_title(w)) for w in desktop.search_windows(pid=self.process.pid)
                if desktop.is_viewable(w)]
