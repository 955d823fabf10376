"""Start-up, memory, idle CPU and shutdown benchmark of TalvorinTool, against Chromium.

Each run starts a copy of the program with a fresh HOME against a local HTTP
server and measures: process start -> start-up status request, process start
-> chat page loaded, total memory (Pss of the program and all its browser
processes) 5 s later, the CPU time of all of them while the window sits
hidden in the tray, and SIGTERM -> process end. In the same run Debian's
Chromium shows the chat page as an app window with a fresh profile, for start
-> chat loaded and memory. Python standard library only.

--compare-flags instead runs the program with each of a list of engine
switch sets and tabulates what each one does to memory and time.
"""
import argparse
import os
import subprocess
import sys

import window
import measure
import report
from measure import Config
from report import mib, msec, seconds
from server import RequestLog, start_server

# Candidates for --compare-flags, one set a line: Chromium switches for the
# engine and NAME=VALUE environment variables. The first is the reference.
CANDIDATE_SETS = [
    '',
    # The program composites in software unless told otherwise; this is the GPU way.
    'QT_QUICK_BACKEND=rhi',
    '--renderer-process-limit=1',
    '--process-per-site',
    '--no-zygote',
    '--single-process',
    '--disable-gpu',
    '--enable-low-end-device-mode',
    '--js-flags=--max-old-space-size=32',
    '--js-flags=--jitless',
    '--disable-dev-shm-usage',
    '--disable-site-isolation-trials',
    '--num-raster-threads=1',
    '--disable-features=BackForwardCache',
    # Combinations of the ones that pay.
    '--renderer-process-limit=1 --no-zygote',
    '--renderer-process-limit=1 --enable-low-end-device-mode',
    # Without GL in Qt at all.
    'QT_XCB_GL_INTEGRATION=none',
]


def check_desktop():
    if not window.has_window_manager():
        print('bench: no EWMH window manager on %s: the window cannot be closed into the tray'
              % os.environ.get('DISPLAY'), file=sys.stderr)


def program_line(r):
    cpu = r.get('idle_cpu')
    notes = [n for n, bad in (('after badge', r.get('basis') == 'badge'), ('not drawn', 'painted' in r and not r['painted']),
                              ('not hidden', 'hidden' in r and not r['hidden']),
                              ('no exit request', 'exit' in r and not r.get('exit_seen')),
                              ('ended by itself', r.get('died'))) if bad]
    return 'start %s, chat %s, memory %s, hidden cpu %s, exit %s%s' % (
        seconds(r.get('start')), seconds(r.get('chat')), memory_text(r),
        msec(cpu[0]) if cpu else 'n/a', seconds(r.get('exit')), ' (%s)' % ', '.join(notes) if notes else '')


def memory_text(r):
    if not r.get('memory'):
        return 'n/a'
    return '%s (Pss %s)' % (mib(r['memory'][0]), mib(r['memory_pss'][0]))


def chromium_line(r):
    return 'chat %s, memory %s' % (seconds(r.get('chat')), memory_text(r))


def chromium_version():
    out = subprocess.run([measure.chromium_command(), '--version'], capture_output=True, text=True)
    return out.stdout.strip().splitlines()[-1] if out.stdout.strip() else '?'


def write(path, lines):
    text = '\n'.join(lines) + '\n'
    with open(path, 'w') as f:
        f.write(text)
    return text


def benchmark(args, exe, url, log):
    """Program (each configuration) and Chromium, interleaved, args.runs rounds."""
    configs = [Config()] + [Config.parse(text) for text in args.also]
    with_chromium = not args.no_chromium and measure.chromium_command()
    program_results = [[] for _ in configs]
    chromium_results = []
    for i in range(args.runs):
        for config, results in zip(configs, program_results):
            results.append(measure.run_program(exe, url, log, config, args.idle))
            print('run %d/%d, program (%s): %s' % (i + 1, args.runs, config.label(), program_line(results[-1])),
                  flush=True)
        if with_chromium:
            chromium_results.append(measure.run_chromium(url, log, args.chromium_flags.split()))
            print('run %d/%d, chromium: %s' % (i + 1, args.runs, chromium_line(chromium_results[-1])), flush=True)

    note = ('%d runs; in each, the program%s and then Chromium, every one a cold first start with a fresh HOME'
            ' (Chromium: a fresh profile).' % (args.runs, ' (in each configuration)' if len(configs) > 1 else ''))
    lines = report.header('TalvorinTool benchmark', exe, note,
                          ['Chromium: %s  ' % chromium_version()] if with_chromium else [])
    for config, results in zip(configs, program_results):
        lines += report.program_section('Program, %s' % config.label(), results, args.idle)
    if with_chromium:
        command = ' '.join(['chromium', '--app=http://127.0.0.1:PORT/chat', '--user-data-dir=FRESH'] +
                           measure.CHROMIUM_SWITCHES + args.chromium_flags.split())
        lines += report.chromium_section(chromium_results, command)
        lines += report.ratio_section([(c.label(), r) for c, r in zip(configs, program_results)],
                                      chromium_results)
    lines += ['Memory is taken %.0f s after the chat page loaded; "alone" counts each page the processes map'
              ' once and leaves out anyone else sharing it (what they take running by themselves), Pss splits'
              ' shared pages among every process on the machine mapping them. Figure 5: the window is closed'
              ' through the window manager (it hides in the tray); after %.0f s the run time of every thread of'
              ' every process (schedstat, in ns) is summed at the start and the end of %.0f s.'
              % (measure.SETTLE, measure.HIDE_SETTLE, args.idle)]
    return write(args.output or os.path.join(args.root, 'bench', 'results.md'), lines)


