#ifndef QARNO_EVAL_BBINPUT_HPP
#define QARNO_EVAL_BBINPUT_HPP

#include <iosfwd>

#include "Type/BBInputType.hpp"

namespace QARNO_4_0_0
{

class Point;

/// The blackbox input: the types of the variables and a point. Evaluators
/// receive the point itself, so this record keeps nothing; it exists for the
/// callers that build one.
class BBInput
{
public:
    BBInput(const BBInputTypeList& bbInputType, const Point& x);
    /// Writes nothing.
    void display(std::ostream& out) const;
};

} // namespace QARNO_4_0_0

#endif
