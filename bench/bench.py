"""Start-up, memory and shutdown benchmark of TalvorinTool.

Each run starts a copy of the program with a fresh HOME against a local HTTP
server and measures: process start -> start-up status request, process start
-> chat page loaded, total memory (Pss of the program and all its browser
processes) and SIGTERM -> process end. Python standard library only.
"""
import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import urlsplit

STEP_LIMIT = 30.0      # s from process start for each start-up step
SETTLE = 5.0           # s to wait after a page before taking the memory
SHUTDOWN_LIMIT = 15.0  # s for the program to end after SIGTERM
GRACE = 5.0            # s between SIGTERM and SIGKILL when cleaning up

PAGES = {
    '/badge': ('text/html', '<!DOCTYPE html><html><head><meta charset="utf-8"><title>Badge</title>'
               '</head><body><a href="/chat" target="_blank">Chat</a>'
               '<p>The owner is available.</p><a href="/elsewhere">About</a></body></html>'),
    '/chat': ('text/html', '<!DOCTYPE html><html><head><meta charset="utf-8"><title>Chat</title>'
              '<script>window.onload = function () { fetch("/chat-loaded"); };</script></head>'
              '<body><h3>Chat with a visitor</h3><div>Hello! Is anyone there?</div>'
              '<div>Hi, how can I help?</div><input placeholder="Type a message">'
              '<button>Send</button></body></html>'),
    '/chat-loaded': ('text/plain', 'ok'),
    '/start': ('text/plain', 'online'),
    '/exit': ('text/plain', 'offline'),
}


class RequestLog:
    """Monotonic arrival time of every request the server got."""

    def __init__(self):
        self.hits = []
        self.cond = threading.Condition()

    def record(self, path):
        with self.cond:
            self.hits.append((path, time.monotonic()))
            self.cond.notify_all()

    def wait_for(self, path, since, deadline):
        """Time of the first request for path at or after since, or None at deadline."""
        with self.cond:
            while True:
                for hit_path, t in self.hits:
                    if hit_path == path and t >= since:
                        return t
                left = deadline - time.monotonic()
                if left <= 0:
                    return None
                self.cond.wait(left)


def start_server(log):
    class Handler(BaseHTTPRequestHandler):
        def do_GET(self):
            path = urlsplit(self.path).path
            log.record(path)
            kind, body = PAGES.get(path, ('text/plain', 'not found'))
            data = body.encode()
            self.send_response(200 if path in PAGES else 404)
            self.send_header('Content-Type', kind + '; charset=utf-8')
            self.send_header('Content-Length', str(len(data)))
            self.send_header('Cache-Control', 'no-store')
            self.end_headers()
            self.wfile.write(data)

        def log_message(self, *args):
            pass

    server = ThreadingHTTPServer(('127.0.0.1', 0), Handler)
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, 'http://127.0.0.1:%d' % server.server_address[1]


