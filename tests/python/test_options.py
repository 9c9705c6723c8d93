"""minimize's keyword options: refused values, and what the accepted ones
change."""

import numpy as np
import pytest

from libpyqarno import minimize
from qarno_support import Recorder, library_message, sphere

X0 = np.array([0.0, 0.0])
TARGET = [0.3, 0.3]


def _run(x0=X0, lb=None, ub=None, target=TARGET, **options):
    objective = Recorder(sphere(target))
    result = minimize(objective, x0, lb, ub, **options)
    return objective, result


OPTION_ERRORS = [
    # (case, options, exception type, message)
    ("BB_OUTPUT_TYPE not text", {"BB_OUTPUT_TYPE": 1}, TypeError,
     "BB_OUTPUT_TYPE value field should be string"),
    ("DISPLAY_DEGREE as an int", {"DISPLAY_DEGREE": 2}, TypeError,
     "string expected for value of 'DISPLAY_DEGREE'"),
    ("other option as a float", {"MAX_ITERATIONS": 5.0}, TypeError,
     "string expected for value of 'MAX_ITERATIONS'"),
    ("other option as bytes", {"DIRECTION_TYPE": b"ORTHO 2N"}, TypeError,
     "string expected for value of 'DIRECTION_TYPE'"),
    ("MAX_BB_EVAL as text", {"MAX_BB_EVAL": "50"}, TypeError, "an integer is required"),
    ("MAX_BB_EVAL as a float", {"MAX_BB_EVAL": 50.0}, TypeError, "an integer is required"),
    ("MAX_BB_EVAL negative", {"MAX_BB_EVAL": -1}, OverflowError,
     "can't convert negative value to size_t"),
    ("MAX_EVAL as text", {"MAX_EVAL": "70"}, TypeError, "an integer is required"),
    ("MAX_EVAL beyond a size", {"MAX_EVAL": 2 ** 64}, OverflowError,
     "Python int too large to convert to C size_t"),
    ("SEED as a float", {"SEED": 1.5}, TypeError,
     "'float' object cannot be interpreted as an integer"),
    ("SEED beyond an int", {"SEED": 2 ** 31}, OverflowError,
     "signed integer is greater than maximum"),
    ("SEED below an int", {"SEED": -2 ** 31 - 1}, OverflowError,
     "signed integer is less than minimum"),
]


@pytest.mark.parametrize("case, options, error, message", OPTION_ERRORS,
                         ids=[c[0] for c in OPTION_ERRORS])
def test_refused_option_values(case, options, error, message):
    objective = Recorder(sphere(TARGET))
    with pytest.raises(error) as raised:
        minimize(objective, X0, None, None, **options)
    assert type(raised.value) is error
    assert str(raised.value) == message
    assert objective.calls == 0


LIBRARY_REFUSALS = [
    # (case, options, the library's message)
    ("unknown output type", {"BB_OUTPUT_TYPE": "OBJ FOO"},
     "Unrecognized string for QARNO::BBOutputType: FOO"),
    ("negative SEED", {"SEED": -3}, "Parameters check: SEED must be non-negative"),
    ("negative SEED as text", {"SEED": "-3"}, "Parameters check: SEED must be non-negative"),
    ("no objective", {"BB_OUTPUT_TYPE": "PB"},
     'Invalid Parameter. Parameters check: BB_OUTPUT_TYPE "PB" has no objective: one output '
     "must be of type OBJ"),
    ("constraints only", {"BB_OUTPUT_TYPE": "EB PB"},
     'Invalid Parameter. Parameters check: BB_OUTPUT_TYPE "EB PB" has no objective: one output '
     "must be of type OBJ"),
]


@pytest.mark.parametrize("case, options, message", LIBRARY_REFUSALS,
                         ids=[c[0] for c in LIBRARY_REFUSALS])
def test_library_refusals_are_runtime_errors_with_the_library_text(case, options, message):
    objective = Recorder(sphere(TARGET))
    with pytest.raises(RuntimeError) as raised:
        minimize(objective, X0, None, None, MAX_BB_EVAL=5, **options)
    assert library_message(raised.value) == message
    assert objective.calls == 0


def test_max_bb_eval_alone_is_the_budget():
    objective, _ = _run(MAX_BB_EVAL=50, target=[3.3, -2.7])
    assert objective.calls == 50


