# The guardian seen from outside: copies of the built program, each in a
# folder of its own with its talvorin.ini and talvorin-guardian, against a
# local site that records every status link it is asked for. However a copy
# ends (killed, also by name, crashed, aborted, a logout's signal to its
# process group early in its start, a logout while it is
# stopped, killed while Exit's request hangs at the site), the site hears the
# exit link, exactly once but where Exit's own request never came back, and
# nothing of the copy is left running. No process ever shows the link on its
# command line. A copy started with its standard descriptors closed runs; one
# started under nohup outlives a hang-up, and stays silent. Offline then a
# kill sends nothing more; a link changed in Settings is the one sent.
# The copies run side by side, those driven through their menus on the X
# display, the others on Qt's offscreen platform; they end one after the other.
# Usage: test_guardian.py PATH-TO-TalvorinTool (on an X display with openbox, as scripts/test gives it).
import ctypes, os, resource, signal, subprocess, threading, time
from outside import Site, asked, copied, finish, guardian_of, menu, processes, programs, site, start, wait_until, \
    xdotool

WORD_WAIT = 2  # seconds a signalled program has to speak before its guardian takes it for hung


class Copy:
    """A copy of the program whose status links are /NAME/on and /NAME/off."""

    def __init__(self, name, on_screen=False, long=False, **popen):
        self.name, self.guardian = name, None
        # The Settings dialog takes no links without a badge; the others need none. A long
        # exit link is longer than any piece the guardian reads at once but one word.
        self.exe = copied(("[badgelink]=%s\r\n" % self.link("badge") if on_screen else "") + "[linkstart]=%s\r\n"
                          "[linkclose]=%s%s\r\n" % (self.link("on"), self.link("off"), "?" + "x" * 8000 if long else ""))
        self.ini = os.path.join(os.path.dirname(self.exe), "talvorin.ini")
        # A group of its own, as a session or a terminal gives it; output to a
        # pipe, as a caller reading it would.
        self.program = start(self.exe, QT_QPA_PLATFORM="xcb" if on_screen else "offscreen",
                             TALVORIN_GUARDIAN_WAIT_MS=str(WORD_WAIT * 1000),
                             popen=dict(start_new_session=True, stdout=subprocess.PIPE, stderr=subprocess.STDOUT) | popen)
        if self.program.stdout:
            threading.Thread(target=self.program.stdout.read, daemon=True).start()

    def link(self, what):
        return "http://127.0.0.1:%d/%s/%s" % (site.server_port, self.name, what)

    def asked(self, what):  # where in the site's list
        return [i for i, path in enumerate(asked) if path.split("?")[0] == "/%s/%s" % (self.name, what)]

    def started(self):
        wait_until(lambda: self.asked("on"), self.name + ": the start-up link", 60)
        self.guardian = wait_until(lambda: guardian_of(self.program.pid), self.name + ": its guardian")
        # No terminal, no output pipe of the caller held open.
        assert [os.readlink("/proc/%d/fd/%d" % (self.guardian, fd)) for fd in range(3)] == ["/dev/null"] * 3


# Every process's command line as the site is asked for an exit link: the
# link's sender is running then. Any that holds a status link is kept here.
shown = []


def scan(path):
    if path.split("?")[0].endswith(("/off", "/bye")):
        shown.extend(line for _, line in processes("cmdline") if b"127.0.0.1:%d/" % site.server_port in line)
    if path == "/hang/off" and asked.count(path) == 1:
        time.sleep(20)  # Exit's own request hangs at the site


# Ends the copy as `how` does, then: `links` exit links (the one `link`
# names alone), after the start-up link, and nothing left running.
def end(copy, how, link="off", links=1):
    how(copy)
    wait_until(lambda: len(copy.asked(link)) >= links, copy.name + ": the exit link", 30)
    # Nothing of the copy runs any more: its guardian (ours, as the subreaper,
    # once the program is gone) ended too.
    reaped = lambda: not os.path.exists("/proc/%d" % copy.guardian) or os.waitpid(copy.guardian, os.WNOHANG)[0]
    wait_until(lambda: copy.program.poll() is not None and copy.exe not in dict(processes("exe")).values() and reaped(),
               copy.name + ": everything ended")
    assert len(copy.asked("on")) == 1 and len(copy.asked(link)) == links, (copy.name, asked)
    assert copy.asked("on")[0] < copy.asked(link)[0] and (link == "off" or not copy.asked("off"))


def killed(number, kill=os.kill):  # with os.killpg: the copy's process group
    return lambda copy: kill(copy.program.pid, number)


# What `killall -9 TalvorinTool` does to this copy: every process of its executable at once.
def killed_by_name(copy):
    [os.kill(pid, signal.SIGKILL) for pid, exe in processes("exe") if exe == copy.exe]