def start_xvfb():
    """Starts Xvfb on a free display number and points DISPLAY at it."""
    for number in range(99, 140):
        if os.path.exists('/tmp/.X%d-lock' % number) or os.path.exists('/tmp/.X11-unix/X%d' % number):
            continue
        xvfb = subprocess.Popen(['Xvfb', ':%d' % number, '-screen', '0', '1280x1024x24', '-nolisten', 'tcp'],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and xvfb.poll() is None:
            if os.path.exists('/tmp/.X11-unix/X%d' % number):
                os.environ['DISPLAY'] = ':%d' % number
                return xvfb
            time.sleep(0.1)
        stop_process(xvfb)
    sys.exit('bench: could not start Xvfb')


def stop_process(proc):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(GRACE)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def build_program(root, build_dir):
    subprocess.run(['cmake', '-S', root, '-B', build_dir], check=True)
    subprocess.run(['cmake', '--build', build_dir, '-j%d' % len(os.sched_getaffinity(0))], check=True)
    return os.path.join(build_dir, 'TalvorinTool')


def process_table():
    """{pid: (ppid, pgrp)} of every process in /proc."""
    table = {}
    for name in os.listdir('/proc'):
        if not name.isdigit():
            continue
        try:
            with open('/proc/%s/stat' % name) as f:
                fields = f.read().rsplit(')', 1)[1].split()
        except (OSError, IndexError):
            continue
        table[int(name)] = (int(fields[1]), int(fields[2]))
    return table


def descendants(root_pid, table):
    found, todo = [], [root_pid]
    while todo:
        pid = todo.pop()
        found.append(pid)
        todo.extend(child for child, (ppid, _) in table.items() if ppid == pid)
    return found


def command_type(pid):
    """The --type= of a browser process, or its program name."""
    with open('/proc/%d/cmdline' % pid, 'rb') as f:
        args = f.read().decode(errors='replace').split('\0')
    for arg in args:
        if arg.startswith('--type='):
            return arg[len('--type='):]
    return os.path.basename(args[0]) or '?'


def process_kind(pid, main_pid, table):
    if pid == main_pid:
        return 'main'
    kind = command_type(pid)
    if kind == 'zygote' and command_type(table[pid][0]) == 'zygote':
        # A process forked by a zygote keeps the zygote's command line; a
        # renderer is recognised by its compositor thread.
        tasks = '/proc/%d/task' % pid
        threads = set()
        for tid in os.listdir(tasks):
            with open('%s/%s/comm' % (tasks, tid)) as f:
                threads.add(f.read().strip())
        kind = 'renderer' if 'Compositor' in threads else 'zygote child'
    return kind


def pss_kb(pid):
    with open('/proc/%d/smaps_rollup' % pid) as f:
        for line in f:
            if line.startswith('Pss:'):
                return int(line.split()[1])
    return 0


def memory_snapshot(main_pid):
    """(total Pss kB, {kind: (process count, Pss kB)}) of the program's process tree."""
    kinds, table = {}, process_table()
    for pid in descendants(main_pid, table):
        try:
            kind, kb = process_kind(pid, main_pid, table), pss_kb(pid)
        except OSError:
            continue  # ended meanwhile
        count, total = kinds.get(kind, (0, 0))
        kinds[kind] = (count + 1, total + kb)
    return sum(kb for _, kb in kinds.values()), kinds


def sleep_until(moment):
    time.sleep(max(0.0, moment - time.monotonic()))


def prepare_run_dir(tmp, exe, url):
    app = os.path.join(tmp, 'app')
    os.makedirs(app)
    copy = os.path.join(app, 'TalvorinTool')
    shutil.copy2(exe, copy)
    with open(os.path.join(app, 'talvorin.ini'), 'w', newline='') as f:
        f.write('[badgelink]=%s/badge\r\n[linkstart]=%s/start\r\n[linkclose]=%s/exit\r\n' % (url, url, url))
    home = os.path.join(tmp, 'home')
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + '/.config', XDG_DATA_HOME=home + '/.local/share',
               XDG_CACHE_HOME=home + '/.cache', XDG_RUNTIME_DIR=home + '/runtime')
    os.makedirs(env['XDG_RUNTIME_DIR'], mode=0o700)
    if os.geteuid() == 0:
        env['QTWEBENGINE_DISABLE_SANDBOX'] = '1'
    return copy, env


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
        fallback = memory_snapshot(proc.pid)

    chat = log.wait_for('/chat-loaded', t0, t0 + STEP_LIMIT)
    result['chat'] = chat - t0 if chat else None
    if chat and proc.poll() is None:
        sleep_until(chat + SETTLE)
        result['memory'], result['basis'] = memory_snapshot(proc.pid), 'chat'
    elif fallback:
        result['memory'], result['basis'] = fallback, 'badge'
    return result


def measure_shutdown(proc, log):
    """Figure 4: SIGTERM -> process end, and whether the exit status request went out."""
    if proc.poll() is not None:
        return {}
    result = {}
    t_term = time.monotonic()
    proc.send_signal(signal.SIGTERM)
    try:
        proc.wait(SHUTDOWN_LIMIT)
        result['exit'] = time.monotonic() - t_term
    except subprocess.TimeoutExpired:
        pass
    result['exit_seen'] = log.wait_for('/exit', t_term, time.monotonic() + 0.5) is not None
    return result


def kill_group(proc):
    """Ends the program and every process it left behind (they share its process group)."""
    stop_process(proc)
    deadline = time.monotonic() + GRACE
    while time.monotonic() < deadline:
        if not any(pgrp == proc.pid for _, pgrp in process_table().values()):
            return
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            return
        time.sleep(0.1)


def run_once(exe, url, log):
    with tempfile.TemporaryDirectory(prefix='talvorin-bench-') as tmp:
        copy, env = prepare_run_dir(tmp, exe, url)
        with open(os.path.join(tmp, 'program.log'), 'wb') as out:
            t0 = time.monotonic()
            proc = subprocess.Popen([copy], cwd=os.path.dirname(copy), env=env, stdout=out,
                                    stderr=subprocess.STDOUT, start_new_session=True)
            try:
                result = measure_startup(proc, t0, log)
                result.update(measure_shutdown(proc, log))
                return result
            finally:
                kill_group(proc)


def seconds(value):
    return 'n/a' if value is None else '%.3f s' % value


