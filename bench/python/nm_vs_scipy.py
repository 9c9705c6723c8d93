"""Evaluations that Nelder-Mead alone (libpyqarno.minimize with
NM_OPTIMIZATION) needs to reach f <= 1e-8, against scipy's Nelder-Mead, on
smooth problems within the bounds [-2, 2].

Run with the module importable, installed (pip install .) or from a build:
    PYTHONPATH=build/release/src/Python python3 bench/python/nm_vs_scipy.py

For each problem and method the table gives the number of objective calls
until the first value <= the target, or "-" when the budget ran out first,
with the best value found and the calls made in all. Both methods run with
the same bounds and budget; scipy's tolerances are set to 0 so that only the
budget stops it. libpyqarno rounds every point to a grid of step 1e-7, so
its figures include that rounding.
"""
import argparse

import numpy as np
import scipy.optimize

import libpyqarno

TARGET = 1e-8
BOUND = 2.0


def quadratic3(x):
    return float(x[0] ** 2 + 2 * x[1] ** 2 + 3 * x[2] ** 2 + 0.5 * x[0] * x[1])


def rosenbrock(x):
    return float(np.sum(100.0 * (x[1:] - x[:-1] ** 2) ** 2 + (1.0 - x[:-1]) ** 2))


PROBLEMS = [
    ("quadratic n=3 from (1,1,1)", quadratic3, [1.0, 1.0, 1.0]),
    ("Rosenbrock n=2 from 0", rosenbrock, [0.0, 0.0]),
    ("Rosenbrock n=2 from (-1.2,-1.2)", rosenbrock, [-1.2, -1.2]),
    ("Rosenbrock n=4 from 0", rosenbrock, [0.0, 0.0, 0.0, 0.0]),
]


class Trace:
    """Counts the calls and remembers the first one that reached the target."""

    def __init__(self, function):
        self.function = function
        self.calls = 0
        self.best = np.inf
        self.reached = None

    def __call__(self, x):
        value = self.function(np.asarray(x, dtype=float))
        self.calls += 1
        self.best = min(self.best, value)
        if self.reached is None and value <= TARGET:
            self.reached = self.calls
        return value


def run_qarno(function, x0, budget):
    trace = Trace(function)
    n = len(x0)
    libpyqarno.minimize(trace, np.array(x0), np.full(n, -BOUND), np.full(n, BOUND),
                        MAX_BB_EVAL=budget, NM_OPTIMIZATION="yes")
    return trace


def run_scipy(function, x0, budget):
    trace = Trace(function)
    n = len(x0)
    scipy.optimize.minimize(trace, np.array(x0), method="Nelder-Mead",
                            bounds=[(-BOUND, BOUND)] * n,
                            options={"maxfev": budget, "maxiter": 10 * budget,
                                     "xatol": 0.0, "fatol": 0.0})
    return trace


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--budget", type=int, default=5000,
                        help="objective calls allowed per run (default 5000)")
    args = parser.parse_args()

    print(f"Objective calls to reach f <= {TARGET:g} (budget {args.budget})")
    print(f"{'problem':34} {'method':8} {'calls to target':>16} {'best f':>10} {'calls':>6}")
    for name, function, x0 in PROBLEMS:
        for method, runner in (("qarno", run_qarno), ("scipy", run_scipy)):
            trace = runner(function, x0, args.budget)
            reached = "-" if trace.reached is None else str(trace.reached)
            print(f"{name:34} {method:8} {reached:>16} {trace.best:>10.2e} {trace.calls:>6}")


if __name__ == "__main__":
    main()
