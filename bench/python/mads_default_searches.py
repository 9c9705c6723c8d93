"""Best objective value that MADS with its default searches (the Nelder-Mead
search among them) reaches after 50 n and 200 n evaluations, on a fixed set
of problems and seeds, for one or more builds of libpyqarno.

Run with the module importable, installed (pip install .) or from a build:
    PYTHONPATH=build/release/src/Python python3 bench/python/mads_default_searches.py
or compare builds, each run in a process of its own:
    python3 bench/python/mads_default_searches.py \\
        --build before=/path/to/old/module/dir --build after=build/dev/src/Python

The problems: Rosenbrock n = 2, 5, 10 within [-2, 2] from (-1.2, 1, -1.2, ...);
a 10-D ill-conditioned quadratic (condition number 1e4, rotated) from 1; a
5-D problem with one PB constraint, min sum(x) s.t. |x|^2 <= 5, started
infeasible at 2 (optimum -5). For the constrained problem the value is the
best feasible one (inf while none). Each problem runs with seeds 1 to 5; the
table gives every seed's value and their median.
"""
import argparse
import json
import os
import subprocess
import sys

import numpy as np

SEEDS = [1, 2, 3, 4, 5]


def rosenbrock(x):
    return float(np.sum(100.0 * (x[1:] - x[:-1] ** 2) ** 2 + (1.0 - x[:-1]) ** 2))


def _ill_conditioned(n):
    rng = np.random.default_rng(12345)
    q, _ = np.linalg.qr(rng.standard_normal((n, n)))
    scales = 10.0 ** np.linspace(0.0, 4.0, n)
    matrix = q @ np.diag(scales) @ q.T
    centre = np.linspace(-0.5, 0.5, n)

    def f(x):
        d = x - centre
        return float(d @ matrix @ d)

    return f


def constrained(x):
    return float(np.sum(x)), float(x @ x - len(x))


def rosenbrock_start(n):
    return np.array([-1.2 if i % 2 == 0 else 1.0 for i in range(n)])


PROBLEMS = [
    # name, n, function, x0, lb, ub, output types
    ("Rosenbrock n=2", 2, rosenbrock, rosenbrock_start(2), -2.0, 2.0, "OBJ"),
    ("Rosenbrock n=5", 5, rosenbrock, rosenbrock_start(5), -2.0, 2.0, "OBJ"),
    ("Rosenbrock n=10", 10, rosenbrock, rosenbrock_start(10), -2.0, 2.0, "OBJ"),
    ("quadratic n=10, cond 1e4", 10, _ill_conditioned(10), np.ones(10), None, None, "OBJ"),
    ("sum(x), |x|^2<=5 (PB), n=5", 5, constrained, np.full(5, 2.0), None, None, "OBJ PB"),
]


class Trace:
    """The best (feasible) value after each call."""

    def __init__(self, function, constrained_problem):
        self.function = function
        self.constrained = constrained_problem
        self.best = np.inf
        self.history = []

    def __call__(self, x):
        x = np.array(x, dtype=float)
        if self.constrained:
            value, c = self.function(x)
            if c <= 0:
                self.best = min(self.best, value)
            result = (value, c)
        else:
            value = self.function(x)
            self.best = min(self.best, value)
            result = value
        self.history.append(self.best)
        return result

    def best_after(self, calls):
        if not self.history:
            return np.inf
        return self.history[min(calls, len(self.history)) - 1]


def measure():
    """Runs every problem and seed with the importable module; a dictionary
    problem -> list of (best at 50 n, best at 200 n), one per seed."""
    import libpyqarno

    figures = {}
    for name, n, function, x0, lb, ub, outputs in PROBLEMS:
        rows = []
        for seed in SEEDS:
            trace = Trace(function, outputs != "OBJ")
            lower = None if lb is None else np.full(n, lb)
            upper = None if ub is None else np.full(n, ub)
            try:
                libpyqarno.minimize(trace, x0, lower, upper, MAX_BB_EVAL=200 * n,
                                    BB_OUTPUT_TYPE=outputs, SEED=seed)
            except RuntimeError:
                pass  # "no feasible point" still leaves the trace
            rows.append((trace.best_after(50 * n), trace.best_after(200 * n)))
        figures[name] = rows
    return figures


def show(label_figures):
    labels = list(label_figures)
    for name, n, *_ in PROBLEMS:
        print(f"\n{name}")
        for budget_index, factor in ((0, 50), (1, 200)):
            for label in labels:
                rows = label_figures[label][name]
                values = [row[budget_index] for row in rows]
                cells = " ".join(f"{v:10.3e}" for v in values)
                print(f"  {factor:3d}n={factor * n:5d} {label:>8}: {cells}   median "
                      f"{float(np.median(values)):10.3e}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", action="append", default=[],
                        help="LABEL=DIR: a folder holding a libpyqarno build (repeatable)")
    parser.add_argument("--json", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()

    if args.json:
        print(json.dumps(measure()))
        return
    if not args.build:
        show({"module": measure()})
        return
    results = {}
    for item in args.build:
        label, _, folder = item.partition("=")
        env = dict(os.environ, PYTHONPATH=os.path.abspath(folder))
        output = subprocess.run([sys.executable, __file__, "--json"], env=env, check=True,
                                capture_output=True, text=True).stdout
        results[label] = json.loads(output.strip().splitlines()[-1])
    print("Best f after 50 n and 200 n evaluations, seeds " + " ".join(map(str, SEEDS)))
    show(results)


if __name__ == "__main__":
    main()
