"""What the benchmark does to the program's window on the X desktop it runs on
(bench/run starts a virtual one, with a window manager and a tray, where
there is no display). The window tools are the end-to-end tests' own."""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'e2e'))
# wm_close is offered on to measure.py as it is.
from desktop import is_viewable, run_tool, search_windows, window_title, wm_close  # noqa: E402,F401


def _wait(check, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if check():
            return True
        time.sleep(0.1)
    return False


def has_window_manager():
    return 'window id' in run_tool('xprop', '-root', '_NET_SUPPORTING_WM_CHECK', check=False)


def find_window(pid, title, seconds=5.0):
    """Id of the mapped window of pid with exactly this title, or None."""
    found = []

    def look():
        found[:] = [w for w in search_windows(pid=pid) if is_viewable(w) and window_title(w) == title]
        return bool(found)
    return found[0] if _wait(look, seconds) else None


def minimize(window):
    run_tool('xdotool', 'windowminimize', str(window), check=False)


def wait_hidden(window, seconds):
    return _wait(lambda: not is_viewable(window), seconds)


def count_pixels(window, rgb):
    """How many pixels of the window have colour rgb, or None when no shot could be taken."""
    try:
        shot = subprocess.run(['import', '-window', str(window), '-depth', '8', 'rgb:-'],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=20).stdout
    except (OSError, subprocess.TimeoutExpired):
        return None
    # Runs of one colour line up with the pixel grid; stray matches across
    # pixel borders are too few to matter.
    return shot.count(bytes(rgb))
