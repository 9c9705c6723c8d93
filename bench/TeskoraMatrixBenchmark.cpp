// The surrogate library's numerics. The dense algebra under every model: the
// product of two p x p matrices, the Cholesky factor and the LU inverse of a
// p x p matrix, for p = 100, 500 and 1000 (training sets of that many points
// make kernel and kriging matrices of that size); each is O(p^3). Then the
// training set (below).

#include <benchmark/benchmark.h>

#include "support/PseudoRandom.hpp"
#include "teskora/Matrix.hpp"
#include "teskora/TrainingSet.hpp"

using QarnoBench::uniform;
using TESKORA::Matrix;

namespace
{

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

// The training set under a model search: one build of p points of n = 10
// inputs and 2 outputs (statistics, scaling, the p x p distance table), and
// p points added one at a time followed by one build.

namespace
{

Matrix trainingInputs(int p)
{
    Matrix X("X", p, 10);
    for (int i = 0; i < p; ++i)
        for (int j = 0; j < 10; ++j)
            X.set(i, j, uniform(3000 + i, j));
    return X;
}

// An objective and a constraint satisfied by about half of the points.
Matrix trainingOutputs(int p)
{
    Matrix Z("Z", p, 2);
    for (int i = 0; i < p; ++i)
    {
        Z.set(i, 0, uniform(5000 + i, 0));
        Z.set(i, 1, uniform(7000 + i, 1) - 0.5);
    }
    return Z;
}

void BM_TrainingSetBuild(benchmark::State& state)
{
    const int p = static_cast<int>(state.range(0));
    const Matrix X = trainingInputs(p), Z = trainingOutputs(p);
    for (auto _ : state)
    {
        TESKORA::TrainingSet ts(X, Z);
        ts.build();
        benchmark::DoNotOptimize(ts.get_Ds(p - 1, 0));
    }
}

void BM_TrainingSetAddPointByPoint(benchmark::State& state)
{
    const int p = static_cast<int>(state.range(0));
    const Matrix X = trainingInputs(p), Z = trainingOutputs(p);
    for (auto _ : state)
    {
        TESKORA::TrainingSet ts(Matrix("X", 0, 10), Matrix("Z", 0, 2));
        for (int i = 0; i < p; ++i)
            ts.add_points(X.get_row(i), Z.get_row(i));
        ts.build();
        benchmark::DoNotOptimize(ts.get_Ds(p - 1, 0));
    }
}

} // namespace

BENCHMARK(BM_TrainingSetBuild)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrainingSetAddPointByPoint)->Arg(1000)->Unit(benchmark::kMillisecond);
