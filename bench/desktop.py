"""The X desktop the benchmark runs on, and what it does to the program's window.

Without a DISPLAY (or with --virtual) it is a desktop of its own: Xvfb,
openbox (an EWMH window manager, so the window can be closed the way a user
closes it) and trayer (an XEmbed notification area, so closing hides the
window in the tray), all ended afterwards.
"""
import os
import shutil
import subprocess
import time

from procs import stop_process


def _quiet(args, **kwargs):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, **kwargs)


def _wait(check, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if check():
            return True
        time.sleep(0.1)
    return False


def has_window_manager():
    return 'window id' in _quiet(['xprop', '-root', '_NET_SUPPORTING_WM_CHECK']).stdout


def has_tray():
    return '"panel"' in _quiet(['xwininfo', '-root', '-tree']).stdout


class VirtualDesktop:
    """Xvfb + openbox + trayer; sets DISPLAY while it runs."""

    def __init__(self):
        self.procs = []

    def start(self):
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(['Xvfb', '-displayfd', str(write_end), '-screen', '0', '1280x1024x24',
                                 '-nolisten', 'tcp'], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(write_end)
        self.procs.append(xvfb)
        with os.fdopen(read_end) as f:
            number = f.readline().strip()  # Xvfb writes it once it accepts clients
        if not number:
            self.stop()
            raise RuntimeError('Xvfb did not start')
        os.environ['DISPLAY'] = ':' + number
        # No session bus: the notification area is the X11 one, not D-Bus.
        os.environ.pop('DBUS_SESSION_BUS_ADDRESS', None)
        self._spawn(['openbox'])
        if not _wait(has_window_manager, 10):
            raise RuntimeError('openbox did not start')
        self._spawn(['trayer', '--edge', 'top', '--align', 'right', '--widthtype', 'request', '--height', '24',
                     '--SetDockType', 'true', '--transparent', 'false'])
        if not _wait(has_tray, 10):
            raise RuntimeError('trayer did not start')
        return self

    def _spawn(self, args):
        self.procs.append(subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                           start_new_session=True))

    def stop(self):
        for proc in reversed(self.procs):
            stop_process(proc)
        self.procs = []


def find_window(pid, title, seconds=5.0):
    """Id of the managed window with exactly this title that belongs to pid, or None."""
    found = []

    def look():
        for line in _quiet(['wmctrl', '-lp']).stdout.splitlines():
            parts = line.split(None, 4)
            if len(parts) == 5 and parts[2] == str(pid) and parts[4] == title:
                found.append(parts[0])
                return True
        return False
    return found[0] if _wait(look, seconds) else None


def close_window(window):
    """Asks the window manager to close the window (_NET_CLOSE_WINDOW), as its title bar's X does."""
    return _quiet(['wmctrl', '-i', '-c', window]).returncode == 0


def is_viewable(window):
    return 'IsViewable' in _quiet(['xwininfo', '-id', window]).stdout


def wait_hidden(window, seconds):
    return _wait(lambda: not is_viewable(window), seconds)


def count_pixels(window, rgb):
    """How many pixels of the window have colour rgb, or None without ImageMagick's import."""
    if not shutil.which('import'):
        return None
    try:
        shot = subprocess.run(['import', '-window', window, '-depth', '8', 'rgb:-'], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, timeout=20).stdout
    except subprocess.TimeoutExpired:
        return None
    # Runs of one colour line up with the pixel grid; stray matches across
    # pixel borders are too few to matter.
    return shot.count(bytes(rgb))
