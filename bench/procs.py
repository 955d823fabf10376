"""A browser's process tree: its members, their kind, memory and CPU time (from /proc)."""
import array
import collections
import os
import signal
import subprocess
import time

GRACE = 5.0  # s between SIGTERM and SIGKILL when cleaning up
QUIET_SHARE = 0.1  # of the CPUs' time busy, at most, for the machine to count as quiet


def _stat_fields(pid):
    """The fields of /proc/PID/stat after the command name (field 3 comes first)."""
    with open('/proc/%d/stat' % pid) as f:
        return f.read().rsplit(')', 1)[1].split()


def process_table():
    """{pid: (ppid, pgrp)} of every process in /proc."""
    table = {}
    for name in os.listdir('/proc'):
        if not name.isdigit():
            continue
        try:
            fields = _stat_fields(int(name))
        except (OSError, IndexError):
            continue
        table[int(name)] = (int(fields[1]), int(fields[2]))
    return table


def descendants(root_pid, table):
    """root_pid and every process below it."""
    children = {}
    for pid, (ppid, _) in table.items():
        children.setdefault(ppid, []).append(pid)
    found, todo = [], [root_pid]
    while todo:
        pid = todo.pop()
        found.append(pid)
        todo.extend(children.get(pid, []))
    return found


def _arguments(pid):
    with open('/proc/%d/cmdline' % pid, 'rb') as f:
        args = [a for a in f.read().decode(errors='replace').split('\0') if a]
    if len(args) == 1 and ' --' in args[0]:
        # Chromium's forked children rewrite their command line as one
        # blank-separated string; enough to find its switches.
        args = args[0].split(' ')
    return args or ['?']


def _switch(args, name):
    prefix = '--%s=' % name
    for arg in args:
        if arg.startswith(prefix):
            return arg[len(prefix):]
    return None


def _thread_names(pid):
    tasks = '/proc/%d/task' % pid
    names = set()
    for tid in os.listdir(tasks):
        try:
            with open('%s/%s/comm' % (tasks, tid)) as f:
                names.add(f.read().strip())
        except OSError:
            pass
    return names


def process_kind(pid, main_pid, table):
    """'main' for the root, else the --type= of a browser process ('utility (network)' and so on)."""
    if pid == main_pid:
        return 'main'
    args = _arguments(pid)
    kind = _switch(args, 'type')
    if kind is None:
        name = os.path.basename(args[0]) if args else ''
        return 'guardian' if name == 'talvorin-guardian' else name or '?'
    if kind == 'utility':
        sub = _switch(args, 'utility-sub-type')
        return 'utility (%s)' % sub.split('.')[0] if sub else kind
    if kind == 'zygote' and _switch(_arguments(table[pid][0]), 'type') == 'zygote':
        # A process the engine's zygote forked keeps the zygote's command line;
        # a renderer is recognised by its compositor thread.
        kind = 'renderer' if 'Compositor' in _thread_names(pid) else 'zygote child'
    return kind


def pss_kb(pid):
    with open('/proc/%d/smaps_rollup' % pid) as f:
        for line in f:
            if line.startswith('Pss:'):
                return int(line.split()[1])
    return 0


PAGE_KB = os.sysconf('SC_PAGE_SIZE') // 1024
_PRESENT = 1 << 63
_FRAME = (1 << 55) - 1


