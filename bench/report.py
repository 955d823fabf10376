"""Tables of the benchmark's figures, as Markdown."""
import os
import statistics
import subprocess

MEMORY_TARGET = 0.6   # program memory at most this share of Chromium's
START_TARGET = 1.5    # program start -> chat at most this many times Chromium's
CPU_TARGET_MS = 50.0  # CPU time while hidden


def seconds(value):
    return 'n/a' if value is None else '%.3f s' % value


def mib(kb):
    return 'n/a' if kb is None else '%.1f MiB' % (kb / 1024.0)


def msec(value):
    return 'n/a' if value is None else '%.1f ms' % value


def median(values):
    got = [v for v in values if v is not None]
    return statistics.median(got) if got else None


def stat_row(name, values, fmt):
    got = [v for v in values if v is not None]
    if not got:
        return '| %s | n/a | n/a | 0/%d |' % (name, len(values))
    return '| %s | %s | %s - %s | %d/%d |' % (name, fmt(statistics.median(got)), fmt(min(got)), fmt(max(got)),
                                             len(got), len(values))


def total(results, key):
    """The totals of a (total, {kind: ...}) figure, None where a run has none."""
    return [r[key][0] if r.get(key) else None for r in results]


def machine_info():
    def first(path, key):
        with open(path) as f:
            for line in f:
                if line.startswith(key):
                    return line.split(':', 1)[1].strip()
        return '?'
    date = subprocess.run(['date', '-u'], capture_output=True, text=True).stdout.strip()
    return ['Date: %s  ' % date,
            'Machine: %d CPUs (%s), %s memory, kernel %s  ' % (len(os.sched_getaffinity(0)),
                                                            first('/proc/cpuinfo', 'model name'),
                                                            first('/proc/meminfo', 'MemTotal'), os.uname().release)]


def count_of(results, key, runs=None):
    runs = len(results) if runs is None else runs
    return '%d of %d' % (sum(bool(r.get(key)) for r in results), runs)


def kind_table(results, with_cpu):
    """Medians per process kind: memory 5 s after the chat loaded (and CPU while hidden)."""
    memories = [(r['memory'][1], r['memory_pss'][1]) for r in results if r.get('memory')]
    cpus = [r['idle_cpu'][1] for r in results if r.get('idle_cpu')]
    if not memories:
        return []
    head = '| Process kind | Processes | Memory alone | Pss |' + (' CPU while hidden |' if with_cpu else '')
    lines = ['', head, '|---|---|---|---|' + ('---|' if with_cpu else '')]
    for kind in sorted({k for m, _ in memories for k in m}, key=lambda k: (k != 'main', k)):
        alone = [m.get(kind, (0, 0)) for m, _ in memories]
        pss = [p.get(kind, (0, 0))[1] for _, p in memories]
        row = '| %s | %g | %s | %s |' % (kind, statistics.median(c for c, _ in alone),
                                         mib(statistics.median(kb for _, kb in alone)), mib(statistics.median(pss)))
        if with_cpu:
            row += ' %s |' % (msec(statistics.median(c.get(kind, 0) for c in cpus)) if cpus else 'n/a')
        lines.append(row)
    return lines


def memory_rows(results, key, label):
    return [stat_row('%s, Pss of all processes' % label, total(results, key + '_pss'), mib),
            stat_row('%s, all processes alone (shared pages once)' % label, total(results, key), mib)]


def conditions(results):
    """What else ran meanwhile: the load and other Qt WebEngine processes."""
    loads = [r['load'] for r in results if 'load' in r]
    others = [r.get('memory_others', 0) for r in results if r.get('memory')]
    line = 'Load average (1 min) at the runs\' start: %s.' % (
        '%.2f - %.2f' % (min(loads), max(loads)) if loads else 'n/a')
    if any(others):
        line += (' Other Qt WebEngine processes were running at the memory reading in %d of %d runs (up to %d),'
                 ' which lowers Pss.' % (sum(1 for o in others if o), len(others), max(others)))
    return [line]


def program_section(title, results, idle_seconds):
    runs = len(results)
    lines = ['## %s' % title, '',
             '| Figure | Median | Spread (min - max) | Runs with a value |', '|---|---|---|---|',
             stat_row('1. Process start -> start-up status request', [r.get('start') for r in results], seconds),
             stat_row('2. Process start -> chat page loaded', [r.get('chat') for r in results], seconds),
             *memory_rows(results, 'memory', '3. Memory'),
             stat_row('4. SIGTERM -> process end', [r.get('exit') for r in results], seconds)]
    if idle_seconds > 0:
        lines += [stat_row('5. CPU time in %.0f s hidden in the tray' % idle_seconds,
                           total(results, 'idle_cpu'), msec),
                  *memory_rows(results, 'hidden_memory', 'Memory after %.0f s hidden' % idle_seconds)]
    lines += ['', 'Chat page drawn in the window in %s runs; window hidden by the window manager\'s close in %s;'
              ' exit status request received in %s.' % (count_of(results, 'painted', runs),
                                                         count_of(results, 'hidden', runs),
                                                         count_of(results, 'exit_seen', runs))]
    badge_only = sum(r.get('basis') == 'badge' for r in results)
    if badge_only:
        lines.append('In %d runs the chat page did not load; their memory was taken 5 s after the badge page'
                     ' was requested.' % badge_only)
    died = sum(bool(r.get('died')) for r in results)
    if died:
        lines.append('The program ended by itself before SIGTERM in %d runs.' % died)
    return lines + conditions(results) + kind_table(results, idle_seconds > 0) + ['']


