"""One run of the program, or of Chromium as the alternative, and what it measures."""
import os
import shlex
import shutil
import signal
import subprocess
import tempfile
import time

import window
from procs import cpu_snapshot, cpu_used_ms, kill_group, memory_snapshot, other_engine_processes, wait_for_quiet
from server import MARK_RGB

STEP_LIMIT = 30.0      # s from process start for each start-up step
SETTLE = 5.0           # s to wait after a page before taking the memory
HIDE_SETTLE = 2.0      # s between hiding the window and the first CPU reading
SHUTDOWN_LIMIT = 15.0  # s for the program to end after SIGTERM
WINDOW_TITLE = 'Talvorin Tool GoogleTalk'
CHROMIUM_TITLE = 'Chat'  # an app window is titled by its page
MIN_MARK_PIXELS = 2000  # the mark block on the chat page is 240 x 40

CHROMIUM_SWITCHES = ['--no-sandbox', '--disable-quic', '--no-first-run', '--disable-background-networking',
                     '--disable-component-update', '--disable-sync']


class Config:
    """How the program is started: Chromium switches for the engine (QTWEBENGINE_CHROMIUM_FLAGS)
    and extra environment variables."""

    def __init__(self, flags=(), env=None):
        self.flags = list(flags)
        self.env = dict(env or {})

    @classmethod
    def parse(cls, text):
        """'NAME=VALUE' words are environment variables, the rest Chromium switches."""
        flags, env = [], {}
        for word in shlex.split(text):
            name, sep, value = word.partition('=')
            if sep and not word.startswith('-') and name.isidentifier():
                env[name] = value
            else:
                flags.append(word)
        return cls(flags, env)

    def label(self):
        words = ['%s=%s' % item for item in sorted(self.env.items())] + self.flags
        return ' '.join(words) if words else 'defaults'

    def apply(self, env):
        env.pop('QTWEBENGINE_CHROMIUM_FLAGS', None)  # a default run is the program's defaults
        if self.flags:
            env['QTWEBENGINE_CHROMIUM_FLAGS'] = ' '.join(self.flags)
        env.update(self.env)


def fresh_home(tmp):
    home = os.path.join(tmp, 'home')
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + '/.config', XDG_DATA_HOME=home + '/.local/share',
               XDG_CACHE_HOME=home + '/.cache', XDG_RUNTIME_DIR=home + '/runtime')
    os.makedirs(env['XDG_RUNTIME_DIR'], mode=0o700)
    return env


def prepare_program(tmp, exe, url, config, badge='/badge'):
    app = os.path.join(tmp, 'app')
    os.makedirs(app)
    copy = os.path.join(app, 'TalvorinTool')
    shutil.copy2(exe, copy)
    guardian = os.path.join(os.path.dirname(exe), 'talvorin-guardian')
    if os.path.exists(guardian):  # a build of the program that has one: it goes beside it
        shutil.copy2(guardian, app)
    with open(os.path.join(app, 'talvorin.ini'), 'w', newline='') as f:
        f.write('[badgelink]=%s%s\r\n[linkstart]=%s/start\r\n[linkclose]=%s/exit\r\n' % (url, badge, url, url))
    env = fresh_home(tmp)
    if os.geteuid() == 0:
        env['QTWEBENGINE_DISABLE_SANDBOX'] = '1'
    config.apply(env)
    return copy, env


def memory_figures(pid, key):
    """{key: memory counted alone (Pss where that cannot be read), key_pss: Pss}."""
    snap = memory_snapshot(pid)
    return {key: snap['alone'] or snap['pss'], key + '_pss': snap['pss'],
            key + '_others': other_engine_processes(pid)}


def sleep_until(moment):
    time.sleep(max(0.0, moment - time.monotonic()))


def measure_startup(proc, t0, log):
    """Figures 1-3: start-up status request, chat page loaded, memory."""
    result = {}
    t = log.wait_for('/start', t0, t0 + STEP_LIMIT)
    result['start'] = t - t0 if t else None

    # Memory 5 s after the badge page was requested stands in for a chat
    # window that never loads.
    fallback = None
    badge = log.wait_for('/badge', t0, t0 + STEP_LIMIT)
    if badge and proc.poll() is None:
        sleep_until(badge + SETTLE)
        fallback = memory_figures(proc.pid, 'memory')

    chat = log.wait_for('/chat-loaded', t0, t0 + STEP_LIMIT)
    result['chat'] = chat - t0 if chat else None
    paint = log.wait_for('/chat-painted', t0, (chat or t0) + 2.0)
    result['paint'] = paint - t0 if paint else None
    if chat and proc.poll() is None:
        sleep_until(chat + SETTLE)
        result.update(memory_figures(proc.pid, 'memory'), basis='chat')
    elif fallback:
        result.update(fallback, basis='badge')
    return result


