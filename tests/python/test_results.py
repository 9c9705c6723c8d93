"""What minimize returns: the best feasible point, within the bounds, with its
own objective value; budgets; constraints; determinism."""

import numpy as np
import pytest

from libpyqarno import minimize
from qarno_support import Recorder, library_message, on_granularity, sphere

PROBLEMS = [
    # (case, target, x0, lb, ub, MAX_BB_EVAL)
    ("unbounded", [0.3, -0.7], [0.0, 0.0], None, None, 100),
    ("optimum outside the box", [3.0, -3.0, 0.5], [0.0, 0.0, 0.0], [-1.0, -1.0, -1.0],
     [1.0, 1.0, 1.0], 150),
    ("lower bounds only", [-5.0, 2.0], [1.0, 1.0], [0.0, 0.0], None, 80),
    ("upper bounds only", [5.0, -2.0], [-1.0, -1.0], None, [0.0, 0.0], 80),
    ("one variable, tiny box", [0.0], [1e-6], [1e-6], [2e-6], 30),
    ("budget of one", [0.3, 0.3], [0.0, 0.0], None, None, 1),
    ("five variables", [0.1, 0.2, 0.3, 0.4, 0.5], [0.0] * 5, [-1.0] * 5, [1.0] * 5, 200),
]


@pytest.mark.parametrize("case, target, x0, lb, ub, budget", PROBLEMS,
                         ids=[c[0] for c in PROBLEMS])
def test_result_is_within_bounds_with_its_own_value_and_budget(case, target, x0, lb, ub, budget):
    objective = Recorder(sphere(target))
    x0 = np.array(x0)
    lb = None if lb is None else np.array(lb)
    ub = None if ub is None else np.array(ub)
    f, x = minimize(objective, x0, lb, ub, MAX_BB_EVAL=budget)

    assert objective.calls <= budget
    assert f == objective.function(x)
    assert f <= objective.function(objective.points[0])
    assert any(np.array_equal(x, p) for p in objective.points)
    for point in objective.points + [x]:
        assert lb is None or np.all(point >= lb)
        assert ub is None or np.all(point <= ub)


def test_two_calls_give_the_same_result_and_call_sequence():
    first = Recorder(sphere([0.3, -0.2, 0.1]))
    second = Recorder(sphere([0.3, -0.2, 0.1]))
    x0 = np.array([1.0, 1.0, 1.0])
    result_first = minimize(first, x0, None, None, MAX_BB_EVAL=120, SEED=5)
    result_second = minimize(second, x0, None, None, MAX_BB_EVAL=120, SEED=5)
    assert first.sequence() == second.sequence()
    assert result_first[0] == result_second[0]
    assert np.array_equal(result_first[1], result_second[1])


def _disk(x):
    """Objective x0 + x1, constraint 1 - |x|^2 <= 0 (outside the unit disk)."""
    return float(x[0] + x[1]), float(1.0 - x[0] ** 2 - x[1] ** 2)


def test_progressive_barrier_constraint():
    objective = Recorder(_disk)
    lb, ub = np.array([-2.0, -2.0]), np.array([2.0, 2.0])
    f, x = minimize(objective, np.array([0.0, 0.0]), lb, ub, BB_OUTPUT_TYPE="OBJ PB",
                    MAX_BB_EVAL=300)
    # x0 is infeasible; the result is feasible and the best corner.
    assert _disk(x)[1] <= 0.0
    assert f == _disk(x)[0]
    assert f < -3.9


def _half_plane(x):
    """Objective x0 + x1, constraint -1 - x0 - x1 <= 0."""
    return float(x[0] + x[1]), float(-1.0 - x[0] - x[1])


def test_extreme_barrier_constraint_with_a_feasible_start_in_the_cache(tmp_path):
    # The cache file holds the feasible starting point, so that the run
    # needs no phase one to find one.
    cache = str(tmp_path / "cache.txt")
    x0 = np.array([1.0, 1.0])
    minimize(_half_plane, x0, None, None, BB_OUTPUT_TYPE="OBJ PB", MAX_BB_EVAL=1,
             CACHE_FILE=cache)

    objective = Recorder(_half_plane)
    f, x = minimize(objective, x0, None, None, BB_OUTPUT_TYPE="OBJ EB", MAX_BB_EVAL=200,
                    CACHE_FILE=cache)
    assert _half_plane(x)[1] <= 0.0
    assert f == _half_plane(x)[0]
    assert -1.0 <= f < -0.99
    # Infeasible points were tried, and none is the result.
    assert any(_half_plane(p)[1] > 0.0 for p in objective.points)