def mib(kb):
    return '%.1f MiB' % (kb / 1024.0)


def stat_row(name, values, fmt):
    got = [v for v in values if v is not None]
    if not got:
        return '| %s | n/a | n/a | 0/%d |' % (name, len(values))
    return '| %s | %s | %s - %s | %d/%d |' % (name, fmt(statistics.median(got)), fmt(min(got)), fmt(max(got)),
                                             len(got), len(values))


def machine_info():
    def first(path, key):
        with open(path) as f:
            for line in f:
                if line.startswith(key):
                    return line.split(':', 1)[1].strip()
        return '?'
    date = subprocess.run(['date', '-u'], capture_output=True, text=True).stdout.strip()
    return ['Date: %s' % date,
            'Machine: %d CPUs (%s), %s memory, kernel %s' % (len(os.sched_getaffinity(0)),
                                                            first('/proc/cpuinfo', 'model name'),
                                                            first('/proc/meminfo', 'MemTotal'), os.uname().release)]


def memory_basis(bases):
    parts = []
    if bases.count('chat'):
        parts.append('%.0f s after the chat page loaded in %d of the runs' % (SETTLE, bases.count('chat')))
    if bases.count('badge'):
        parts.append('%.0f s after the badge page was requested in %d of the runs (the chat page did not load'
                     ' within %.0f s)' % (SETTLE, bases.count('badge'), STEP_LIMIT))
    return 'Memory taken ' + '; '.join(parts) + '.' if parts else 'No memory figure: no run got to the badge page.'


def kind_table(memories):
    snapshots = [m[1] for m in memories if m]
    if not snapshots:
        return []
    lines = ['', 'Per process kind (by `--type=`; a zygote-forked process with a compositor thread counts as'
             ' renderer):', '', '| Process kind | Processes (median) | Pss (median) |', '|---|---|---|']
    for kind in sorted({k for s in snapshots for k in s}, key=lambda k: (k != 'main', k)):
        split = [s.get(kind, (0, 0)) for s in snapshots]
        lines.append('| %s | %g | %s |' % (kind, statistics.median(c for c, _ in split),
                                           mib(statistics.median(kb for _, kb in split))))
    return lines


def report(results, exe):
    runs = len(results)
    memories = [r.get('memory') for r in results]
    lines = ['# TalvorinTool benchmark', ''] + machine_info() + [
        'Executable: `%s`; %d run%s, each a cold first start with a fresh HOME.'
        % (exe, runs, '' if runs == 1 else 's'), '',
        '| Figure | Median | Spread (min - max) | Runs with a value |', '|---|---|---|---|',
        stat_row('1. Process start -> start-up status request', [r.get('start') for r in results], seconds),
        stat_row('2. Process start -> chat page loaded', [r.get('chat') for r in results], seconds),
        stat_row('3. Memory, Pss of all processes', [m[0] if m else None for m in memories], mib),
        stat_row('4. SIGTERM -> process end', [r.get('exit') for r in results], seconds), '',
        'Exit status request received in %d of %d runs.' % (sum(bool(r.get('exit_seen')) for r in results), runs),
        memory_basis([r['basis'] for r in results if 'basis' in r])]
    return '\n'.join(lines + kind_table(memories)) + '\n'


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--root', required=True, help='the repository (set by bench/run)')
    parser.add_argument('--runs', type=int, default=5)
    parser.add_argument('--exe', help='benchmark this executable instead of building one')
    parser.add_argument('--build-dir', help='where to build (default: build/ of the repository)')
    args = parser.parse_args()

    exe = os.path.abspath(args.exe) if args.exe else \
        build_program(args.root, args.build_dir or os.path.join(args.root, 'build'))
    xvfb = start_xvfb() if not os.environ.get('DISPLAY') else None
    log = RequestLog()
    server, url = start_server(log)
    results = []
    try:
        for i in range(args.runs):
            r = run_once(exe, url, log)
            results.append(r)
            memory = r.get('memory')
            print('run %d/%d: start %s, chat %s, memory %s%s, exit %s%s' % (
                i + 1, args.runs, seconds(r.get('start')), seconds(r.get('chat')),
                mib(memory[0]) if memory else 'n/a', ' (after badge)' if r.get('basis') == 'badge' else '',
                seconds(r.get('exit')), '' if r.get('exit_seen') else ' (no exit request)'), flush=True)
    finally:
        server.shutdown()
        if xvfb:
            stop_process(xvfb)
    text = report(results, exe)
    print('\n' + text)
    with open(os.path.join(args.root, 'bench', 'results.md'), 'w') as f:
        f.write(text)


if __name__ == '__main__':
    main()
