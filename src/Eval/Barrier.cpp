#include "Eval/Barrier.hpp"

#include <iostream>

#include "Cache/CacheBase.hpp"
#include "Output/OutputQueue.hpp"
#include "Util/Exception.hpp"
#include "Util/StreamUtils.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

constexpr OutputLevel DEBUG = OutputLevel::LEVEL_DEBUG;

void debug(const std::string& msg)
{
    OutputQueue::getInstance()->add(msg, DEBUG);
}

bool debugShown()
{
    return OutputQueue::getInstance()->goodLevel(DEBUG);
}

} // namespace

Barrier::Barrier(const Double& hMax, const Point& fixedVariable, EvalType evalType,
                 const std::vector<EvalPoint>& evalPointList)
    : _xFeas(), _xInf(), _refBestFeas(), _refBestInf(), _hMax(hMax), _n(0)
{
    init(fixedVariable, evalType, evalPointList);
}

void Barrier::init(const Point& fixedVariable, EvalType evalType,
                   const std::vector<EvalPoint>& evalPointList)
{
    if (fixedVariable.size() == 0)
    {
        QARNO_THROW(Exception, "Error: Fixed variable of dimension 0");
    }
    checkCache();

    const auto& cache = CacheBase::getInstance();
    std::vector<EvalPoint> cachePoints;
    cache->findBestFeas(cachePoints, fixedVariable, evalType, nullptr);
    for (const auto& evalPoint : cachePoints)
    {
        _xFeas.push_back(evalPoint.makeSubSpacePointFromFixed(fixedVariable));
    }
    cache->findBestInf(cachePoints, _hMax, fixedVariable, evalType, nullptr);
    for (const auto& evalPoint : cachePoints)
    {
        _xInf.push_back(evalPoint.makeSubSpacePointFromFixed(fixedVariable));
    }

    updateWithPoints(evalPointList, evalType, true);
    setN();

    try
    {
        checkXFeas(evalType);
    }
    catch (const Exception&)
    {
        try
        {
            checkXInf();
        }
        catch (const Exception&)
        {
            std::string s = "Barrier constructor: xFeas or xInf must be evaluated.\n";
            if (!_xFeas.empty())
            {
                s += "There are " + itos(_xFeas.size()) + " xFeas, the first one is:\n" +
                     _xFeas[0].displayAll();
            }
            if (!_xInf.empty())
            {
                s += "There are " + itos(_xInf.size()) + " xInf, the first one is:\n" +
                     _xInf[0].displayAll();
            }
            if (_xFeas.empty() && _xInf.empty())
            {
                s += "There are no xFeas and no xInf defined.";
            }
            QARNO_THROW(Exception, s);
        }
    }
    checkHMax();
}

void Barrier::setN()
{
    if (_xFeas.empty() && _xInf.empty())
    {
        if (_n == 0)
        {
            QARNO_THROW(Exception, "Barrier could not set point size");
        }
        return;
    }
    for (const auto* list : {&_xFeas, &_xInf})
    {
        for (const auto& evalPoint : *list)
        {
            if (_n == 0)
            {
                _n = evalPoint.size();
            }
            else if (evalPoint.size() != _n)
            {
                QARNO_THROW(Exception, "Barrier has points of size " + itos(_n) + " and of size " +
                                           itos(evalPoint.size()));
            }
        }
    }
}

void Barrier::checkCache()
{
    try
    {
        CacheBase::getInstance();
    }
    catch (const Exception&)
    {
        QARNO_THROW(Exception, "Cache must be instantiated before initializing Barrier.");
    }
}

void Barrier::checkXFeas(const EvalType& evalType)
{
    if (_xFeas.empty())
    {
        QARNO_THROW(Exception, "Barrier: xFeas must be evaluated before being set.");
    }
    checkXFeasIsFeas(evalType);
}

void Barrier::checkXFeasIsFeas(const EvalType& evalType)
{
    if (evalType == EvalType::UNDEFINED)
    {
        return;
    }
    for (auto& evalPoint : _xFeas)
    {
        const Eval* eval = evalPoint.getEval(evalType);
        if (eval == nullptr)
        {
            continue;
        }
        const Double h = eval->getH();
        if (h != 0.0)
        {
            std::cerr << "Warning: Barrier: xFeas' H value will be enforced to 0.0. xFeas input "
                         "value for h was "
                      << h.tostring() << std::endl;
            evalPoint.setH(0.0, evalType);
        }
    }
}

