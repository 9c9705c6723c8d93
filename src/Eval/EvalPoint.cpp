#include "Eval/EvalPoint.hpp"

#include <istream>
#include <ostream>
#include <utility>

#include "Util/Exception.hpp"
#include "Util/StreamUtils.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

size_t EvalPoint::_currentTag = 0;

EvalPoint::EvalPoint()
    : Point(), _eval(), _tag(0), _threadAlgo(getThreadNum()), _numberEval(0), _pointFrom()
{
}

EvalPoint::EvalPoint(size_t n)
    : Point(n), _eval(), _tag(0), _threadAlgo(getThreadNum()), _numberEval(0), _pointFrom()
{
}

EvalPoint::EvalPoint(const Point& x)
    : Point(x), _eval(), _tag(0), _threadAlgo(getThreadNum()), _numberEval(0), _pointFrom()
{
}

EvalPoint::EvalPoint(Point&& x)
    : Point(std::move(x)), _eval(), _tag(0), _threadAlgo(getThreadNum()), _numberEval(0),
      _pointFrom()
{
}

void EvalPoint::copyMembers(const EvalPoint& evalPoint)
{
    if (this == &evalPoint)
    {
        return;
    }
    _tag = evalPoint._tag;
    _threadAlgo = evalPoint._threadAlgo;
    _numberEval = evalPoint._numberEval;
    _eval = evalPoint._eval;
    _pointFrom = evalPoint._pointFrom;
}

bool EvalPoint::isDefined() const
{
    QARNO_THROW(Exception,
                "Error: Calling EvalPoint::isDefined(). Choose ArrayOfDouble::isDefined() or "
                "Double::isDefined() instead.");
}

// ---------------------------------------------------------------------------
// Evaluations
// ---------------------------------------------------------------------------

void EvalPoint::setEval(const Eval& eval, EvalType evalType)
{
    _eval[slot(evalType)] = eval;
}

Eval& EvalPoint::evalForUpdate(EvalType evalType, const char* what)
{
    if (evalType == EvalType::UNDEFINED)
    {
        QARNO_THROW(Exception, std::string(what) + ": Could not create new Eval");
    }
    auto& e = _eval[slot(evalType)];
    if (!e)
    {
        e.emplace();
    }
    return *e;
}

bool EvalPoint::isEvalOk(EvalType evalType) const
{
    const Eval* e = getEval(evalType);
    return e != nullptr && e->getEvalStatus() == EvalStatusType::EVAL_OK;
}

EvalStatusType EvalPoint::getEvalStatus(EvalType evalType) const
{
    const Eval* e = getEval(evalType);
    return e != nullptr ? e->getEvalStatus() : EvalStatusType::EVAL_STATUS_UNDEFINED;
}

void EvalPoint::setEvalStatus(EvalStatusType evalStatus, EvalType evalType)
{
    evalForUpdate(evalType, "EvalPoint::setEvalStatus").setEvalStatus(evalStatus);
}

bool EvalPoint::isFeasible(EvalType evalType) const
{
    const Eval* e = getEval(evalType);
    return e != nullptr && e->isFeasible();
}

Double EvalPoint::getF(EvalType evalType) const
{
    const Eval* e = getEval(evalType);
    return e != nullptr ? e->getF() : Double();
}

Double EvalPoint::getH(EvalType evalType) const
{
    const Eval* e = getEval(evalType);
    return e != nullptr ? e->getH() : Double();
}

void EvalPoint::setF(const Double& f, EvalType evalType)
{
    Eval* e = getEval(evalType);
    if (e == nullptr)
    {
        QARNO_THROW(Exception, "Error: setting f on a null eval");
    }
    e->setF(f);
}

void EvalPoint::setH(const Double& h, EvalType evalType)
{
    Eval* e = getEval(evalType);
    if (e == nullptr)
    {
        QARNO_THROW(Exception, "Error: setting h on an EvalPoint that has no f.");
    }
    e->setH(h);
}

std::string EvalPoint::getBBO(EvalType evalType) const
{
    const Eval* e = getEval(evalType);
    return e != nullptr ? e->getBBO() : std::string();
}

void EvalPoint::setBBO(const BBOutput& bbOutput, EvalType evalType, bool /*evalOk*/)
{
    evalForUpdate(evalType, "EvalPoint::setBBO").setBBOutput(bbOutput);
}