def compare_flags(args, exe, url, log):
    """Each candidate set args.runs times, round by round so slow drifts spread evenly."""
    if args.compare_flags:
        with open(args.compare_flags) as f:
            texts = [line.strip() for line in f if line.strip() and not line.startswith('#')]
    else:
        texts = CANDIDATE_SETS
    configs = [Config.parse(text) for text in texts]
    if not configs or configs[0].label() != 'defaults':
        configs.insert(0, Config())
    results = [[] for _ in configs]
    path = args.output or os.path.join(args.root, 'bench', 'flags.md')
    note = ('%d runs of each set, round by round; every run a cold first start with a fresh HOME. Medians.'
            ' Memory alone: all processes, each page they map counted once, %.0f s after the chat page loaded;'
            ' Gain: memory saved against the first row; main, renderers, zygotes, other: its split per process'
            ' kind. Pss: the kernel\'s figure, lowered by other Qt WebEngine programs running meanwhile.'
            ' CPU hidden: %.0f s in the tray.' % (args.runs, measure.SETTLE, args.idle))
    text = ''
    for i in range(args.runs):
        for config, got in zip(configs, results):
            got.append(measure.run_program(exe, url, log, config, args.idle))
            print('round %d/%d, %s: %s' % (i + 1, args.runs, config.label(), program_line(got[-1])), flush=True)
        # Written after every round, so an interrupted comparison still leaves its table.
        done = [(c.label(), r) for c, r in zip(configs, results)]
        text = write(path, report.header('TalvorinTool engine switch comparison', exe, note) +
                     report.flags_table(done))
    return text


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--root', required=True, help='the repository (set by bench/run)')
    parser.add_argument('--runs', type=int, help='runs (default 5; 3 per set with --compare-flags)')
    parser.add_argument('--exe', required=True, help='the program (bench/run builds it by default)')
    parser.add_argument('--also', action='append', default=[], metavar='SET',
                        help='benchmark the program with this set as well: engine switches and NAME=VALUE'
                             ' environment variables, e.g. "QT_QUICK_BACKEND=rhi --renderer-process-limit=1"'
                             ' (repeatable; --also=--switch for a lone switch)')
    parser.add_argument('--compare-flags', nargs='?', const='', metavar='FILE',
                        help='compare switch sets (built-in list, or one set a line from FILE)')
    parser.add_argument('--idle', type=float, default=30.0, help='seconds hidden in the tray for figure 5 (0: skip)')
    parser.add_argument('--no-chromium', action='store_true', help='leave Chromium out')
    parser.add_argument('--chromium-flags', default='', help='extra switches for Chromium')
    parser.add_argument('--output', help='where the Markdown goes (default bench/results.md or bench/flags.md)')
    args = parser.parse_args()
    if args.runs is None:
        args.runs = 3 if args.compare_flags is not None else 5
    if not args.no_chromium and args.compare_flags is None and not measure.chromium_command():
        print('bench: chromium is not installed (apt-get install chromium); measuring the program alone',
              file=sys.stderr)

    exe = args.exe
    check_desktop()
    log = RequestLog()
    server, url = start_server(log)
    try:
        if args.compare_flags is not None:
            text = compare_flags(args, exe, url, log)
        else:
            text = benchmark(args, exe, url, log)
    finally:
        server.shutdown()
    print('\n' + text)


if __name__ == '__main__':
    main()
