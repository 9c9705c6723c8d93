"""The test problems shared with the C++ tests: both read
tests/support/problems.txt (which says what each function is), and both
check every line against their own function (test_problems.py here), so that
the two implementations cannot drift apart."""

import os
from dataclasses import dataclass

import numpy as np

TABLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support",
                     "problems.txt")


# Sums run in index order and products as the C++ side writes them, so that
# both compute the same doubles.
def _sphere(x, c):
    f = 0.0
    for i in range(len(x)):
        d = float(x[i]) - c[i]
        f += d * d
    return (f,)


def _rosenbrock(x, _):
    f = 0.0
    for i in range(len(x) - 1):
        a = float(x[i + 1]) - float(x[i]) * float(x[i])
        b = 1 - float(x[i])
        f += 100 * a * a + b * b
    return (f,)


def _ellipsoid(x, c):
    f = 0.0
    for i in range(len(x)):
        f += float(i + 1) * (float(x[i]) - c[i]) * (float(x[i]) - c[i])
    return (f,)


def _quadratic3(x, _):
    x0, x1, x2 = (float(v) for v in x)
    return (x0 * x0 + 2 * x1 * x1 + 3 * x2 * x2 + 0.5 * x0 * x1,)


def _halfplane(x, _):
    f = float(x[0]) + float(x[1])
    return (f, -1.0 - f)


def _disk(x, _):
    x0, x1 = float(x[0]), float(x[1])
    return (x0, x0 * x0 + x1 * x1 - 1.0)


FUNCTIONS = {"sphere": _sphere, "rosenbrock": _rosenbrock, "ellipsoid": _ellipsoid,
             "quadratic3": _quadratic3,
             "halfplane": _halfplane, "disk": _disk}


@dataclass(frozen=True)
class Problem:
    name: str
    function: str
    outputs: str
    n: int
    lower: object  # np.ndarray, or None without bounds
    upper: object
    x0: np.ndarray
    minimiser: np.ndarray
    minimum: float
    f_at_x0: float

    def values(self, x):
        """The outputs at x: f, then the constraint when there is one."""
        return FUNCTIONS[self.function](x, self.minimiser)

    def __call__(self, x):
        """What minimize wants: f alone, or (f, constraint)."""
        values = self.values(x)
        return values[0] if len(values) == 1 else values


def _numbers(field):
    field = field.strip()
    return None if field == "-" else np.array([float(v) for v in field.split()])


def _read():
    problems = {}
    with open(TABLE, encoding="ascii") as table:
        for line in table:
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            fields = [f.strip() for f in line.split("|")]
            assert len(fields) == 10, line
            problems[fields[0]] = Problem(
                fields[0], fields[1], fields[2], int(fields[3]), _numbers(fields[4]),
                _numbers(fields[5]), _numbers(fields[6]), _numbers(fields[7]),
                float(fields[8]), float(fields[9]))
    return problems


PROBLEMS = _read()
