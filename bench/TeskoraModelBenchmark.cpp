// Model builds with parameter tuning: the tuner refits the model once per
// trial (up to BUDGET x the number of tuned values), so a build costs a few
// hundred fits. Kriging tunes its ridge and covariance pair, RBF its kernel
// coefficient; p points of n = 5 inputs, one smooth output.

#include <benchmark/benchmark.h>

#include "support/PseudoRandom.hpp"
#include "teskora/Surrogate.hpp"
#include "teskora/SurrogateFactory.hpp"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

using QarnoBench::uniform;
using TESKORA::Matrix;

namespace
{

TESKORA::TrainingSet smoothSet(int p)
{
    Matrix X("X", p, 5), Z("Z", p, 1);
    for (int i = 0; i < p; ++i)
    {
        double f = 0.0;
        for (int j = 0; j < 5; ++j)
        {
            const double x = uniform(9000 + i, j) * 4.0 - 2.0;
            X.set(i, j, x);
            f += std::sin(x * (j + 1)) + 0.1 * x * x;
        }
        Z.set(i, 0, f);
    }
    return TESKORA::TrainingSet(X, Z);
}

void buildTuned(benchmark::State& state, const std::string& definition)
{
    const int p = static_cast<int>(state.range(0));
    for (auto _ : state)
    {
        TESKORA::TrainingSet ts = smoothSet(p);
        std::srand(1);
        std::unique_ptr<TESKORA::Surrogate, void (*)(TESKORA::Surrogate*)> model(
            TESKORA::Surrogate_Factory(ts, definition), TESKORA::surrogate_delete);
        benchmark::DoNotOptimize(model->build());
    }
}

void BM_KrigingBuildTuned(benchmark::State& state)
{
    buildTuned(state, "TYPE KRIGING");
}
void BM_RbfBuildTuned(benchmark::State& state)
{
    buildTuned(state, "TYPE RBF KERNEL_TYPE D1");
}

} // namespace

BENCHMARK(BM_KrigingBuildTuned)->Arg(200)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RbfBuildTuned)->Arg(200)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);