def resident_frames(pid):
    """Physical frame numbers of the process's resident pages, from /proc/PID/pagemap
    (root only: for anyone else the kernel hides the frame numbers)."""
    frames = set()
    page = PAGE_KB * 1024
    fd = os.open('/proc/%d/pagemap' % pid, os.O_RDONLY)
    try:
        with open('/proc/%d/smaps' % pid) as smaps:
            area = None
            for line in smaps:
                first = line.split(None, 1)[0]
                if not first.endswith(':'):
                    start, end = first.split('-')
                    area = (int(start, 16) // page, int(end, 16) // page)
                elif first == 'Rss:' and line.split()[1] != '0' and area:
                    # Only areas with resident pages: the engine reserves tens
                    # of GB of address space it never touches.
                    try:
                        data = os.pread(fd, (area[1] - area[0]) * 8, area[0] * 8)
                    except OSError:
                        continue
                    entries = array.array('Q', data[:len(data) // 8 * 8])
                    frames.update(e & _FRAME for e in entries if e & _PRESENT)
    finally:
        os.close(fd)
    frames.discard(0)
    return frames


def memory_snapshot(main_pid):
    """Memory of the process tree, two ways: {'pss': figure, 'alone': figure}, each
    (total kB, {kind: (process count, kB)}).

    pss is the kernel's Pss: a shared page is split among every process on the
    machine that maps it, so other Qt WebEngine programs running meanwhile
    (tests, say) lower it. alone counts a page shared within the tree once and
    ignores anyone outside: what the tree would take running by itself. It is
    None where frame numbers cannot be read.
    """
    table = process_table()
    members = []  # (kind, pss kB, frames)
    for pid in descendants(main_pid, table):
        try:
            members.append((process_kind(pid, main_pid, table), pss_kb(pid), resident_frames(pid)))
        except (OSError, KeyError, IndexError):
            continue  # ended meanwhile
    sharers = collections.Counter(f for _, _, frames in members for f in frames)
    pss, alone = {}, {}
    for kind, kb, frames in members:
        share = sum(1.0 / sharers[f] for f in frames) * PAGE_KB
        for figure, amount in ((pss, kb), (alone, share)):
            count, total = figure.get(kind, (0, 0))
            figure[kind] = (count + 1, total + amount)
    result = {'pss': (sum(kb for _, kb in pss.values()), pss), 'alone': None}
    if sharers:
        result['alone'] = (len(sharers) * PAGE_KB, alone)
    return result


def other_engine_processes(main_pid):
    """How many Qt WebEngine helper processes outside the tree are running."""
    table = process_table()
    tree = set(descendants(main_pid, table))
    count = 0
    for pid in table:
        if pid in tree:
            continue
        try:
            count += os.path.basename(os.readlink('/proc/%d/exe' % pid)) == 'QtWebEngineProcess'
        except OSError:
            pass
    return count


def thread_run_ns(pid):
    """{thread id: nanoseconds it has run} of the process, from each thread's
    schedstat. Exact, where utime and stime come in 10 ms ticks, too coarse for
    a figure of tens of milliseconds summed over several processes."""
    times = {}
    tasks = '/proc/%d/task' % pid
    for tid in os.listdir(tasks):
        try:
            with open('%s/%s/schedstat' % (tasks, tid)) as f:
                times[int(tid)] = int(f.read().split()[0])
        except (OSError, ValueError, IndexError):
            pass  # the thread ended meanwhile
    return times


def cpu_snapshot(main_pid):
    """{pid: (kind, {thread id: ns})} of the process tree."""
    snapshot, table = {}, process_table()
    for pid in descendants(main_pid, table):
        try:
            snapshot[pid] = (process_kind(pid, main_pid, table), thread_run_ns(pid))
        except (OSError, KeyError, IndexError):
            continue  # ended meanwhile
    return snapshot


def cpu_used_ms(before, after):
    """(ms, {kind: ms}) the tree ran between two cpu_snapshot()s: every thread alive at
    the second, less what it had run at the first. A thread that ended in between
    is left out; the engine's idle threads live on, so that loses next to nothing."""
    kinds = {}
    for pid, (kind, threads) in after.items():
        earlier = before.get(pid, (kind, {}))[1]
        ns = sum(t - earlier.get(tid, 0) for tid, t in threads.items())
        kinds[kind] = kinds.get(kind, 0.0) + ns / 1e6
    return sum(kinds.values()), kinds


def stop_process(proc):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(GRACE)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def kill_group(proc):
    """Ends proc and every process it left behind (started with start_new_session,
    they share its process group)."""
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


def _cpu_busy_and_total():
    """The CPUs' busy and total time so far, in ticks, from /proc/stat."""
    with open('/proc/stat') as f:
        ticks = [int(t) for t in f.readline().split()[1:9]]
    return sum(ticks) - ticks[3] - ticks[4], sum(ticks)  # idle and iowait are not busy


def wait_for_quiet(window=0.5, limit=20.0):
    """Writes out what the runs before left to write, then waits, up to `limit` s,
    for a `window` in which the CPUs were busy less than QUIET_SHARE of the time:
    a run that follows a browser still tidying up starts as quiet as the first one."""
    os.sync()
    deadline = time.monotonic() + limit
    while True:
        busy, total = _cpu_busy_and_total()
        time.sleep(window)
        busy_after, total_after = _cpu_busy_and_total()
        if busy_after - busy < QUIET_SHARE * max(total_after - total, 1) or time.monotonic() > deadline:
            return