def chromium_section(results, command):
    return ['## Chromium', '', '`%s`' % command, '',
            '| Figure | Median | Spread (min - max) | Runs with a value |', '|---|---|---|---|',
            stat_row('2. Process start -> chat page loaded', [r.get('chat') for r in results], seconds),
            *memory_rows(results, 'memory', '3. Memory'), '', *conditions(results)] + \
        kind_table(results, False) + ['']


def ratio_section(programs, chromium):
    """programs: [(label, results)]. Memory is compared both ways: Pss, the sum the
    target is set in, and alone, which no other process on the machine can lower."""
    c_chat = median(r.get('chat') for r in chromium)
    c_pss, c_alone = median(total(chromium, 'memory_pss')), median(total(chromium, 'memory'))
    lines = ['## Program against Chromium', '',
             '| Program started with | Memory, Pss | x Chromium (target <= %.1f) | Memory alone | x Chromium'
             ' | Start -> chat | x Chromium (target <= %.1f) | CPU hidden (target < %.0f ms) |'
             % (MEMORY_TARGET, START_TARGET, CPU_TARGET_MS),
             '|---|---|---|---|---|---|---|---|']
    for label, results in programs:
        p_chat = median(r.get('chat') for r in results)
        p_pss, p_alone = median(total(results, 'memory_pss')), median(total(results, 'memory'))
        cpu = median(total(results, 'idle_cpu'))
        lines.append('| %s | %s | %s | %s | %s | %s | %s | %s |' % (
            label, mib(p_pss), verdict(p_pss, c_pss, MEMORY_TARGET), mib(p_alone),
            verdict(p_alone, c_alone, MEMORY_TARGET), seconds(p_chat), verdict(p_chat, c_chat, START_TARGET),
            'n/a' if cpu is None else '%s (%s)' % (msec(cpu), 'met' if cpu < CPU_TARGET_MS else 'missed')))
    lines += ['| Chromium | %s | | %s | | %s | | |' % (mib(c_pss), mib(c_alone), seconds(c_chat)), '']
    return lines


def verdict(value, reference, target):
    if value is None or not reference:
        return 'n/a'
    ratio = value / reference
    return '%.2f (%s)' % (ratio, 'met' if ratio <= target else 'missed')


def header(title, exe, note, extra=()):
    return ['# %s' % title, ''] + machine_info() + ['Executable: `%s`  ' % exe] + list(extra) + [note, '']


def flags_table(sets):
    """sets: [(label, results)]; the first is the reference the gains are taken against."""
    base_mem = median(total(sets[0][1], 'memory')) if sets else None
    lines = ['| Set | Chat loaded | Drawn | Start -> chat | Memory alone | Gain | main | renderers | zygotes |'
             ' other | Pss | CPU hidden | SIGTERM -> end | Exit request |',
             '|---|---|---|---|---|---|---|---|---|---|---|---|---|---|']
    for label, results in sets:
        mem = median(total(results, 'memory'))
        parts = {'main': [], 'renderer': [], 'zygote': [], 'other': []}
        for r in results:
            if not r.get('memory'):
                continue
            split = {k: 0 for k in parts}
            for kind, (_, kb) in r['memory'][1].items():
                split[kind if kind in parts else 'other'] += kb
            for k in parts:
                parts[k].append(split[k])
        gain = 'n/a' if mem is None or base_mem is None else '%+.1f MiB' % ((base_mem - mem) / 1024.0)
        lines.append('| `%s` | %d/%d | %d/%d | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |' % (
            label, sum(r.get('chat') is not None for r in results), len(results),
            sum(bool(r.get('painted')) for r in results), len(results),
            seconds(median(r.get('chat') for r in results)), mib(mem), gain,
            *(mib(median(parts[k])) for k in ('main', 'renderer', 'zygote', 'other')),
            mib(median(total(results, 'memory_pss'))), msec(median(total(results, 'idle_cpu'))), seconds(median(r.get('exit') for r in results)),
            count_of(results, 'exit_seen')))
    return lines
