"""The module itself: its version, its documentation, its type stub, and
arguments read from exporters that free their memory on release."""

import importlib
import os
import pathlib
import shutil
import subprocess
import sys
import sysconfig
import textwrap

import numpy as np
import pytest

import libpyqarno
from libpyqarno import minimize
from qarno_support import Recorder, sphere

HERE = pathlib.Path(__file__).resolve().parent
STUB = HERE.parents[1] / "src" / "Python" / "libpyqarno.pyi"


def test_version_and_documentation():
    assert libpyqarno.__version__ == "4.0.0"
    assert "minimize" in libpyqarno.__doc__
    doc = libpyqarno.minimize.__doc__
    for part in ("fun(x)", "x0", "lb, ub", "MAX_BB_EVAL", "Returns (f, x)", "f == fun(x)",
                 "ValueError", "RuntimeError", "KeyboardInterrupt"):
        assert part in doc, part
    # help() shows the real signature, not "minimize(...)".
    assert str(__import__("inspect").signature(minimize)) == "(fun, x0, lb, ub, /, **options)"


def test_a_second_import_gives_the_same_working_module():
    # Imported afresh, the module is built again from its definition.
    first = sys.modules.pop("libpyqarno")
    try:
        again = importlib.import_module("libpyqarno")
    finally:
        sys.modules["libpyqarno"] = first
    assert again is not first
    assert again.__version__ == "4.0.0"
    assert again.minimize(sphere([0.5]), np.array([0.0]), None, None, MAX_BB_EVAL=30)[0] < 1e-2


@pytest.fixture(scope="module")
def fragile_buffer(tmp_path_factory):
    """The C exporter of fragile_buffer.c, built for this interpreter."""
    compiler = shutil.which("gcc") or shutil.which("cc")
    if compiler is None:
        pytest.skip("no C compiler")
    folder = tmp_path_factory.mktemp("fragile")
    target = folder / ("fragile_buffer" + sysconfig.get_config_var("EXT_SUFFIX"))
    subprocess.run([compiler, "-shared", "-fPIC", "-O1", "-I", sysconfig.get_paths()["include"],
                    str(HERE / "exporter" / "fragile_buffer.c"), "-o", str(target)],
                   check=True)
    sys.path.insert(0, str(folder))
    try:
        return importlib.import_module("fragile_buffer")
    finally:
        sys.path.remove(str(folder))


def test_arguments_are_read_while_their_buffer_is_held(fragile_buffer):
    # The exporter overwrites and frees its memory when the view is given
    # back: values read after that would be 12345 or garbage.
    Fragile = fragile_buffer.Fragile
    assert memoryview(Fragile([0.25, -0.5])).tolist() == [0.25, -0.5]
    objective = Recorder(sphere([0.3, -0.2]))
    f, x = minimize(objective, Fragile([0.25, -0.5]), Fragile([-1.0, -0.75]),
                    Fragile([0.5, 1.0]), MAX_BB_EVAL=60)
    assert objective.sequence()[0] == (0.25, -0.5)
    points = np.array(objective.points)
    assert (points >= [-1.0, -0.75]).all() and (points <= [0.5, 1.0]).all()
    assert f < 1e-3


def test_the_type_stub_accepts_typed_calls_and_refuses_wrong_ones(tmp_path):
    mypy = pytest.importorskip("mypy.api")
    stubs = tmp_path / "stubs"
    stubs.mkdir()
    shutil.copy(STUB, stubs / "libpyqarno.pyi")
    (tmp_path / "good.py").write_text(textwrap.dedent("""\
        import numpy as np
        import numpy.typing as npt
        import libpyqarno

        def f(x: npt.NDArray[np.float64]) -> float:
            return float(x @ x)

        value, point = libpyqarno.minimize(f, np.zeros(2), None, np.ones(2),
                                           MAX_BB_EVAL=10, DIRECTION_TYPE="N+1 UNI")
        best: float = value
        shape = point.shape
        version: str = libpyqarno.__version__
        """))
    (tmp_path / "bad.py").write_text(textwrap.dedent("""\
        import libpyqarno
        value, point = libpyqarno.minimize(lambda x: 0.0, [0.0, 1.0], None, None)
        text: str = value
        """))
    env_path = os.environ.get("MYPYPATH")
    os.environ["MYPYPATH"] = str(stubs)
    try:
        common = ["--no-incremental", "--cache-dir", os.devnull, "--python-version",
                  f"{sys.version_info.major}.{sys.version_info.minor}"]
        out, err, status = mypy.run(common + ["--strict", str(tmp_path / "good.py")])
        assert status == 0, out + err
        out, err, status = mypy.run(common + [str(tmp_path / "bad.py")])
    finally:
        if env_path is None:
            del os.environ["MYPYPATH"]
        else:
            os.environ["MYPYPATH"] = env_path
    assert status == 1
    assert 'Argument 2 to "minimize" has incompatible type "list[float]"' in out
    assert 'Incompatible types in assignment (expression has type "float", variable has type "str")' in out
