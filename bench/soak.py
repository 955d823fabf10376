"""A day in the tray, shortened: the program and Chromium left running side by side
on a busy chat page, hidden, with the memory of all their processes sampled each
minute.

The chat page fetches a message every second, shows it (keeping the last
SHOWN_MESSAGES, as a chat window scrolls its old lines away) and throws away a
few MiB of short-lived objects each time, so that the engine's collector has
work to do. The program hides its window in the tray; Chromium shows the same
page as an app window, minimized. Both start together and are sampled in the
same minute, so whatever else the machine does falls on both.
"""
import os
import subprocess
import tempfile
import time

import measure
import report
import window
from procs import kill_group, memory_snapshot

SETTLE_MINUTES = 5  # growth is taken from here on: the start-up's allocations are done
TARGET_MIB_PER_HOUR = 5.0
SHOWN_MESSAGES = 100

CHAT = ('<!DOCTYPE html><html><head><meta charset="utf-8"><title>Chat</title></head>'
        '<body style="background: rgb(%d, %d, %d)"><h3>Chat with a visitor</h3><div id="log"></div>'
        '<script>let n = 0; const log = document.getElementById("log");'
        'window.onload = () => fetch("/chat-loaded");'
        'setInterval(() => fetch("/soak-message?" + (++n), {cache: "no-store"}).then(r => r.json()).then(m => {'
        ' const line = document.createElement("div"); line.textContent = m.from + ": " + m.text;'
        ' log.appendChild(line);'
        ' while (log.childNodes.length > %d) log.removeChild(log.firstChild);'
        # Garbage: some 4 MiB of objects and strings that nothing keeps.
        ' let junk = []; for (let i = 0; i < 20000; i++) junk.push({i, s: "x".repeat(64) + i});'
        ' junk = JSON.stringify(junk.slice(0, 2000)).split(",").map(s => s + n);'
        ' document.title = "Chat (" + n + ")"; }).catch(() => {}), 1000);'
        '</script></body></html>' % (*measure.MARK_RGB, SHOWN_MESSAGES))

PAGES = {
    '/soak-badge': ('text/html', '<!DOCTYPE html><html><head><title>Badge</title></head><body>'
                    '<a href="/soak-chat" target="_blank">Chat</a></body></html>'),
    '/soak-chat': ('text/html', CHAT),
    '/soak-message': ('application/json', '{"from": "Visitor", "text": "Hello, is anyone there? %s"}'
                      % ('Some words of a longer message. ' * 8)),
}


def resident_kb(pid):
    """Resident memory of the whole process tree, each page counted once (Pss where
    frame numbers cannot be read)."""
    snap = memory_snapshot(pid)
    return (snap['alone'] or snap['pss'])[0]


def growth_per_hour(samples):
    """MiB an hour: the least-squares slope of the samples from SETTLE_MINUTES on."""
    points = [(m, kb / 1024.0) for m, kb in samples if m >= SETTLE_MINUTES and kb is not None]
    if len(points) < 2:
        return None
    mean_m = sum(m for m, _ in points) / len(points)
    mean_v = sum(v for _, v in points) / len(points)
    spread = sum((m - mean_m) ** 2 for m, _ in points)
    return 60.0 * sum((m - mean_m) * (v - mean_v) for m, v in points) / spread


