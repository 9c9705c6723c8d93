"""Every point minimize hands to the objective lies exactly on the grid of
granularity 1e-7 (as the double that its decimal text reads as) and within
[lb, ub] exactly, whatever algorithm or step made it; the returned point
too; and one grid point is evaluated once."""

import numpy as np
import pytest

from libpyqarno import minimize
from qarno_support import Recorder, sphere

N = 4
CENTER = np.array([0.3, -1.7, 2.9, 0.0])
LB = np.array([-5.0, -2.0, -1.23456789, -5.0])
UB = np.array([5.0, 4.2, 2.87654321, 0.1])
X0 = np.array([0.7, 0.2, 0.3, -0.9])


def on_grid(x):
    """The double nearest to k x 1e-7 for an integer k."""
    return np.array_equal(x, np.round(x * 1e7) / 1e7)


def check_points(objective, x, lb, ub):
    points = np.array(objective.points)
    off_grid = [p for p in points if not on_grid(p)]
    assert not off_grid, f"{len(off_grid)} points off the grid, as {off_grid[0].tolist()}"
    outside = [p for p in points if np.any(p < lb) or np.any(p > ub)]
    assert not outside, f"{len(outside)} points outside the bounds, as {outside[0].tolist()}"
    steps = {tuple(np.round(p * 1e7).astype(np.int64)) for p in points}
    assert len(steps) == len(points)
    assert on_grid(x)
    assert np.all(x >= lb) and np.all(x <= ub)


def constrained(x):
    # Feasible only above x[0] = 1.05: a start below it runs phase one.
    return float(((x - CENTER) ** 2).sum()), 1.05 - x[0]


ALGORITHMS = {
    "MADS": ({}, sphere(CENTER)),
    "N+1 directions": ({"DIRECTION_TYPE": "N+1 UNI"}, sphere(CENTER)),
    "gathered search and poll": ({"GENERATE_ALL_POINTS_BEFORE_EVAL": "yes"}, sphere(CENTER)),
    "Latin-hypercube search": ({"LH_SEARCH": "8 2"}, sphere(CENTER)),
    "Nelder-Mead alone": ({"NM_OPTIMIZATION": "yes"}, sphere(CENTER)),
    "Latin hypercube alone": ({"LH_EVAL": "80"}, sphere(CENTER)),
    "space decomposition": ({"SSD_MADS_OPTIMIZATION": "yes"}, sphere(CENTER)),
    "phase one": ({"BB_OUTPUT_TYPE": "OBJ EB"}, constrained),
    "progressive barrier": ({"BB_OUTPUT_TYPE": "OBJ PB"}, constrained),
}


@pytest.mark.parametrize("name", ALGORITHMS)
def test_every_point_is_on_its_grid_within_its_bounds(name):
    options, function = ALGORITHMS[name]
    objective = Recorder(function)
    f, x = minimize(objective, X0, LB, UB, MAX_BB_EVAL=400, **options)
    check_points(objective, x, LB, UB)


def test_slope_into_a_corner_never_leaves_the_box():
    n = 10
    weights = np.linspace(1.0, 3.0, n)
    objective = Recorder(lambda x: float(-(weights * x).sum()))
    lb = np.full(n, -5.0)
    ub = np.full(n, 5.0)
    f, x = minimize(objective, np.zeros(n), lb, ub, MAX_BB_EVAL=2000)
    check_points(objective, x, lb, ub)
    # The optimum is the corner ub.
    assert np.array_equal(x, ub)
