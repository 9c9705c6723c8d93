"""Time per evaluation spent outside the objective: libpyqarno.minimize
against scipy's Nelder-Mead, on a trivial objective at n = 10 and n = 100,
2000 evaluations each.

Run with the module importable, installed (pip install .) or from a build:
    PYTHONPATH=build/release/src/Python python3 bench/python/minimize_overhead.py

Each figure is the wall time of the whole call less the time spent inside the
objective, divided by the number of objective calls; the best of several
repetitions is kept, so that a busy machine disturbs the figures less.
"""
import argparse
import sys
import time

import numpy as np
import scipy.optimize

import libpyqarno

EVALUATIONS = 2000


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


def start_point(n):
    # Far from the centre, so that neither method converges before the budget.
    return np.full(n, 10.0)


def run_qarno(n):
    objective = TimedObjective(n)
    start = time.perf_counter()
    libpyqarno.minimize(objective, start_point(n), None, None,
                        MAX_BB_EVAL=EVALUATIONS)
    total = time.perf_counter() - start
    return objective, total


def run_scipy(n):
    objective = TimedObjective(n)
    start = time.perf_counter()
    scipy.optimize.minimize(objective, start_point(n), method="Nelder-Mead",
                            options={"maxfev": EVALUATIONS, "maxiter": 10 * EVALUATIONS,
                                     "xatol": 0.0, "fatol": 0.0})
    total = time.perf_counter() - start
    return objective, total


def overhead(runner, n, repeats):
    """Best time per evaluation outside the objective, in seconds, and the
    number of objective calls of that run."""
    best = None
    for _ in range(repeats):
        objective, total = runner(n)
        per_eval = (total - objective.inside) / objective.calls
        if best is None or per_eval < best[0]:
            best = (per_eval, objective.calls)
    return best


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--repeats", type=int, default=5,
                        help="repetitions per figure, the best is kept (default 5)")
    args = parser.parse_args()

    print(f"time per evaluation outside the objective, {EVALUATIONS} evaluations, "
          f"best of {args.repeats}")
    print(f"{'n':>5} {'qarno (us)':>11} {'calls':>6} {'scipy NM (us)':>14} {'calls':>6} "
          f"{'ratio':>7}")
    short = False
    for n in (10, 100):
        q, q_calls = overhead(run_qarno, n, args.repeats)
        s, s_calls = overhead(run_scipy, n, args.repeats)
        print(f"{n:>5} {q * 1e6:>11.2f} {q_calls:>6} {s * 1e6:>14.2f} {s_calls:>6} "
              f"{q / s:>7.2f}")
        short = short or q_calls < EVALUATIONS or s_calls < EVALUATIONS
    print("ratio = qarno / scipy Nelder-Mead")
    if short:
        print("note: a method stopped before the budget; its figure is over its own calls",
              file=sys.stderr)


if __name__ == "__main__":
    main()
