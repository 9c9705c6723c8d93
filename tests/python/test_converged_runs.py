"""A minimize run ends when its mesh cannot be refined any more and an
iteration fails: every variable is on a grid (granularity 1e-7), so a
converged run stops by itself, long before its budget, instead of drawing
points that are all in the cache until MAX_EVAL. The counts come from the
run's main statistics file."""

import numpy as np
import pytest

from libpyqarno import minimize
from qarno_support import Recorder, sphere


def rosenbrock(x):
    return float(np.sum(100.0 * (x[1:] - x[:-1] ** 2) ** 2 + (1.0 - x[:-1]) ** 2))


def run_statistics(path):
    """The counts of the main statistics file, by label."""
    counts = {}
    with open(path, encoding="ascii") as stats:
        for line in stats:
            label, _, value = line.strip().rpartition(" ")
            if label:
                counts[label.strip()] = int(value)
    return counts


CASES = {
    "sphere": (sphere([0.5, -1.25]), [1.0, 2.0], 1e-10),
    "rosenbrock": (rosenbrock, [-1.2, 1.0], 1e-8),
}


@pytest.mark.parametrize("name", CASES)
def test_converged_run_ends_on_its_mesh_with_few_cache_hits(name, tmp_path):
    function, x0, target = CASES[name]
    objective = Recorder(function)
    stats = tmp_path / "stats.txt"
    budget = 20000
    f, x = minimize(objective, np.array(x0), np.full(2, -5.0), np.full(2, 5.0),
                    MAX_BB_EVAL=budget, MAIN_STATS_FILE=str(stats))
    counts = run_statistics(stats)
    assert counts["Blackbox evaluations:"] == objective.calls
    # Before, a converged run spun on cache hits until MAX_EVAL = 100 x
    # MAX_BB_EVAL: 282 evaluations then 39,718 hits for the sphere.
    assert counts["Cache hits:"] < objective.calls
    assert objective.calls < budget // 10
    assert f == objective.function(x)
    assert f < target


def test_minimum_frame_size_stops_a_run_on_granular_variables():
    objective = Recorder(sphere([0.5, -1.25]))
    f, _ = minimize(objective, np.array([1.0, 2.0]), np.full(2, -5.0), np.full(2, 5.0),
                    MAX_BB_EVAL=20000, MIN_FRAME_SIZE="* 0.01")
    finest = Recorder(sphere([0.5, -1.25]))
    f_finest, _ = minimize(finest, np.array([1.0, 2.0]), np.full(2, -5.0), np.full(2, 5.0),
                           MAX_BB_EVAL=20000)
    # A frame of 0.01 is reached long before the frame of the grid.
    assert objective.calls < finest.calls
    assert f < 1e-3 and f_finest < 1e-10


def test_ssd_reaches_the_optimum_of_six_variables(tmp_path):
    center = np.linspace(0.5, -1.0, 6)
    objective = Recorder(sphere(center))
    stats = tmp_path / "stats.txt"
    budget = 20000
    f, x = minimize(objective, np.full(6, 2.0), np.full(6, -5.0), np.full(6, 5.0),
                    MAX_BB_EVAL=budget, SSD_MADS_OPTIMIZATION="yes", MAIN_STATS_FILE=str(stats))
    counts = run_statistics(stats)
    # Before, the first sub-problem on two free variables kept the whole
    # budget: f = 1.74 where the optimum is 0.
    assert f < 1e-10
    assert np.allclose(x, center, atol=1e-5)
    assert objective.calls < budget // 4
    assert counts["Cache hits:"] < objective.calls
    # Every variable moved.
    moved = np.ptp(np.array(objective.points), axis=0)
    assert np.all(moved > 1.0)
