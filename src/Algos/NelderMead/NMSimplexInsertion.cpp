#include "Algos/NelderMead/NMSimplexInsertion.hpp"

#include <cmath>
#include <string>

#include "Algos/Step.hpp"
#include "Eval/Eval.hpp"
#include "Math/Double.hpp"
#include "Output/OutputInfo.hpp"
#include "Output/OutputQueue.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

namespace
{

// These operations are those of the reflective step; their failures name it.
const char* const SOURCE_FILE = "src/Algos/NelderMead/NMReflective";

const char* const RANK_DEFICIT_MESSAGE =
    "Rank of DZ=[(y1-y0) (y2-y0) ... (yn-y0)] != n. Y is not a valid simplex. Let's continue. ";

bool debugShown()
{
    return OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_DEBUG);
}

/// The position in Y of the held copy of point (same tag and same
/// coordinates and evaluations), or of the first point with its tag.
size_t positionOf(const NMSimplex& Y, const EvalPoint& point)
{
    for (size_t i = 0; i < Y.size(); ++i)
    {
        if (Y[i].getTag() == point.getTag() && Y[i] == point)
        {
            return i;
        }
    }
    return Y.findTag(point.getTag());
}

/// Removes the held copy of point from Y, if any.
void removeFrom(NMSimplex& Y, const EvalPoint& point)
{
    const size_t pos = positionOf(Y, point);
    if (NMSimplex::npos != pos)
    {
        Y.erase(pos);
    }
}

} // namespace

template <typename BUILD> void NMSimplexInsertion::debug(BUILD&& build) const
{
    if (debugShown())
    {
        _parentStep->AddOutputDebug(build());
    }
}

NMSimplexInsertion::NMSimplexInsertion(const Step* parentStep)
    : NMIterationUtils(parentStep), _nmY0(), _nmYn()
{
}

NMSimplexInsertion::~NMSimplexInsertion() = default;

NMSimplexInsertion::FeasibleExtremes NMSimplexInsertion::feasibleExtremes(const NMSimplex& Y,
                                                                          EvalType evalType)
{
    FeasibleExtremes extremes;
    double fLeast = 0;
    double fGreatest = 0;
    for (size_t i = 0; i < Y.size(); ++i)
    {
        const Eval* eval = Y[i].getEval(evalType);
        if (nullptr == eval || !eval->isFeasible())
        {
            return extremes;
        }
        const Double value = eval->getF();
        if (!value.isDefined() || std::isnan(value.todouble()))
        {
            return extremes;
        }
        const double f = value.todouble();
        if (0 == i || f < fLeast)
        {
            extremes.least = i;
            fLeast = f;
        }
        if (0 == i || f > fGreatest)
        {
            extremes.greatest = i;
            fGreatest = f;
        }
    }
    extremes.found = !Y.empty();
    return extremes;
}

bool NMSimplexInsertion::makeListY0()
{
    if (nullptr == _simplexY)
    {
        _nmY0.clear();
        return false;
    }
    return fillListY0(feasibleExtremes(*_simplexY, NMSimplexEvalPointCompare::currentEvalType()));
}

bool NMSimplexInsertion::makeListYn()
{
    if (nullptr == _simplexY)
    {
        _nmYn.clear();
        return false;
    }
    return fillListYn(feasibleExtremes(*_simplexY, NMSimplexEvalPointCompare::currentEvalType()));
}

bool NMSimplexInsertion::makeListsY0Yn()
{
    if (nullptr == _simplexY)
    {
        _nmY0.clear();
        return false;
    }
    const auto extremes =
        feasibleExtremes(*_simplexY, NMSimplexEvalPointCompare::currentEvalType());
    return fillListY0(extremes) && fillListYn(extremes);
}

bool NMSimplexInsertion::fillListY0(const FeasibleExtremes& extremes)
{
    _nmY0.clear();
    if (_simplexY->empty())
    {
        return false;
    }
    const NMSimplex& Y = *_simplexY;
    const EvalType evalType = NMSimplexEvalPointCompare::currentEvalType();
    _nmY0.push_back(Y.front());
    if (extremes.found)
    {
        const Double fLeast = Y[extremes.least].getEval(evalType)->getF();
        for (size_t i = 1; i < Y.size(); ++i)
        {
            if (!(fLeast < Y[i].getEval(evalType)->getF()))
            {
                _nmY0.push_back(Y[i]);
            }
        }
        return true;
    }
    for (size_t i = 1; i < Y.size(); ++i)
    {
        bool dominated = false;
        for (const EvalPoint& z : Y)
        {
            if (z.dominates(Y[i], evalType))
            {
                dominated = true;
                break;
            }
        }
        if (!dominated)
        {
            _nmY0.push_back(Y[i]);
        }
    }
    return !_nmY0.empty();
}

