"""Phase one through minimize: an "OBJ EB" problem whose starting point
violates the extreme-barrier constraint is first made feasible, then
optimised, all within MAX_BB_EVAL."""

import numpy as np
import pytest

from libpyqarno import minimize
from problems import PROBLEMS
from qarno_support import Recorder

# Constraint values are compared with the library's tolerance.
EPSILON = 1e-13


_half_plane = PROBLEMS["halfplane"]
_disk = PROBLEMS["disk"]


@pytest.mark.parametrize("problem, x0, best", [
    (_half_plane, [-2.0, -2.0], -1.0),
    (_half_plane, [-5.0, 1.0], -1.0),
    (_disk, [3.0, 3.0], -1.0),
])
@pytest.mark.parametrize("budget", [100, 400])
def test_an_infeasible_start_ends_feasible_within_the_budget(problem, x0, best, budget):
    objective = Recorder(problem)
    assert problem(np.array(x0))[1] > 0.0
    f, x = minimize(objective, np.array(x0), None, None, BB_OUTPUT_TYPE="OBJ EB",
                    MAX_BB_EVAL=budget)
    assert objective.calls <= budget
    assert problem(x)[1] <= EPSILON
    assert f == problem(x)[0]
    # The result is a point the blackbox saw, near the constrained optimum.
    assert any(np.array_equal(x, p) for p in objective.points)
    assert f < best + 0.1


def test_a_feasible_start_is_evaluated_once():
    objective = Recorder(_half_plane)
    x0 = np.array([1.0, 1.0])
    minimize(objective, x0, None, None, BB_OUTPUT_TYPE="OBJ EB", MAX_BB_EVAL=50)
    assert objective.calls <= 50
    assert sum(np.array_equal(p, x0) for p in objective.points) == 1


def test_a_run_after_phase_one_keeps_the_default_rules():
    # A point that violates an EB constraint must never be the result of a
    # later run in the same process, as it could be if the phase-one h rule
    # (EB counted as PB) were still in force.
    minimize(Recorder(_half_plane), np.array([-2.0, -2.0]), None, None,
             BB_OUTPUT_TYPE="OBJ EB", MAX_BB_EVAL=60)
    objective = Recorder(_half_plane)
    f, x = minimize(objective, np.array([1.0, 1.0]), None, None, BB_OUTPUT_TYPE="OBJ EB",
                    MAX_BB_EVAL=60)
    assert _half_plane(x)[1] <= EPSILON
    assert any(_half_plane(p)[1] > 0.0 for p in objective.points)