def measure_hidden(proc, idle_seconds, title=WINDOW_TITLE, hide=window.wm_close):
    """Figure 5: hides the window as a user does (the program's: closed into the tray;
    Chromium's: minimized), then the CPU time of the whole tree over idle_seconds;
    also the memory at the end."""
    result = {}
    wid = window.find_window(proc.pid, title)
    if wid is None or proc.poll() is not None:
        return result
    marks = window.count_pixels(wid, MARK_RGB)
    if marks is not None:
        result['painted'] = marks >= MIN_MARK_PIXELS
    if idle_seconds <= 0:
        return result
    hide(wid)
    result['hidden'] = window.wait_hidden(wid, HIDE_SETTLE)
    time.sleep(HIDE_SETTLE)
    if proc.poll() is not None:
        return result
    before = cpu_snapshot(proc.pid)
    time.sleep(idle_seconds)
    if proc.poll() is not None:
        return result
    result['idle_cpu'] = cpu_used_ms(before, cpu_snapshot(proc.pid))
    result.update(memory_figures(proc.pid, 'hidden_memory'))
    return result


def measure_shutdown(proc, log):
    """Figure 4: SIGTERM -> process end, and whether the exit status request went out."""
    if proc.poll() is not None:
        return {'died': True}
    result = {}
    t_term = time.monotonic()
    proc.send_signal(signal.SIGTERM)
    try:
        proc.wait(SHUTDOWN_LIMIT)
        result['exit'] = time.monotonic() - t_term
        result['exit_code'] = proc.returncode
    except subprocess.TimeoutExpired:
        pass
    result['exit_seen'] = log.wait_for('/exit', t_term, time.monotonic() + 0.5) is not None
    return result


def run_program(exe, url, log, config, idle_seconds, badge='/badge'):
    with tempfile.TemporaryDirectory(prefix='talvorin-bench-') as tmp:
        copy, env = prepare_program(tmp, exe, url, config, badge)
        with open(os.path.join(tmp, 'program.log'), 'wb') as out:
            wait_for_quiet()
            load = os.getloadavg()[0]
            t0 = time.monotonic()
            proc = subprocess.Popen([copy], cwd=os.path.dirname(copy), env=env, stdout=out,
                                    stderr=subprocess.STDOUT, start_new_session=True)
            try:
                result = measure_startup(proc, t0, log)
                result['load'] = load
                if result.get('chat'):
                    result.update(measure_hidden(proc, idle_seconds))
                result.update(measure_shutdown(proc, log))
                return result
            finally:
                kill_group(proc)


def chromium_command():
    return shutil.which('chromium')


def run_chromium(url, log, extra_flags=(), idle_seconds=0):
    """Debian's Chromium showing the chat page as an app window, with a fresh profile:
    process start -> first request of the page, page loaded and painted, the memory
    of all its processes 5 s later, and their CPU time while the window is minimized."""
    with tempfile.TemporaryDirectory(prefix='talvorin-bench-chromium-') as tmp:
        env = fresh_home(tmp)
        args = [chromium_command(), '--app=%s/chat' % url, '--user-data-dir=%s/profile' % tmp] + \
            CHROMIUM_SWITCHES + list(extra_flags)
        with open(os.path.join(tmp, 'chromium.log'), 'wb') as out:
            wait_for_quiet()
            load = os.getloadavg()[0]
            t0 = time.monotonic()
            proc = subprocess.Popen(args, cwd=tmp, env=env, stdout=out, stderr=subprocess.STDOUT,
                                    start_new_session=True)
            try:
                result = {'load': load}
                first = log.wait_for('/chat', t0, t0 + STEP_LIMIT)
                result['first'] = first - t0 if first else None
                chat = log.wait_for('/chat-loaded', t0, t0 + STEP_LIMIT)
                result['chat'] = chat - t0 if chat else None
                paint = log.wait_for('/chat-painted', t0, (chat or t0) + 2.0)
                result['paint'] = paint - t0 if paint else None
                if chat and proc.poll() is None:
                    sleep_until(chat + SETTLE)
                    result.update(memory_figures(proc.pid, 'memory'), basis='chat')
                    result.update(measure_hidden(proc, idle_seconds, CHROMIUM_TITLE, window.minimize))
                return result
            finally:
                kill_group(proc)
