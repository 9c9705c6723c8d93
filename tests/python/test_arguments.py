"""minimize's positional arguments: what it refuses, with which error, and
what it accepts."""

import array

import numpy as np
import pytest

from libpyqarno import minimize
from qarno_support import Recorder, library_message, sphere

X0 = np.array([0.25, 0.5])
NAN = float("nan")
INF = float("inf")


# Stands for the recording objective of each test.
OBJECTIVE = object()


def _args(fun=OBJECTIVE, x0=X0, lb=None, ub=None):
    return (fun, x0, lb, ub)


ARGUMENT_ERRORS = [
    # (case, positional arguments, exception type, message)
    ("three arguments", _args()[:3], TypeError,
     "minimize() takes 4 positional arguments but 3 were given"),
    ("five arguments", _args() + (None,), TypeError,
     "minimize() takes 4 positional arguments but 5 were given"),
    ("no argument", (), TypeError, "minimize() takes 4 positional arguments but 0 were given"),
    ("objective not callable", _args(fun=3.0), TypeError, "objective function is not callable"),
    ("x0 list", _args(x0=[0.25, 0.5]), TypeError, "unable to convert parameter array"),
    ("x0 empty", _args(x0=np.array([])), TypeError, "unable to convert parameter array"),
    ("x0 float32", _args(x0=X0.astype(np.float32)), TypeError,
     "unable to convert parameter array"),
    ("x0 int64", _args(x0=np.array([1, 2])), TypeError, "unable to convert parameter array"),
    ("x0 str", _args(x0="0.25 0.5"), TypeError, "unable to convert parameter array"),
    ("x0 bytes", _args(x0=X0.tobytes()), TypeError, "unable to convert parameter array"),
    ("x0 big-endian doubles", _args(x0=X0.astype(">f8")), TypeError,
     "unable to convert parameter array"),
    ("x0 record with a field named d", _args(x0=np.zeros(2, dtype=[("d", "<i4")])), TypeError,
     "unable to convert parameter array"),
    ("x0 not contiguous", _args(x0=np.zeros(4)[::2]), TypeError,
     "unable to convert parameter array"),
    ("x0 None", _args(x0=None), TypeError, "unable to convert parameter array"),
    ("x0 of shape (2, 2)", _args(x0=np.full((2, 2), 0.25)), ValueError,
     "x0 must be a one-dimensional array, got 2 dimensions"),
    ("x0 of shape (1, 2)", _args(x0=X0.reshape(1, 2)), ValueError,
     "x0 must be a one-dimensional array, got 2 dimensions"),
    ("x0 0-d", _args(x0=np.array(0.25)), ValueError,
     "x0 must be a one-dimensional array, got 0 dimensions"),
    ("lb of shape (2, 1)", _args(lb=np.zeros((2, 1))), ValueError,
     "the lower bounds must be a one-dimensional array, got 2 dimensions"),
    ("ub of shape (2, 2) with x0 of 4 values", _args(x0=np.full(4, 0.25), ub=np.ones((2, 2))),
     ValueError, "the upper bounds must be a one-dimensional array, got 2 dimensions"),
    ("ub 0-d", _args(ub=np.array(1.0)), ValueError,
     "the upper bounds must be a one-dimensional array, got 0 dimensions"),
    ("lb list", _args(lb=[0.0, 0.0]), TypeError, "unable to convert bounds array"),
    ("ub float32", _args(ub=np.ones(2, dtype=np.float32)), TypeError,
     "unable to convert bounds array"),
    ("lb empty", _args(lb=np.array([])), TypeError, "unable to convert bounds array"),
    ("lb longer", _args(lb=np.zeros(3)), ValueError,
     "length of initial (2) and lower bounds (3) do not match"),
    ("ub shorter", _args(ub=np.ones(1)), ValueError,
     "length of initial (2) and upper bounds (1) do not match"),
    ("equal bounds", _args(lb=np.array([0.0, 1.0]), ub=np.array([1.0, 1.0])), ValueError,
     "for element 1, upper bound (1.0) is smaller than lower bound (1.0)"),
    ("crossed bounds", _args(lb=np.array([2.0, 0.0]), ub=np.array([-0.5, 1.0])), ValueError,
     "for element 0, upper bound (-0.5) is smaller than lower bound (2.0)"),
    ("x0 NaN", _args(x0=np.array([0.25, NAN])), ValueError, "element 1 of x0 is NaN"),
    ("x0 +inf", _args(x0=np.array([INF, 0.5])), ValueError, "element 0 of x0 is infinite"),
    ("x0 -inf", _args(x0=np.array([0.25, -INF])), ValueError, "element 1 of x0 is infinite"),
    ("lb NaN", _args(lb=np.array([NAN, 0.0])), ValueError,
     "element 0 of the lower bounds is NaN"),
    ("ub NaN", _args(ub=np.array([1.0, NAN])), ValueError,
     "element 1 of the upper bounds is NaN"),
    ("NaN in both bounds", _args(lb=np.array([NAN, 0.0]), ub=np.array([NAN, 1.0])), ValueError,
     "element 0 of the lower bounds is NaN"),
    ("lb +inf", _args(lb=np.array([0.0, INF])), ValueError,
     "element 1 of the lower bounds is +inf"),
    ("ub -inf", _args(ub=np.array([-INF, 1.0])), ValueError,
     "element 0 of the upper bounds is -inf"),
]


