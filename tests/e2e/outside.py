# What the suites that drive the built program from outside share: a local
# site that records every path it is asked for, copies of the program in
# folders of their own started with a throw-away home, and the main window
# and its menus through xdotool. The program is the first argument.
import os, shutil, subprocess, sys, tempfile, threading, time
from http.server import SimpleHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path

EXE = sys.argv[1]
folder = tempfile.mkdtemp(prefix="talvorin-e2e-")  # the site's files, and the copies' folders
home = os.path.join(folder, "home")
asked, programs = [], []  # paths asked for in order, programs started


class Site(SimpleHTTPRequestHandler):
    also = staticmethod(lambda path: None)  # what else the test does when a path is asked for

    def log_request(self, *args):  # as the answer starts, so before the program can hear it
        asked.append(self.path)
        Site.also(self.path)

    def do_GET(self):  # /fail is a status script that fails
        return self.send_error(500) if self.path == "/fail" else super().do_GET()

    log_message = lambda *args: None


site = ThreadingHTTPServer(("127.0.0.1", 0), lambda *args: Site(*args, directory=folder))
threading.Thread(target=site.serve_forever, daemon=True).start()


# The condition's first true answer, waited for.
def wait_until(condition, what, seconds=30):
    deadline = time.monotonic() + seconds
    while not (met := condition()):
        assert time.monotonic() < deadline, "timed out: " + what
        time.sleep(0.1)
    return met


# The program at `exe` with a throw-away home. More environment in env; a None
# there takes the variable away.
def start(exe, args=(), popen={}, **env):
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home, XDG_DATA_HOME=home, XDG_CACHE_HOME=home,
               QTWEBENGINE_DISABLE_SANDBOX="1", **env)
    programs.append(subprocess.Popen([exe, *args], **popen,
                                     env={name: value for name, value in env.items() if value is not None}))
    return programs[-1]


# A copy of the built program and its guardian in a folder of their own beside
# its talvorin.ini: the program's path.
def copied(ini):
    where = tempfile.mkdtemp(dir=folder)
    shutil.copy2(EXE, where)
    shutil.copy2(os.path.join(os.path.dirname(EXE), "talvorin-guardian"), where)
    Path(where, "talvorin.ini").write_text(ini, newline="")
    return os.path.join(where, "TalvorinTool")


# xdotool's output; it failing is the test's failure, but for a search that
# finds nothing (its status 1, and no output), which is an empty answer.
def xdotool(*command, display=None):
    done = subprocess.run(["xdotool", *command], stdout=subprocess.PIPE, text=True,
                          env=dict(os.environ, DISPLAY=display or os.environ["DISPLAY"]))
    assert done.returncode == 0 or (command[0] == "search" and not done.stdout), ("xdotool", command, done)
    return done.stdout


# The main window's id while it is on screen, else an empty string.
def window(*search, display=None):
    return (xdotool("search", *search, "--onlyvisible", "--name", "^Talvorin Tool GoogleTalk$",
                    display=display).split() or [""])[0]


# The menus of the program `pid` on screen: its shown windows that the window
# manager is told are menus (one that goes meanwhile is none).
def menus(pid):
    shown = xdotool("search", "--all", "--onlyvisible", "--pid", str(pid), "--name", "").split()
    kinds = [subprocess.run(["xprop", "-id", shown_id, "_NET_WM_WINDOW_TYPE"], capture_output=True, text=True).stdout
             for shown_id in shown]
    return [shown_id for shown_id, kind in zip(shown, kinds) if "_MENU" in kind]


# Opens the menu bar's File menu of the program `pid`'s main window with a
# click, once no menu of the program's is left open; then, once it is up, keys.
def menu(pid, *keys):
    main = wait_until(lambda: window("--all", "--pid", str(pid)), "the main window")
    wait_until(lambda: not menus(pid), "the program's menus closed")
    # A click the window was not ready for yet is given again, after a wait
    # long enough for a menu slow to come up under load.
    def clicked():
        xdotool("windowactivate", "--sync", main)
        xdotool("mousemove", "--window", main, "15", "10", "click", "1")
        deadline = time.monotonic() + 10
        while not menus(pid) and time.monotonic() < deadline:
            time.sleep(0.1)
        return menus(pid)

    wait_until(clicked, "the File menu", 40)
    xdotool("key", "--delay", "100", *keys)


# Each process now as (pid, its file `what` in /proc: bytes, or "exe" as a
# path), but for those gone meanwhile (or a zombie, which has no exe).
def processes(what):
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            yield int(pid), os.readlink("/proc/%s/exe" % pid) if what == "exe" else Path("/proc", pid, what).read_bytes()
        except OSError:
            continue


# The process id of the guardian the program `pid` started, or None.
def guardian_of(pid):
    return next((child for child, stat in processes("stat") if stat.startswith(b"%d (talvorin-guardi) " % child)
                 and int(stat.rsplit(b")", 1)[1].split()[1]) == pid), None)


# At the end, whatever happened: the programs, then the other processes given, and the files.
def finish(*others):
    for process in programs + list(others):
        process.kill()
        process.wait()
    shutil.rmtree(folder, ignore_errors=True)
