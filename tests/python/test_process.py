"""minimize in a running Python process: threads, the interpreter lock,
Ctrl-C, and many calls in one process."""

import os
import signal
import subprocess
import sys
import threading
import time
import tracemalloc

import numpy as np
import pytest

from libpyqarno import minimize
from qarno_support import Recorder, sphere

X0 = np.array([0.0, 0.0])
TARGET = [0.3, 0.3]
ALREADY_RUNNING = ("minimize is already running in this process: runs cannot overlap "
                   "(another thread, or a call from inside the objective function)")


def test_call_from_another_thread_during_a_run_is_refused():
    inside = threading.Event()
    proceed = threading.Event()
    outcome = {}

    def waiting(x):
        if not inside.is_set():
            inside.set()
            proceed.wait(30)
        return sphere(TARGET)(x)

    def first_call():
        try:
            outcome["result"] = minimize(waiting, X0, None, None, MAX_BB_EVAL=20)
        except BaseException as error:  # reported by the main thread
            outcome["error"] = error

    thread = threading.Thread(target=first_call)
    thread.start()
    try:
        assert inside.wait(30)
        second = Recorder(sphere(TARGET))
        with pytest.raises(RuntimeError) as raised:
            minimize(second, X0, None, None, MAX_BB_EVAL=5)
        assert str(raised.value) == ALREADY_RUNNING
        assert second.calls == 0
    finally:
        proceed.set()
        thread.join(30)

    assert "error" not in outcome, outcome.get("error")
    # The first run was not disturbed: same result as a run alone.
    assert outcome["result"][0] == minimize(sphere(TARGET), X0, None, None, MAX_BB_EVAL=20)[0]


def test_call_from_inside_the_objective_is_refused():
    refusals = []

    def nested(x):
        try:
            minimize(sphere(TARGET), X0, None, None, MAX_BB_EVAL=2)
        except RuntimeError as error:
            refusals.append(str(error))
        return sphere(TARGET)(x)

    f, x = minimize(nested, X0, None, None, MAX_BB_EVAL=10)
    assert refusals == [ALREADY_RUNNING] * 10
    assert f == minimize(sphere(TARGET), X0, None, None, MAX_BB_EVAL=10)[0]


def test_interpreter_lock_is_released_during_the_run():
    # With a switch interval this long, the interpreter never takes the lock
    # from a thread running Python code: the ticker can only run while the
    # run itself has let the lock go.
    ticks = [0]
    stop = threading.Event()

    def ticker():
        while not stop.is_set():
            ticks[0] += 1
            time.sleep(0.0002)

    seen = []

    def f(x):
        seen.append(ticks[0])
        return float(((x - 0.3) ** 2).sum())

    interval = sys.getswitchinterval()
    thread = threading.Thread(target=ticker)
    thread.start()
    sys.setswitchinterval(1000.0)
    try:
        minimize(f, np.zeros(4), None, None, MAX_BB_EVAL=300)
    finally:
        sys.setswitchinterval(interval)
        stop.set()
        thread.join(30)
    assert seen[-1] > seen[0]


def _interrupting(at_calls):
    """sphere(TARGET) that sends SIGINT to the process at the given calls."""
    objective = Recorder(sphere(TARGET))

    def f(x):
        value = objective(x)
        if objective.calls in at_calls:
            os.kill(os.getpid(), signal.SIGINT)
        return value

    return f, objective


@pytest.fixture
def python_sigint_handler():
    """Python's own Ctrl-C handler for the length of a test. A test process
    started with SIGINT ignored (a background job) has none, and the tests
    below rely on it; whatever was there comes back afterwards."""
    previous = signal.signal(signal.SIGINT, signal.default_int_handler)
    try:
        yield
    finally:
        signal.signal(signal.SIGINT, previous)


@pytest.mark.parametrize("at_calls", [(10,), (3, 4)], ids=["one SIGINT", "two SIGINT"])
def test_sigint_ends_the_run_with_keyboard_interrupt(at_calls, python_sigint_handler):
    handler = signal.getsignal(signal.SIGINT)
    f, objective = _interrupting(at_calls)
    with pytest.raises(KeyboardInterrupt):
        minimize(f, X0, None, None, MAX_BB_EVAL=1000)
    assert objective.calls < 100
    assert signal.getsignal(signal.SIGINT) is handler

    # Python's own handling of Ctrl-C is back.
    with pytest.raises(KeyboardInterrupt):
        os.kill(os.getpid(), signal.SIGINT)
        time.sleep(5)

    # The interrupt does not reach the next call.
    fresh = Recorder(sphere(TARGET))
    minimize(fresh, X0, None, None, MAX_BB_EVAL=30)
    assert fresh.calls == 30
    assert fresh.sequence()[:objective.calls] == objective.sequence()


def _own_handler(signum, frame):
    raise AssertionError("not to be called")


@pytest.mark.parametrize("handler", [signal.SIG_IGN, signal.default_int_handler, _own_handler],
                         ids=["ignored", "Python's", "the program's own"])
def test_the_sigint_handler_that_was_there_comes_back(handler):
    previous = signal.signal(signal.SIGINT, handler)
    try:
        minimize(sphere(TARGET), X0, None, None, MAX_BB_EVAL=20)
        assert signal.getsignal(signal.SIGINT) is handler
        # Also after a run that ends with an error.
        with pytest.raises(RuntimeError):
            minimize(sphere(TARGET), X0, None, None, MAX_BB_EVAL=20, MIN_MESH_SIZE="* 0")
        assert signal.getsignal(signal.SIGINT) is handler
    finally:
        signal.signal(signal.SIGINT, previous)


