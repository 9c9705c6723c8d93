#include "support/PollSupport.hpp"

#include <cmath>

#include "Cache/CacheBase.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvalSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;

namespace QarnoTest
{

std::shared_ptr<PbParameters> makePollPbParams(const PollProblem& problem)
{
    // The barrier of the tree needs a cache; a harness started before keeps
    // its own.
    if (!CacheBase::hasInstance())
    {
        startCache({BBOutputType::OBJ});
    }
    StepTreeOptions options;
    options.dimension = problem.n;
    options.lowerBound = problem.lowerBound;
    options.upperBound = problem.upperBound;
    options.directionType = problem.directionType;
    options.variableGroups = problem.variableGroups;
    return makeTreePbParams(options);
}

namespace
{
std::vector<double> plain(const ArrayOfDouble& a)
{
    std::vector<double> values;
    values.reserve(a.size());
    for (size_t i = 0; i < a.size(); ++i)
    {
        values.push_back(a[i].todouble());
    }
    return values;
}
} // namespace

FixedDirectionsPollMethod::FixedDirectionsPollMethod(
    const Step* parent, const std::vector<std::vector<double>>& directions)
    : PollMethodBase(parent), _directions(directions)
{
    setName("Fixed Poll Method");
}

void FixedDirectionsPollMethod::generateUnitPollDirections(std::list<Direction>& directions,
                                                           size_t n) const
{
    requestedDimensions.push_back(n);
    directions.clear();
    for (const auto& d : _directions)
    {
        directions.emplace_back(makeArray(d));
    }
}

StepTreeOptions pollTree(const PollProblem& problem, const std::vector<double>& center,
                         const std::vector<double>& meshSize, const std::vector<double>& frameSize,
                         double centerF, double centerH)
{
    StepTreeOptions options;
    options.pbParams = makePollPbParams(problem);
    const bool generateAll = problem.generateAllPointsBeforeEval;
    options.setRun = [generateAll](RunParameters& run)
    { run.setAttributeValue<bool>("GENERATE_ALL_POINTS_BEFORE_EVAL", generateAll); };
    options.stopReasons = newMadsStopReasons();
    options.frameCenter = std::make_shared<EvalPoint>(
        makeEvalPoint(center, std::isnan(centerF) ? center.at(0) : centerF, centerH));
    options.barrierPoints = {*options.frameCenter};
    options.meshSize = meshSize;
    options.frameSize = frameSize;
    return options;
}

std::vector<std::vector<double>> coordinatesOf(const std::list<Direction>& directions)
{
    std::vector<std::vector<double>> values;
    for (const auto& d : directions)
    {
        values.push_back(plain(d));
    }
    return values;
}

} // namespace QarnoTest