bool NMSimplexInsertion::fillListYn(const FeasibleExtremes& extremes)
{
    _nmYn.clear();
    const NMSimplex& Y = *_simplexY;
    const EvalType evalType = NMSimplexEvalPointCompare::currentEvalType();
    if (extremes.found)
    {
        const Double fGreatest = Y[extremes.greatest].getEval(evalType)->getF();
        for (const EvalPoint& y : Y)
        {
            if (!(y.getEval(evalType)->getF() < fGreatest))
            {
                _nmYn.push_back(y);
            }
        }
        return !_nmYn.empty();
    }
    for (const EvalPoint& y : Y)
    {
        bool dominatesSome = false;
        for (const EvalPoint& z : Y)
        {
            if (y.dominates(z, evalType))
            {
                dominatesSome = true;
                break;
            }
        }
        if (!dominatesSome)
        {
            _nmYn.push_back(y);
        }
    }
    return !_nmYn.empty();
}

bool NMSimplexInsertion::pointDominatesY0(const EvalPoint& xt) const
{
    const EvalType evalType = NMSimplexEvalPointCompare::currentEvalType();
    if (_nmY0.empty())
    {
        throw Exception(SOURCE_FILE, __LINE__, "Y0 is empty");
    }
    if (nullptr == xt.getEval(evalType))
    {
        throw Exception(SOURCE_FILE, __LINE__,
                        "The evaluation for trial point xt = " + xt.display() + " was not found");
    }
    if (!xt.isEvalOk(evalType))
    {
        debug([&] { return "The trial point xt: " + xt.display() + " is not eval ok."; });
        return false;
    }
    for (const EvalPoint& y : _nmY0)
    {
        if (xt.dominates(y, evalType))
        {
            return true;
        }
    }
    return false;
}

bool NMSimplexInsertion::YnDominatesPoint(const EvalPoint& xt) const
{
    const EvalType evalType = NMSimplexEvalPointCompare::currentEvalType();
    if (_nmYn.empty())
    {
        throw Exception(SOURCE_FILE, __LINE__, " Yn is empty");
    }
    if (nullptr == xt.getEval(evalType))
    {
        throw Exception(SOURCE_FILE, __LINE__, "No evaluation for trial point " + xt.display());
    }
    if (!xt.isEvalOk(evalType))
    {
        debug([&] { return "The trial point xt: " + xt.display() + " is not eval ok."; });
        return false;
    }
    for (const EvalPoint& y : _nmYn)
    {
        if (y.dominates(xt, evalType))
        {
            return true;
        }
    }
    // Not dominated: xt is still no better than the worst points when it is
    // more infeasible than the last of them.
    const Double hLast = _nmYn.back().getH(evalType);
    if (!hLast.isDefined())
    {
        return false;
    }
    const Double hXt = xt.getH(evalType);
    if (!hXt.isDefined())
    {
        return true;
    }
    return hLast < hXt;
}

bool NMSimplexInsertion::pointDominatesPtsInY(const EvalPoint& xt, size_t nbPointsToDominate) const
{
    const EvalType evalType = NMSimplexEvalPointCompare::currentEvalType();
    if (nullptr == xt.getEval(evalType))
    {
        throw Exception(SOURCE_FILE, __LINE__, "No evaluation for trial point " + xt.display());
    }
    if (!xt.isEvalOk(evalType))
    {
        debug([&] { return "The trial point xt: " + xt.display() + " is not eval ok."; });
        return false;
    }
    verifySimplexNotNull();
    size_t count = 0;
    for (const EvalPoint& y : *_simplexY)
    {
        if (count >= nbPointsToDominate)
        {
            break;
        }
        if (xt.dominates(y, evalType))
        {
            ++count;
        }
    }
    return count == nbPointsToDominate;
}

bool NMSimplexInsertion::insertInY(const EvalPoint& x)
{
    const EvalType evalType = NMSimplexEvalPointCompare::currentEvalType();
    if (!x.isEvalOk(evalType))
    {
        debug([&] { return "The trial point x:" + x.display() + " is not eval ok."; });
        return false;
    }
    verifySimplexNotNull();
    NMSimplex& Y = *_simplexY;
    if (Y.empty())
    {
        // Nothing to replace: x alone would be the worst point.
        debug(
            []
            {
                return std::string("Inserted point is last ==> insertion not successful, "
                                   "simplex unchanged. Let's continue.");
            });
        return false;
    }
    const EvalPoint yn = Y.back();

    const auto inserted = Y.insert(x, evalType);
    if (!inserted.second)
    {
        debug([] { return std::string("Cannot insert point in Y. Point possibly already in Y."); });
        return false;
    }
    debug([&] { return "Insertion in NM simplex: " + x.display(); });

    // "x is the worst point" is decided pairwise against the former yn: the
    // order need not be transitive, so a place in Y proves nothing beyond
    // the points next to it.
    if (NMSimplexEvalPointCompare::comesBefore(yn, x, evalType))
    {
        debug([&] { return "Delete from NM simplex: " + x.display(); });
        debug(
            []
            {
                return std::string("Inserted point is last ==> insertion not successful, "
                                   "simplex unchanged. Let's continue.");
            });
        Y.erase(inserted.first);
        return false;
    }
    // x comes before yn, so it went in before it and yn is still last.
    debug([&] { return "Delete from NM simplex: " + Y.back().display(); });
    Y.erase(Y.size() - 1);
    updateYCharacteristics();

    if (!makeListsY0Yn())
    {
        return false;
    }
    displayYInfo();
    displayY0nInfo();

    if (isDZFullRank())
    {
        return true;
    }
    debug([] { return std::string(RANK_DEFICIT_MESSAGE); });
    return false;
}

