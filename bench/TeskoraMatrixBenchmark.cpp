// The dense algebra under every surrogate model: the product of two p x p
// matrices, the Cholesky factor and the LU inverse of a p x p matrix, for
// p = 100, 500 and 1000 (training sets of that many points make kernel and
// kriging matrices of that size). Each operation is O(p^3).

#include <benchmark/benchmark.h>

#include "support/PseudoRandom.hpp"
#include "teskora/Matrix.hpp"

using QarnoBench::uniform;
using TESKORA::Matrix;

namespace {

Matrix filled(int p, std::uint64_t seed)
{
    Matrix M("M", p, p);
    for (int i = 0; i < p; ++i)
        for (int j = 0; j < p; ++j)
            M.set(i, j, uniform(seed * 100003 + i, j) * 2.0 - 1.0);
    return M;
}

// M M' + p I: symmetric positive definite and well conditioned.
Matrix spd(int p)
{
    const Matrix M = filled(p, 7);
    Matrix A = Matrix::product(M, M.transpose());
    for (int i = 0; i < p; ++i)
        A.set(i, i, A.get(i, i) + p);
    return A;
}

void BM_Product(benchmark::State& state)
{
    const int p = static_cast<int>(state.range(0));
    const Matrix A = filled(p, 1), B = filled(p, 2);
    for (auto _ : state)
        benchmark::DoNotOptimize(Matrix::product(A, B));
}

void BM_Cholesky(benchmark::State& state)
{
    const Matrix A = spd(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(A.cholesky());
}

void BM_LuInverse(benchmark::State& state)
{
    const Matrix A = spd(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(A.lu_inverse());
}

} // namespace

BENCHMARK(BM_Product)->Arg(100)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cholesky)->Arg(100)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LuInverse)->Arg(100)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond);
