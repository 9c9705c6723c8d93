#include "support/StepSupport.hpp"

#include <cmath>
#include <utility>

#include "Util/AllStopReasons.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

namespace QarnoTest
{

using namespace QARNO_4_0_0;

std::shared_ptr<PbParameters> makeCheckedPbParams(size_t dimension)
{
    StepTreeOptions options;
    options.dimension = dimension;
    return makeTreePbParams(options);
}

std::shared_ptr<RunParameters> makeCheckedRunParams(size_t dimension,
                                                    bool generateAllPointsBeforeEval,
                                                    bool hotRestartOnUserInterrupt)
{
    return makeRunParams(makeCheckedPbParams(dimension),
                         [&](RunParameters& run)
                         {
                             run.setAttributeValue<bool>("GENERATE_ALL_POINTS_BEFORE_EVAL",
                                                         generateAllPointsBeforeEval);
                             run.setAttributeValue<bool>("HOT_RESTART_ON_USER_INTERRUPT",
                                                         hotRestartOnUserInterrupt);
                         });
}

std::shared_ptr<RunParameters> makeIterationRunParams(bool userCallsEnabled, size_t maxIterPerMega)
{
    return makeRunParams(makeCheckedPbParams(2),
                         [&](RunParameters& run)
                         {
                             run.setAttributeValue<bool>("USER_CALLS_ENABLED", userCallsEnabled);
                             run.setAttributeValue<size_t>("MAX_ITERATION_PER_MEGAITERATION",
                                                           maxIterPerMega);
                         });
}

std::shared_ptr<RunParameters> makeHotRestartRunParams(size_t dimension, bool readFiles,
                                                       bool writeFiles,
                                                       const std::string& hotRestartFile)
{
    return makeRunParams(makeCheckedPbParams(dimension),
                         [&](RunParameters& run)
                         {
                             run.setAttributeValue<bool>("HOT_RESTART_READ_FILES", readFiles);
                             run.setAttributeValue<bool>("HOT_RESTART_WRITE_FILES", writeFiles);
                             if (!hotRestartFile.empty())
                             {
                                 run.setAttributeValue<std::string>("HOT_RESTART_FILE",
                                                                    hotRestartFile);
                             }
                         });
}

RecordingStep::RecordingStep(const std::string& name) : Step()
{
    setName(name);
}

RecordingStep::RecordingStep(const Step* parent, const std::string& name) : Step(parent)
{
    setName(name);
}

void RecordingStep::startImp()
{
    calls.push_back("start");
}

bool RecordingStep::runImp()
{
    calls.push_back("run");
    return runResult;
}

void RecordingStep::endImp()
{
    calls.push_back("end");
}

FixedMesh::FixedMesh(const std::shared_ptr<PbParameters>& pbParams)
    : MeshBase(pbParams), _delta(_initialMeshSize), _Delta(_initialFrameSize)
{
}

Double FixedMesh::getRho(size_t i) const
{
    return _Delta[i] / _delta[i];
}

Double FixedMesh::getDeltaFrameSizeCoarser(size_t i) const
{
    return _Delta[i] * 2.0;
}

void FixedMesh::setDeltas(size_t i, const Double& deltaMeshSize, const Double& deltaFrameSize)
{
    ++setDeltasCalls;
    _delta[i] = deltaMeshSize;
    _Delta[i] = deltaFrameSize;
}

Double FixedMesh::scaleAndProjectOnMesh(size_t i, const Double& l) const
{
    return MeshBase::scaleAndProjectOnMesh(i, l);
}

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

Point ProjectingMesh::projectOnMesh(const Point& point, const Point& frameCenter) const
{
    Point projected(point);
    for (size_t i = 0; i < point.size(); ++i)
    {
        const double delta = getdeltaMeshSize(i).todouble();
        const double center = frameCenter[i].todouble();
        projected[i] = center + std::round((point[i].todouble() - center) / delta) * delta;
    }
    return projected;
}

} // namespace QarnoTest
