#ifndef QARNO_TESTS_SUPPORT_EVALSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_EVALSUPPORT_HPP

#include <vector>

#include "Eval/Eval.hpp"
#include "Eval/EvalPoint.hpp"

namespace QarnoTest
{

/// A blackbox evaluation with status EVAL_OK and the given f and h.
QARNO_4_0_0::Eval makeEval(double f, double h);

/// A point (NaN coordinates undefined) with a blackbox evaluation made by
/// `makeEval`.
QARNO_4_0_0::EvalPoint makeEvalPoint(const std::vector<double>& coords, double f, double h);

} // namespace QarnoTest

#endif