def test_extreme_barrier_constraint_with_a_feasible_start():
    # The cache is empty: phase one runs first and finds x0 feasible.
    objective = Recorder(_half_plane)
    f, x = minimize(objective, np.array([1.0, 1.0]), None, None, BB_OUTPUT_TYPE="OBJ EB",
                    MAX_BB_EVAL=200)
    assert objective.calls <= 200
    assert _half_plane(x)[1] <= 0.0
    assert -1.0 <= f < -0.99


def test_no_improvement_returns_the_starting_point():
    # x0 is the optimum: no iteration succeeds, the best point is x0.
    objective = Recorder(sphere([0.5, 0.5]))
    f, x = minimize(objective, np.array([0.5, 0.5]), None, None, MAX_BB_EVAL=50)
    assert f == 0.0
    assert x.tolist() == [0.5, 0.5]
    assert objective.calls > 1


def test_budget_spent_before_any_improvement_returns_the_best_point():
    objective = Recorder(sphere([3.3, -2.7]))
    f, x = minimize(objective, np.array([0.0, 0.0]), None, None, MAX_BB_EVAL=1)
    assert objective.calls == 1
    assert x.tolist() == [0.0, 0.0]
    assert f == objective.function(x)


def test_successful_run_without_feasible_point():
    # Every point violates the constraint; the run still improves h.
    def f(x):
        return float(x.sum()), float(1.0 + (x[0] - 1.0) ** 2)

    with pytest.raises(RuntimeError) as raised:
        minimize(f, np.array([0.0, 0.0]), None, None, BB_OUTPUT_TYPE="OBJ PB",
                 MAX_BB_EVAL=60)
    assert str(raised.value) == "no feasible point"


def test_failed_run_without_feasible_point():
    def f(x):
        raise ValueError("no value here")

    with pytest.raises(RuntimeError) as raised:
        minimize(f, np.array([0.0, 0.0]), None, None, MAX_BB_EVAL=10)
    assert str(raised.value) == "QARNO run failed"


@pytest.mark.parametrize("outputs", ["OBJ PB", "OBJ EB"])
def test_a_starting_point_beyond_h_max_0_is_refused_by_name(outputs):
    # h(x0) = 3^2 = 9 > H_MAX_0: no incumbent to start from. The error used
    # to be the barrier's own text, which names neither.
    def f(x):
        return float(x.sum()), float(x[0] - 1.0)

    with pytest.raises(RuntimeError) as raised:
        minimize(f, np.array([4.0, 0.0]), None, None, BB_OUTPUT_TYPE=outputs, H_MAX_0="1",
                 MAX_BB_EVAL=20)
    message = library_message(raised.value)
    assert "H_MAX_0 = 1" in message
    assert "( 4 0 ) has h = 9" in message


def test_random_starting_points_are_placed_on_the_granularity():
    rng = np.random.default_rng(12345)
    lb, ub = -np.ones(50), np.ones(50)
    for _ in range(3):
        x0 = rng.uniform(-1.0, 1.0, 50)
        objective = Recorder(sphere(np.zeros(50)))
        minimize(objective, x0, lb, ub, MAX_BB_EVAL=3)
        start = objective.points[0]
        assert on_granularity(start)
        assert np.all(np.abs(start - x0) <= 0.5e-7 + 1e-15)


STARTS_NEAR_BOUNDS = [
    # (case, x0, lb, ub, first point)
    ("rounds down", 0.123456749, None, None, 0.1234567),
    ("rounds up", 0.12345675001, None, None, 0.1234568),
    ("stays above the lower bound", 0.12345678912, 0.12345678912, 1.0, 0.1234568),
    ("stays below the upper bound", 0.98765432101, 0.0, 0.98765432101, 0.9876543),
    ("negative", -0.33333333333, -1.0, 0.0, -0.3333333),
]


@pytest.mark.parametrize("case, x0, lb, ub, first", STARTS_NEAR_BOUNDS,
                         ids=[c[0] for c in STARTS_NEAR_BOUNDS])
def test_starting_point_is_the_nearest_multiple_of_the_granularity_within_bounds(
        case, x0, lb, ub, first):
    objective = Recorder(sphere([0.5]))
    minimize(objective, np.array([x0]), None if lb is None else np.array([lb]),
             None if ub is None else np.array([ub]), MAX_BB_EVAL=2)
    assert objective.points[0][0] == pytest.approx(first, abs=1e-15)
    assert lb is None or objective.points[0][0] >= lb
    assert ub is None or objective.points[0][0] <= ub


def test_blocks_of_points_stay_within_the_budget():
    objective = Recorder(sphere([0.3, 0.3]))
    minimize(objective, np.array([0.0, 0.0]), None, None, MAX_BB_EVAL=12,
             BB_MAX_BLOCK_SIZE="4")
    assert objective.calls <= 12
