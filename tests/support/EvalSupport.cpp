#include "support/EvalSupport.hpp"

#include "Math/Point.hpp"
#include "support/TestSupport.hpp"

namespace QarnoTest
{

using namespace QARNO_4_0_0;

Eval makeEval(double f, double h)
{
    Eval eval;
    eval.setF(f);
    eval.setH(h);
    return eval;
}

EvalPoint makeEvalPoint(const std::vector<double>& coords, double f, double h)
{
    EvalPoint point(Point(makeArray(coords)));
    point.setEval(makeEval(f, h), EvalType::BB);
    return point;
}

} // namespace QarnoTest