bool NMSimplexInsertion::insertInYBest(const EvalPoint& x1, const EvalPoint& x2)
{
    const EvalType evalType = NMSimplexEvalPointCompare::currentEvalType();
    if (nullptr == x1.getEval(evalType))
    {
        throw Exception(SOURCE_FILE, __LINE__,
                        "The trial point x1 does not have an evaluation: " + x1.display());
    }
    if (nullptr == x2.getEval(evalType))
    {
        throw Exception(SOURCE_FILE, __LINE__,
                        "The trial point x2 does not have an evaluation: " + x2.display());
    }
    verifySimplexNotNull();
    NMSimplex& Y = *_simplexY;
    if (Y.empty())
    {
        // No yn to replace.
        debug([] { return std::string("After insertion cancelled"); });
        return false;
    }
    const EvalPoint yn = Y.back();
    debug([] { return std::string("Insertion/Deletion of points in Y: "); });

    if (!Y.insert(x1, evalType).second)
    {
        debug([] { return std::string("After insertion cancelled"); });
        return false;
    }
    debug([] { return std::string("Insertion in Y: "); });
    debug([&] { return x1.display(); });

    // Decisions between two points follow the pairwise rule, never places in
    // Y (see insertInY).
    auto ranksAfter = [evalType](const EvalPoint& a, const EvalPoint& b)
    { return NMSimplexEvalPointCompare::comesBefore(b, a, evalType); };

    bool x2Inserted = false;
    if (x2.isEvalOk(evalType))
    {
        if (!(x2 == x1))
        {
            if (!Y.insert(x2, evalType).second)
            {
                removeFrom(Y, x1);
                debug([] { return std::string("After insertion cancelled"); });
                return false;
            }
            x2Inserted = true;
        }
    }
    else if (ranksAfter(x1, yn))
    {
        removeFrom(Y, x1);
        debug(
            []
            {
                return std::string(
                    "Cannot perform insertion in Y. x1 is dominated by yn and x2 eval "
                    "status is not ok. Delete x1.");
            });
        return false;
    }
    const EvalPoint& second = x2Inserted ? x2 : x1;
    debug([] { return std::string("Insertion in Y: "); });
    debug([&] { return second.display(); });

    if (ranksAfter(x1, yn) && ranksAfter(second, yn))
    {
        removeFrom(Y, x1);
        if (x2Inserted)
        {
            removeFrom(Y, x2);
        }
        debug(
            []
            {
                return std::string("Cannot perform insertion because both points are "
                                   "dominated by yn");
            });
        return false;
    }
    if (x2Inserted && ranksAfter(x1, x2))
    {
        debug([] { return std::string("Delete from Y: "); });
        debug([&] { return x1.display(); });
        removeFrom(Y, x1);
    }
    else if (x2Inserted)
    {
        debug([] { return std::string("Delete from Y: "); });
        debug([&] { return x2.display(); });
        removeFrom(Y, x2);
    }

    debug([&] { return "Delete yn from Y: " + yn.display(); });
    removeFrom(Y, yn);
    updateYCharacteristics();

    if (!makeListY0())
    {
        debug([] { return std::string("Cannot make Y0. Let's continue."); });
        return false;
    }
    if (!makeListYn())
    {
        debug([] { return std::string("Cannot make Yn. Let's continue"); });
        return false;
    }
    debug([] { return std::string("After insertion best"); });
    displayYInfo();
    displayY0nInfo();

    if (isDZFullRank())
    {
        return true;
    }
    if (debugShown())
    {
        _parentStep->AddOutputInfo(RANK_DEFICIT_MESSAGE, OutputLevel::LEVEL_INFO);
    }
    return false;
}

void NMSimplexInsertion::displayY0nInfo() const
{
    const auto& queue = OutputQueue::getInstance();
    if (queue->goodLevel(OutputLevel::LEVEL_INFO))
    {
        _parentStep->AddOutputInfo("Number of points in Y0: " + std::to_string(_nmY0.size()),
                                   OutputLevel::LEVEL_INFO);
        _parentStep->AddOutputInfo("Number of points in Yn: " + std::to_string(_nmYn.size()),
                                   OutputLevel::LEVEL_INFO);
    }
    if (!queue->goodLevel(OutputLevel::LEVEL_DEBUG))
    {
        return;
    }
    OutputInfo info("Display Y0 and Yn info", "The vector Y0 contains:", OutputLevel::LEVEL_DEBUG);
    for (const EvalPoint& y : _nmY0)
    {
        info.addMsg(y.display());
    }
    info.addMsg("The vector Yn contains: ");
    for (const EvalPoint& y : _nmYn)
    {
        info.addMsg(y.display());
    }
    queue->add(std::move(info));
    queue->flush();
}

} // namespace QARNO_4_0_0
