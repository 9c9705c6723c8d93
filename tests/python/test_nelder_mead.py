"""Nelder-Mead alone (NM_OPTIMIZATION) through minimize: it solves a smooth
problem within its budget and never evaluates past MAX_BB_EVAL."""

import numpy as np
import pytest

from libpyqarno import minimize
from qarno_support import Recorder, sphere


def _shifted_sphere(n):
    """A sphere centred away from the start and from the axes."""
    return np.linspace(0.5, -1.0, n), np.full(n, 2.0)


@pytest.mark.parametrize("n", [2, 3, 4, 5])
def test_nm_alone_solves_a_shifted_sphere_within_its_budget(n):
    center, x0 = _shifted_sphere(n)
    budget = 250 * n
    objective = Recorder(sphere(center))
    # One simplex improved for the whole run: a fresh simplex every few
    # iterations, rebuilt from the cache, loses its shape (see below).
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


@pytest.mark.xfail(strict=True, reason="with MAX_ITERATION_PER_MEGAITERATION at its default, "
                   "every mega-iteration rebuilds the simplex from cached points that lie "
                   "almost in one hyperplane, and the search stalls from n = 4 on")
def test_nm_alone_with_default_parameters_solves_in_four_variables():
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
