#include "support/PollSupport.hpp"

#include <cmath>

#include "Cache/CacheBase.hpp"
#include "Param/EvaluatorControlGlobalParameters.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvalSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;

namespace QarnoTest
{

Double PollMesh::scaleAndProjectOnMesh(size_t i, const Double& l) const
{
    return (getRho(i) * l).roundd() * getdeltaMeshSize(i);
}

Point PollMesh::projectOnMesh(const Point& point, const Point& frameCenter) const
{
    Point projected(point);
    for (size_t i = 0; i < point.size(); ++i)
    {
        const Double delta = getdeltaMeshSize(i);
        const double d = delta.todouble();
        const double c = frameCenter[i].todouble();
        const double origin = frameCenter[i].isMultipleOf(delta) ? 0.0 : c;
        projected[i] = origin + std::round((point[i].todouble() - origin) / d) * d;
    }
    return projected;
}

std::shared_ptr<PbParameters> makePollPbParams(const PollProblem& problem)
{
    // The barrier of the tree needs a cache; a harness started before keeps
    // its own.
    if (!CacheBase::hasInstance())
    {
        startCache({BBOutputType::OBJ});
    }
    auto pb = std::make_shared<PbParameters>();
    pb->setAttributeValue<size_t>("DIMENSION", problem.n);
    pb->setAttributeValue<Point>("X0", Point(problem.n, Double(1.0)));
    if (!problem.lowerBound.empty())
    {
        pb->setAttributeValue<ArrayOfDouble>("LOWER_BOUND", makeArray(problem.lowerBound));
    }
    if (!problem.upperBound.empty())
    {
        pb->setAttributeValue<ArrayOfDouble>("UPPER_BOUND", makeArray(problem.upperBound));
    }
    if (!problem.variableGroups.empty())
    {
        pb->setAttributeValue<ListOfVariableGroup>("VARIABLE_GROUP", problem.variableGroups);
    }
    pb->setAttributeValue<DirectionType>("DIRECTION_TYPE", problem.directionType);
    CerrCapture ignoreWarnings;
    pb->checkAndComply();
    return pb;
}

namespace
{
std::shared_ptr<RunParameters> makePollRunParams(const std::shared_ptr<PbParameters>& pb,
                                                 bool generateAllPointsBeforeEval)
{
    auto evcGlobal = std::make_shared<EvaluatorControlGlobalParameters>();
    evcGlobal->checkAndComply(nullptr);
    auto run = std::make_shared<RunParameters>();
    run->setAttributeValue<bool>("GENERATE_ALL_POINTS_BEFORE_EVAL", generateAllPointsBeforeEval);
    CerrCapture ignoreWarnings;
    run->checkAndComply(evcGlobal, pb);
    return run;
}

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

PollAlgorithm::PollAlgorithm(const Step* parent, const std::shared_ptr<RunParameters>& runParams,
                             const std::shared_ptr<PbParameters>& pbParams)
    : Algorithm(parent, std::make_shared<AlgoStopReasons<MadsStopType>>(), runParams, pbParams)
{
    setName("MADS");
}

std::shared_ptr<AlgoStopReasons<MadsStopType>> PollAlgorithm::madsStopReasons() const
{
    return AlgoStopReasons<MadsStopType>::get(getAllStopReasons());
}

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

PollTree::PollTree(const PollProblem& problem, const std::vector<double>& center,
                   const std::vector<double>& meshSize, const std::vector<double>& frameSize,
                   double centerF, double centerH)
    : pbParams(makePollPbParams(problem)), mesh(std::make_shared<PollMesh>(pbParams)),
      frameCenter(std::make_shared<EvalPoint>(
          makeEvalPoint(center, std::isnan(centerF) ? center.at(0) : centerF, centerH))),
      main("Main"),
      algo(&main, makePollRunParams(pbParams, problem.generateAllPointsBeforeEval), pbParams),
      mega(&algo, 1,
           std::make_shared<Barrier>(INF, Point(problem.n), EvalType::BB,
                                     std::vector<EvalPoint>{*frameCenter})),
      iteration(&mega, 1, mesh, frameCenter)
{
    mesh->setDeltas(makeArray(meshSize), makeArray(frameSize));
    // The algorithm works on its own copy of the problem parameters.
    pbParams = algo.getPbParams();
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
