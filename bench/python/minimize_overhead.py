"""Time per evaluation spent outside the objective: libpyqarno.minimize
against scipy's Nelder-Mead, its growth along a long run, and the cost of a
few evaluations at very large n.

Run with the module importable, installed (pip install .) or from a build:
    PYTHONPATH=build/release/src/Python python3 bench/python/minimize_overhead.py

Three parts:
- the table (skipped by --no-table): a shifted sphere (x - c).(x - c) in [-5, 5]^n, n = 2, 10, 100,
  1000 (--sizes), 2000 evaluations; libpyqarno with its default options and
  with NM_SEARCH no, scipy's Nelder-Mead with the same bounds, maxfev 2000
  and both tolerances 0, in this process. A figure is the wall time of the
  whole call less the time spent inside the objective, divided by the number
  of objective calls; the median of several repetitions (--repeats) is kept,
  since the machine may be busy. Scipy can be left out above a dimension
  (--scipy-max-n), its column then reads "-";
- the growth (skipped by --no-growth): one run of Rosenbrock at n = 10 with
  the default options to 10^5 evaluations, and one with NM_SEARCH no. The
  objective takes a timestamp as it is entered and as it returns; the
  overhead of evaluation i is the time from the return of call i to the
  entry of call i + 1, averaged over the evaluations [0, 10^3),
  [9x10^3, 10^4) and [9x10^4, 10^5). Flat figures mean that an evaluation
  costs the same however many came before it. The time before the first
  call and after the last one is shown apart;
- large n (--large, or --large-only): the sphere at n = 4000 and 10000
  (--large-sizes) with MAX_BB_EVAL 5, each run in a child process of its
  own with a time limit (--timeout, 180 s by default): the wall time of the
  call and the peak resident memory of the child (its rusage), and the
  resident memory it held before the call (Python, numpy and the module).
  The child's address space is capped (--memory-limit, 8192 MiB by default)
  so that a run that would take the machine's memory fails on its own; the
  table then gives the last line the child wrote on its error stream.
"""
import argparse
import json
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np

EVALUATIONS = 2000
BOUND = 5.0
GROWTH_EVALUATIONS = 100000
GROWTH_WINDOWS = [(0, 1000), (9000, 10000), (90000, 100000)]
LARGE_EVALUATIONS = 5


class TimedObjective:
    """A shifted sphere that counts its calls and the time spent inside."""

    def __init__(self, n):
        self.centre = np.linspace(-1.0, 1.0, n)
        self.calls = 0
        self.inside = 0.0

    def __call__(self, x):
        start = time.perf_counter()
        d = x - self.centre
        value = float(d @ d)
        self.calls += 1
        self.inside += time.perf_counter() - start
        return value


class StampedRosenbrock:
    """Rosenbrock's function that notes when each call starts and returns."""

    def __init__(self, capacity):
        self.entries = np.empty(capacity)
        self.exits = np.empty(capacity)
        self.calls = 0

    def __call__(self, x):
        entry = time.perf_counter()
        value = float(np.sum(100.0 * (x[1:] - x[:-1] ** 2) ** 2 + (1.0 - x[:-1]) ** 2))
        i = self.calls
        if i < len(self.entries):
            self.entries[i] = entry
            self.exits[i] = time.perf_counter()
        self.calls += 1
        return value


def bounds(n):
    return np.full(n, -BOUND), np.full(n, BOUND)


def start_point(n):
    # Inside the bounds but far from the centre (in [-1, 1]), so that neither
    # method converges before the budget.
    return np.full(n, 4.0)


def qarno_options(nm_search):
    return {} if nm_search else {"NM_SEARCH": "no"}


def run_qarno(n, nm_search):
    import libpyqarno

    objective = TimedObjective(n)
    lb, ub = bounds(n)
    start = time.perf_counter()
    libpyqarno.minimize(objective, start_point(n), lb, ub, MAX_BB_EVAL=EVALUATIONS,
                        **qarno_options(nm_search))
    total = time.perf_counter() - start
    return objective, total


def run_scipy(n):
    import scipy.optimize

    objective = TimedObjective(n)
    start = time.perf_counter()
    scipy.optimize.minimize(objective, start_point(n), method="Nelder-Mead",
                            bounds=[(-BOUND, BOUND)] * n,
                            options={"maxfev": EVALUATIONS, "maxiter": 10 * EVALUATIONS,
                                     "xatol": 0.0, "fatol": 0.0})
    total = time.perf_counter() - start
    return objective, total


