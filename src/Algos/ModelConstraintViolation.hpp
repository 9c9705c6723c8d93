#ifndef QARNO_ALGOS_MODELCONSTRAINTVIOLATION_HPP
#define QARNO_ALGOS_MODELCONSTRAINTVIOLATION_HPP

#include <string>

#include "Math/ArrayOfDouble.hpp"
#include "Math/Double.hpp"
#include "Type/BBOutputType.hpp"

namespace QARNO_4_0_0
{

/// The constraint violation h of one output vector of a model-based search,
/// shared by the evaluators of the quadratic and the surrogate models.
///
/// h is INF (the largest double) as soon as an EB value exceeds epsilon,
/// otherwise the Euclidean norm of the PB values above epsilon. Undefined
/// values are skipped; OBJ, CNT_EVAL and undefined output types never count.
/// A value that is no number, or a norm too large for a double, is INF too:
/// neither can be shown to satisfy its constraint.
///
/// When bbo and bbot differ in size: h is 0, the line
/// "<caller>::evalH() called with an invalid bbo argument" goes to standard
/// error and an `Exception` with the same text is thrown.
void computeModelConstraintViolation(const ArrayOfDouble& bbo, const BBOutputTypeList& bbot,
                                     Double& h, const std::string& caller);

/// A predicted value as printf's "%f" writes it (six decimals), whatever the
/// process locale: the messages of the model evaluators.
std::string modelValueText(double v);

} // namespace QARNO_4_0_0

#endif
