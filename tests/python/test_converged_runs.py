"""A minimize run ends when its mesh cannot be refined any more and an
iteration fails: every variable is on a grid (granularity 1e-7), so a
converged run stops by itself, long before its budget, instead of drawing
points that are all in the cache until MAX_EVAL. The counts come from the
run's main statistics file."""

import numpy as np
import pytest

from libpyqarno import minimize
from problems import PROBLEMS
from qarno_support import Recorder


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
    "sphere": (PROBLEMS["sphere2"], 1e-10),
    "rosenbrock": (PROBLEMS["rosenbrock2"], 1e-8),
}


@pytest.mark.parametrize("name", CASES)
def test_converged_run_ends_on_its_mesh_with_few_cache_hits(name, tmp_path):
    problem, target = CASES[name]
    objective = Recorder(problem)
    stats = tmp_path / "stats.txt"
    budget = 20000
    f, x = minimize(objective, problem.x0, problem.lower, problem.upper,
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
    problem = PROBLEMS["sphere2"]
    objective = Recorder(problem)
    f, _ = minimize(objective, problem.x0, problem.lower, problem.upper,
                    MAX_BB_EVAL=20000, MIN_FRAME_SIZE="* 0.01")
    finest = Recorder(problem)
    f_finest, _ = minimize(finest, problem.x0, problem.lower, problem.upper,
                           MAX_BB_EVAL=20000)
    # A frame of 0.01 is reached long before the frame of the grid.
    assert objective.calls < finest.calls
    assert f < 1e-3 and f_finest < 1e-10


def test_ssd_reaches_the_optimum_of_six_variables(tmp_path):
    problem = PROBLEMS["sphere6"]
    center = problem.minimiser
    objective = Recorder(problem)
    stats = tmp_path / "stats.txt"
    budget = 20000
    f, x = minimize(objective, problem.x0, np.full(6, -5.0), np.full(6, 5.0),
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
