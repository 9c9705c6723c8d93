#include "Algos/NelderMead/NMSimplex.hpp"

#include "Algos/NelderMead/NMEdgeBasis.hpp"

namespace QARNO_4_0_0
{

constexpr size_t NMSimplex::npos;

NMEdgeBasis& NMSimplex::edgeBasis() const
{
    if (nullptr == _edgeBasis)
    {
        _edgeBasis = std::make_shared<NMEdgeBasis>();
    }
    return *_edgeBasis;
}

std::pair<size_t, bool> NMSimplex::insert(const EvalPoint& point)
{
    return insert(point, NMSimplexEvalPointCompare::currentEvalType());
}

std::pair<size_t, bool> NMSimplex::insert(const EvalPoint& point, EvalType evalType)
{
    const auto placed = place(point, evalType);
    if (placed.second)
    {
        insertAt(placed.first, point);
    }
    return placed;
}

void NMSimplex::insertAt(size_t pos, const EvalPoint& point)
{
    _points.insert(_points.begin() + static_cast<std::ptrdiff_t>(pos), point);
}

std::pair<size_t, bool> NMSimplex::place(const EvalPoint& point, EvalType evalType) const
{
    const size_t tag = point.getTag();
    // A copy of a held point: same tag, and the rule prefers neither.
    for (size_t i = 0; i < _points.size(); ++i)
    {
        const EvalPoint& y = _points[i];
        if (y.getTag() == tag && !NMSimplexEvalPointCompare::comesBefore(point, y, evalType) &&
            !NMSimplexEvalPointCompare::comesBefore(y, point, evalType))
        {
            return {i, false};
        }
    }
    // Just before the first point it comes before. For a transitive order
    // this is the sorted place; otherwise it still puts the point after every
    // point it does not beat up to there, and last when it beats none.
    size_t pos = _points.size();
    for (size_t i = 0; i < _points.size(); ++i)
    {
        if (NMSimplexEvalPointCompare::comesBefore(point, _points[i], evalType))
        {
            pos = i;
            break;
        }
    }
    return {pos, true};
}

void NMSimplex::erase(size_t pos)
{
    _points.erase(_points.begin() + static_cast<std::ptrdiff_t>(pos));
}

bool NMSimplex::eraseTag(size_t tag)
{
    const size_t pos = findTag(tag);
    if (npos == pos)
    {
        return false;
    }
    erase(pos);
    return true;
}

size_t NMSimplex::findTag(size_t tag) const
{
    for (size_t i = 0; i < _points.size(); ++i)
    {
        if (_points[i].getTag() == tag)
        {
            return i;
        }
    }
    return npos;
}

} // namespace QARNO_4_0_0