def start_program(tmp, exe, url, config, log):
    copy, env = measure.prepare_program(tmp, exe, url, config, badge='/soak-badge')
    t0 = time.monotonic()
    proc = subprocess.Popen([copy], cwd=os.path.dirname(copy), env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    if log.wait_for('/chat-loaded', t0, t0 + measure.STEP_LIMIT) is None:
        raise RuntimeError('the program showed no chat')
    wid = window.find_window(proc.pid, measure.WINDOW_TITLE)
    if wid is None:
        raise RuntimeError('the program showed no window')
    window.wm_close(wid)
    return proc, window.wait_hidden(wid, measure.HIDE_SETTLE)


def start_chromium(tmp, url, log):
    env = measure.fresh_home(tmp)
    t0 = time.monotonic()
    proc = subprocess.Popen([measure.chromium_command(), '--app=%s/soak-chat' % url,
                             '--user-data-dir=%s/profile' % tmp] + measure.CHROMIUM_SWITCHES,
                            cwd=tmp, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    if log.wait_for('/chat-loaded', t0, t0 + measure.STEP_LIMIT) is None:
        raise RuntimeError('Chromium showed no chat')
    wid = None
    deadline = time.monotonic() + 10
    while wid is None and time.monotonic() < deadline:
        wid = next((w for w in window.search_windows(proc.pid) if window.window_title(w).startswith('Chat')
                    and window.is_viewable(w)), None)
        time.sleep(0.2)
    if wid is not None:
        window.minimize(wid)
    return proc, wid is not None and window.wait_hidden(wid, measure.HIDE_SETTLE)


def soak(minutes, exe, url, log, config, with_chromium):
    """[(minute, program kB, Chromium kB or None)] for minute 0 .. minutes."""
    with tempfile.TemporaryDirectory(prefix='talvorin-soak-') as tmp:
        os.makedirs(tmp + '/program')
        os.makedirs(tmp + '/chromium')
        procs = []
        try:
            program, program_hidden = start_program(tmp + '/program', exe, url, config, log)
            procs.append(program)
            chromium, chromium_hidden = None, None
            if with_chromium:
                chromium, chromium_hidden = start_chromium(tmp + '/chromium', url, log)
                procs.append(chromium)
            print('soak: program hidden: %s, Chromium minimized: %s' % (program_hidden, chromium_hidden),
                  flush=True)
            samples, t0 = [], time.monotonic()
            for minute in range(minutes + 1):
                measure.sleep_until(t0 + 60 * minute)
                alive = lambda p: p is not None and p.poll() is None
                row = (minute, resident_kb(program.pid) if alive(program) else None,
                       resident_kb(chromium.pid) if alive(chromium) else None)
                samples.append(row)
                print('soak: minute %d: program %s, Chromium %s, messages %d' % (
                    minute, report.mib(row[1]), report.mib(row[2]), log.count('/soak-message')), flush=True)
            return samples, {'program hidden': program_hidden, 'chromium minimized': chromium_hidden}
        finally:
            for proc in procs:
                kill_group(proc)


def section(minutes, samples, states, config):
    """The soak's Markdown section for results.md."""
    def at(minute, column):
        return next((row[column] for row in samples if row[0] == minute), None)

    def growth(column):
        return growth_per_hour([(row[0], row[column]) for row in samples])
    program, chromium = growth(1), growth(2)
    per_hour = lambda g: 'n/a' if g is None else '%+.1f MiB/h' % g
    met = program is not None and program <= TARGET_MIB_PER_HOUR and (chromium is None or program <= chromium)
    lines = ['## A day in the tray (soak, %d minutes)' % minutes, '',
             'Program (%s) hidden in the tray, Chromium (`--app`, same switches as above) minimized, side by side'
             ' in one run on the same chat page: a message fetched and shown every second (the last %d kept),'
             ' some 4 MiB of garbage made with each. Memory: all processes of each, resident, shared pages'
             ' counted once. Growth: least-squares slope from minute %d on. Window states: %s.'
             % (config.label(), SHOWN_MESSAGES, SETTLE_MINUTES,
                ', '.join('%s %s' % (k, v) for k, v in states.items())), '',
             '| | Program | Chromium |', '|---|---|---|']
    for minute in sorted({0, SETTLE_MINUTES, minutes} | set(range(0, minutes + 1, 10))):
        lines.append('| minute %d | %s | %s |' % (minute, report.mib(at(minute, 1)), report.mib(at(minute, 2))))
    lines += ['| growth per hour after minute %d | %s | %s |' % (SETTLE_MINUTES, per_hour(program),
                                                                  per_hour(chromium)), '',
              'Target: growth <= %.0f MiB/h and no more than Chromium\'s: %s.' % (
                  TARGET_MIB_PER_HOUR, 'met' if met else 'missed'), '',
              'Every minute, MiB (program / Chromium): ' + ', '.join(
                  '%d: %s / %s' % (m, '%.1f' % (p / 1024.0) if p else 'n/a', '%.1f' % (c / 1024.0) if c else 'n/a')
                  for m, p, c in samples), '']
    return lines


SECTION_TITLE = '## A day in the tray'


def split_off(text):
    """(the rest of results.md, its soak section or '')."""
    return report.split_section(text, SECTION_TITLE)


def write(path, lines):
    """Puts the section in results.md in place of an earlier one, the rest left as it is."""
    old = open(path).read() if os.path.exists(path) else ''
    rest, _ = split_off(old)
    text = rest.rstrip('\n') + '\n\n' + '\n'.join(lines)
    with open(path, 'w') as f:
        f.write(text)
    return '\n'.join(lines)
