// The surrogate library's dense numerics at the sizes its models build, for
// a side-by-side reading with NumPy/SciPy (bench/python/teskora_numerics.py
// runs this program and the same computations in NumPy in one go, with the
// same matrices): the LU inverse, the Cholesky factor and the singular value
// decomposition of a 200 x 200 matrix, and kriging on p = 100 and 400 points
// of n = 10 inputs: one fit with fixed coefficients, a whole build (training
// set included) without tuning, and the default build that tunes the ridge
// and the covariance pair.

#include <benchmark/benchmark.h>

#include "support/PseudoRandom.hpp"
#include "teskora/Surrogate.hpp"
#include "teskora/SurrogateFactory.hpp"
#include "teskora/SurrogateKriging.hpp"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

using QarnoBench::uniform;
using TESKORA::Matrix;

namespace
{

// Entries uniform in [-1, 1): well conditioned enough for every operation.
// The Python script builds the same matrix from the same generator.
Matrix general(int p)
{
    Matrix M("A", p, p);
    for (int i = 0; i < p; ++i)
        for (int j = 0; j < p; ++j)
            M.set(i, j, uniform(i, j) * 2.0 - 1.0);
    return M;
}

// A A' + p I: symmetric positive definite.
Matrix spd(int p)
{
    const Matrix A = general(p);
    Matrix S = Matrix::product(A, A.transpose());
    for (int i = 0; i < p; ++i)
        S.set(i, i, S.get(i, i) + p);
    return S;
}

void BM_LuInverse(benchmark::State& state)
{
    const Matrix A = general(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(A.lu_inverse());
}

void BM_Cholesky(benchmark::State& state)
{
    const Matrix A = spd(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(A.cholesky());
}

void BM_SvdDecomposition(benchmark::State& state)
{
    const Matrix A = general(static_cast<int>(state.range(0)));
    for (auto _ : state)
    {
        std::string message;
        Matrix *U = nullptr, *W = nullptr, *V = nullptr;
        benchmark::DoNotOptimize(A.SVD_decomposition(message, U, W, V, 0));
        delete U;
        delete W;
        delete V;
    }
}

void BM_SvdInverse(benchmark::State& state)
{
    const Matrix A = general(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(A.SVD_inverse());
}

BENCHMARK(BM_LuInverse)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cholesky)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SvdDecomposition)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SvdInverse)->Arg(200)->Unit(benchmark::kMillisecond);

// p points of 10 inputs in [-2, 2), one smooth output.
TESKORA::TrainingSet krigingSet(int p)
{
    Matrix X("X", p, 10), Z("Z", p, 1);
    for (int i = 0; i < p; ++i)
    {
        double f = 0.0;
        for (int k = 0; k < 10; ++k)
        {
            const double x = uniform(1000 + i, k) * 4.0 - 2.0;
            X.set(i, k, x);
            f += std::sin(x * (k + 1)) + 0.1 * x * x;
        }
        Z.set(i, 0, f);
    }
    return TESKORA::TrainingSet(X, Z);
}

// Nothing tuned: BUDGET 0 keeps the default covariance pair (2, 1).
const char* const FIXED_KRIGING = "TYPE KRIGING RIDGE 1e-10 BUDGET 0";

// One fit of a built model: correlations, factor, trend, weights and
// variance (the distance table is kept from the build).
void BM_KrigingFit(benchmark::State& state)
{
    TESKORA::TrainingSet ts = krigingSet(static_cast<int>(state.range(0)));
    TESKORA::Surrogate_Kriging model(ts, TESKORA::Surrogate_Parameters(FIXED_KRIGING));
    if (!model.build())
        state.SkipWithError("the kriging model does not build");
    for (auto _ : state)
        benchmark::DoNotOptimize(model.build_private());
}

// A whole build from the raw points: training set (scaling, distances),
// then the model (a fit to close the empty tuning, and the final fit).
void BM_KrigingBuild(benchmark::State& state)
{
    const int p = static_cast<int>(state.range(0));
    for (auto _ : state)
    {
        TESKORA::TrainingSet ts = krigingSet(p);
        TESKORA::Surrogate_Kriging model(ts, TESKORA::Surrogate_Parameters(FIXED_KRIGING));
        benchmark::DoNotOptimize(model.build());
    }
}

// The default definition: ridge and covariance pair tuned against the
// leave-one-out order error, 300 trials.
void BM_KrigingBuildTuned(benchmark::State& state)
{
    const int p = static_cast<int>(state.range(0));
    for (auto _ : state)
    {
        TESKORA::TrainingSet ts = krigingSet(p);
        std::srand(1);
        std::unique_ptr<TESKORA::Surrogate, void (*)(TESKORA::Surrogate*)> model(
            TESKORA::Surrogate_Factory(ts, "TYPE KRIGING"), TESKORA::surrogate_delete);
        benchmark::DoNotOptimize(model->build());
    }
}

} // namespace

BENCHMARK(BM_KrigingFit)->Arg(100)->Arg(400)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KrigingBuild)->Arg(100)->Arg(400)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KrigingBuildTuned)->Arg(100)->Arg(400)->Iterations(1)->Unit(benchmark::kMillisecond);