def test_sigterm_ends_the_run_then_reaches_the_program_handler():
    # SIGTERM during a run: the run stops at once, then the program's own
    # handler runs; when it raises nothing, the best point so far is the
    # result.
    received = []
    previous = signal.signal(signal.SIGTERM, lambda signum, frame: received.append(signum))
    objective = Recorder(sphere(TARGET))

    def f(x):
        value = objective(x)
        if objective.calls == 10:
            os.kill(os.getpid(), signal.SIGTERM)
        return value

    try:
        f_best, x_best = minimize(f, X0, None, None, MAX_BB_EVAL=1000)
    finally:
        signal.signal(signal.SIGTERM, previous)
    assert received == [signal.SIGTERM]
    assert objective.calls < 100
    assert f_best == min(objective.function(p) for p in objective.points)

    # Nothing of it reaches the next call.
    fresh = Recorder(sphere(TARGET))
    minimize(fresh, X0, None, None, MAX_BB_EVAL=30)
    assert fresh.calls == 30


def test_seg_fault_reaches_the_handler_found_before_the_run(tmp_path):
    # Python's faulthandler still prints the traceback of a fault in the
    # objective.
    script = tmp_path / "fault.py"
    script.write_text(
        "import ctypes, faulthandler\n"
        "import numpy as np\n"
        "from libpyqarno import minimize\n"
        "faulthandler.enable()\n"
        "def objective(x):\n"
        "    return float(ctypes.string_at(8, 1)[0])  # the first page is never mapped\n"
        "minimize(objective, np.array([0.5]), None, None, MAX_BB_EVAL=5)\n")
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(sys.path))
    result = subprocess.run([sys.executable, str(script)], capture_output=True, text=True,
                            env=env, timeout=120)
    assert result.returncode == -signal.SIGSEGV
    assert "Caught seg fault in thread 0" in result.stderr
    assert "Fatal Python error: Segmentation fault" in result.stderr
    assert "in objective" in result.stderr


def _rss_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def test_two_hundred_calls_keep_memory_references_and_results():
    fun = sphere([0.3, -0.2, 0.1])
    x0, lb, ub = np.zeros(3), -np.ones(3), np.ones(3)

    def call():
        return minimize(fun, x0, lb, ub, MAX_BB_EVAL=40)

    first = call()
    for _ in range(20):
        call()
    references = [sys.getrefcount(o) for o in (fun, x0, lb, ub)]
    rss = _rss_bytes()
    tracemalloc.start()
    try:
        for _ in range(200):
            f, x = call()
            assert f == first[0]
            assert np.array_equal(x, first[1])
        del f, x
        traced, _ = tracemalloc.get_traced_memory()
    finally:
        tracemalloc.stop()
    assert traced < 64 * 1024
    assert _rss_bytes() - rss < 1024 * 1024
    assert [sys.getrefcount(o) for o in (fun, x0, lb, ub)] == references


def test_a_call_does_not_see_the_options_of_an_earlier_one():
    # Options given as text go through the parameter lines of the library:
    # those of the second call must not reach the third.
    plain = Recorder(sphere(TARGET))
    minimize(plain, X0, None, None, MAX_BB_EVAL=40, LOWER_BOUND="( -10 -10 )")

    minimize(sphere(TARGET), X0, None, None, MAX_BB_EVAL=40, SEED=9, X0="( 0.5 0.5 )",
             DIRECTION_TYPE="N+1 UNI", FIXED_VARIABLE="( - 0.5 )", MAX_ITERATIONS="3")

    again = Recorder(sphere(TARGET))
    minimize(again, X0, None, None, MAX_BB_EVAL=40, LOWER_BOUND="( -10 -10 )")
    assert again.sequence() == plain.sequence()


def _raise_value_error(x):
    raise ValueError("no value here")


def _raise_keyboard_interrupt(x):
    raise KeyboardInterrupt()


FAILING_CALLS = [
    # (case, objective, options, exception type)
    ("option refused", sphere(TARGET), {"DISPLAY_DEGREE": 2}, TypeError),
    ("library refusal", sphere(TARGET), {"BB_OUTPUT_TYPE": "OBJ FOO"}, RuntimeError),
    ("every evaluation fails", _raise_value_error, {}, RuntimeError),
    ("objective stops the program", _raise_keyboard_interrupt, {}, KeyboardInterrupt),
]


@pytest.mark.parametrize("case, fun, options, error", FAILING_CALLS,
                         ids=[c[0] for c in FAILING_CALLS])
def test_failed_calls_keep_no_reference(case, fun, options, error, capsys):
    x0, lb, ub = np.zeros(2), -np.ones(2), np.ones(2)
    references = [sys.getrefcount(o) for o in (fun, x0, lb, ub)]
    for _ in range(3):
        with pytest.raises(error):
            minimize(fun, x0, lb, ub, MAX_BB_EVAL=5, **options)
    assert [sys.getrefcount(o) for o in (fun, x0, lb, ub)] == references
    # The interpreter lock came back: this thread runs Python code, and
    # another thread can still take the lock.
    done = threading.Event()
    thread = threading.Thread(target=done.set)
    thread.start()
    thread.join(30)
    assert done.is_set()
