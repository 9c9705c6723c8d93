#ifndef QARNO_TESTS_SUPPORT_TESTPARAMETERS_HPP
#define QARNO_TESTS_SUPPORT_TESTPARAMETERS_HPP

#include <functional>
#include <iosfwd>
#include <sstream>
#include <string>
#include <vector>

#include "Param/Attribute.hpp"
#include "Param/AttributeDefinition.hpp"
#include "Param/Parameters.hpp"
#include "Param/PbParameters.hpp"

namespace QarnoTest
{

/// A parameter set for the tests of the framework. Its table covers every
/// value type with the real keywords and their real value types (keyword
/// types are process-wide, so a later real set in the same process must not
/// conflict), plus `TEST_EVAL_TYPE`, the one EvalType keyword.
///
/// Flags of note: SEED, DIRECTION_TYPE, LH_SEARCH, H_MAX_0, ... carry the
/// compatibility flag; MAX_TIME and DISPLAY_DEGREE do not. MAX_BB_EVAL and
/// DIMENSION are unique-entry keywords, VARIABLE_GROUP, X0 and DISABLE are not.
/// Help keywords: INITIAL_MESH_SIZE and NM_GAMMA are "advanced", EPSILON is
/// "developper", H_MAX_0 both "advanced" and "developper".
class TestParameters : public QARNO_4_0_0::Parameters
{
public:
    TestParameters() { init(); }

    void init() override;

    /// The definition table registered by init().
    static const std::vector<QARNO_4_0_0::AttributeDefinition>& definitions();

    /// What a real set's check does at the least: the documentation check,
    /// then the set is no longer to be checked.
    void checkAndComply();

    /// Lets a test mark the set without changing a value.
    void setToBeChecked(bool toBeChecked) { _toBeChecked = toBeChecked; }
};

/// A small set without DIMENSION, holding an array keyword (SOL_FORMAT), as
/// the display parameters do.
class TestParametersNoDimension : public QARNO_4_0_0::Parameters
{
public:
    TestParametersNoDimension() { init(); }

    void init() override;

    static const std::vector<QARNO_4_0_0::AttributeDefinition>& definitions();

    void checkAndComply();
};

/// A set that registers nothing at construction, for registration tests.
class EmptyParameters : public QARNO_4_0_0::Parameters
{
public:
    EmptyParameters() { init(); }

    void init() override { _typeName = "Empty"; }

    void checkAndComply();
};

/// How a call ends, as one text: "ok", or the kind of the failure and its
/// message: "ParameterToBeChecked: ...", "NotDefined: ...", "Exception: ..."
/// (message part, see messageOf) or "out_of_range: map::at".
std::string outcomeOf(const std::function<void()>& op);

/// "ok", or the kind and message of what the problem set's check throws
/// ("InvalidParameter: ..." without the type message, "Exception: ...").
std::string checkOutcome(QARNO_4_0_0::PbParameters& pb);

/// The value line of an attribute, without its short info.
std::string valueLine(const QARNO_4_0_0::Attribute& attribute);

/// Checks the layout shared by every help text of the parameter tables: a
/// first line holding a blank, items beginning with " . " separated by lines
/// of two blanks, two line ends at the end. Returns the last item (the
/// default), empty when the layout is broken.
std::string helpLastItem(const std::string& help);

} // namespace QarnoTest

#endif
