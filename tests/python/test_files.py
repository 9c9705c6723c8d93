"""The files that minimize is asked to write: a history file is never
truncated by a later call, and a file that cannot be written is reported."""

import fcntl
import warnings

import numpy as np
import pytest

from libpyqarno import minimize
from qarno_support import library_message, sphere

X0 = np.array([0.0, 0.0])
TARGET = [0.3, 0.3]


def test_second_call_with_the_same_history_file_is_refused(tmp_path):
    history = tmp_path / "history.txt"
    minimize(sphere(TARGET), X0, None, None, MAX_BB_EVAL=10, HISTORY_FILE=str(history))
    first = history.read_text()
    assert len(first.splitlines()) == 10

    with pytest.raises(RuntimeError) as raised:
        minimize(sphere(TARGET), X0, None, None, MAX_BB_EVAL=5, HISTORY_FILE=str(history))
    assert library_message(raised.value) == (
        "OutputDirectToFile::init: the history file " + str(history)
        + " is already written by an earlier run of this process")
    assert history.read_text() == first

    # A call refused does not free the name; a call on another file does,
    # as a run of the library that writes another history.
    with pytest.raises(RuntimeError):
        minimize(sphere(TARGET), X0, None, None, MAX_BB_EVAL=5, HISTORY_FILE=str(history))
    other = tmp_path / "other.txt"
    minimize(sphere(TARGET), X0, None, None, MAX_BB_EVAL=5, HISTORY_FILE=str(other))
    assert len(other.read_text().splitlines()) == 5
    assert history.read_text() == first


@pytest.mark.parametrize("option", ["HISTORY_FILE", "SOLUTION_FILE", "STATS_FILE"])
def test_file_that_cannot_be_written_gives_a_warning_and_the_result(option):
    # /dev/full fails every write, as a full disk does.
    value = "/dev/full BBE OBJ" if option == "STATS_FILE" else "/dev/full"
    with pytest.warns(RuntimeWarning, match="^QARNO could not write the file /dev/full$"):
        f, x = minimize(sphere(TARGET), X0, None, None, MAX_BB_EVAL=20, **{option: value})
    assert f == sphere(TARGET)(x)


def test_file_warning_turned_into_an_error_ends_the_call(tmp_path):
    missing = tmp_path / "no-such-folder" / "history.txt"
    with warnings.catch_warnings():
        warnings.simplefilter("error", RuntimeWarning)
        with pytest.raises(RuntimeWarning, match=str(missing)):
            minimize(sphere(TARGET), X0, None, None, MAX_BB_EVAL=5, HISTORY_FILE=str(missing))


def test_every_file_written_gives_no_warning(tmp_path):
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        minimize(sphere(TARGET), X0, None, None, MAX_BB_EVAL=5,
                 HISTORY_FILE=str(tmp_path / "h.txt"), SOLUTION_FILE=str(tmp_path / "s.txt"))


def test_cache_file_used_by_another_run_is_refused(tmp_path):
    cache = tmp_path / "cache.txt"
    # Another process's run holds the lock file beside the cache file.
    with open(str(cache) + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        with pytest.raises(RuntimeError) as raised:
            minimize(sphere(TARGET), X0, None, None, MAX_BB_EVAL=5, CACHE_FILE=str(cache))
        assert ("The cache file " + str(cache) + " is in use by another run"
                in library_message(raised.value))
        assert not cache.exists()
    # Once that run has ended, the cache file is this call's, and free again
    # after it.
    minimize(sphere(TARGET), X0, None, None, MAX_BB_EVAL=5, CACHE_FILE=str(cache))
    assert len(cache.read_text().splitlines()) == 2 + 5
    assert not (tmp_path / "cache.txt.lock").exists()
