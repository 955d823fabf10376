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

import guardian
import window
import measure
import report
import server
import soak
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
    return 'start %s, chat %s, painted %s, memory %s, hidden cpu %s, exit %s%s' % (
        seconds(r.get('start')), seconds(r.get('chat')), seconds(r.get('paint')), memory_text(r),
        msec(cpu[0]) if cpu else 'n/a', seconds(r.get('exit')), ' (%s)' % ', '.join(notes) if notes else '')


def memory_text(r):
    if not r.get('memory'):
        return 'n/a'
    return '%s (Pss %s)' % (mib(r['memory'][0]), mib(r['memory_pss'][0]))


def chromium_line(r):
    cpu = r.get('idle_cpu')
    return 'first request %s, chat %s, painted %s, memory %s, minimized cpu %s%s' % (
        seconds(r.get('first')), seconds(r.get('chat')), seconds(r.get('paint')), memory_text(r),
        msec(cpu[0]) if cpu else 'n/a', ' (not drawn)' if 'painted' in r and not r['painted'] else '')


def chromium_version():
    out = subprocess.run([measure.chromium_command(), '--version'], capture_output=True, text=True)
    return out.stdout.strip().splitlines()[-1] if out.stdout.strip() else '?'


def write(path, lines):
    text = '\n'.join(lines) + '\n'
    with open(path, 'w') as f:
        f.write(text)
    return text


# Chromium as a careful user would run the chat as well: without the GPU.
CHROMIUM_CONFIGS = [('defaults', []), ('--disable-gpu', ['--disable-gpu'])]


def benchmark(args, exe, url, log):
    """Each program (in each configuration) and Chromium in each configuration,
    one after the other in every round, args.runs rounds."""
    configs = [Config()] + [Config.parse(text) for text in args.also]
    programs = [(e, c) for e in [exe] + args.also_exe for c in configs]
    with_chromium = not args.no_chromium and measure.chromium_command()
    chromiums = [(label, flags + args.chromium_flags.split()) for label, flags in CHROMIUM_CONFIGS] \
        if with_chromium else []
    program_results = [[] for _ in programs]
    chromium_results = [[] for _ in chromiums]

    # A program run right after Chromium comes out slower, however long the
    # machine is left quiet first: every round opens with a run of the program
    # that is not counted, and the programs take turns at going first.
    for i in range(args.runs):
        turn = i % len(programs)
        if chromiums and i > 0:
            measure.run_program(programs[turn][0], url, log, programs[turn][1], 0, args.badge)
        for (e, config), results in (list(zip(programs, program_results))[turn:]
                                     + list(zip(programs, program_results))[:turn]):
            results.append(measure.run_program(e, url, log, config, args.idle, args.badge))
            print('run %d/%d, program %s: %s' % (i + 1, args.runs, program_label(e, exe, config),
                                                 program_line(results[-1])), flush=True)
        for (label, flags), results in zip(chromiums, chromium_results):
            results.append(measure.run_chromium(url, log, flags, args.idle))
            print('run %d/%d, chromium (%s): %s' % (i + 1, args.runs, label, chromium_line(results[-1])),
                  flush=True)

    note = ('%d runs; in each, the program%s and then Chromium in each configuration, one after the other,'
            ' every one a cold first start with a fresh HOME (Chromium: a fresh profile); a round after the first'
            ' opens with a run of the program that is not counted. Badge page: `%s`.'
            % (args.runs, ' (each executable and configuration)' if len(programs) > 1 else '', args.badge))
    lines = report.header('TalvorinTool benchmark', exe, note,
                          ['Chromium: %s  ' % chromium_version()] if with_chromium else [])
    labelled = [(program_label(e, exe, c), r) for (e, c), r in zip(programs, program_results)]
    for label, results in labelled:
        lines += report.program_section('Program, %s' % label, results, args.idle)
    for (label, flags), results in zip(chromiums, chromium_results):
        command = ' '.join(['chromium', '--app=http://127.0.0.1:PORT/chat', '--user-data-dir=FRESH'] +
                           measure.CHROMIUM_SWITCHES + flags)
        lines += report.chromium_section('Chromium, %s' % label, results, command, args.idle)
    if chromiums:
        lines += report.ratio_section(labelled, [(label, r) for (label, _), r in zip(chromiums, chromium_results)])
    lines += ['Figure 1 is when the server received the start-up status request; Chromium\'s is when it received'
              ' the request for the page. "Painted" is when the page reported its first contentful paint, which'
              ' the engine reports once that frame was presented; "drawn" checks a screenshot of the window for'
              ' the page\'s colour block. Memory is taken %.0f s after the chat page loaded; "alone" counts each'
              ' page the processes map once and leaves out anyone else sharing it (what they take running by'
              ' themselves), Pss splits shared pages among every process on the machine mapping them. Figure 5:'
              ' the program\'s window is closed through the window manager (it hides in the tray), Chromium\'s is'
              ' minimized; after %.0f s the run time of every thread of every process (schedstat, in ns) is'
              ' summed at the start and the end of %.0f s.' % (measure.SETTLE, measure.HIDE_SETTLE, args.idle)]
    path = args.output or os.path.join(args.root, 'bench', 'results.md')
    # A soak's section and the guardian's stay: they come from runs of their own.
    old = open(path).read() if os.path.exists(path) else ''
    kept = guardian.split_off(old)[1] + soak.split_off(old)[1]
    return write(path, lines + ([''] + kept.rstrip('\n').split('\n') if kept else []))


