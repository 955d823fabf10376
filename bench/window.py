"""What the benchmark does to the program's window on the X desktop it runs on
(bench/run starts a virtual one, with a window manager and a tray, where
there is no display), through the ordinary X tools (xdotool, xprop, xwininfo,
wmctrl, ImageMagick's import)."""
import re
import subprocess
import time


def run_tool(*args, timeout=10, check=True):
    done = subprocess.run(list(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=timeout)
    if check and done.returncode != 0:
        raise RuntimeError("%s failed (%d): %s" % (" ".join(args), done.returncode,
                                                   done.stderr.decode(errors="replace").strip()))
    return done.stdout.decode(errors="replace")


def search_windows(pid):
    """Window ids of the top-level client windows of pid, mapped or not."""
    out = run_tool("xdotool", "search", "--all", "--pid", str(pid), check=False)
    return [int(line) for line in out.split() if line.strip().isdigit()]


def is_viewable(wid):
    return "Map State: IsViewable" in run_tool("xwininfo", "-id", str(wid), check=False)


def window_title(wid):
    out = run_tool("xprop", "-id", str(wid), "_NET_WM_NAME", "WM_NAME", check=False)
    m = re.search(r'= "(.*)"', out)
    return m.group(1) if m else ""


def wm_close(wid):
    """Asks the window manager to close the window, as its close button does."""
    run_tool("wmctrl", "-i", "-c", "0x%x" % wid)


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
