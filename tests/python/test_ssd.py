"""SSD-MADS (SSD_MADS_OPTIMIZATION) through minimize: it improves a
6-variable problem within its budget and never evaluates past MAX_BB_EVAL;
its parameter errors come back with the library's text."""

import numpy as np
import pytest

from libpyqarno import minimize
from problems import PROBLEMS
from qarno_support import Recorder, library_message

PROBLEM = PROBLEMS["sphere6"]
N = PROBLEM.n
CENTER = PROBLEM.minimiser
X0 = PROBLEM.x0


def test_ssd_improves_a_six_variable_problem_within_its_budget():
    objective = Recorder(PROBLEM)
    f, x = minimize(objective, X0, None, None, MAX_BB_EVAL=600, SSD_MADS_OPTIMIZATION="yes")
    assert objective.calls <= 600
    assert f == objective.function(x)
    assert any(np.array_equal(x, p) for p in objective.points)
    # Within 600 evaluations the sub-problems have moved every variable
    # (test_converged_runs follows a run to the optimum).
    assert f < 0.01 * objective.function(X0)


@pytest.mark.parametrize("budget", [1, 2, 5, 17, 60])
def test_ssd_never_exceeds_max_bb_eval(budget):
    objective = Recorder(PROBLEM)
    f, _ = minimize(objective, X0, None, None, MAX_BB_EVAL=budget, SSD_MADS_OPTIMIZATION="yes")
    assert objective.calls == budget
    assert f == min(objective.function(p) for p in objective.points)


@pytest.mark.parametrize("options", [
    {"SSD_MADS_NB_VAR_IN_SUBPROBLEM": "3", "SSD_MADS_RESET_VAR_PICKUP_SUBPROBLEM": "yes"},
    {"SSD_MADS_NB_VAR_IN_SUBPROBLEM": "1", "SSD_MADS_ITER_OPPORTUNISTIC": "no"},
    {"SSD_MADS_NB_SUBPROBLEM": "10"},
], ids=["three free, reset pick-up", "one free, not opportunistic", "more draws than variables"])
def test_ssd_variants_respect_the_budget(options):
    objective = Recorder(PROBLEM)
    f, _ = minimize(objective, X0, None, None, MAX_BB_EVAL=200, SSD_MADS_OPTIMIZATION="yes",
                    **options)
    assert objective.calls <= 200
    assert f < objective.function(X0)


@pytest.mark.parametrize("value", [0, N + 1])
def test_ssd_refuses_a_subproblem_size_outside_the_dimension(value):
    objective = Recorder(PROBLEM)
    with pytest.raises(RuntimeError) as raised:
        minimize(objective, X0, None, None, MAX_BB_EVAL=10, SSD_MADS_OPTIMIZATION="yes",
                 SSD_MADS_NB_VAR_IN_SUBPROBLEM=str(value))
    assert library_message(raised.value) == (
        "Invalid Parameter. Parameter SSD_MADS_NB_VAR_IN_SUBPROBLEM must be between 1 and %d. Value provided: %d"
        % (N, value))
    assert objective.calls == 0


def test_psd_mads_is_refused_with_its_text():
    objective = Recorder(PROBLEM)
    with pytest.raises(RuntimeError) as raised:
        minimize(objective, X0, None, None, MAX_BB_EVAL=10, PSD_MADS_OPTIMIZATION="yes")
    assert library_message(raised.value) == (
        "Error: PSD_MADS_OPTIMIZATION can only be used when OpenMP is available. "
        "If that is not the case, use SSD_MADS_OPTIMIZATION.")
    assert objective.calls == 0