def median_overhead(runner, repeats):
    """Median time per evaluation outside the objective, in seconds, and the
    fewest objective calls among the repetitions."""
    figures = []
    calls = []
    for _ in range(repeats):
        objective, total = runner()
        figures.append((total - objective.inside) / objective.calls)
        calls.append(objective.calls)
    return statistics.median(figures), min(calls)


def print_table(sizes, repeats, scipy_max_n):
    print(f"time per evaluation outside the objective, sphere in [-{BOUND:g}, {BOUND:g}]^n, "
          f"{EVALUATIONS} evaluations, median of {repeats}")
    print(f"{'n':>5} {'qarno options':<14} {'qarno (us)':>11} {'calls':>6} "
          f"{'scipy NM (us)':>14} {'calls':>6} {'ratio':>7}")
    short = False
    for n in sizes:
        if n <= scipy_max_n:
            s, s_calls = median_overhead(lambda: run_scipy(n), repeats)
            short = short or s_calls < EVALUATIONS
        else:
            s, s_calls = None, None
        for nm_search in (True, False):
            q, q_calls = median_overhead(lambda: run_qarno(n, nm_search), repeats)
            short = short or q_calls < EVALUATIONS
            label = "default" if nm_search else "NM_SEARCH no"
            scipy_text = "-" if s is None else f"{s * 1e6:.2f}"
            calls_text = "-" if s_calls is None else str(s_calls)
            ratio_text = "-" if s is None else f"{q / s:.2f}"
            print(f"{n:>5} {label:<14} {q * 1e6:>11.2f} {q_calls:>6} {scipy_text:>14} "
                  f"{calls_text:>6} {ratio_text:>7}", flush=True)
    print("ratio = qarno / scipy Nelder-Mead")
    if short:
        print("note: a method stopped before the budget; its figure is over its own calls")


def growth_run(nm_search):
    """(per-window overhead in seconds or None, time before the first call,
    time after the last one, calls) of one long Rosenbrock run."""
    import libpyqarno

    n = 10
    objective = StampedRosenbrock(GROWTH_EVALUATIONS)
    x0 = np.array([-1.2 if i % 2 == 0 else 1.0 for i in range(n)])
    lb, ub = bounds(n)
    start = time.perf_counter()
    libpyqarno.minimize(objective, x0, lb, ub, MAX_BB_EVAL=GROWTH_EVALUATIONS,
                        **qarno_options(nm_search))
    end = time.perf_counter()
    calls = min(objective.calls, GROWTH_EVALUATIONS)
    gaps = objective.entries[1:calls] - objective.exits[:calls - 1]
    windows = []
    for first, last in GROWTH_WINDOWS:
        # Evaluation i's overhead is gaps[i]; the last call has none.
        window = gaps[first:min(last, calls - 1)]
        windows.append(float(np.mean(window)) if len(window) > 0 else None)
    before = objective.entries[0] - start if calls > 0 else end - start
    after = end - objective.exits[calls - 1] if calls > 0 else 0.0
    return windows, before, after, objective.calls


def print_growth():
    print(f"growth: overhead per evaluation (us) along one run, Rosenbrock n = 10 in "
          f"[-{BOUND:g}, {BOUND:g}]^10, MAX_BB_EVAL {GROWTH_EVALUATIONS}, one run each")
    heads = " ".join(f"{f'[{a}, {b})':>16}" for a, b in GROWTH_WINDOWS)
    print(f"{'qarno options':<14} {heads} {'before (ms)':>12} {'after (ms)':>11} {'calls':>7}")
    for nm_search in (True, False):
        windows, before, after, calls = growth_run(nm_search)
        cells = " ".join(f"{'-' if w is None else f'{w * 1e6:.2f}':>16}" for w in windows)
        label = "default" if nm_search else "NM_SEARCH no"
        print(f"{label:<14} {cells} {before * 1e3:>12.2f} {after * 1e3:>11.2f} {calls:>7}",
              flush=True)
    print("overhead of evaluation i: from the return of call i to the entry of call i + 1; "
          "\"-\": the run ended before the window")


def large_child(n, memory_limit_mib):
    """In the child: one short run; prints its figures as JSON."""
    if memory_limit_mib > 0:
        limit = memory_limit_mib * 1024 * 1024
        resource.setrlimit(resource.RLIMIT_AS, (limit, limit))
    import libpyqarno

    objective = TimedObjective(n)
    lb, ub = bounds(n)
    x0 = start_point(n)
    before_kib = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    start = time.perf_counter()
    libpyqarno.minimize(objective, x0, lb, ub, MAX_BB_EVAL=LARGE_EVALUATIONS)
    wall = time.perf_counter() - start
    print(json.dumps({"wall": wall, "calls": objective.calls, "before_kib": before_kib}))


