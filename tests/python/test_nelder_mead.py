"""Nelder-Mead alone (NM_OPTIMIZATION) through minimize: it solves a smooth
problem within its budget and never evaluates past MAX_BB_EVAL."""

import numpy as np
import pytest

from libpyqarno import minimize
from problems import PROBLEMS
from qarno_support import Recorder, sphere


def _shifted_sphere(n):
    """A sphere centred away from the start and from the axes."""
    return np.linspace(0.5, -1.0, n), np.full(n, 2.0)


@pytest.mark.parametrize("n", [2, 3, 4, 5])
def test_nm_alone_solves_a_shifted_sphere_within_its_budget(n):
    center, x0 = _shifted_sphere(n)
    budget = 250 * n
    objective = Recorder(sphere(center))
    # The whole run in one mega-iteration.
    f, x = minimize(objective, x0, None, None, MAX_BB_EVAL=budget, NM_OPTIMIZATION="yes",
                    MAX_ITERATION_PER_MEGAITERATION="100000")
    assert objective.calls <= budget
    assert f == objective.function(x)
    assert any(np.array_equal(x, p) for p in objective.points)
    assert f < 1e-8 * objective.function(x0)
    assert np.allclose(x, center, atol=1e-4)


def test_nm_alone_with_default_parameters_solves_in_two_variables():
    center, x0 = _shifted_sphere(2)
    objective = Recorder(sphere(center))
    f, x = minimize(objective, x0, None, None, MAX_BB_EVAL=500, NM_OPTIMIZATION="yes")
    assert objective.calls <= 500
    assert f < 1e-8 * objective.function(x0)


def test_nm_alone_with_default_parameters_solves_in_four_variables():
    # Every mega-iteration goes on with the simplex of the one before: one
    # made again from the best cached points lies almost in a hyperplane.
    center, x0 = _shifted_sphere(4)
    objective = Recorder(sphere(center))
    f, _ = minimize(objective, x0, None, None, MAX_BB_EVAL=1000, NM_OPTIMIZATION="yes")
    assert f < 1e-8 * objective.function(x0)


@pytest.mark.parametrize("budget", [1, 2, 3, 4, 7, 20])
def test_nm_alone_never_exceeds_max_bb_eval(budget):
    center, x0 = _shifted_sphere(3)
    objective = Recorder(sphere(center))
    f, x = minimize(objective, x0, None, None, MAX_BB_EVAL=budget, NM_OPTIMIZATION="yes")
    assert objective.calls == budget
    assert f == min(objective.function(p) for p in objective.points)


def test_two_nm_runs_in_one_process_are_identical():
    center, x0 = _shifted_sphere(3)
    first, second = Recorder(sphere(center)), Recorder(sphere(center))
    result_first = minimize(first, x0, None, None, MAX_BB_EVAL=60, NM_OPTIMIZATION="yes")
    result_second = minimize(second, x0, None, None, MAX_BB_EVAL=60, NM_OPTIMIZATION="yes")
    assert first.sequence() == second.sequence()
    assert result_first[0] == result_second[0]


_quadratic3 = PROBLEMS["quadratic3"]
# The functions of the table serve in any dimension.
_rosenbrock = PROBLEMS["rosenbrock2"]


@pytest.mark.parametrize("seed", [1, 2])
@pytest.mark.parametrize("function, x0, budget, target", [
    (_quadratic3, [1.0, 1.0, 1.0], 600, 1e-8),
    (_rosenbrock, [0.0, 0.0], 1000, 1e-6),
    (_rosenbrock, [-1.2, -1.2], 1000, 1e-6),
    (_rosenbrock, [0.0, 0.0, 0.0, 0.0], 3000, 1e-4),
], ids=["quadratic n=3", "rosenbrock n=2 from 0", "rosenbrock n=2 from -1.2",
        "rosenbrock n=4 from 0"])
def test_nm_alone_reaches_the_optimum_within_bounds(function, x0, budget, target, seed):
    # Points met again (a reflection onto a known point, a shrink) must not
    # stall the walk far from the optimum.
    x0 = np.array(x0)
    objective = Recorder(function)
    n = len(x0)
    f, x = minimize(objective, x0, np.full(n, -2.0), np.full(n, 2.0), MAX_BB_EVAL=budget,
                    NM_OPTIMIZATION="yes", SEED=seed)
    assert objective.calls <= budget
    assert f == function(x)
    assert f <= target
