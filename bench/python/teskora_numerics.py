"""The surrogate library's dense numerics next to NumPy/SciPy, one thread each.

Runs the C++ benchmark TeskoraNumericsBenchmark (Google Benchmark, JSON
output) and then the same computations on the same matrices in NumPy/SciPy,
in one process run, so that both sets of figures see the same machine load:

    python3 bench/python/teskora_numerics.py build/dev/bench/TeskoraNumericsBenchmark

NumPy and SciPy run their single-threaded BLAS/LAPACK (OMP_NUM_THREADS=1,
OPENBLAS_NUM_THREADS=1, set before they are imported). Every NumPy figure is
the best of several repetitions, as Google Benchmark's mean is taken over
many iterations of a warm loop.

Peers:
- LU inverse: numpy.linalg.inv; Cholesky: numpy.linalg.cholesky;
  SVD: numpy.linalg.svd (both factors); SVD inverse: the SVD, then V W^-1 U'.
- Kriging fit (coefficients fixed, distances kept): correlations exp(-d^2)
  with the nugget on the diagonal, Cholesky factor, generalised least-squares
  trend, residual weights and variance (scipy.linalg).
- Kriging build without tuning: standardised inputs and outputs, the distance
  table, two fits and the closed-form leave-one-out values, which is what the
  library's build does with BUDGET 0 (a fit closes the empty tuning and judges
  it by its leave-one-out order error, then the final fit).
The tuned build (300 trials) has no peer; its figure is shown alone.
"""
import os

os.environ.setdefault("OMP_NUM_THREADS", "1")
os.environ.setdefault("OPENBLAS_NUM_THREADS", "1")
os.environ.setdefault("MKL_NUM_THREADS", "1")

import argparse
import json
import subprocess
import sys
import timeit

import numpy as np
import scipy.linalg
import scipy.spatial.distance

MASK = (1 << 64) - 1


def uniform(i, k):
    """bench/support/PseudoRandom.hpp's uniform(i, k), vectorised."""
    with np.errstate(over="ignore"):
        x = (np.asarray(i, dtype=np.uint64) * np.uint64(0x100000001B3) + np.asarray(k, dtype=np.uint64))
        x = x + np.uint64(0x9E3779B97F4A7C15)
        x = (x ^ (x >> np.uint64(30))) * np.uint64(0xBF58476D1CE4E5B9)
        x = (x ^ (x >> np.uint64(27))) * np.uint64(0x94D049BB133111EB)
        x = x ^ (x >> np.uint64(31))
    return (x >> np.uint64(11)).astype(np.float64) * 2.0**-53


def general(p):
    i, j = np.meshgrid(np.arange(p), np.arange(p), indexing="ij")
    return uniform(i, j) * 2.0 - 1.0


def spd(p):
    a = general(p)
    return a @ a.T + p * np.eye(p)


def kriging_set(p):
    i, k = np.meshgrid(np.arange(1000, 1000 + p), np.arange(10), indexing="ij")
    x = uniform(i, k) * 4.0 - 2.0
    z = (np.sin(x * (np.arange(10) + 1)) + 0.1 * x * x).sum(axis=1, keepdims=True)
    return x, z


RIDGE = 1e-10


def kriging_fit(d, zs, nvar):
    p = d.shape[0]
    r = np.exp(-(d**2))
    r[np.diag_indices(p)] = 1.0 + RIDGE
    lower = scipy.linalg.cholesky(r, lower=True)
    y1 = scipy.linalg.solve_triangular(lower, np.ones(p), lower=True)
    s0 = y1 @ y1
    y = scipy.linalg.solve_triangular(lower, zs, lower=True)
    beta = y1 @ y / s0
    y = y - np.outer(y1, beta)
    var = (y * y).sum(axis=0) / (p - nvar)
    alpha = scipy.linalg.solve_triangular(lower.T, y, lower=False)
    return lower, y1, s0, alpha, beta, var


def kriging_build(x, z):
    xs = (x - x.mean(axis=0)) / x.std(axis=0, ddof=1)
    zs = (z - z.mean(axis=0)) / z.std(axis=0, ddof=1)
    d = scipy.spatial.distance.cdist(xs, xs)
    nvar = x.shape[1]
    lower, y1, s0, alpha, beta, var = kriging_fit(d, zs, nvar)
    # Leave-one-out values: Zs - diag(Q)^-1 alpha, Q = R^-1 - R^-1 1 1' R^-1 / s0.
    li = scipy.linalg.solve_triangular(lower, np.eye(len(d)), lower=True)
    ri1 = li.T @ y1
    dq = (li * li).sum(axis=0) - ri1 * ri1 / s0
    zv = zs - alpha / dq[:, None]
    # The order error of the leave-one-out values, over all ordered pairs.
    wrong = np.count_nonzero((zs[:, 0][:, None] < zs[:, 0][None, :]) != (zv[:, 0][:, None] < zv[:, 0][None, :]))
    kriging_fit(d, zs, nvar)
    return wrong


def best_ms(f, min_time=0.2):
    number = 1
    while True:
        t = timeit.timeit(f, number=number)
        if t >= min_time or number >= 1 << 20:
            break
        number *= 2
    return min(timeit.repeat(f, number=number, repeat=5)) / number * 1e3


def numpy_figures():
    a = general(200)
    s = spd(200)

    def svd_inverse():
        u, w, vt = np.linalg.svd(a)
        return (vt.T / w) @ u.T

    figures = {
        "BM_LuInverse/200": best_ms(lambda: np.linalg.inv(a)),
        "BM_Cholesky/200": best_ms(lambda: np.linalg.cholesky(s)),
        "BM_SvdDecomposition/200": best_ms(lambda: np.linalg.svd(a)),
        "BM_SvdInverse/200": best_ms(svd_inverse),
    }
    for p in (100, 400):
        x, z = kriging_set(p)
        xs = (x - x.mean(axis=0)) / x.std(axis=0, ddof=1)
        zs = (z - z.mean(axis=0)) / z.std(axis=0, ddof=1)
        d = scipy.spatial.distance.cdist(xs, xs)
        figures[f"BM_KrigingFit/{p}"] = best_ms(lambda: kriging_fit(d, zs, 10))
        figures[f"BM_KrigingBuild/{p}"] = best_ms(lambda: kriging_build(x, z))
    return figures


def teskora_figures(program):
    out = subprocess.run(
        [program, "--benchmark_format=json", "--benchmark_min_time=0.2"],
        check=True,
        capture_output=True,
        text=True,
    ).stdout
    figures = {}
    for b in json.loads(out)["benchmarks"]:
        name = b["name"].split("/iterations:")[0]
        scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
        figures[name] = b["real_time"] * scale
    return figures


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("program", help="path of the TeskoraNumericsBenchmark executable")
    args = parser.parse_args()
    teskora = teskora_figures(args.program)
    peers = numpy_figures()
    print(f"NumPy {np.__version__}, SciPy {scipy.__version__}, one thread")
    print(f"{'computation':34} {'teskora ms':>11} {'NumPy/SciPy ms':>15} {'ratio':>7}")
    for name, ms in teskora.items():
        peer = peers.get(name)
        if peer is None:
            print(f"{name:34} {ms:11.3f} {'-':>15} {'-':>7}")
        else:
            print(f"{name:34} {ms:11.3f} {peer:15.3f} {ms / peer:7.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