def run_large(n, timeout, memory_limit_mib):
    """(figures, or the reason the child gave none; its peak RSS in KiB, or
    None when it was stopped at the time limit) of a child running size n."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        # Files, not pipes: the child never blocks on a full pipe while the
        # parent polls for its end.
        child = subprocess.Popen([sys.executable, os.path.abspath(__file__), "--large-child",
                                  str(n), "--memory-limit", str(memory_limit_mib)],
                                 stdout=out, stderr=err)
        deadline = time.monotonic() + timeout
        while True:
            # wait4 rather than Popen.wait: it gives the child's own rusage.
            pid, status, usage = os.wait4(child.pid, os.WNOHANG)
            if pid == child.pid:
                break
            if time.monotonic() > deadline:
                child.kill()
                os.wait4(child.pid, 0)
                child.returncode = -9
                return "did not finish", None
            time.sleep(0.05)
        child.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        err.seek(0)
        output = out.read().decode("ascii", errors="replace").strip()
        errors = err.read().decode("ascii", errors="replace").strip()
    if child.returncode != 0 or not output:
        last = errors.splitlines()[-1] if errors else f"exit status {child.returncode}"
        return f"failed: {last}", usage.ru_maxrss
    return json.loads(output.splitlines()[-1]), usage.ru_maxrss


def print_large(sizes, timeout, memory_limit_mib):
    limit = f", memory limit {memory_limit_mib} MiB" if memory_limit_mib > 0 else ""
    print(f"large n: sphere in [-{BOUND:g}, {BOUND:g}]^n, MAX_BB_EVAL {LARGE_EVALUATIONS}, "
          f"one child process each, time limit {timeout:g} s{limit}")
    print(f"{'n':>6} {'wall (s)':>10} {'calls':>6} {'peak RSS (MiB)':>15} "
          f"{'RSS before call (MiB)':>22}")
    for n in sizes:
        figures, peak_kib = run_large(n, timeout, memory_limit_mib)
        if isinstance(figures, str):
            peak = "-" if peak_kib is None else f"{peak_kib / 1024:.1f}"
            print(f"{n:>6} {'-':>10} {'-':>6} {peak:>15} {'-':>22}  {figures}", flush=True)
            continue
        print(f"{n:>6} {figures['wall']:>10.3f} {figures['calls']:>6} {peak_kib / 1024:>15.1f} "
              f"{figures['before_kib'] / 1024:>22.1f}", flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--repeats", type=int, default=5,
                        help="repetitions per figure of the table, the median is kept "
                             "(default 5)")
    parser.add_argument("--sizes", type=int, nargs="+", default=[2, 10, 100, 1000],
                        help="dimensions of the table (default 2 10 100 1000)")
    parser.add_argument("--scipy-max-n", type=int, default=None,
                        help="leave scipy out above this dimension (default: never)")
    parser.add_argument("--no-table", action="store_true", help="skip the table")
    parser.add_argument("--no-growth", action="store_true", help="skip the growth runs")
    parser.add_argument("--large", action="store_true", help="also run the large-n part")
    parser.add_argument("--large-only", action="store_true",
                        help="run the large-n part alone")
    parser.add_argument("--large-sizes", type=int, nargs="+", default=[4000, 10000],
                        help="dimensions of the large-n part (default 4000 10000)")
    parser.add_argument("--timeout", type=float, default=180.0,
                        help="time limit of each large-n child, in seconds (default 180)")
    parser.add_argument("--memory-limit", type=int, default=8192,
                        help="address-space limit of each large-n child, in MiB; 0: none "
                             "(default 8192)")
    parser.add_argument("--large-child", type=int, help=argparse.SUPPRESS)
    args = parser.parse_args()

    if args.large_child is not None:
        large_child(args.large_child, args.memory_limit)
        return
    parts = []
    if not args.large_only:
        if not args.no_table:
            scipy_max_n = args.scipy_max_n if args.scipy_max_n is not None else max(args.sizes)
            parts.append(lambda: print_table(args.sizes, args.repeats, scipy_max_n))
        if not args.no_growth:
            parts.append(print_growth)
    if args.large or args.large_only:
        parts.append(lambda: print_large(args.large_sizes, args.timeout, args.memory_limit))
    for i, part in enumerate(parts):
        if i > 0:
            print()
        part()


if __name__ == "__main__":
    main()