@pytest.mark.parametrize("options", [
    {"MAX_BB_EVAL": 100, "MAX_EVAL": 70},
    {"MAX_EVAL": 70, "MAX_BB_EVAL": 100},
], ids=["MAX_BB_EVAL first", "MAX_EVAL first"])
def test_max_eval_given_with_max_bb_eval_stays_whatever_the_order(options):
    # MAX_EVAL counts cache hits too: at most 70 calls, where MAX_BB_EVAL
    # alone would allow 100.
    objective, _ = _run(target=[3.3, -2.7], **options)
    assert 50 < objective.calls <= 70
    alone, _ = _run(target=[3.3, -2.7], MAX_BB_EVAL=100)
    assert alone.calls == 100


def test_max_eval_of_a_huge_max_bb_eval_is_no_limit():
    # 100 x (2^62 + 1) wraps around to 100 in 64 bits: the run would stop
    # after 100 evaluations. MAX_ITERATIONS ends the run instead.
    objective, _ = _run(MAX_BB_EVAL=2 ** 62 + 1, MAX_ITERATIONS="60")
    assert objective.calls > 150


def test_seed_as_int_and_as_text_have_the_same_effect():
    with_int, result_int = _run(MAX_BB_EVAL=40, SEED=7)
    with_text, result_text = _run(MAX_BB_EVAL=40, SEED="7")
    other, _ = _run(MAX_BB_EVAL=40, SEED=8)
    assert with_int.sequence() == with_text.sequence()
    assert result_int[0] == result_text[0]
    # The seed does reach the run.
    assert with_int.sequence() != other.sequence()


def test_unknown_keyword_is_reported_and_the_run_goes_on(capfd):
    objective, (f, _) = _run(MAX_BB_EVAL=30, FOO_BAR="3")
    assert "Unknown parameter: FOO_BAR" in capfd.readouterr().err
    assert objective.calls == 30


def test_keys_are_compared_exactly():
    # A lower-case key is an ordinary option: its value must be text, and it
    # does not bring the MAX_EVAL rule of MAX_BB_EVAL.
    with pytest.raises(TypeError, match="string expected for value of 'max_bb_eval'"):
        _run(max_bb_eval=10)
    objective, _ = _run(max_bb_eval="10", target=[3.3, -2.7])
    assert objective.calls == 10


def test_granularity_option_has_no_effect():
    plain, plain_result = _run(MAX_BB_EVAL=60)
    coarse, coarse_result = _run(MAX_BB_EVAL=60, GRANULARITY="* 1")
    assert coarse.sequence() == plain.sequence()
    assert coarse_result[0] == plain_result[0]
    # Not integer: the granularity stayed 1e-7.
    assert not np.all(coarse_result[1] == np.round(coarse_result[1]))


def test_display_degree_defaults_to_nothing_shown(capfd):
    _run(MAX_BB_EVAL=20)
    assert capfd.readouterr().out == ""
    _run(MAX_BB_EVAL=20, DISPLAY_DEGREE="2")
    assert capfd.readouterr().out != ""


ARRAY_OPTIONS_AS_TEXT = [
    # (case, options, check on the evaluated points)
    ("X0", {"X0": "( 0.5 0.5 )"}, lambda points: points[0].tolist() == [0.5, 0.5]),
    ("FIXED_VARIABLE", {"FIXED_VARIABLE": "( 0.25 - )"},
     lambda points: all(p[0] == 0.25 for p in points)),
    ("LOWER_BOUND", {"LOWER_BOUND": "( 0 0 )"},
     lambda points: all(np.all(p >= 0.0) for p in points)),
    # The first poll points lie within the frame around the starting point
    # (the default frame reaches 1 on the second coordinate).
    ("INITIAL_FRAME_SIZE", {"INITIAL_FRAME_SIZE": "( 0.01 0.01 )"},
     lambda points: max(np.abs(p - points[0]).max() for p in points[1:3]) < 0.02),
]


@pytest.mark.parametrize("case, options, check", ARRAY_OPTIONS_AS_TEXT,
                         ids=[c[0] for c in ARRAY_OPTIONS_AS_TEXT])
def test_array_options_given_as_text_are_read_with_the_dimension(case, options, check):
    objective, (f, x) = _run(x0=np.array([0.25, 0.0]), MAX_BB_EVAL=30, **options)
    assert check(objective.points)
    assert f == objective.function(x)


def test_options_in_lower_case_are_not_replaced_by_the_defaults(capfd):
    # The library reads keywords in any case; the module's defaults for
    # the display and the outputs must not undo them.
    def with_constraint(x):
        return float(x.sum()), float(-x[0])

    objective = Recorder(with_constraint)
    f, x = minimize(objective, np.array([1.0, 1.0]), None, None, MAX_BB_EVAL=60,
                    display_degree="2", bb_output_type="OBJ PB")
    assert capfd.readouterr().out != ""
    assert x[0] >= 0.0
    assert f == with_constraint(x)[0]
