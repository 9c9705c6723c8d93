#include "Algos/NelderMead/NM.hpp"

#include <algorithm>
#include <iostream>
#include <limits>
#include <memory>

#include "Algos/EvcInterface.hpp"
#include "Algos/Initialization.hpp"
#include "Algos/Mads/MadsMegaIteration.hpp"
#include "Algos/NelderMead/NMInitialization.hpp"
#include "Algos/NelderMead/NMIteration.hpp"
#include "Algos/NelderMead/NMMegaIteration.hpp"
#include "Algos/StepException.hpp"
#include "Algos/Termination.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/Point.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/Exception.hpp"
#include "Util/FileUtils.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// The barrier of the nearest MADS mega-iteration above `step`, across
/// algorithms; empty when Nelder-Mead does not run below MADS.
std::shared_ptr<Barrier> enclosingMadsBarrier(const Step* step)
{
    for (const Step* s = step->getParentStep(); nullptr != s; s = s->getParentStep())
    {
        if (const auto* mega = dynamic_cast<const MadsMegaIteration*>(s))
        {
            return mega->getBarrier();
        }
    }
    return nullptr;
}
} // namespace

NM::NM(const Step* parentStep, std::shared_ptr<AllStopReasons> stopReasons,
       const std::shared_ptr<RunParameters>& runParams,
       const std::shared_ptr<PbParameters>& pbParams)
    : Algorithm(parentStep, std::move(stopReasons), runParams, pbParams),
      _simplexesSinceEvaluation(), _settings()
{
    init();
}

NM::~NM() = default;

void NM::init()
{
    std::string name = "NM";
    if (_runParams->getGenerateAllPointsBeforeEval())
    {
        name += " One Iteration";
    }
    setName(name);
    _settings = NMSettings::readOrKept(_runParams, _pbParams);
    _initialization = std::make_unique<NMInitialization>(this);
}

void NM::startImp()
{
    // No hot-restart read and no lap budget here: a child NM runs under the
    // lap budget its search method set.
    _stopReasons->setStarted();
    _simplexesSinceEvaluation.clear();

    const auto& evc = EvcInterface::getEvaluatorControl();
    if (nullptr == evc)
    {
        QARNO_THROW(StepException,
                    "An EvaluatorControl must exist to run the algorithm " + getName(), this);
    }
    evc->resetLapBbEval();

    _initialization->start();
    _initialization->run();
    _initialization->end();
}

bool NM::runImp()
{
    _algoSuccessful = false;
    _algoBestSuccess = SuccessType::NOT_EVALUATED;

    // Unlike the other algorithms, a Nelder-Mead run that starts while its
    // stop reasons already terminate reports nothing: no termination step.
    if (_stopReasons->checkTerminate())
    {
        return false;
    }

    const bool alone = _settings->optimization;
    MegaIterationState state;
    state.barrier = alone ? _initialization->getBarrier() : enclosingMadsBarrier(this);

    // A Nelder-Mead mega-iteration raises its own k and counts no iteration
    // as run: getNextK() numbers them 0, 2, 4, ...
    NMSimplexPtr simplex;
    const auto outcome = runMegaIterations(
        state, KAdvance::NEXT_K,
        [this, alone, &simplex](const MegaIterationState& s)
        {
            auto megaIteration = std::make_unique<NMMegaIteration>(this, s.k, s.barrier, s.success);
            if (alone)
            {
                megaIteration->continueSimplex(simplex);
            }
            return megaIteration;
        },
        [alone, &simplex](MegaIteration& ended)
        {
            const auto& iteration = static_cast<NMMegaIteration&>(ended).getNMIteration();
            if (alone && nullptr != iteration)
            {
                simplex = iteration->getY();
            }
        });
    // The success the search method hands to MADS: any mega-iteration that
    // found a better point, and the best success type reached.
    _algoSuccessful = outcome.anyRunSuccess;
    _algoBestSuccess = outcome.bestSuccess;

    // Kept for the hot-restart file: the next k and the final barrier.
    _megaIteration = std::make_shared<NMMegaIteration>(this, state.k, state.barrier, state.success);

    runTermination();
    return _algoSuccessful;
}

bool NM::simplexMetBefore(const NMSimplex& Y)
{
    std::vector<std::vector<double>> points;
    points.reserve(Y.size());
    for (const EvalPoint& y : Y)
    {
        std::vector<double> coords(y.size());
        for (size_t i = 0; i < y.size(); ++i)
        {
            coords[i] = y[i].todouble();
        }
        points.push_back(std::move(coords));
    }
    // The order of Y may depend on the order of insertion: the points alone
    // make the simplex.
    std::sort(points.begin(), points.end());
    return !_simplexesSinceEvaluation.insert(std::move(points)).second;
}

void NM::endImp()
{
    Algorithm::endImp();
}

void NM::readInformationForHotRestart()
{
    if (!_runParams->getAttributeValue<bool>("HOT_RESTART_READ_FILES"))
    {
        return;
    }
    const std::string& fileName = _runParams->getAttributeValue<std::string>("HOT_RESTART_FILE");
    if (!checkReadFile(fileName))
    {
        return;
    }
    std::cout << "Read hot restart file " << fileName << std::endl;

    const size_t n = _pbParams->getAttributeValue<size_t>("DIMENSION");
    std::shared_ptr<Barrier> barrier;
    try
    {
        barrier = std::make_shared<Barrier>(Double(std::numeric_limits<double>::max()), Point(n),
                                            EvalType::BB);
    }
    catch (const Exception&)
    {
        // Without evaluated points in the cache the file has nothing to
        // continue from.
        return;
    }
    _megaIteration =
        std::make_shared<NMMegaIteration>(this, 0, barrier, SuccessType::NOT_EVALUATED);
    QARNO_4_0_0::read<NM>(*this, fileName);
}

} // namespace QARNO_4_0_0
