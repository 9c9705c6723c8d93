#include "Algos/LatinHypercube/LH.hpp"

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/EvcInterface.hpp"
#include "Eval/EvalPoint.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Math/LHS.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/Exception.hpp"
#include "Util/StopReasonTypes.hpp"

namespace QARNO_4_0_0
{

LH::LH(const Step* parentStep, std::shared_ptr<AllStopReasons> stopReasons,
       const std::shared_ptr<RunParameters>& runParams,
       const std::shared_ptr<PbParameters>& pbParams)
    : Algorithm(parentStep, std::move(stopReasons), runParams, pbParams), IterationUtils(this)
{
    init();
}

LH::~LH()
{
    _trialPoints.clear();
}

void LH::init()
{
    setName("Latin Hypercube Sampling");
    verifyParentNotNull();
}

void LH::startImp()
{
    // Replaces the algorithm's generic start: there is no initialization
    // step to run and no hot-restart information to read.
    generateTrialPoints();
}

void LH::generateTrialPoints()
{
    const std::string blockText = "Generate points for " + getName();
    AddOutputInfo(blockText, true, false);

    const auto p = _runParams->getAttributeValue<size_t>("LH_EVAL");
    if (std::numeric_limits<size_t>::max() == p)
    {
        QARNO_THROW(Exception, "The number of evaluations for LH cannot be infinite.");
    }

    const auto n = _pbParams->getAttributeValue<size_t>("DIMENSION");
    const ArrayOfDouble lowerBound = _pbParams->getAttributeValue<ArrayOfDouble>("LOWER_BOUND");
    if (!lowerBound.isComplete())
    {
        QARNO_THROW(Exception, getName() + " requires a complete lower bound vector");
    }
    const ArrayOfDouble upperBound = _pbParams->getAttributeValue<ArrayOfDouble>("UPPER_BOUND");
    if (!upperBound.isComplete())
    {
        QARNO_THROW(Exception, getName() + " requires a complete upper bound vector");
    }

    // A sample larger than the budget would be drawn (and held) for nothing,
    // and evaluated only in part, in the order of the trial-point set: a
    // sample of the size of the budget covers the whole box.
    size_t nbPoints = p;
    const auto& evc = EvcInterface::getEvaluatorControl();
    if (nullptr != evc)
    {
        nbPoints = std::min(p, evc->getRemainingEvalBudget());
        if (nbPoints < p && OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO))
        {
            AddOutputInfo("LH_EVAL " + std::to_string(p) + " reduced to " +
                          std::to_string(nbPoints) + ", the evaluations the budget allows");
        }
    }

    LHS lhs(n, nbPoints, lowerBound, upperBound);
    const std::vector<Point> sample = lhs.Sample();

    const bool showInfo = OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO);
    for (const auto& x : sample)
    {
        EvalPoint point(x);
        const bool inserted = insertTrialPoint(point);
        if (showInfo)
        {
            AddOutputInfo("Generated point" + std::string(inserted ? ": " : " not inserted: ") +
                          point.display());
        }
    }

    if (showInfo)
    {
        AddOutputInfo("Generated " + std::to_string(_trialPoints.size()) + " points");
    }
    AddOutputInfo(blockText, false, true);
}

bool LH::runImp()
{
    bool foundBetter = false;
    if (!_stopReasons->checkTerminate())
    {
        foundBetter = evalTrialPoints(this);
    }

    auto lhStopReasons = AlgoStopReasons<LHStopType>::get(_stopReasons);
    const auto& evc = EvcInterface::getEvaluatorControl();
    if (nullptr != evc && evc->testIf(EvalMainThreadStopType::ALL_POINTS_EVALUATED))
    {
        lhStopReasons->_algoStopReason.set(LHStopType::ALL_POINTS_EVALUATED);
    }
    return foundBetter;
}

} // namespace QARNO_4_0_0
