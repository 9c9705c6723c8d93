#include "Algos/NelderMead/NMSettings.hpp"

#include "Algos/NelderMead/NM.hpp"
#include "Algos/Step.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

std::shared_ptr<const NMSettings> NMSettings::read(const RunParameters& runParams,
                                                   const PbParameters& pbParams)
{
    auto settings = std::make_shared<NMSettings>();
    settings->optimization = runParams.getAttributeValue<bool>("NM_OPTIMIZATION");
    settings->stopOnSuccess = runParams.getAttributeValue<bool>("NM_SEARCH_STOP_ON_SUCCESS");
    settings->deltaE = runParams.getAttributeValue<Double>("NM_DELTA_E");
    settings->deltaIC = runParams.getAttributeValue<Double>("NM_DELTA_IC");
    settings->deltaOC = runParams.getAttributeValue<Double>("NM_DELTA_OC");
    settings->gamma = runParams.getAttributeValue<Double>("NM_GAMMA");
    settings->searchRankEps = runParams.getAttributeValue<Double>("NM_SEARCH_RANK_EPS");
    settings->includeLength = runParams.getAttributeValue<Double>("NM_SIMPLEX_INCLUDE_LENGTH");
    settings->includeFactor = runParams.getAttributeValue<size_t>("NM_SIMPLEX_INCLUDE_FACTOR");
    settings->maxIterationPerMegaIteration =
        runParams.getAttributeValue<size_t>("MAX_ITERATION_PER_MEGAITERATION");
    settings->dimension = pbParams.getAttributeValue<size_t>("DIMENSION");
    settings->lowerBound = pbParams.getAttributeValue<ArrayOfDouble>("LOWER_BOUND");
    settings->upperBound = pbParams.getAttributeValue<ArrayOfDouble>("UPPER_BOUND");
    return settings;
}

namespace
{

/// The last settings read, with the sets they were read from, held weakly,
/// and the sets' change counts then.
struct KeptSettings
{
    std::weak_ptr<RunParameters> runParams;
    std::weak_ptr<PbParameters> pbParams;
    size_t runChanges = 0;
    size_t pbChanges = 0;
    std::shared_ptr<const NMSettings> settings;
};

KeptSettings& keptSettings()
{
    static KeptSettings kept;
    return kept;
}

} // namespace

std::shared_ptr<const NMSettings>
NMSettings::readOrKept(const std::shared_ptr<RunParameters>& runParams,
                       const std::shared_ptr<PbParameters>& pbParams)
{
    KeptSettings& kept = keptSettings();
    if (nullptr != kept.settings && kept.runParams.lock() == runParams &&
        kept.pbParams.lock() == pbParams && kept.runChanges == runParams->getChangeCount() &&
        kept.pbChanges == pbParams->getChangeCount())
    {
        return kept.settings;
    }
    // Read before anything is kept: a read that throws keeps nothing.
    auto settings = read(*runParams, *pbParams);
    kept.runParams = runParams;
    kept.pbParams = pbParams;
    kept.runChanges = runParams->getChangeCount();
    kept.pbChanges = pbParams->getChangeCount();
    kept.settings = std::move(settings);
    return kept.settings;
}

void NMSettings::forgetKept()
{
    keptSettings() = KeptSettings();
}

bool NMSettings::keepsSettings()
{
    return nullptr != keptSettings().settings;
}

std::shared_ptr<const NMSettings> NMSettings::of(const Step& step)
{
    // The walk starts at the parent: the step itself may still be under
    // construction, and its type cannot be asked yet.
    for (const Step* s = step.getParentStep(); nullptr != s; s = s->getParentStep())
    {
        if (s->isAnAlgorithm())
        {
            if (const auto* nm = dynamic_cast<const NM*>(s))
            {
                return nm->getSettings();
            }
            break;
        }
    }
    const auto& runParams = step.getRunParams();
    const auto& pbParams = step.getPbParams();
    if (nullptr == runParams || nullptr == pbParams)
    {
        QARNO_THROW(Exception, "The Nelder-Mead steps need the run and problem parameters");
    }
    return read(*runParams, *pbParams);
}

} // namespace QARNO_4_0_0