def program_label(exe, main_exe, config):
    """The configuration, with the executable's path when it is not the one benchmarked first."""
    return config.label() if exe == main_exe else '`%s`, %s' % (exe, config.label())


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
            got.append(measure.run_program(exe, url, log, config, args.idle, args.badge))
            print('round %d/%d, %s: %s' % (i + 1, args.runs, config.label(), program_line(got[-1])), flush=True)
        # Written after every round, so an interrupted comparison still leaves its table.
        done = [(c.label(), r) for c, r in zip(configs, results)]
        text = write(path, report.header('TalvorinTool engine switch comparison', exe, note) +
                     report.flags_table(done))
    return text


def run_soak(args, exe, url, log):
    server.PAGES.update(soak.PAGES)
    config = Config.parse(args.also[0]) if args.also else Config()
    samples, states = soak.soak(args.soak, exe, url, log, config,
                                not args.no_chromium and bool(measure.chromium_command()))
    states['messages fetched'] = log.count('/soak-message')
    return soak.write(args.output or os.path.join(args.root, 'bench', 'results.md'),
                      soak.section(args.soak, samples, states, config))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--root', required=True, help='the repository (set by bench/run)')
    parser.add_argument('--runs', type=int, help='runs (default 5; 3 per set with --compare-flags)')
    parser.add_argument('--exe', required=True, help='the program (bench/run builds it by default)')
    parser.add_argument('--also-exe', action='append', default=[], metavar='PATH',
                        help='benchmark this build of the program as well, in the same rounds (repeatable)')
    parser.add_argument('--badge', default='/badge', choices=['/badge', '/badge-open'],
                        help='the badge page: its chat opened by a target="_blank" link (/badge) or by'
                             ' window.open (/badge-open)')
    parser.add_argument('--also', action='append', default=[], metavar='SET',
                        help='benchmark the program with this set as well: engine switches and NAME=VALUE'
                             ' environment variables, e.g. "QT_QUICK_BACKEND=rhi --renderer-process-limit=1"'
                             ' (repeatable; --also=--switch for a lone switch)')
    parser.add_argument('--compare-flags', nargs='?', const='', metavar='FILE',
                        help='compare switch sets (built-in list, or one set a line from FILE)')
    parser.add_argument('--idle', type=float, default=30.0, help='seconds hidden in the tray for figure 5 (0: skip)')
    parser.add_argument('--soak', type=int, metavar='MINUTES',
                        help='instead: the program and Chromium hidden side by side on a busy chat page for'
                             ' MINUTES, their memory sampled each minute')
    parser.add_argument('--guardian', action='store_true',
                        help='instead: the guardian\'s memory while it waits, and kill -9 of the program to the'
                             ' exit link at the site (10 runs by default)')
    parser.add_argument('--no-chromium', action='store_true', help='leave Chromium out')
    parser.add_argument('--chromium-flags', default='', help='extra switches for Chromium')
    parser.add_argument('--output', help='where the Markdown goes (default bench/results.md or bench/flags.md)')
    args = parser.parse_args()
    if args.runs is None:
        args.runs = 3 if args.compare_flags is not None else 10 if args.guardian else 5
    if not args.no_chromium and args.compare_flags is None and not measure.chromium_command():
        print('bench: chromium is not installed (apt-get install chromium); measuring the program alone',
              file=sys.stderr)

    exe = args.exe
    check_desktop()
    log = RequestLog()
    server, url = start_server(log)
    try:
        if args.soak:
            text = run_soak(args, exe, url, log)
        elif args.guardian:
            text = guardian.run(args, exe, url, log)
        elif args.compare_flags is not None:
            text = compare_flags(args, exe, url, log)
        else:
            text = benchmark(args, exe, url, log)
    finally:
        server.shutdown()
    print('\n' + text)


if __name__ == '__main__':
    main()
