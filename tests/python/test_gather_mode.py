"""GENERATE_ALL_POINTS_BEFORE_EVAL: each MADS mega-iteration gathers the search
(Nelder-Mead single pass included) and poll points of its iterations and has
them evaluated together."""

import numpy as np
import pytest

from libpyqarno import minimize
from qarno_support import Recorder, sphere

CASES = [
    # (case, target, x0, lb, ub, MAX_BB_EVAL)
    ("two variables", [0.3, -0.7], [2.0, 2.0], [-3.0, -3.0], [3.0, 3.0], 400),
    ("three variables, optimum inside", [0.5, -1.0, 1.5], [0.0, 0.0, 0.0], [-2.0] * 3,
     [2.0] * 3, 600),
    ("four variables", [0.1, 0.2, -0.3, 0.4], [1.0] * 4, [-1.0] * 4, [1.0] * 4, 800),
]


@pytest.mark.parametrize("case, target, x0, lb, ub, budget", CASES, ids=[c[0] for c in CASES])
def test_gathering_converges_on_a_bounded_quadratic(case, target, x0, lb, ub, budget):
    objective = Recorder(sphere(target))
    lb = np.array(lb)
    ub = np.array(ub)
    f, x = minimize(objective, np.array(x0), lb, ub, MAX_BB_EVAL=budget,
                    GENERATE_ALL_POINTS_BEFORE_EVAL="yes")

    assert f < 1e-4
    assert np.allclose(x, target, atol=1e-2)
    assert objective.calls <= budget
    # The library compares with a tolerance of 1e-13: a point put on a bound
    # may differ from it by rounding.
    for point in objective.points:
        assert np.all(point >= lb - 1e-13) and np.all(point <= ub + 1e-13)


def test_gathering_is_not_capped_by_the_nelder_mead_budget():
    # The budget of the Nelder-Mead search (80 x n evaluations by default)
    # belongs to its sub-runs, which gathering never starts: a run that
    # needs more evaluations than that goes on until its own budget.
    n = 3
    objective = Recorder(sphere([0.3, -0.7, 1.1]))
    minimize(objective, np.array([5.0] * n), np.array([-10.0] * n), np.array([10.0] * n),
             MAX_BB_EVAL=3 * 80 * n, GENERATE_ALL_POINTS_BEFORE_EVAL="yes", MIN_MESH_SIZE="1e-13")
    assert objective.calls > 80 * n


def test_gathering_twice_in_one_process_gives_the_same_points():
    runs = []
    for _ in range(2):
        objective = Recorder(sphere([0.3, -0.7]))
        minimize(objective, np.array([2.0, 2.0]), np.array([-3.0, -3.0]), np.array([3.0, 3.0]),
                 MAX_BB_EVAL=100, GENERATE_ALL_POINTS_BEFORE_EVAL="yes")
        runs.append(objective.sequence())
    assert runs[0] == runs[1]
