"""The table of test problems as the Python tests read it: every function
meets its line, so that it computes what the C++ side computes
(TestProblems.EveryProblemMeetsItsTable reads the same file)."""

import numpy as np
import pytest

from problems import PROBLEMS


@pytest.mark.parametrize("name", PROBLEMS)
def test_every_problem_meets_its_table(name):
    p = PROBLEMS[name]
    assert len(p.x0) == p.n and len(p.minimiser) == p.n
    if p.lower is not None:
        assert len(p.lower) == p.n and len(p.upper) == p.n
        assert np.all(p.lower <= p.x0) and np.all(p.x0 <= p.upper)
        assert np.all(p.lower <= p.minimiser) and np.all(p.minimiser <= p.upper)
    assert len(p.values(p.x0)) == len(p.outputs.split())
    assert p.values(p.minimiser)[0] == pytest.approx(p.minimum, rel=1e-12, abs=1e-15)
    assert p.values(p.x0)[0] == pytest.approx(p.f_at_x0, rel=1e-12, abs=1e-15)
    if len(p.values(p.minimiser)) > 1:
        assert p.values(p.minimiser)[1] <= 0.0
