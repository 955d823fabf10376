"""The guardian: its memory while it waits, and kill -9 of the program to the exit link at the site."""
import os
import statistics
import subprocess
import tempfile
import time

import measure
import procs
import report

SECTION_TITLE = '## The guardian'


def guardian_of(pid):
    """The program's child running talvorin-guardian, or None."""
    for child, (ppid, _) in procs.process_table().items():
        try:
            if ppid == pid and os.path.basename(os.readlink('/proc/%d/exe' % child)) == 'talvorin-guardian':
                return child
        except OSError:
            continue  # ended meanwhile
    return None


def run_once(exe, url, log, config):
    """(guardian's Pss in kB 5 s after the chat loaded, s from kill -9 of the program to the exit link)."""
    with tempfile.TemporaryDirectory(prefix='talvorin-bench-guardian-') as tmp:
        copy, env = measure.prepare_program(tmp, exe, url, config)
        with open(os.path.join(tmp, 'program.log'), 'wb') as out:
            t0 = time.monotonic()
            proc = subprocess.Popen([copy], cwd=os.path.dirname(copy), env=env, stdout=out,
                                    stderr=subprocess.STDOUT, start_new_session=True)
            try:
                chat = log.wait_for('/chat-loaded', t0, t0 + measure.STEP_LIMIT)
                measure.sleep_until((chat or t0 + measure.STEP_LIMIT) + measure.SETTLE)
                guardian = guardian_of(proc.pid)
                pss = procs.pss_kb(guardian) if guardian else None
                killed = time.monotonic()
                proc.kill()
                heard = log.wait_for('/exit', killed, killed + 15)
                return pss, heard - killed if heard else None
            finally:
                procs.kill_group(proc)


def section(exe, runs, results):
    pss = [kb for kb, _ in results if kb is not None]
    delays = [s for _, s in results if s is not None]
    spread = lambda values, text: '%s (%s - %s)' % (text(statistics.median(values)), text(min(values)),
                                                    text(max(values))) if values else 'n/a'
    return [SECTION_TITLE, '',
            'Executable: `%s`; %d runs, each a cold start of the program with its badge and chat, on %s.'
            % (exe, runs, time.strftime('%a %b %d %Y')), '',
            '| Figure | Median (min - max) | Runs with a value |', '|---|---|---|',
            '| Guardian waiting, Pss (5 s after the chat loaded) | %s | %d/%d |'
            % (spread(pss, lambda kb: '%.2f MiB' % (kb / 1024)), len(pss), runs),
            '| `kill -9` of the program -> exit link at the site | %s | %d/%d |'
            % (spread(delays, report.seconds), len(delays), runs), '',
            'The guardian is talvorin-guardian, a program of its own in plain C++ and the C library, started'
            ' with posix_spawn; it waits on a socket. To send, it starts the program\'s executable in its'
            ' sending mode with the link on its standard input (a cold start of its libraries and an'
            ' application object without a window), so the second figure is mostly that start.', '']


def split_off(text):
    """(the rest of results.md, its guardian section or '')."""
    return report.split_section(text, SECTION_TITLE)


def run(args, exe, url, log):
    runs = args.runs
    results = []
    for i in range(runs):
        results.append(run_once(exe, url, log, measure.Config()))
        print('run %d/%d: guardian Pss %s kB, kill -9 to exit link %s' % (i + 1, runs, results[-1][0],
              report.seconds(results[-1][1])), flush=True)
    path = args.output or os.path.join(args.root, 'bench', 'results.md')
    rest = split_off(open(path).read())[0] if os.path.exists(path) else ''
    lines = section(exe, runs, results)
    with open(path, 'w') as f:
        f.write(rest.rstrip('\n') + '\n\n' + '\n'.join(lines))
    return '\n'.join(lines)
