"""The objective as the run sees it: what it is given, what it may return,
and how its failures are handled."""

import numpy as np
import pytest

from libpyqarno import minimize
from qarno_support import Recorder, sphere

X0 = np.array([0.0, 0.0])
TARGET = [0.3, 0.3]


def _failing_every_third(failure):
    """sphere(TARGET), but the calls 2, 5, 8, ... fail as `failure` says."""
    good = sphere(TARGET)
    count = [0]

    def f(x):
        count[0] += 1
        if count[0] % 3 == 2:
            return failure(x)
        return good(x)

    return f


def _raise(x):
    raise ValueError("objective refuses this point")


FAILURES = [
    # (case, failing return, text expected on sys.stderr)
    ("raises", _raise, "ValueError: objective refuses this point"),
    ("returns NaN", lambda x: float("nan"), None),
    ("returns text", lambda x: "abc", "TypeError"),
    ("returns None", lambda x: None, "TypeError"),
    ("returns a list", lambda x: [1.0], "TypeError"),
    ("returns a tuple of the wrong length", lambda x: (1.0, 2.0), None),
    ("returns a tuple holding text", lambda x: (1.0, "abc"), "TypeError"),
]


@pytest.mark.parametrize("case, failure, printed", FAILURES, ids=[c[0] for c in FAILURES])
def test_failed_evaluations_leave_the_run_going(case, failure, printed, capsys):
    objective = Recorder(_failing_every_third(failure))
    f, x = minimize(objective, X0, None, None, MAX_BB_EVAL=60)
    assert objective.calls == 60
    # The best point is a point that evaluated well, with its own value.
    assert f == sphere(TARGET)(x)
    assert f < sphere(TARGET)(X0)
    if printed is not None:
        assert printed in capsys.readouterr().err


RETURNS = [
    # (case, objective)
    ("float", lambda x: float(((x - 0.3) ** 2).sum())),
    ("NumPy float64", lambda x: ((x - 0.3) ** 2).sum()),
    ("int", lambda x: int(round(100 * ((x - 0.3) ** 2).sum()))),
    ("1-tuple", lambda x: (float(((x - 0.3) ** 2).sum()),)),
    ("object with __float__", lambda x: np.float32(((x - 0.3) ** 2).sum())),
]


@pytest.mark.parametrize("case, objective", RETURNS, ids=[c[0] for c in RETURNS])
def test_accepted_return_values(case, objective):
    recorder = Recorder(objective)
    f, x = minimize(recorder, X0, None, None, MAX_BB_EVAL=40)
    assert f == float(np.asarray(objective(x)).ravel()[0])
    assert f < float(np.asarray(objective(X0)).ravel()[0])


def test_objective_gets_a_one_dimensional_float64_array():
    seen = []

    def f(x):
        seen.append((type(x), x.dtype, x.shape))
        return float(x.sum() ** 2)

    minimize(f, np.array([1.0, 2.0, 3.0]), None, None, MAX_BB_EVAL=10)
    assert set(seen) == {(np.ndarray, np.dtype(np.float64), (3,))}


def test_every_point_gets_an_array_of_its_own():
    kept = []

    def f(x):
        kept.append((x, x.copy()))
        return float(((x - 0.3) ** 2).sum())

    minimize(f, X0, None, None, MAX_BB_EVAL=9, BB_MAX_BLOCK_SIZE="4")
    # Blocks of 4 points after the starting point: every call, within a
    # block too, gets a new array, which keeps its point afterwards.
    assert len(kept) == 9
    assert len({id(x) for x, _ in kept}) == len(kept)
    assert all(x.tolist() == copy.tolist() for x, copy in kept)
    assert len({tuple(copy) for _, copy in kept}) == len(kept)


def test_an_array_changed_by_the_objective_is_not_reused():
    seen = []

    def f(x):
        seen.append(x.copy())
        value = float(((x - 0.3) ** 2).sum())
        x.shape = (1, 2)  # in place: the next point needs another array
        return value

    f_best, x_best = minimize(f, X0, None, None, MAX_BB_EVAL=9, BB_MAX_BLOCK_SIZE="4")
    assert all(p.shape == (2,) for p in seen)
    assert len({tuple(p) for p in seen}) == len(seen)
    assert f_best == float(((x_best - 0.3) ** 2).sum())


@pytest.mark.parametrize("stop", [KeyboardInterrupt, SystemExit], ids=lambda e: e.__name__)
def test_exceptions_that_stop_the_program_end_the_run(stop):
    objective = Recorder(sphere(TARGET))

    def f(x):
        if objective.calls == 3:
            raise stop()
        return objective(x)

    with pytest.raises(stop):
        minimize(f, X0, None, None, MAX_BB_EVAL=50)
    assert objective.calls == 3
    # The next run is a fresh one.
    again = Recorder(sphere(TARGET))
    minimize(again, X0, None, None, MAX_BB_EVAL=5)
    assert again.calls == 5


def test_objective_values_keep_their_full_precision():
    # The values differ only beyond the sixth significant digit: rounded,
    # every point would look as good as the starting point.
    def f(x):
        return 1.0 + 1e-7 * float(((x - 0.3) ** 2).sum())

    objective = Recorder(f)
    f_best, x_best = minimize(objective, X0, None, None, MAX_BB_EVAL=200)
    assert f_best == f(x_best)
    assert f_best < f(X0)
    assert np.all(np.abs(x_best - 0.3) < 0.02)


INFINITE_OBJECTIVES = [
    # (case, objective on [-1, 1], expected best value)
    # -inf wherever x > 0.9: the smallest value, found and given back as it
    # is, not as the largest double.
    ("-inf somewhere", lambda x: -float("inf") if x[0] > 0.9 else (
        float("inf") if x[0] < 0.0 else -float(x[0])), -float("inf")),
    # +inf everywhere: no point improves on the start.
    ("+inf everywhere", lambda x: float("inf"), float("inf")),
]


@pytest.mark.parametrize("case, objective, expected", INFINITE_OBJECTIVES,
                         ids=[c[0] for c in INFINITE_OBJECTIVES])
def test_infinite_values_come_back_as_infinities(case, objective, expected):
    f_best, x_best = minimize(objective, np.array([0.5]), np.array([-1.0]), np.array([1.0]),
                              MAX_BB_EVAL=40)
    assert f_best == expected
    assert f_best == objective(x_best)