void EvalPoint::setBBO(const std::vector<double>& values, const BBOutputTypeList& bbOutputTypes,
                       EvalType evalType, bool evalOk)
{
    evalForUpdate(evalType, "EvalPoint::setBBO").setBBO(values, bbOutputTypes, evalOk);
}

void EvalPoint::setBBO(const std::string& bbo, const BBOutputTypeList& bbOutputTypes,
                       EvalType evalType, bool evalOk)
{
    evalForUpdate(evalType, "EvalPoint::setBBO").setBBO(bbo, bbOutputTypes, evalOk);
}

void EvalPoint::setBBO(const std::string& bbo, const std::string& sBBOutputTypes, EvalType evalType,
                       bool evalOk)
{
    setBBO(bbo, stringToBBOutputTypeList(sBBOutputTypes), evalType, evalOk);
}

void EvalPoint::recomputeFH(const BBOutputTypeList& bbOutputTypes)
{
    for (auto& e : _eval)
    {
        if (e)
        {
            const BBOutput bbOutput = e->getBBOutput();
            e->setBBOutputAndRecompute(bbOutput, bbOutputTypes);
        }
    }
}

bool EvalPoint::dominates(const EvalPoint& other, EvalType evalType) const
{
    if (this == &other)
    {
        return false;
    }
    const Eval* e1 = getEval(evalType);
    const Eval* e2 = other.getEval(evalType);
    if (e1 == nullptr || e2 == nullptr)
    {
        return false;
    }
    return e1->dominates(*e2);
}

bool EvalPoint::operator==(const EvalPoint& other) const
{
    if (!ArrayOfDouble::operator==(other))
    {
        return false;
    }

    const Eval* bb1 = getEval(EvalType::BB);
    const Eval* bb2 = other.getEval(EvalType::BB);
    if ((bb1 != nullptr && bb1->toBeRecomputed()) || (bb2 != nullptr && bb2->toBeRecomputed()))
    {
        QARNO_THROW(Exception, "Need to recompute f and h for this EvalPoint: " + display());
    }
    if ((bb1 == nullptr) != (bb2 == nullptr))
    {
        return false;
    }
    if (bb1 != nullptr && !(*bb1 == *bb2))
    {
        return false;
    }

    const Eval* sgte1 = getEval(EvalType::SGTE);
    const Eval* sgte2 = other.getEval(EvalType::SGTE);
    if (sgte1 == nullptr || sgte2 == nullptr)
    {
        return sgte1 == sgte2;
    }
    return *sgte1 == *sgte2;
}

bool EvalPoint::toEval(short maxNumberEval, EvalType evalType) const
{
    const Eval* e = getEval(evalType);
    if (e == nullptr)
    {
        return true;
    }
    if (_numberEval >= maxNumberEval)
    {
        return false;
    }
    // A surrogate answers the same thing every time: never ask twice.
    if (evalType == EvalType::SGTE)
    {
        return false;
    }
    if (_numberEval > 0 && e->getEvalStatus() == EvalStatusType::EVAL_OK)
    {
        return false;
    }
    return e->canBeReEvaluated();
}

bool EvalPoint::hasBbEval(const EvalPoint& evalPoint)
{
    return evalPoint.getEval(EvalType::BB) != nullptr;
}

bool EvalPoint::hasSgteEval(const EvalPoint& evalPoint)
{
    return evalPoint.getEval(EvalType::SGTE) != nullptr;
}

void EvalPoint::clearEvalSgte(EvalPoint& evalPoint)
{
    evalPoint._eval[slot(EvalType::SGTE)].reset();
}

// ---------------------------------------------------------------------------
// Tag, point of origin
// ---------------------------------------------------------------------------

void EvalPoint::updateTag() const
{
    if (_tag == 0)
    {
        _tag = ++_currentTag;
    }
}

void EvalPoint::resetCurrentTag()
{
    _currentTag = 0;
}

std::shared_ptr<Point> EvalPoint::getPointFrom(const Point& fixedVariable) const
{
    if (!_pointFrom)
    {
        return nullptr;
    }
    return std::make_shared<Point>(_pointFrom->projectPointToSubspace(fixedVariable));
}

void EvalPoint::setPointFrom(const std::shared_ptr<Point>& pointFrom)
{
    if (pointFrom && pointFrom->size() < size())
    {
        QARNO_THROW(Exception, "EvalPoint::setPointFrom: pointFrom must have the same dimension as "
                               "EvalPoint");
    }
    _pointFrom = pointFrom;
}

