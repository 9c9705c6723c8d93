#ifndef QARNO_TESTS_SUPPORT_PINNEDRUNSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_PINNEDRUNSUPPORT_HPP

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Eval/EvalPoint.hpp"
#include "support/EvcSupport.hpp"

namespace QarnoTest
{

// Runs pinned point by point: the exact sequence of the points a run hands
// to its evaluator, for a fixed seed, reduced to a count and a digest. A
// change of structure or of speed must leave them as they are.

/// The shortest text of a value that reads back to the same double.
std::string fullText(double v);

/// FNV-1a over the bit patterns of every coordinate, in evaluation order:
/// any change of a point, of its place in the sequence or of the length
/// changes it.
std::uint64_t sequenceDigest(const std::vector<std::vector<double>>& points);

/// Objectives of the pinned runs.
double rosenbrock(const QARNO_4_0_0::EvalPoint& x);
/// sum (x_i - 0.1 (i + 1))^2.
double shiftedSphere(const QARNO_4_0_0::EvalPoint& x);
/// -sum (i + 1) x_i: its optimum is the corner of the upper bounds.
double slope(const QARNO_4_0_0::EvalPoint& x);

/// An evaluator of `objective` under `outputs` ("OBJ", or "OBJ" followed by
/// one constraint 1 - sum x_i <= 0, of type PB or EB), with every value
/// written in full precision; it records the points it evaluates.
std::shared_ptr<FunctionEvaluator>
pinnedEvaluator(const std::string& outputs, double (*objective)(const QARNO_4_0_0::EvalPoint&));

} // namespace QarnoTest

#endif
