"""Wall time of a converged libpyqarno.minimize run against the time of its
own evaluations plus the library's overhead, on a shifted sphere at n = 2
and n = 10 within bounds [-5, 5].

Run with the module importable, installed (pip install .) or from a build:
    PYTHONPATH=build/release/src/Python python3 bench/python/converged_run.py

A run is given no MAX_BB_EVAL unless asked (--max-bb-eval): the library's
own budget for granular variables applies (MAX_EVAL 100 x 3^n for n <= 8,
10^6 above), and a run that converges ends on its own before it, by its
mesh. For each n the figures are:
- evals: objective calls of the converged run; hits: its cache hits (from
  its main statistics file);
- wall: the time of the whole call; objective: the time spent inside the
  objective;
- overhead/eval: the time per evaluation outside the objective of a
  reference run of as many evaluations that does not converge (started far
  from the optimum, without bounds), so every evaluation there is a new
  point;
- bound: objective + evals x overhead/eval, what the run costs when it
  pays only for its own evaluations; ratio: wall / bound.
The best of several repetitions is kept for each timed figure.
"""
import argparse
import os
import tempfile
import time

import numpy as np

import libpyqarno


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


def stat(lines, label):
    for line in lines:
        if line.strip().startswith(label):
            return int(line.split()[-1])
    return -1


def converged_run(n, max_bb_eval):
    """(wall, objective, calls, cache hits) of one run from 2.5 in [-5, 5]^n."""
    objective = TimedObjective(n)
    bounds = np.full(n, 5.0)
    options = {"MAX_BB_EVAL": max_bb_eval} if max_bb_eval else {}
    with tempfile.TemporaryDirectory() as folder:
        stats_file = os.path.join(folder, "stats.txt")
        start = time.perf_counter()
        libpyqarno.minimize(objective, np.full(n, 2.5), -bounds, bounds,
                            MAIN_STATS_FILE=stats_file, **options)
        wall = time.perf_counter() - start
        with open(stats_file, encoding="ascii") as stats:
            hits = stat(stats.readlines(), "Cache hits:")
    return wall, objective.inside, objective.calls, hits


def overhead_per_eval(n, calls):
    """Time per evaluation outside the objective, over `calls` new points."""
    objective = TimedObjective(n)
    start = time.perf_counter()
    libpyqarno.minimize(objective, np.full(n, 1e3), None, None, MAX_BB_EVAL=calls)
    total = time.perf_counter() - start
    return (total - objective.inside) / objective.calls


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--repeats", type=int, default=3,
                        help="repetitions per figure, the best is kept (default 3)")
    parser.add_argument("--max-bb-eval", type=int, default=0,
                        help="MAX_BB_EVAL of the converged runs (default: none)")
    parser.add_argument("--dimensions", type=int, nargs="+", default=[2, 10],
                        help="dimensions to run (default 2 10)")
    args = parser.parse_args()

    cap = f"MAX_BB_EVAL {args.max_bb_eval}" if args.max_bb_eval else "no MAX_BB_EVAL"
    print(f"converged runs, {cap}, best of {args.repeats}")
    print(f"{'n':>3} {'evals':>6} {'hits':>8} {'wall (s)':>10} {'objective (s)':>14} "
          f"{'overhead/eval (us)':>19} {'bound (s)':>10} {'ratio':>8}")
    for n in args.dimensions:
        runs = [converged_run(n, args.max_bb_eval) for _ in range(args.repeats)]
        wall = min(run[0] for run in runs)
        inside = min(run[1] for run in runs)
        _, _, calls, hits = runs[0]
        overhead = min(overhead_per_eval(n, calls) for _ in range(args.repeats))
        bound = inside + calls * overhead
        print(f"{n:>3} {calls:>6} {hits:>8} {wall:>10.4f} {inside:>14.4f} "
              f"{overhead * 1e6:>19.2f} {bound:>10.4f} {wall / bound:>8.2f}")
    print("bound = objective + evals x overhead/eval; ratio = wall / bound")


if __name__ == "__main__":
    main()
