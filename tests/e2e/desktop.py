"""The X desktop as a user's hands and eyes: windows, keys, clicks, pixels.

Everything goes through the ordinary X tools (xdotool, xprop, xwininfo,
wmctrl, ImageMagick's import), so the program under test is seen exactly as
the window manager and the user see it.
"""

import os
import re
import subprocess
import time

TOOL_TIMEOUT = 10


class ToolError(RuntimeError):
    pass


def run_tool(*args, timeout=TOOL_TIMEOUT, check=True, binary=False):
    try:
        done = subprocess.run(list(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=timeout)
    except subprocess.TimeoutExpired:
        raise ToolError("%s did not finish within %ss" % (" ".join(args), timeout))
    if check and done.returncode != 0:
        raise ToolError("%s failed (%d): %s" % (" ".join(args), done.returncode,
                                                done.stderr.decode(errors="replace").strip()))
    return done.stdout if binary else done.stdout.decode(errors="replace")


def wait_until(condition, timeout, what, interval=0.1):
    """Polls condition until it gives something true; fails after timeout
    seconds with what (a text, or a callable giving one) as the reason."""
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() >= deadline:
            reason = what() if callable(what) else what
            raise AssertionError("timed out after %.1fs waiting for %s" % (timeout, reason))
        time.sleep(interval)


# --- windows -----------------------------------------------------------------

def search_windows(name=None, pid=None, class_name=None):
    """Window ids (ints) of top-level client windows, mapped or not."""
    # xdotool ORs its conditions unless told otherwise.
    args = ["xdotool", "search", "--all"]
    if pid is not None:
        args += ["--pid", str(pid)]
    if name is not None:
        args += ["--name", name]
    elif class_name is not None:
        args += ["--class", class_name]
    out = run_tool(*args, check=False)
    return [int(line) for line in out.split() if line.strip().isdigit()]


def window_info(wid):
    """xwininfo's view of a window: absolute position, size, map state."""
    out = run_tool("xwininfo", "-id", str(wid), check=False)
    info = {}
    for key, pattern in (("x", r"Absolute upper-left X:\s+(-?\d+)"),
                         ("y", r"Absolute upper-left Y:\s+(-?\d+)"),
                         ("width", r"Width:\s+(\d+)"),
                         ("height", r"Height:\s+(\d+)"),
                         ("map_state", r"Map State:\s+(\w+)")):
        m = re.search(pattern, out)
        if m:
            info[key] = m.group(1) if key == "map_state" else int(m.group(1))
    return info


def map_state(wid):
    return window_info(wid).get("map_state", "gone")


def is_viewable(wid):
    return map_state(wid) == "IsViewable"


def window_title(wid):
    out = run_tool("xprop", "-id", str(wid), "_NET_WM_NAME", "WM_NAME", check=False)
    m = re.search(r'= "(.*)"', out)
    return m.group(1) if m else ""


def xprop(wid, *props):
    return run_tool("xprop", "-id", str(wid), *props, check=False)


def net_wm_state(wid):
    """The set of _NET_WM_STATE atoms on a window, e.g. {"_NET_WM_STATE_ABOVE"}."""
    out = xprop(wid, "_NET_WM_STATE")
    if "=" not in out:
        return set()
    return {atom.strip() for atom in out.split("=", 1)[1].split(",") if atom.strip()}


def frame_extents(wid):
    """(left, right, top, bottom) of the window manager's frame."""
    out = xprop(wid, "_NET_FRAME_EXTENTS")
    numbers = re.findall(r"\d+", out.split("=", 1)[1]) if "=" in out else []
    if len(numbers) != 4:
        return (0, 0, 0, 0)
    return tuple(int(n) for n in numbers)


def active_window():
    out = run_tool("xdotool", "getactivewindow", check=False).strip()
    return int(out) if out.isdigit() else None


def activate(wid):
    run_tool("xdotool", "windowactivate", "--sync", str(wid), check=False, timeout=5)


def wm_close(wid):
    """Asks the window manager to close the window, as its close button does."""
    run_tool("wmctrl", "-i", "-c", "0x%x" % wid)


# --- the pointer and the keyboard --------------------------------------------

def click(x, y, button=1, repeat=1):
    # No --sync: it waits for motion forever when the pointer is there already;
    # the click follows the move in the same request stream anyway.
    args = ["xdotool", "mousemove", str(x), str(y), "click"]
    if repeat > 1:
        args += ["--repeat", str(repeat), "--delay", "80"]
    run_tool(*(args + [str(button)]))


def move_pointer(x, y):
    run_tool("xdotool", "mousemove", str(x), str(y))


def key(*names, delay_ms=60):
    run_tool("xdotool", "key", "--delay", str(delay_ms), *names)


def type_text(text, delay_ms=15):
    run_tool("xdotool", "type", "--delay", str(delay_ms), text, timeout=60)


# --- the notification area ---------------------------------------------------

def _tree(wid="root"):
    args = ["xwininfo", "-tree"] + (["-root"] if wid == "root" else ["-id", str(wid)])
    return run_tool(*args, check=False)


_TREE_LINE = re.compile(r"^\s*(0x[0-9a-f]+) (\(has no name\)|\".*?\")?.*?"
                        r"(\d+)x(\d+)\+(-?\d+)\+(-?\d+)\s+\+(-?\d+)\+(-?\d+)")


def tree_windows(wid="root"):
    """Every window below wid: (id, name, width, height, abs x, abs y)."""
    found = []
    for line in _tree(wid).splitlines():
        m = _TREE_LINE.match(line)
        if not m:
            continue
        name = m.group(2) or ""
        name = "" if name == "(has no name)" else name.strip('"')
        found.append((int(m.group(1), 16), name, int(m.group(3)), int(m.group(4)),
                      int(m.group(7)), int(m.group(8))))
    return found


def tray_panel():
    """The notification area's panel window (trayer names it "panel")."""
    for wid, name, width, height, x, y in tree_windows():
        if name == "panel" and width > 1 and height > 1:
            return wid
    return None


def tray_icons():
    """Icons docked in the panel, as (id, width, height, abs x, abs y): the
    smallest viewable windows inside it that are not the panel itself."""
    panel = tray_panel()
    if panel is None:
        return []
    icons = []
    for wid, name, width, height, x, y in tree_windows(panel):
        if wid == panel or width < 4 or height < 4 or width > 64 or height > 64:
            continue
        if not is_viewable(wid):
            continue
        icons.append((wid, width, height, x, y))
    # An icon may sit in a socket window of the same size: keep the innermost.
    inner = {}
    for icon in icons:
        inner[(icon[3], icon[4], icon[1], icon[2])] = icon
    return list(inner.values())


# --- pixels --------------------------------------------------------------------

class Screenshot:
    """The whole screen, grabbed once; pixels as (r, g, b) tuples."""

    def __init__(self, path=None):
        data = run_tool("import", "-window", "root", "-depth", "8", "ppm:-", binary=True,
                        timeout=20)
        self.width, self.height, self._pixels = self._parse_ppm(data)
        if path:
            with open(path, "wb") as out:
                out.write(data)

    @staticmethod
    def _parse_ppm(data):
        fields = []
        pos = 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos) + 1
                continue
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        if fields[0] != b"P6" or int(fields[3]) != 255:
            raise ToolError("unexpected screenshot format %r" % fields)
        width, height = int(fields[1]), int(fields[2])
        return width, height, data[pos + 1:pos + 1 + width * height * 3]

    def pixel(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise IndexError("pixel %d,%d is off the screen" % (x, y))
        i = (y * self.width + x) * 3
        return tuple(self._pixels[i:i + 3])

    def region_colours(self, x, y, width, height, step=4):
        """How often each colour occurs in a region (sampled every step px)."""
        counts = {}
        for yy in range(y, y + height, step):
            for xx in range(x, x + width, step):
                colour = self.pixel(xx, yy)
                counts[colour] = counts.get(colour, 0) + 1
        return counts

    def share_of(self, colour, x, y, width, height, tolerance=8, step=4):
        counts = self.region_colours(x, y, width, height, step)
        total = sum(counts.values()) or 1
        near = sum(n for c, n in counts.items() if colour_near(c, colour, tolerance))
        return near / total


def colour_near(a, b, tolerance=8):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


def hex_colour(colour):
    return "#%02x%02x%02x" % colour


def have_display():
    return bool(os.environ.get("DISPLAY"))