void Barrier::checkXInf()
{
    if (_xInf.empty())
    {
        QARNO_THROW(Exception, "Barrier: xInf must be evaluated before being set.");
    }
}

void Barrier::checkHMax()
{
    if (!_hMax.isDefined())
    {
        QARNO_THROW(Exception, "Barrier: hMax is not defined.");
    }
    if (_hMax < 0.0)
    {
        QARNO_THROW(Exception, "Barrier: hMax must be positive. Value: " + _hMax.display(6, 0));
    }
}

void Barrier::setHMax(const Double& hMax)
{
    _hMax = hMax;
    checkHMax();
}

void Barrier::addXFeas(const EvalPoint& xFeas, const EvalType& evalType)
{
    _xFeas.push_back(xFeas);
    checkXFeas(evalType);
}

void Barrier::addXInf(const EvalPoint& xInf)
{
    _xInf.push_back(xInf);
    checkXInf();
}

std::shared_ptr<EvalPoint> Barrier::getFirstXFeas() const
{
    return _xFeas.empty() ? nullptr : std::make_shared<EvalPoint>(_xFeas[0]);
}

std::shared_ptr<EvalPoint> Barrier::getFirstXInf() const
{
    return _xInf.empty() ? nullptr : std::make_shared<EvalPoint>(_xInf[0]);
}

std::vector<EvalPoint> Barrier::getAllPoints() const
{
    std::vector<EvalPoint> all;
    all.reserve(_xFeas.size() + _xInf.size());
    all.insert(all.end(), _xFeas.begin(), _xFeas.end());
    all.insert(all.end(), _xInf.begin(), _xInf.end());
    return all;
}

void Barrier::updateRefBests()
{
    _refBestFeas = getFirstXFeas();
    _refBestInf = getFirstXInf();
}

Barrier::Offer Barrier::offer(std::vector<EvalPoint>& list, const EvalPoint& evalPoint,
                              const Eval& eval, EvalType evalType, bool keepAllPoints,
                              const char* kind) const
{
    const auto shown = [&evalPoint](const char* what, const char* which)
    {
        OutputQueue::addIfShown(DEBUG, [&]
                                { return what + std::string(which) + ": " + evalPoint.display(); });
    };
    if (list.empty())
    {
        list.push_back(evalPoint);
        shown("New dominating ", kind);
        return Offer::REPLACED;
    }
    const Eval* first = list[0].getEval(evalType);
    if (first == nullptr || Eval::compEvalFindBest(eval, *first))
    {
        list.assign(1, evalPoint);
        shown("New dominating ", kind);
        return Offer::REPLACED;
    }
    if (keepAllPoints && !Eval::compEvalFindBest(*first, eval))
    {
        for (const auto& incumbent : list)
        {
            if (incumbent == evalPoint)
            {
                OutputQueue::addIfShown(
                    DEBUG, [&]
                    { return std::string(kind) + " is already there: " + evalPoint.display(); });
                return Offer::IGNORED;
            }
        }
        list.push_back(evalPoint);
        shown("Adding ", kind);
        return Offer::ADDED;
    }
    return Offer::IGNORED;
}