# A logout while the program is stopped (a start slower than the guardian's
# wait): the guardian sends the link; the program, let go on, sends none.
def logout_while_stopped(copy):
    os.kill(copy.program.pid, signal.SIGSTOP)
    os.killpg(copy.program.pid, signal.SIGTERM)
    wait_until(lambda: copy.asked("off"), copy.name + ": its guardian sends the link")
    os.kill(copy.program.pid, signal.SIGCONT)
    assert copy.program.wait(30) == 0


# Exit, through a signal to the program alone, hangs at the site; then a kill.
def killed_while_exiting(copy):
    os.kill(copy.program.pid, signal.SIGTERM)
    wait_until(lambda: copy.asked("off"), copy.name + ": Exit's request")
    copy.program.kill()


# The guardian of a copy that runs on ends: the program lets go of it at once
# (no zombie); the copy's Exit still tells the site.
def guardian_ended(copy):
    os.kill(copy.guardian, signal.SIGKILL)
    wait_until(lambda: not os.path.exists("/proc/%d" % copy.guardian), copy.name + ": the guardian reaped")
    os.killpg(copy.program.pid, signal.SIGTERM)


# Status > Offline sends the exit link; a kill then sends nothing more.
def offline_then_killed(copy):
    menu(copy.program.pid, "Right", "Down", "Return")
    wait_until(lambda: copy.asked("off"), copy.name + ": Offline sends the exit link")
    copy.program.kill()


# The exit link changed in Settings; a kill then sends the new one.
def changed_then_killed(copy):
    menu(copy.program.pid, "Down", "Down", "Return")
    wait_until(lambda: xdotool("search", "--onlyvisible", "--name", "^Link Address Settings$"), "the Settings dialog")
    xdotool("key", "--delay", "100", "Tab", "Tab", "Tab", "ctrl+a")
    xdotool("type", copy.link("bye"))
    xdotool("key", "--delay", "100", "shift+Tab", "shift+Tab", "space")
    wait_until(lambda: "bye" in open(copy.ini).read(), "the new link saved")
    copy.program.kill()


# The guardian of a killed copy is left to the nearest subreaper: this test.
ctypes.CDLL(None, use_errno=True).prctl(36, 1)  # PR_SET_CHILD_SUBREAPER
resource.setrlimit(resource.RLIMIT_CORE, (0, 0))  # a crash writes no core file
Site.also = scan
try:
    # Under nohup: a hang-up to its group is the user's to ignore. It runs
    # beside all the others, and stays silent.
    living = Copy("living", preexec_fn=lambda: signal.signal(signal.SIGHUP, signal.SIG_IGN))
    # The copy killed with -9 was started with descriptors 0 to 2 closed: they
    # are /dev/null in the program. The aborted one has a long exit link. The
    # last two are on the X display, driven through their menus.
    endings = {"kill9": killed(signal.SIGKILL), "segv": killed(signal.SIGSEGV), "abrt": killed(signal.SIGABRT),
               "killall": killed_by_name, "stopped": logout_while_stopped, "reaped": guardian_ended,
               "hang": killed_while_exiting, "offline": offline_then_killed, "changed": changed_then_killed}
    closed = dict(stdout=None, stderr=None, preexec_fn=lambda: [os.close(fd) for fd in (0, 1, 2)])
    copies = [Copy(name, on_screen=name in ("offline", "changed"), long=name == "abrt",
                   **(closed if name == "kill9" else {})) for name in endings]
    for copy in [living] + copies:
        copy.started()
    hung_up = time.monotonic()
    os.killpg(living.program.pid, signal.SIGHUP)
    assert [os.readlink("/proc/%d/fd/%d" % (copies[0].program.pid, fd)) for fd in range(3)] == ["/dev/null"] * 3
    for copy in copies:
        end(copy, endings[copy.name], "bye" if copy.name == "changed" else "off", 2 if copy.name == "hang" else 1)

    # A logout's signal to the group, as the start-up request reaches the
    # site: Exit runs, the site hears the exit link once, the settings are
    # saved, and the guardian stays silent. (Each signal late: test_outside.)
    Site.also = lambda path: scan(path) or (path == "/early/on" and os.killpg(programs[-1].pid, signal.SIGTERM))
    early = Copy("early")
    assert early.program.wait(30) == 0, "an early signal did not run Exit"
    # Exit's own request, heard before the program could end.
    assert len(early.asked("off")) == 1 and "[startwin]=False" in open(early.ini).read(), asked

    # Well past its guardian's wait since the hang-up, still nothing owed to
    # the site; its logout sends the one.
    wait_until(lambda: time.monotonic() - hung_up > 3 * WORD_WAIT, "the guardian's wait, three times")
    assert not living.asked("off") and living.program.poll() is None, asked
    end(living, killed(signal.SIGTERM, os.killpg))
    assert not shown, shown
    print("%d passed, 0 failed" % (len(endings) + 3))
finally:
    finish()