void EvalPoint::setPointFrom(const std::shared_ptr<Point>& pointFrom, const Point& fixedVariable)
{
    if (pointFrom && pointFrom->size() < size())
    {
        *pointFrom = pointFrom->makeFullSpacePointFromFixed(fixedVariable);
    }
    _pointFrom = pointFrom;
}

// ---------------------------------------------------------------------------
// Sub-space and full space
// ---------------------------------------------------------------------------

EvalPoint EvalPoint::makeFullSpacePointFromFixed(const Point& fixedVariable) const
{
    EvalPoint full(Point::makeFullSpacePointFromFixed(fixedVariable));
    full.copyMembers(*this);
    return full;
}

EvalPoint EvalPoint::makeSubSpacePointFromFixed(const Point& fixedVariable) const
{
    EvalPoint sub(Point::makeSubSpacePointFromFixed(fixedVariable, true));
    sub.copyMembers(*this);
    return sub;
}

bool findInList(const Point& point, const std::vector<EvalPoint>& evalPointList,
                EvalPoint& foundEvalPoint)
{
    for (const auto& evalPoint : evalPointList)
    {
        if (evalPoint.ArrayOfDouble::operator==(point))
        {
            foundEvalPoint = evalPoint;
            return true;
        }
    }
    return false;
}

void convertPointListToFull(std::vector<EvalPoint>& evalPointList, const Point& fixedVariable)
{
    const size_t subSize = fixedVariable.size() - fixedVariable.nbDefined();
    for (auto& evalPoint : evalPointList)
    {
        if (evalPoint.size() == subSize)
        {
            evalPoint = evalPoint.makeFullSpacePointFromFixed(fixedVariable);
        }
    }
}

void convertPointListToSub(std::vector<EvalPoint>& evalPointList, const Point& fixedVariable)
{
    if (fixedVariable.size() == 0)
    {
        QARNO_THROW(Exception, "Error: Fixed variable of dimension 0");
    }
    for (auto& evalPoint : evalPointList)
    {
        if (evalPoint.size() == fixedVariable.size())
        {
            evalPoint = evalPoint.makeSubSpacePointFromFixed(fixedVariable);
        }
    }
}

// ---------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------

std::string EvalPoint::display(const ArrayOfDouble& format) const
{
    std::string s = "#" + itos(_tag) + " " + Point::display(format);
    if (const Eval* bb = getEval(EvalType::BB))
    {
        s += "\t";
        s += bb->display();
    }
    return s;
}

std::string EvalPoint::displayAll() const
{
    std::string s = "#" + itos(_tag) + " " + Point::display();
    if (const Eval* bb = getEval(EvalType::BB))
    {
        s += "\t(BB - " + bb->display() + ")";
    }
    if (const Eval* sgte = getEval(EvalType::SGTE))
    {
        s += "\t(SGTE - " + sgte->display() + ")";
    }
    return s;
}

std::ostream& operator<<(std::ostream& out, const EvalPoint& evalPoint)
{
    // Written to be read back: every coordinate keeps its exact value.
    out << ArrayOfDouble::pStart;
    for (size_t i = 0; i < evalPoint.size(); ++i)
    {
        out << ' ' << evalPoint[i].roundTripString();
    }
    out << ' ' << ArrayOfDouble::pEnd;
    if (const Eval* bb = evalPoint.getEval(EvalType::BB))
    {
        out << " " << bb->getEvalStatus() << " " << bb->getBBOutput();
    }
    return out;
}

std::istream& operator>>(std::istream& in, EvalPoint& evalPoint)
{
    std::string word;
    in >> word;
    if (word.empty() || !in.good())
    {
        return in;
    }
    if (word != ArrayOfDouble::pStart)
    {
        in.setstate(std::ios::failbit);
        QARNO_THROW(Exception, "Expecting \"" + ArrayOfDouble::pStart + "\", got \"" +
                                   escapeControlChars(word) + "\"");
    }
    putBackWord(in, word);

    Point point;
    in >> point;
    EvalPoint readPoint(std::move(point));

    EvalStatusType status = EvalStatusType::EVAL_STATUS_UNDEFINED;
    in >> status;
    if (status != EvalStatusType::EVAL_STATUS_UNDEFINED)
    {
        BBOutput bbOutput;
        in >> bbOutput;
        readPoint.setEvalStatus(status, EvalType::BB);
        readPoint.setBBO(bbOutput, EvalType::BB, true);
        readPoint.setNumberEval(1);
    }
    evalPoint = std::move(readPoint);
    return in;
}

} // namespace QARNO_4_0_0