bool Barrier::updateWithPoints(const std::vector<EvalPoint>& evalPointList, EvalType evalType,
                               bool keepAllPoints)
{
    if (debugShown())
    {
        debug("Updating barrier with " + itos(evalPointList.size()) + " suggested points");
        debug("Current barrier: ");
        debug(display(4));
    }

    bool updatedFeas = false;
    bool updatedInf = false;
    bool added = false;
    for (const auto& evalPoint : evalPointList)
    {
        if (_n == 0)
        {
            _n = evalPoint.size();
        }
        if (evalPoint.size() != _n)
        {
            QARNO_THROW(Exception, "Barrier update: Barrier points are of dimension " + itos(_n) +
                                       ". Trying to add this point of dimension " +
                                       itos(evalPoint.size()) + ": " + evalPoint.display());
        }
        OutputQueue::addIfShown(
            DEBUG, [&] { return "Point suggested to update barrier: " + evalPoint.display(); });

        const Eval* eval = evalPoint.getEval(evalType);
        if (eval == nullptr || eval->getEvalStatus() != EvalStatusType::EVAL_OK)
        {
            if (debugShown())
            {
                debug(eval == nullptr
                          ? std::string("Eval is NULL, continue")
                          : "Eval status is " + enumStr(eval->getEvalStatus()) + ", continue");
                OutputQueue::getInstance()->flush();
            }
            continue;
        }

        if (eval->isFeasible())
        {
            const Offer result = offer(_xFeas, evalPoint, *eval, evalType, keepAllPoints, "xFeas");
            updatedFeas = updatedFeas || result == Offer::REPLACED;
            added = added || result == Offer::ADDED;
            continue;
        }
        const Double h = eval->getH();
        if (h.todouble() > _hMax.todouble() + Double::getEpsilon())
        {
            if (debugShown())
            {
                debug("H is too large: " + h.tostring() + " > " + _hMax.tostring() + ", continue.");
                OutputQueue::getInstance()->flush();
            }
            continue;
        }
        const Offer result = offer(_xInf, evalPoint, *eval, evalType, keepAllPoints, "xInf");
        updatedInf = updatedInf || result == Offer::REPLACED;
        added = added || result == Offer::ADDED;
    }

    if (debugShown())
    {
        if (updatedFeas || updatedInf)
        {
            debug(std::string("Updated barrier") + (updatedFeas && updatedInf
                                                        ? " with feasible and infeasible points"
                                                    : updatedFeas ? " with feasible points"
                                                                  : " with infeasible points"));
        }
        else if (!added)
        {
            debug("Barrier not updated");
        }
    }
    return updatedFeas || updatedInf || added;
}

std::string Barrier::display(size_t max) const
{
    std::string s;
    const auto listLines = [&s, max](const std::vector<EvalPoint>& list, const char* prefix)
    {
        size_t written = 0;
        for (const auto& evalPoint : list)
        {
            s += prefix + evalPoint.displayAll() + "\n";
            ++written;
            if (written >= max && list.size() > max)
            {
                s += "... (total " + itos(list.size()) + ")\n";
                break;
            }
        }
    };
    listLines(_xFeas, "X_FEAS ");
    listLines(_xInf, "X_INF ");
    s += "H_MAX " + _hMax.tostring() + "\n";
    s += "Ref Best Feasible:   " + (_refBestFeas ? _refBestFeas->displayAll() : "NULL") + "\n";
    s += "Ref Best Infeasible: " + (_refBestInf ? _refBestInf->displayAll() : "NULL") + "\n";
    return s;
}

std::ostream& operator<<(std::ostream& out, const Barrier& barrier)
{
    for (const auto& xFeas : barrier.getAllXFeas())
    {
        out << "X_FEAS " << xFeas << std::endl;
    }
    for (const auto& xInf : barrier.getAllXInf())
    {
        out << "X_INF " << xInf << std::endl;
    }
    out << "H_MAX " << barrier.getHMax() << std::endl;
    return out;
}

std::istream& operator>>(std::istream& in, Barrier& barrier)
{
    barrier.clearXFeas();
    barrier.clearXInf();

    std::string token;
    while (true)
    {
        token.clear();
        in >> token;
        if (in.fail() || in.eof())
        {
            break;
        }
        if (token == "X_FEAS" || token == "X_INF")
        {
            EvalPoint evalPoint;
            in >> evalPoint;
            if (barrier.getN() != 0 && evalPoint.size() != barrier.getN())
            {
                // A barrier of another problem.
                QARNO_THROW(Exception, "the point " + evalPoint.Point::display() + " of " + token +
                                           " has " + itos(evalPoint.size()) + " coordinates, not " +
                                           itos(barrier.getN()));
            }
            CacheBase::getInstance()->find(evalPoint, evalPoint);
            if (token == "X_FEAS")
            {
                barrier.addXFeas(evalPoint, EvalType::UNDEFINED);
            }
            else
            {
                barrier.addXInf(evalPoint);
            }
        }
        else if (token == "H_MAX")
        {
            Double hMax;
            in >> hMax;
            barrier.setHMax(hMax);
        }
        else
        {
            putBackWord(in, token);
            break;
        }
    }
    return in;
}

} // namespace QARNO_4_0_0
