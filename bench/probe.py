#!/usr/bin/env python3
"""The Linux side of the benchmark's running phase.

    probe.py <marker-dir> <rounds> <tag>

For each round the Windows driver leaves begin-<r> when its CPU window opens
and end-<r> when it closes; the probe answers began-<r> and ended-<r> after
reading, for the wine process hosting each exe (found by <tag>, the run's
folder name, in its command line): the CPU time of all its threads from
/proc/<pid>/task/*/schedstat (nanoseconds; /proc/<pid>/stat counts only in
10 ms ticks), VmHWM, and in round 1 the resident memory by mapping (smaps).
Prints one line per round and program, then RESULT lines with the medians.
"""
import os
import re
import statistics
import sys
import time

NAMES = ('keltaz', 'bench_baseline')
WHO = {'keltaz': 'program', 'bench_baseline': 'baseline'}


def wait_for(path, timeout):
    end = time.time() + timeout
    while time.time() < end:
        if os.path.exists(path):
            return True
        time.sleep(0.02)
    return False


def touch(path):
    open(path, 'w').close()


def find_pids(tag):
    found = {}
    pattern = re.compile(re.escape(tag) + r'.(' + '|'.join(NAMES) + r')\.exe$')
    for pid in filter(str.isdigit, os.listdir('/proc')):
        try:
            argv = open(f'/proc/{pid}/cmdline', 'rb').read().decode(errors='replace').split('\0')
        except OSError:
            continue
        # The exe itself as the first or second word, not a driver's argument.
        for a in argv[:2]:
            m = pattern.search(a)
            if m:
                found[m.group(1)] = pid
    return found


def cpu_ns(pid):
    total = 0
    for t in os.listdir(f'/proc/{pid}/task'):
        try:
            total += int(open(f'/proc/{pid}/task/{t}/schedstat').read().split()[0])
        except (OSError, ValueError, IndexError):
            pass
    return total


def hwm_kb(pid):
    for line in open(f'/proc/{pid}/status'):
        if line.startswith('VmHWM'):
            return int(line.split()[1])
    return 0


def smaps(pid):
    rss, name = {}, None
    for line in open(f'/proc/{pid}/smaps'):
        f = line.split()
        if re.match(r'^[0-9a-f]+-[0-9a-f]+$', f[0]):
            name = os.path.basename(f[5]) if len(f) > 5 else '[anonymous]'
        elif f[0] == 'Rss:':
            rss[name] = rss.get(name, 0) + int(f[1])
    return rss


def main():
    mdir, rounds, tag = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    cpu = {n: [] for n in NAMES}
    hwm = {n: [] for n in NAMES}
    maps = {}
    for r in range(1, rounds + 1):
        if not wait_for(f'{mdir}/begin-{r}', 300):
            print(f'probe: no round {r}')
            return 1
        pids = find_pids(tag)
        start = {n: cpu_ns(p) for n, p in pids.items()}
        t0 = time.monotonic()
        touch(f'{mdir}/began-{r}')
        if not wait_for(f'{mdir}/end-{r}', 3600):
            print(f'probe: round {r} did not end')
            return 1
        wall = time.monotonic() - t0
        for n, p in sorted(pids.items()):
            try:
                d = (cpu_ns(p) - start[n]) / 1e6
                h = hwm_kb(p)
                if r == 1:
                    maps[n] = smaps(p)
            except OSError:
                continue
            cpu[n].append(d)
            hwm[n].append(h)
            print(f'linux round {r} {WHO[n]:<8} cpu {d:8.1f} ms over {wall:.1f} s (schedstat)  VmHWM {h:6d} KB')
        touch(f'{mdir}/ended-{r}')
        sys.stdout.flush()
    if len(maps) == 2:
        a, b = maps['keltaz'], maps['bench_baseline']
        print('resident memory by mapping, round 1 (KB; largest differences first):')
        print(f"  {'mapping':<34} {'program':>8} {'baseline':>8} {'diff':>7}")
        keys = sorted(set(a) | set(b), key=lambda k: -abs(a.get(k, 0) - b.get(k, 0)))
        for k in keys[:12]:
            print(f'  {k:<34} {a.get(k, 0):>8} {b.get(k, 0):>8} {a.get(k, 0) - b.get(k, 0):>+7}')
        ta, tb = sum(a.values()), sum(b.values())
        print(f"  {'total':<34} {ta:>8} {tb:>8} {ta - tb:>+7}")
    for n in NAMES:
        if cpu[n]:
            print(f'RESULT linux_cpu_ms_{WHO[n]} {statistics.median(cpu[n]):.2f}')
            print(f'RESULT linux_hwm_kb_{WHO[n]} {statistics.median(hwm[n]):.0f}')
    return 0


if __name__ == '__main__':
    sys.exit(main())
