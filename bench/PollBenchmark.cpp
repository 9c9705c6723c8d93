// One poll of MADS on the granular mesh: the 2n Ortho 2N directions, their
// scaling onto the mesh, and for each trial point the snap to the bounds,
// the projection around the frame centre and the insertion into the
// de-duplicating trial-point set. Each of the 2n points costs O(n), so the
// time per generated point should grow about linearly in n.

#include <benchmark/benchmark.h>

#include <iostream>
#include <memory>
#include <sstream>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/Algorithm.hpp"
#include "Algos/Iteration.hpp"
#include "Algos/Mads/GMesh.hpp"
#include "Algos/Mads/Ortho2NPollMethod.hpp"
#include "Eval/EvalPoint.hpp"
#include "Math/RNG.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "support/AllocationCounter.hpp"

using namespace QARNO_4_0_0;

namespace
{

class RootStep : public Step
{
protected:
    void startImp() override {}
    bool runImp() override { return true; }
    void endImp() override {}
};

class BenchAlgorithm : public Algorithm
{
public:
    BenchAlgorithm(const Step* parent, const std::shared_ptr<RunParameters>& run,
                   const std::shared_ptr<PbParameters>& pb)
        : Algorithm(parent, std::make_shared<AlgoStopReasons<MadsStopType>>(), run, pb)
    {
    }
    void readInformationForHotRestart() override {}

protected:
    void startImp() override {}
    bool runImp() override { return true; }
    void endImp() override {}
};

class BenchIteration : public Iteration
{
public:
    BenchIteration(const Step* parent, std::shared_ptr<MeshBase> mesh,
                   std::shared_ptr<EvalPoint> frameCenter)
        : Iteration(parent, 1), _mesh(std::move(mesh)), _frameCenter(std::move(frameCenter))
    {
    }
    std::shared_ptr<MeshBase> getMesh() const override { return _mesh; }
    std::shared_ptr<EvalPoint> getFrameCenter() const override { return _frameCenter; }

protected:
    void startImp() override {}
    bool runImp() override { return true; }

private:
    std::shared_ptr<MeshBase> _mesh;
    std::shared_ptr<EvalPoint> _frameCenter;
};

/// A problem of dimension n in [-10, 10]^n, a mesh refined a few times and
/// a frame centre on it.
struct PollSetting
{
    explicit PollSetting(size_t n)
    {
        // The parameter checks report what they complete; not part of the
        // figures.
        std::ostringstream sink;
        auto* previous = std::cout.rdbuf(sink.rdbuf());
        pb = std::make_shared<PbParameters>();
        pb->setAttributeValue<size_t>("DIMENSION", n);
        pb->setAttributeValue<Point>("X0", Point(n, Double(0.0)));
        pb->setAttributeValue<ArrayOfDouble>("LOWER_BOUND", ArrayOfDouble(n, Double(-10.0)));
        pb->setAttributeValue<ArrayOfDouble>("UPPER_BOUND", ArrayOfDouble(n, Double(10.0)));
        pb->checkAndComply();
        auto evcGlobal = std::make_shared<EvaluatorControlGlobalParameters>();
        evcGlobal->checkAndComply(nullptr);
        run = std::make_shared<RunParameters>();
        run->checkAndComply(evcGlobal, pb);
        algo = std::make_unique<BenchAlgorithm>(&root, run, pb);
        auto gmesh = std::make_shared<GMesh>(algo->getPbParams());
        for (int k = 0; k < 3; ++k)
        {
            gmesh->refineDeltaFrameSize();
        }
        Point center(n);
        for (size_t i = 0; i < n; ++i)
        {
            center[i] = gmesh->getdeltaMeshSize(i) * static_cast<double>(i % 7);
        }
        iteration = std::make_unique<BenchIteration>(algo.get(), gmesh,
                                                     std::make_shared<EvalPoint>(center));
        std::cout.rdbuf(previous);
    }

    RootStep root;
    std::shared_ptr<PbParameters> pb;
    std::shared_ptr<RunParameters> run;
    std::unique_ptr<BenchAlgorithm> algo;
    std::unique_ptr<BenchIteration> iteration;
};

void BM_PollOrtho2N(benchmark::State& state)
{
    const size_t n = static_cast<size_t>(state.range(0));
    // A run's usual display: the per-point lines are not even formatted.
    OutputQueue::getInstance()->setDisplayDegree(2);
    PollSetting setting(n);
    RNG::reset();
    size_t points = 0;
    const std::uint64_t before = QarnoBench::allocationCount();
    for (auto _ : state)
    {
        // A poll method serves one poll.
        Ortho2NPollMethod method(setting.iteration.get());
        method.generateTrialPoints();
        points += method.getTrialPointsCount();
        benchmark::DoNotOptimize(method.getTrialPoints());
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["points/poll"] = static_cast<double>(points) / iterations;
    state.counters["allocs/point"] =
        QarnoBench::allocationsPer(before, static_cast<double>(points));
    // Seconds per generated point, shown as a time.
    state.counters["time/point"] = benchmark::Counter(
        static_cast<double>(points), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PollOrtho2N)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace
