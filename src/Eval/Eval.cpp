#include "Eval/Eval.hpp"

#include <cmath>
#include <iostream>

#include "Param/EvalParameters.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

bool hasConstraint(const BBOutputTypeList& bbOutputType)
{
    for (const auto& type : bbOutputType)
    {
        if (isConstraint(type))
        {
            return true;
        }
    }
    return false;
}

} // namespace

Eval::ComputeHFunction Eval::_computeH = Eval::defaultComputeH;
Eval::ComputeHComponentFunction Eval::_computeHComponent = Eval::defaultComputeHComponent;
Eval::ComputeSuccessFunction Eval::_computeSuccessType = Eval::defaultComputeSuccessType;

void Eval::resetComputeRules()
{
    _computeH = defaultComputeH;
    _computeHComponent = defaultComputeHComponent;
    _computeSuccessType = defaultComputeSuccessType;
}

Eval::Eval()
    : _toRecompute(false), _f(), _h(INF), _evalStatus(EvalStatusType::EVAL_STATUS_UNDEFINED),
      _bbOutput("", true), _bbOutputComplete(false)
{
}

Eval::Eval(const std::shared_ptr<EvalParameters>& evalParams, const BBOutput& bbOutput) : Eval()
{
    _toRecompute = true;
    _bbOutput = bbOutput;
    interpretOutput(evalParams->getAttributeValue<BBOutputTypeList>("BB_OUTPUT_TYPE"));
}

void Eval::warnIfStale(const char* operation) const
{
    if (_toRecompute)
    {
        std::cerr << "Warning: Eval::" << operation
                  << "() called on an Eval that needs to be recomputed." << std::endl;
    }
}

Double Eval::getF() const
{
    warnIfStale("getF");
    return _f;
}

void Eval::setF(const Double& f)
{
    _f = f;
    _evalStatus = f.isDefined() ? EvalStatusType::EVAL_OK : EvalStatusType::EVAL_FAILED;
}

Double Eval::getH() const
{
    warnIfStale("getH");
    return _h;
}

void Eval::setH(const Double& h)
{
    if (h.todouble() < -Double::getEpsilon())
    {
        QARNO_THROW(Exception, "Error: Trying to set a negative h (" + h.tostring() + ")");
    }
    _h = h;
}

void Eval::setBBOutput(const BBOutput& bbOutput)
{
    _bbOutput = bbOutput;
    _toRecompute = true;
    _bbOutputComplete = false;
}

void Eval::setBBO(const std::string& bbo, const BBOutputTypeList& bbOutputType, bool evalOk)
{
    _bbOutput.setBBO(bbo, evalOk);
    if (bbOutputType.empty())
    {
        _toRecompute = true;
        _bbOutputComplete = false;
        return;
    }
    interpretOutput(bbOutputType);
}

void Eval::setBBO(const std::vector<double>& values, const BBOutputTypeList& bbOutputType,
                  bool evalOk)
{
    _bbOutput.setBBO(values, evalOk);
    if (bbOutputType.empty())
    {
        _toRecompute = true;
        _bbOutputComplete = false;
        return;
    }
    interpretOutput(bbOutputType);
}

void Eval::setBBOutputAndRecompute(const BBOutput& bbOutput, const BBOutputTypeList& bbOutputType)
{
    setBBOutput(bbOutput);
    if (!_bbOutput.checkSizeMatch(bbOutputType))
    {
        _evalStatus = EvalStatusType::EVAL_ERROR;
        _bbOutputComplete = false;
        _toRecompute = false;
        // Without constraints f and h stay as they were; with constraints a
        // stale h could make an unusable point look feasible.
        if (hasConstraint(bbOutputType))
        {
            _h = INF;
        }
        return;
    }
    interpretOutput(bbOutputType);
}

void Eval::interpretOutput(const BBOutputTypeList& bbOutputType)
{
    setF(computeF(bbOutputType));
    setH(_computeH(*this, bbOutputType));
    _toRecompute = false;
    _bbOutputComplete = _bbOutput.isComplete(bbOutputType);
    markUnreadableOutput(bbOutputType);
}

void Eval::markUnreadableOutput(const BBOutputTypeList& bbOutputType)
{
    if (!_bbOutput.getEvalOk())
    {
        return;
    }
    const bool constrained = hasConstraint(bbOutputType);
    if (_bbOutput.getNbFields() != bbOutputType.size())
    {
        // checkSizeMatch has already said why.
        if (constrained)
        {
            _evalStatus = EvalStatusType::EVAL_ERROR;
            _h = INF;
        }
        return;
    }

    bool objSeen = false;
    for (size_t i = 0; i < bbOutputType.size(); ++i)
    {
        const BBOutputType type = bbOutputType[i];
        // Further OBJ fields are not read, so they cannot spoil the evaluation.
        const bool read = isConstraint(type) || (type == BBOutputType::OBJ && !objSeen);
        objSeen = objSeen || type == BBOutputType::OBJ;
        if (!read)
        {
            continue;
        }
        if (_bbOutput.getFieldValue(i).isDefined())
        {
            continue;
        }
        const std::string_view field = _bbOutput.getField(i);
        std::string typeName = BBOutputTypeListToString(BBOutputTypeList(1, type));
        typeName.pop_back(); // the list form ends each name with a blank
        std::cerr << "Warning: Evaluation failed: output " << itos(i + 1) << " (" << typeName
                  << ") is not a number: \"" << escapeControlChars(field)
                  << "\" in raw output: " << escapeControlChars(_bbOutput.getBBO()) << std::endl;
        _evalStatus = EvalStatusType::EVAL_FAILED;
        if (constrained)
        {
            _h = INF;
        }
        return;
    }
}

Double Eval::computeF(const BBOutputTypeList& bbOutputType) const
{
    if (!_bbOutput.getEvalOk())
    {
        return Double();
    }
    return _bbOutput.getObjective(bbOutputType);
}

bool Eval::isFeasible() const
{
    warnIfStale("isFeasible");
    return std::fabs(_h.todouble()) < Double::getEpsilon();
}

bool Eval::dominates(const Eval& other) const
{
    const bool feas1 = isFeasible();
    const bool feas2 = other.isFeasible();
    const Double f1 = getF();
    const Double f2 = other.getF();
    if (feas1 && feas2)
    {
        return f1 < f2;
    }
    if (feas1 || feas2)
    {
        return false;
    }
    const Double h1 = getH();
    const Double h2 = other.getH();
    if (std::fabs(h1.todouble() - INF) < Double::getEpsilon())
    {
        return false;
    }
    if (f1 > f2 || h1 > h2)
    {
        return false;
    }
    if (f1 < f2)
    {
        return true;
    }
    return h1 < h2;
}

bool Eval::operator==(const Eval& other) const
{
    if (this == &other)
    {
        return true;
    }
    if (!_f.isDefined() || !other._f.isDefined())
    {
        return false;
    }
    return _f == other._f && _h == other._h;
}

bool Eval::canBeReEvaluated() const
{
    switch (_evalStatus)
    {
    case EvalStatusType::EVAL_NOT_STARTED:
    case EvalStatusType::EVAL_ERROR:
    case EvalStatusType::EVAL_USER_REJECTED:
    case EvalStatusType::EVAL_CONS_H_OVER:
    case EvalStatusType::EVAL_OK:
        return true;
    default:
        return false;
    }
}

bool Eval::goodForCacheFile() const
{
    switch (_evalStatus)
    {
    case EvalStatusType::EVAL_FAILED:
    case EvalStatusType::EVAL_ERROR:
    case EvalStatusType::EVAL_USER_REJECTED:
    case EvalStatusType::EVAL_CONS_H_OVER:
    case EvalStatusType::EVAL_OK:
        return true;
    default:
        return false;
    }
}

std::string Eval::display() const
{
    std::string s = enumStr(_evalStatus);
    s += "\t ";
    s += _f.isDefined() ? "f = " + _f.tostring() : std::string("Undefined f");
    s += "\t ";
    s += _h.isDefined() ? "h = " + _h.tostring() : std::string("Undefined h");
    return s;
}

Double Eval::defaultComputeH(const Eval& eval, const BBOutputTypeList& bbOutputType)
{
    const BBOutput& bbo = eval.getBBOutput();
    if (!bbo.getEvalOk() || bbOutputType.empty())
    {
        return 0.0;
    }
    // The fields as read when the output was set: no array per evaluation.
    const size_t nbValues = bbo.getNbFields();
    const double eps = Double::getEpsilon();
    double h = 0.0;
    bool violated = false;
    for (size_t i = 0; i < bbOutputType.size(); ++i)
    {
        if (!isConstraint(bbOutputType[i]))
        {
            continue;
        }
        // A missing or unreadable constraint cannot be shown to hold.
        const Double value = bbo.getFieldValue(i);
        if (i >= nbValues || !value.isDefined())
        {
            return INF;
        }
        const Double c = _computeHComponent(bbOutputType[i], i, value);
        if (std::fabs(INF - c.todouble()) < eps)
        {
            h = INF;
            break;
        }
        if (value.todouble() > eps)
        {
            h += c.todouble();
            violated = true;
        }
    }
    // Squares of huge violations overflow the double range.
    if (!(h < INF))
    {
        return INF;
    }
    if (violated && std::fabs(h) < eps)
    {
        h = eps;
    }
    return h;
}

Double Eval::computeHPB(const Eval& eval, const BBOutputTypeList& bbOutputType)
{
    BBOutputTypeList asPB(bbOutputType);
    for (auto& type : asPB)
    {
        if (type == BBOutputType::EB)
        {
            type = BBOutputType::PB;
        }
    }
    return defaultComputeH(eval, asPB);
}

Double Eval::defaultComputeHComponent(const BBOutputType& bbOutputType, size_t /*index*/,
                                      const Double& bboIndex)
{
    if (!isConstraint(bbOutputType))
    {
        QARNO_THROW(Exception, "H component must be computed from BB output that is a constraint");
    }
    const double v = bboIndex.todouble();
    if (v <= Double::getEpsilon())
    {
        return 0.0;
    }
    if (bbOutputType == BBOutputType::EB)
    {
        return INF;
    }
    return v * v;
}

SuccessType Eval::defaultComputeSuccessType(const Eval* eval1, const Eval* eval2,
                                            const Double& hMax)
{
    if (eval1 == nullptr)
    {
        return SuccessType::NOT_EVALUATED;
    }
    const Double h1 = eval1->getH();
    if (eval2 == nullptr)
    {
        return (h1 > hMax) ? SuccessType::FAILURE : SuccessType::FULL_SUCCESS;
    }
    if (eval1->dominates(*eval2))
    {
        return SuccessType::FULL_SUCCESS;
    }
    const bool feas1 = eval1->isFeasible();
    const bool feas2 = eval2->isFeasible();
    if (feas1 && feas2)
    {
        return SuccessType::FAILURE;
    }
    if (feas1 || feas2)
    {
        return SuccessType::NOT_EVALUATED;
    }
    if (h1 > hMax)
    {
        return SuccessType::FAILURE;
    }
    if (h1 < eval2->getH() && eval1->getF() > eval2->getF())
    {
        return SuccessType::PARTIAL_SUCCESS;
    }
    return SuccessType::FAILURE;
}

SuccessType Eval::computeSuccessTypePhaseOne(const Eval* eval1, const Eval* eval2,
                                             const Double& /*hMax*/)
{
    if (eval1 == nullptr)
    {
        return SuccessType::NOT_EVALUATED;
    }
    if (eval2 == nullptr || eval1->isFeasible())
    {
        return SuccessType::FULL_SUCCESS;
    }
    return (eval1->getH() < eval2->getH()) ? SuccessType::FULL_SUCCESS : SuccessType::FAILURE;
}

bool Eval::compEvalFindBest(const Eval& eval1, const Eval& eval2)
{
    return _computeSuccessType(&eval1, &eval2, Double(INF)) >= SuccessType::PARTIAL_SUCCESS;
}

} // namespace QARNO_4_0_0
