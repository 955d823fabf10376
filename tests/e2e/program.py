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

# Where the menu bar's titles sit, from the client area's top-left corner.
FILE_TITLE_AT = (20, 10)

START_TIMEOUT = 40
EXIT_LIMIT = 10


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
        self._wid = None

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

    def start(self):
        assert self.process is None or self.process.poll() is not None, "already running"
        self._runs += 1
        self._wid = None
        self.log_path = os.path.join(self.scratch, "run%d.log" % self._runs)
        log = open(self.log_path, "wb")
        self.started_at = time.monotonic()
        self.process = subprocess.Popen([self.executable], cwd=self.directory,
                                        env=self.environment(), stdout=log,
                                        stderr=subprocess.STDOUT, start_new_session=True)
        log.close()
        return self

    def alive(self):
        return self.process is not None and self.process.poll() is None

    def log(self):
        if not self.log_path or not os.path.exists(self.log_path):
            return ""
        with open(self.log_path, errors="replace") as f:
            return f.read()[-3000:]

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
        if self.process is None:
            return
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except (ProcessLookupError, PermissionError):
            pass
        try:
            self.process.wait(5)
        except subprocess.TimeoutExpired:
            pass

    def cleanup(self):
        self.kill_all()
        shutil.rmtree(self.scratch, ignore_errors=True)

    # --- the main window ---------------------------------------------------

    def windows_named(self, title):
        return [w for w in desktop.search_windows(name="^%s$" % re.escape(title),
                                                  pid=self.process.pid)
                if desktop.window_title(w) == title]

    def main_window(self, timeout=START_TIMEOUT):
        """The main window's id, once it exists."""
        if self._wid is not None:
            return self._wid

        def found():
            if not self.alive():
                raise AssertionError("program ended (status %s) before showing its window;\n%s"
                                     % (self.process.returncode, self.log()))
            windows = self.windows_named(TITLE)
            return windows[0] if windows else None

        self._wid = wait_until(found, timeout, "a window titled %r" % TITLE)
        return self._wid

    def wait_viewable(self, timeout=START_TIMEOUT):
        wid = self.main_window(timeout)
        wait_until(lambda: self._check_alive() and desktop.is_viewable(wid), timeout,
                   lambda: "the main window to be viewable (map state %s)"
                   % desktop.map_state(wid))
        return wid

    def wait_hidden(self, timeout=5):
        wid = self.main_window()
        wait_until(lambda: desktop.map_state(wid) == "IsUnMapped", timeout,
                   lambda: "the main window to be unmapped (map state %s)"
                   % desktop.map_state(wid))

    def _check_alive(self):
        if not self.alive():
            raise AssertionError("program ended (status %s);\n%s"
                                 % (self.process.returncode, self.log()))
        return True

    def client_geometry(self):
        info = desktop.window_info(self.main_window())
        return info["x"], info["y"], info["width"], info["height"]

    def wm_state(self):
        return desktop.net_wm_state(self.main_window())

    def popups(self):
        """Viewable windows of the program other than its main window."""
        main = self.main_window()
        return [w for w in desktop.search_windows(pid=self.process.pid)
                if w != main and desktop.is_viewable(w)]

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

    def _open_menu_bar_title(self):
        """Clicks "File" on the menu bar and waits for its menu to open."""
        self.focus_main()
        x, y, _, _ = self.client_geometry()
        before = self.popups()
        desktop.click(x + FILE_TITLE_AT[0], y + FILE_TITLE_AT[1])
        return self.wait_popup(before, "the File menu to open")

    def file_menu(self, item):
        """Chooses an item of the File menu by walking it with the arrow keys."""
        index = FILE_ITEMS.index(item)
        popup = self._open_menu_bar_title()
        self._walk_menu(popup, index)

    def status_menu(self, item):
        """Chooses an item of the Status menu: it is one to the right of File."""
        index = STATUS_ITEMS.index(item)
        popup = self._open_menu_bar_title()
        before = self.popups()
        desktop.key("Right")
        status = self.wait_popup([w for w in before if w != popup], "the Status menu to open")
        wait_until(lambda: not desktop.is_viewable(popup) or popup == status, 5,
                   "the File menu to give way to the Status menu")
        # Opened from the keyboard, the menu has its first item chosen already.
        self._walk_menu(status, index, first_is_current=True)

    def tray_menu(self, item):
        index = TRAY_ITEMS.index(item)
        x, y = self.tray_icon_centre()
        before = self.popups()
        desktop.click(x, y, button=3)
        popup = self.wait_popup(before, "the tray menu to open")
        self._walk_menu(popup, index)

    def _walk_menu(self, popup, index, first_is_current=False):
        # The pointer stays where it clicked, on the menu bar or the icon: off
        # the menu, where it would make the item under it the current one.
        downs = index if first_is_current else index + 1
        desktop.key(*(["Down"] * downs + ["Return"]))
        self.wait_no_popup(popup)

    # --- the tray icon -----------------------------------------------------

    def tray_icon(self, timeout=15):
        """(x, y, width, height) of the program's icon in the notification area."""
        def found():
            self._check_alive()
            icons = desktop.tray_icons()
            return icons[0] if len(icons) == 1 else None
        wid, width, height, x, y = wait_until(
            found, timeout, lambda: "one icon in the notification area (found %s)"
            % desktop.tray_icons())
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
