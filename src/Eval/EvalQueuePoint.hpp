#ifndef QARNO_EVAL_EVALQUEUEPOINT_HPP
#define QARNO_EVAL_EVALQUEUEPOINT_HPP

#include <cstddef>
#include <memory>
#include <string>
#include <utility>

#include "Eval/EvalPoint.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Type/EvalType.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

/// An entry of the evaluation queue: the point to evaluate, the kind of
/// evaluation asked for, and the context of the step that generated it
/// (comment, step name, mesh and frame sizes, iteration number), which the
/// statistics lines show. The queue records the outcome in it.
class EvalQueuePoint : public EvalPoint
{
public:
    EvalQueuePoint(const EvalPoint& evalPoint, EvalType evalType)
        : EvalPoint(evalPoint), _evalType(evalType)
    {
    }
    EvalQueuePoint(EvalPoint&& evalPoint, EvalType evalType)
        : EvalPoint(std::move(evalPoint)), _evalType(evalType)
    {
    }
    ~EvalQueuePoint() override = default;

    EvalType getEvalType() const { return _evalType; }

    SuccessType getSuccess() const { return _success; }
    void setSuccess(SuccessType success) { _success = success; }

    bool getRelativeSuccess() const { return _relativeSuccess; }
    void setRelativeSuccess(bool relativeSuccess) { _relativeSuccess = relativeSuccess; }

    const std::string& getComment() const { return orEmpty(_comment); }
    void setComment(const std::string& comment)
    {
        _comment = std::make_shared<const std::string>(comment);
    }
    /// The points a step queues at once share its texts: a copy per point
    /// is an allocation per point for a name of more than a few letters.
    void setComment(std::shared_ptr<const std::string> comment) { _comment = std::move(comment); }

    const std::string& getGenStep() const { return orEmpty(_genStep); }
    void setGenStep(const std::string& genStep)
    {
        _genStep = std::make_shared<const std::string>(genStep);
    }
    void setGenStep(std::shared_ptr<const std::string> genStep) { _genStep = std::move(genStep); }

    /// Empty when not set.
    const ArrayOfDouble& getMeshSize() const { return orEmpty(_meshSize); }
    void setMeshSize(const ArrayOfDouble& meshSize)
    {
        _meshSize = std::make_shared<const ArrayOfDouble>(meshSize);
    }
    /// The points of one iteration share its sizes: a copy per point would
    /// weigh as much as the points themselves.
    void setMeshSize(std::shared_ptr<const ArrayOfDouble> meshSize)
    {
        _meshSize = std::move(meshSize);
    }

    /// Empty when not set.
    const ArrayOfDouble& getFrameSize() const { return orEmpty(_frameSize); }
    void setFrameSize(const ArrayOfDouble& frameSize)
    {
        _frameSize = std::make_shared<const ArrayOfDouble>(frameSize);
    }
    void setFrameSize(std::shared_ptr<const ArrayOfDouble> frameSize)
    {
        _frameSize = std::move(frameSize);
    }

    size_t getK() const { return _k; }
    void setK(size_t k) { _k = k; }

    bool getInPhaseOne() const { return _inPhaseOne; }
    void setInPhaseOne(bool inPhaseOne) { _inPhaseOne = inPhaseOne; }

private:
    EvalType _evalType;
    SuccessType _success = SuccessType::NOT_EVALUATED;
    /// A blackbox success that also became its main thread's best incumbent.
    bool _relativeSuccess = false;
    std::shared_ptr<const std::string> _comment;
    std::shared_ptr<const std::string> _genStep;

    static const std::string& orEmpty(const std::shared_ptr<const std::string>& text)
    {
        static const std::string empty;
        return text ? *text : empty;
    }
    static const ArrayOfDouble& orEmpty(const std::shared_ptr<const ArrayOfDouble>& a)
    {
        static const ArrayOfDouble empty;
        return a ? *a : empty;
    }

    std::shared_ptr<const ArrayOfDouble> _meshSize;
    std::shared_ptr<const ArrayOfDouble> _frameSize;
    size_t _k = 0;
    bool _inPhaseOne = false;
};

using EvalQueuePointPtr = std::shared_ptr<EvalQueuePoint>;

} // namespace QARNO_4_0_0

#endif
