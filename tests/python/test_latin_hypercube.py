"""Latin-hypercube sampling through minimize: LH_EVAL alone evaluates its
whole sample in the bounds, and LH_SEARCH feeds the MADS search; both stop
at MAX_BB_EVAL."""

import numpy as np
import pytest

from libpyqarno import minimize
from problems import PROBLEMS
from qarno_support import Recorder, library_message

PROBLEM = PROBLEMS["lh-sphere3"]
LB = PROBLEM.lower
UB = PROBLEM.upper
CENTER = PROBLEM.minimiser


def _slices(points, p):
    """Per coordinate, the sorted slice indices of the points in [LB, UB]
    cut into p equal slices."""
    q = (np.asarray(points) - LB) / (UB - LB) * p
    return [sorted(int(v) for v in np.floor(q[:, i])) for i in range(len(LB))]


@pytest.mark.parametrize("p", [1, 7, 100])
def test_lh_eval_alone_evaluates_its_whole_sample_once(p):
    objective = Recorder(PROBLEM)
    f, x = minimize(objective, (LB + UB) / 2, LB, UB, LH_EVAL=str(p))
    assert objective.calls == p
    assert len(set(objective.sequence())) == p
    points = np.array(objective.points)
    assert np.all(points >= LB) and np.all(points <= UB)
    # One point in every slice of every coordinate.
    assert _slices(points, p) == [list(range(p))] * len(LB)
    assert f == min(objective.function(y) for y in objective.points)
    assert any(np.array_equal(x, y) for y in objective.points)


@pytest.mark.parametrize("lh_eval", ["100", "1000000"])
@pytest.mark.parametrize("budget", [1, 9, 30])
def test_lh_eval_alone_draws_a_sample_of_the_budget_size(budget, lh_eval):
    objective = Recorder(PROBLEM)
    minimize(objective, (LB + UB) / 2, LB, UB, LH_EVAL=lh_eval, MAX_BB_EVAL=budget)
    assert objective.calls == budget
    # The whole box is covered, not the corner that comes first.
    assert _slices(objective.points, budget) == [list(range(budget))] * len(LB)


def test_lh_eval_alone_repeats_with_the_same_seed():
    runs = []
    for _ in range(2):
        objective = Recorder(PROBLEM)
        minimize(objective, (LB + UB) / 2, LB, UB, LH_EVAL="20", SEED="3")
        runs.append(objective.sequence())
    assert runs[0] == runs[1]


@pytest.mark.parametrize("lb, ub, text", [
    (None, UB, "Latin Hypercube Sampling requires a complete lower bound vector"),
    (LB, None, "Latin Hypercube Sampling requires a complete upper bound vector"),
])
def test_lh_eval_alone_needs_both_bounds(lb, ub, text):
    objective = Recorder(PROBLEM)
    with pytest.raises(RuntimeError) as error:
        minimize(objective, (LB + UB) / 2, lb, ub, LH_EVAL="5")
    assert library_message(error.value) == text
    assert objective.calls == 0


def test_lh_search_spreads_its_first_sample_over_the_box():
    # Not opportunistic, so that the whole first sample is evaluated before
    # the first poll.
    p0 = 30
    objective = Recorder(PROBLEM)
    x0 = (LB + UB) / 2
    minimize(objective, x0, LB, UB, LH_SEARCH="%d 0" % p0, OPPORTUNISTIC_EVAL="no",
             MAX_BB_EVAL=1 + p0)
    assert objective.calls == 1 + p0
    sample = np.array(objective.points[1:])
    # The projection on the mesh may leave a rounding error at a bound.
    assert np.all(sample >= LB - 1e-12) and np.all(sample <= UB + 1e-12)
    # A poll around x0 stays within one frame; the sample reaches near
    # every face of the box.
    width = UB - LB
    assert np.all(sample.min(axis=0) < LB + 0.2 * width)
    assert np.all(sample.max(axis=0) > UB - 0.2 * width)


@pytest.mark.parametrize("gather", ["no", "yes"])
@pytest.mark.parametrize("lh_search", ["30 0", "0 5", "10 3"])
@pytest.mark.parametrize("budget", [1, 12, 80])
def test_lh_search_in_mads_never_exceeds_max_bb_eval(lh_search, budget, gather):
    objective = Recorder(PROBLEM)
    f, x = minimize(objective, (LB + UB) / 2, LB, UB, LH_SEARCH=lh_search,
                    GENERATE_ALL_POINTS_BEFORE_EVAL=gather, MAX_BB_EVAL=budget)
    assert objective.calls == budget
    assert f == min(objective.function(y) for y in objective.points)


def test_lh_search_helps_mads_without_bounds():
    # No bounds: the sample is drawn around the frame centre.
    objective = Recorder(PROBLEM)
    f, _ = minimize(objective, np.zeros(3), None, None, LH_SEARCH="20 2", MAX_BB_EVAL=300)
    assert objective.calls <= 300
    assert f < 1e-2
