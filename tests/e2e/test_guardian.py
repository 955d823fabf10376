# The guardian seen from outside: copies of the built program, each in a
# folder of its own with its talvorin.ini, against a local site that records
# every status link it is asked for. However a copy ends (killed, crashed,
# aborted, Exit, a logout's or a terminal's signal to its process group), the
# site hears the exit link exactly once, after the start-up link, and nothing
# of the copy is left running; Offline then a kill sends nothing more; a link
# changed in Settings is the one sent; a copy that lives on sends nothing.
# The copies that need no screen run side by side on Qt's offscreen platform,
# those driven through their menus one after the other on the X display.
# Usage: test_guardian.py PATH-TO-TalvorinTool (on an X display with openbox, as scripts/test gives it).
import ctypes, os, resource, signal, subprocess, threading, time
from outside import copied, finish, heard, menu, run, site, start, wait_until, window


class Copy:
    """A copy of the program whose status links are /NAME/on and /NAME/off."""

    def __init__(self, name, on_screen=False):
        self.name, self.guardian = name, None
        # The Settings dialog takes no links without a badge; the others need none.
        self.exe = copied(("[badgelink]=%s\r\n" % self.link("badge") if on_screen else "") +
                          "[linkstart]=%s\r\n[linkclose]=%s\r\n" % (self.link("on"), self.link("off")))
        self.ini = os.path.join(os.path.dirname(self.exe), "talvorin.ini")
        # A group of its own, as a session or a terminal gives it; output to a
        # pipe, as a caller reading it would.
        self.program = start(self.exe, QT_QPA_PLATFORM="xcb" if on_screen else "offscreen", popen=dict(
            start_new_session=True, stdout=subprocess.PIPE, stderr=subprocess.STDOUT))
        threading.Thread(target=self.program.stdout.read, daemon=True).start()

    def link(self, what):
        return "http://127.0.0.1:%d/%s/%s" % (site.server_port, self.name, what)

    def asked(self, what):
        return [when for path, when in heard if path == "/%s/%s" % (self.name, what)]

    def started(self):
        wait_until(lambda: self.asked("on"), self.name + ": the start-up link", 60)
        # The guardian; the engine's processes are the program's for a moment, between fork and exec.
        children = lambda: [pid for pid in running(self.exe) if parent(pid) == self.program.pid]
        wait_until(lambda: len(children()) == 1, self.name + ": one guardian")
        self.guardian = children()[0]
        # No terminal, no output pipe of the caller held open.
        assert [os.readlink("/proc/%d/fd/%d" % (self.guardian, fd)) for fd in range(3)] == ["/dev/null"] * 3

    # Nothing of the copy runs any more: its guardian (ours, as the subreaper,
    # once the program is gone) ended too.
    def gone(self):
        wait_until(lambda: self.program.poll() is not None and not running(self.exe) and self.reaped(),
                   self.name + ": everything ended")

    def reaped(self):  # by the time the program is gone, the guardian is this test's
        return os.waitpid(self.guardian, os.WNOHANG)[0] == self.guardian

    def menu(self, *keys):
        found = lambda: window("--all", "--pid", str(self.program.pid))
        wait_until(found, self.name + ": the window")
        menu(found(), *keys)


def running(exe):
    return [int(pid) for pid in filter(str.isdigit, os.listdir("/proc")) if executable(pid) == exe]


def executable(pid):
    try:
        return os.readlink("/proc/%s/exe" % pid)
    except OSError:
        return None  # gone meanwhile, or a zombie


def parent(pid):
    with open("/proc/%d/stat" % pid) as stat:
        return int(stat.read().rsplit(")", 1)[1].split()[1])


# Ends the copy as `how` does, then: one exit link, after the start-up link,
# in 3 seconds, and nothing left running.
def end(copy, how, link="off"):
    started = time.monotonic()
    how(copy)
    wait_until(lambda: copy.asked(link), copy.name + ": the exit link", 30)
    copy.gone()
    assert len(copy.asked("on")) == 1 and len(copy.asked(link)) == 1, (copy.name, heard)
    assert copy.asked(link)[0] - started < 3, (copy.name, copy.asked(link)[0] - started)
    assert copy.asked("on")[0] < copy.asked(link)[0]


def killed(number, kill=os.kill):  # with os.killpg: the copy's process group
    return lambda copy: kill(copy.program.pid, number)


# The guardian of a killed copy is left to the nearest subreaper: this test.
ctypes.CDLL(None, use_errno=True).prctl(36, 1)  # PR_SET_CHILD_SUBREAPER
resource.setrlimit(resource.RLIMIT_CORE, (0, 0))  # a crash writes no core file
try:
    # A copy that lives on owes nothing yet; it runs beside all the others.
    living = Copy("living")
    endings = {"kill9": killed(signal.SIGKILL), "segv": killed(signal.SIGSEGV), "abrt": killed(signal.SIGABRT),
               "term": killed(signal.SIGTERM, os.killpg), "int": killed(signal.SIGINT, os.killpg),
               "hup": killed(signal.SIGHUP, os.killpg)}
    quiet = [Copy(name) for name in endings]
    for copy in [living] + quiet:
        copy.started()
    for copy in quiet:
        end(copy, endings[copy.name])

    # Through the menus, one copy at a time: File > Exit; Status > Offline,
    # then killed; Settings' exit link changed, then killed.
    exiting = Copy("exit", on_screen=True)
    exiting.started()
    end(exiting, lambda copy: copy.menu("Up", "Return"))
    offline = Copy("offline", on_screen=True)
    offline.started()
    offline.menu("Right", "Down", "Return")
    wait_until(lambda: offline.asked("off"), "Offline sends the exit link")
    offline.program.kill()
    offline.gone()
    assert len(offline.asked("off")) == 1, heard
    changed = Copy("changed", on_screen=True)
    changed.started()
    changed.menu("Down", "Down", "Return")
    wait_until(lambda: run("xdotool", "search", "--onlyvisible", "--name", "^Link Address Settings$"),
               "the Settings dialog")
    run("xdotool", "key", "--delay", "100", "Tab", "Tab", "Tab", "ctrl+a")
    run("xdotool", "type", changed.link("bye"))
    run("xdotool", "key", "--delay", "100", "shift+Tab", "shift+Tab", "space")
    wait_until(lambda: "bye" in open(changed.ini).read(), "the new link saved")
    end(changed, killed(signal.SIGKILL), link="bye")
    assert not changed.asked("off"), heard

    # A minute on, still nothing owed to the site; its logout sends the one.
    wait_until(lambda: time.monotonic() - living.asked("on")[0] > 60, "a minute", 90)
    assert not living.asked("off") and living.program.poll() is None, heard
    end(living, killed(signal.SIGTERM, os.killpg))
    print("%d passed, 0 failed" % (len(endings) + 4))
finally:
    finish()
