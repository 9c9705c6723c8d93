#ifndef QARNO_ALGOS_STARTINGPOINTS_HPP
#define QARNO_ALGOS_STARTINGPOINTS_HPP

#include <cstddef>
#include <string>
#include <vector>

#include "Eval/EvalPoint.hpp"
#include "Math/ArrayOfPoint.hpp"
#include "Math/Point.hpp"

namespace QARNO_4_0_0
{

class Step;

/// Complete and of the problem's dimension: a starting point that can be
/// evaluated.
bool isValidStartingPoint(const Point& x0, size_t n);

/// The initializations' check of their starting points: the invalid ones are
/// listed ("Initialization: eval_x0s: Invalid X0 ( ... ).", one after the
/// other) as a warning of `step` when a valid one exists; without any valid
/// one the list, followed by the state of the cache (". Cache is empty." or
/// " Hint: Try not setting X0 so that the cache is used (N points)"), is
/// thrown.
void validateStartingPoints(const Step& step, const ArrayOfPoint& x0s, size_t n,
                            const std::string& sourceFile);

/// The message thrown when no starting point is valid, from the list of the
/// invalid ones.
std::string noValidStartingPointMessage(const std::string& invalidList);

/// Evaluates the valid starting points of `step` (each distinct point once,
/// points already evaluated in the cache not again), all of them whatever
/// opportunism says, which is restored on every way out; returns the points
/// evaluated.
std::vector<EvalPoint> evaluateStartingPoints(const Step* step, const ArrayOfPoint& x0s, size_t n);

} // namespace QARNO_4_0_0

#endif