@pytest.mark.parametrize("case, args, error, message", ARGUMENT_ERRORS,
                         ids=[c[0] for c in ARGUMENT_ERRORS])
def test_refused_arguments(case, args, error, message):
    objective = Recorder(sphere([0.3, 0.3]))
    args = tuple(objective if a is OBJECTIVE else a for a in args)
    with pytest.raises(error) as raised:
        minimize(*args, MAX_BB_EVAL=5)
    assert type(raised.value) is error
    assert str(raised.value) == message
    assert objective.calls == 0


ACCEPTED_INPUTS = [
    # (case, x0, lb, ub, the starting point seen by the objective)
    ("float64 arrays", np.array([0.25, 0.5]), np.zeros(2), np.ones(2), [0.25, 0.5]),
    ("array('d')", array.array("d", [0.25, 0.5]), array.array("d", [0.0, 0.0]),
     array.array("d", [1.0, 1.0]), [0.25, 0.5]),
    ("memoryview of array('d')", memoryview(array.array("d", [0.25, 0.5])), None, None,
     [0.25, 0.5]),
    ("read-only array", np.frombuffer(np.array([0.25, 0.5]).tobytes()), None, None,
     [0.25, 0.5]),
    ("no bounds", np.array([0.25, 0.5]), None, None, [0.25, 0.5]),
    ("lower bounds only", np.array([0.25, 0.5]), np.zeros(2), None, [0.25, 0.5]),
    ("upper bounds only", np.array([0.25, 0.5]), None, np.ones(2), [0.25, 0.5]),
    ("infinite bounds are no bounds", np.array([0.25, 0.5]), np.array([-INF, 0.0]),
     np.array([1.0, INF]), [0.25, 0.5]),
]


@pytest.mark.parametrize("case, x0, lb, ub, start", ACCEPTED_INPUTS,
                         ids=[c[0] for c in ACCEPTED_INPUTS])
def test_accepted_inputs(case, x0, lb, ub, start):
    objective = Recorder(sphere(np.full(len(start), 0.3)))
    f, x = minimize(objective, x0, lb, ub, MAX_BB_EVAL=20)
    assert objective.points[0].tolist() == start
    assert isinstance(f, float)
    assert isinstance(x, np.ndarray)
    assert x.dtype == np.float64 and x.shape == (len(start),)
    assert f == objective.function(x)


BEYOND_THE_MESH = " is too large for the mesh: with a granularity of 1e-07, the mesh holds " \
                  "values up to 1.797693134862316e+301 in absolute value"

TOO_LARGE = [
    # (case, x0, lb, ub, the library's message)
    ("bounds of +-1e308", X0, np.full(2, -1e308), np.full(2, 1e308),
     "Invalid Parameter. Check: INITIAL_FRAME_SIZE (a tenth of the distance between the "
     "bounds) at index 0: 2e+307" + BEYOND_THE_MESH),
    ("x0 of 1e308", np.array([0.25, 1e308]), None, None,
     "Invalid Parameter. Check: X0 at index 1: 1e+308" + BEYOND_THE_MESH),
]


@pytest.mark.parametrize("case, x0, lb, ub, message", TOO_LARGE, ids=[c[0] for c in TOO_LARGE])
def test_values_too_large_for_the_mesh_are_named(case, x0, lb, ub, message):
    objective = Recorder(sphere([0.3, 0.3]))
    with pytest.raises(RuntimeError) as raised:
        minimize(objective, x0, lb, ub, MAX_BB_EVAL=5)
    assert library_message(raised.value) == message
    assert objective.calls == 0
