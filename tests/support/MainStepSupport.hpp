#ifndef QARNO_TESTS_SUPPORT_MAINSTEPSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_MAINSTEPSUPPORT_HPP

// Depends on the library only: the test front end (tests/tools) is built
// from this file too.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Algos/Algorithm.hpp"
#include "Algos/MainStep.hpp"

namespace QarnoTest
{

/// A small evaluating algorithm for the runs of the main step: it keeps
/// `Algorithm::startImp` and `Algorithm::endImp`, evaluates its starting
/// points in its initialization and, in mega-iteration k, the two points
/// c - e_i and c + e_i (i = k mod n) around the first incumbent c of its
/// barrier, through the queue, so that the cache and the counters fill as in
/// a real run. Its mega-iterations write and read the hot-restart block of
/// the base class; it continues from a hot-restart file as MADS does.
class EvaluatingTestAlgorithm : public QARNO_4_0_0::Algorithm
{
public:
    EvaluatingTestAlgorithm(const QARNO_4_0_0::Step* parent,
                            std::shared_ptr<QARNO_4_0_0::AllStopReasons> stopReasons,
                            const std::shared_ptr<QARNO_4_0_0::RunParameters>& runParams,
                            const std::shared_ptr<QARNO_4_0_0::PbParameters>& pbParams,
                            const std::string& name);

    /// With HOT_RESTART_READ_FILES and a readable HOT_RESTART_FILE: an empty
    /// mega-iteration (k 0, a barrier from the cache) filled from the file.
    void readInformationForHotRestart() override;

    /// The numbers k of the mega-iterations run, in order.
    std::vector<size_t> megaIterationsRun;
    /// Called after every mega-iteration (before the interrupt test), with
    /// its k; a test may raise a signal there.
    std::function<void(size_t)> afterMegaIteration;

protected:
    bool runImp() override;
};

/// A main step whose algorithms are `EvaluatingTestAlgorithm`s, named after their
/// kind ("MADS", "PhaseOne", ...). Records the kinds asked for.
class TestMainStep : public QARNO_4_0_0::MainStep
{
public:
    std::vector<QARNO_4_0_0::AlgoKind> kindsCreated;
    /// The pointers of the problem parameters handed to each algorithm.
    std::vector<std::shared_ptr<QARNO_4_0_0::PbParameters>> pbParamsGiven;
    /// Given to every algorithm made.
    std::function<void(size_t)> afterMegaIteration;

    using QARNO_4_0_0::MainStep::createAlgorithm;

protected:
    std::shared_ptr<QARNO_4_0_0::Algorithm>
    createAlgorithm(QARNO_4_0_0::AlgoKind kind,
                    std::shared_ptr<QARNO_4_0_0::AllStopReasons> stopReasons,
                    const std::shared_ptr<QARNO_4_0_0::PbParameters>& pbParams) override;
};

} // namespace QarnoTest

#endif
