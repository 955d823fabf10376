"""Tables of the benchmark's figures, as Markdown."""
import os
import statistics
import subprocess

# The program against Chromium in the same run, as a share of Chromium's figure.
REQUEST_TARGET = 0.15  # start -> start-up request, against start -> first request of the page
MEMORY_TARGETS = {'defaults': 0.5, '--disable-gpu': 0.55}  # Pss of all processes, chat shown
CPU_TARGET = 0.3       # CPU time hidden in the tray, against minimized
PAINT_TARGET = 0.5     # start -> chat painted, against start -> page painted


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
             stat_row('2. Process start -> chat page painted', [r.get('paint') for r in results], seconds),
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


def chromium_section(title, results, command, idle_seconds):
    runs = len(results)
    lines = ['## %s' % title, '', '`%s`' % command, '',
             '| Figure | Median | Spread (min - max) | Runs with a value |', '|---|---|---|---|',
             stat_row('1. Process start -> first request of the page', [r.get('first') for r in results], seconds),
             stat_row('2. Process start -> page loaded', [r.get('chat') for r in results], seconds),
             stat_row('2. Process start -> page painted', [r.get('paint') for r in results], seconds),
             *memory_rows(results, 'memory', '3. Memory')]
    if idle_seconds > 0:
        lines += [stat_row('5. CPU time in %.0f s minimized' % idle_seconds, total(results, 'idle_cpu'), msec)]
    lines += ['', 'Page drawn in the window in %s runs; window minimized in %s.'
              % (count_of(results, 'painted', runs), count_of(results, 'hidden', runs))]
    return lines + conditions(results) + kind_table(results, idle_seconds > 0) + ['']


def ratio_section(programs, chromiums):
    """programs: [(label, results)], chromiums: [(configuration, results)]. Each figure
    of each program against the same figure of each Chromium configuration, medians."""
    lines = ['## Program against Chromium', '',
             'Medians of the same run; the share of Chromium\'s figure, with its target. Memory alone is held to'
             ' the same target as Pss: other Qt WebEngine programs running meanwhile lower the program\'s Pss,'
             ' never its memory alone.', '',
             '| Program | against Chromium | Start -> start-up request (target <= %.2f x first request) |'
             ' Memory, Pss (target) | Memory alone | CPU hidden (target <= %.1f x minimized) |'
             ' Start -> chat painted (target <= %.1f x page painted) |'
             % (REQUEST_TARGET, CPU_TARGET, PAINT_TARGET),
             '|---|---|---|---|---|---|---|']
    for label, results in programs:
        p_start = median(r.get('start') for r in results)
        p_pss = median(total(results, 'memory_pss'))
        p_alone = median(total(results, 'memory'))
        p_cpu = median(total(results, 'idle_cpu'))
        p_paint = median(r.get('paint') for r in results)
        for config, chromium in chromiums:
            c_first = median(r.get('first') for r in chromium)
            c_pss = median(total(chromium, 'memory_pss'))
            c_alone = median(total(chromium, 'memory'))
            c_cpu = median(total(chromium, 'idle_cpu'))
            c_paint = median(r.get('paint') for r in chromium)
            memory_target = MEMORY_TARGETS.get(config)
            lines.append('| %s | %s | %s / %s = %s | %s / %s = %s | %s / %s = %s | %s / %s = %s | %s / %s = %s |' % (
                label, config,
                seconds(p_start), seconds(c_first), verdict(p_start, c_first, REQUEST_TARGET),
                mib(p_pss), mib(c_pss), verdict(p_pss, c_pss, memory_target),
                mib(p_alone), mib(c_alone), verdict(p_alone, c_alone, memory_target),
                msec(p_cpu), msec(c_cpu), verdict(p_cpu, c_cpu, CPU_TARGET),
                seconds(p_paint), seconds(c_paint), verdict(p_paint, c_paint, PAINT_TARGET)))
    return lines + ['']


def verdict(value, reference, target):
    if value is None or not reference:
        return 'n/a'
    ratio = value / reference
    if target is None:
        return '%.2f' % ratio
    return '%.2f (<= %.2f %s)' % (ratio, target, 'met' if ratio <= target else 'missed')


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


def split_section(text, title):
    """(text without the section that starts with `title`, that section or '')."""
    at = text.find(title)
    if at < 0:
        return text, ''
    end = text.find('\n## ', at + 1)
    end = len(text) if end < 0 else end + 1
    return text[:at] + text[end:], text[at:end]
