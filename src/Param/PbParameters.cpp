#include "Param/PbParameters.hpp"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <iostream>
#include <locale>
#include <sstream>

#include "Math/ArrayOfDouble.hpp"
#include "Math/ArrayOfPoint.hpp"
#include "Math/Double.hpp"
#include "Math/Point.hpp"
#include "Param/InvalidParameter.hpp"
#include "Param/TypeAttribute.hpp"
#include "Type/ListOfVariableGroup.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

// keyword, type, default, short info, help, help keywords,
// algoCompatibilityCheck, restartAttribute, uniqueEntry
const std::vector<AttributeDefinition>& pbAttributeDefinitions()
{
    static const std::vector<AttributeDefinition> table = {
        {"DIMENSION", "size_t", "0", " Dimension of the optimization problem (required) ",
         " \n"
         " . Number of variables\n"
         "  \n"
         " . Argument: one positive integer\n"
         "  \n"
         " . Example: DIMENSION 3\n"
         "  \n"
         " . Default: 0\n\n",
         "  basic dimension dimensions dim dims problem problems prob pb pbs optimization size  ",
         "false", "false", "true"},
        {"X0", "QARNO::ArrayOfPoint", "-", " The initial point(s) ",
         " \n"
         " . Vector of starting point(s)\n"
         "  \n"
         " . Arguments: text file name or DIMENSION reals\n"
         "  \n"
         " . More than one starting point can be defined: all points are evaluated\n"
         "  \n"
         " . The evaluation of the X0 points is not opportunistic\n"
         "  \n"
         " . Initial points may be infeasible\n"
         "  \n"
         " . Initial points may not lie outside the bounds\n"
         "  \n"
         " . Initial points must respect FIXED_VARIABLE\n"
         "  \n"
         " . Example: X0 x0.txt\n"
         "  \n"
         " . Example: X0   * 0.0 (first starting point) and X0 1 * 1.0 (second starting point)\n"
         "  \n"
         " . Example: X0 ( 0 1 2 ) (if DIMENSION = 3)\n"
         "  \n"
         " . No default value\n\n",
         "  basic initial variable variables var vars init point points bound bounds lower upper "
         "cache start starting  ",
         "false", "false", "false"},
        {"LOWER_BOUND", "QARNO::ArrayOfDouble", "-",
         " The optimization problem lower bounds for each variable ",
         " \n"
         " . Lower bounds of the variables\n"
         "  \n"
         " . Arguments: DIMENSION reals\n"
         "  \n"
         " . Example: LOWER_BOUND * 0.0 (all variables are nonnegative)\n"
         "  \n"
         " . Example: LOWER_BOUND 0-2 0.0 (the first three variables are nonnegative)\n"
         "  \n"
         " . Example: LOWER_BOUND 0 0.0 (the first variable is nonnegative)\n"
         "  \n"
         " . No default value\n\n",
         "  basic bound bounds lower variable variables constraint constraints  ", "false", "false",
         "true"},
        {"UPPER_BOUND", "QARNO::ArrayOfDouble", "-",
         " The optimization problem upper bounds for each variable ",
         " \n"
         " . Upper bounds of the variables\n"
         "  \n"
         " . Arguments: DIMENSION reals\n"
         "  \n"
         " . Example: UPPER_BOUND * 10.0 (all variables are at most 10.0)\n"
         "  \n"
         " . Example: UPPER_BOUND 0-2 10.0 (the first three variables are at most 10.0)\n"
         "  \n"
         " . Example: UPPER_BOUND 0 10.0 (the first variable is at most 10.0)\n"
         "  \n"
         " . No default value\n\n",
         "  basic bound bounds upper variable variables constraint constraints  ", "false", "false",
         "true"},
        {"BB_INPUT_TYPE", "QARNO::BBInputTypeList", "* R", " The variable blackbox input types ",
         " \n"
         " . Blackbox input types, one per variable\n"
         "  \n"
         " . Arguments: DIMENSION types: B (binary), I (integer) or R (continuous)\n"
         "  \n"
         " . Example: BB_INPUT_TYPE * I (all variables are integer)\n"
         "  \n"
         " . Example: BB_INPUT_TYPE ( R I B ) (for DIMENSION 3)\n"
         "  \n"
         " . Example: BB_INPUT_TYPE 1-3 B (NOT YET SUPPORTED)\n"
         "  \n"
         " . Example: BB_INPUT_TYPE 0 I (NOT YET SUPPORTED)\n"
         "  \n"
         " . Default: * R\n\n",
         "  basic blackbox blackboxes input inputs type types int integer integers binary bin "
         "continuous \n categorical  ",
         "false", "false", "true"},
        {"INITIAL_MESH_SIZE", "QARNO::ArrayOfDouble", "-", " The initial mesh size of MADS ",
         " \n"
         " . Initial mesh size of MADS\n"
         "  \n"
         " . Arguments: one or DIMENSION positive reals (one mesh size per variable)\n"
         "  \n"
         " . When it is given, the initial frame size is derived from it\n"
         "  \n"
         " . Example: INITIAL_MESH_SIZE * 1.0 (for all variables)\n"
         "  \n"
         " . Example: INITIAL_MESH_SIZE 1 0.5 (for variable 1 only)\n"
         "  \n"
         " . Example: INITIAL_MESH_SIZE 2-4 0.5 (for variables 2 to 4)\n"
         "  \n"
         " . No default value\n\n",
         "  advanced initial mesh size mads gmesh  ", "false", "false", "true"},
        {"INITIAL_POLL_SIZE", "QARNO::ArrayOfDouble", "-", " Deprecated, see INITIAL_FRAME_SIZE ",
         " \n"
         " . Deprecated parameter, replaced by INITIAL_FRAME_SIZE\n"
         "  \n"
         " . No default value\n\n",
         "  advanced  ", "false", "false", "true"},
        {"INITIAL_FRAME_SIZE", "QARNO::ArrayOfDouble", "-", " The initial frame size of MADS ",
         " \n"
         " . Initial frame size of MADS\n"
         "  \n"
         " . Arguments: one or DIMENSION positive reals (one frame size per variable, to "
         "achieve scaling)\n"
         "  \n"
         " . An empty default is reinterpreted as 10% of the range when the bounds are "
         "defined, as |x0|/10 otherwise\n"
         "  \n"
         " . When it is given, the initial mesh size is derived from it\n"
         "  \n"
         " . Giving both INITIAL_MESH_SIZE and INITIAL_FRAME_SIZE is not allowed\n"
         "  \n"
         " . Example: INITIAL_FRAME_SIZE * 1.0 (for all variables)\n"
         "  \n"
         " . Example: INITIAL_FRAME_SIZE 1 0.5 (for variable 1 only)\n"
         "  \n"
         " . No default value\n\n",
         "  advanced intial poll frame mesh size mads gmesh  ", "false", "false", "true"},
        {"MIN_POLL_SIZE", "QARNO::ArrayOfDouble", "-", " Deprecated, see MIN_FRAME_SIZE ",
         " \n"
         " . Deprecated parameter, replaced by MIN_FRAME_SIZE\n"
         "  \n"
         " . No default value\n\n",
         "  advanced  ", "false", "false", "true"},
        {"MIN_FRAME_SIZE", "QARNO::ArrayOfDouble", "-",
         " Termination criterion on minimal frame size of MADS ",
         " \n"
         " . Termination criterion on the minimal frame size of MADS\n"
         "  \n"
         " . Set explicitly, or automatically to 1 for the integer and binary variables during "
         "the check\n"
         "  \n"
         " . Arguments: same syntax as INITIAL_FRAME_SIZE; a value may be relative (prefix r)\n"
         "  \n"
         " . Example: MIN_FRAME_SIZE r1E-5\n"
         "  \n"
         " . No default value\n\n",
         "  advanced min minimum poll frame size stop stopping terminate terminates \n "
         "termination terminations mads  ",
         "false", "false", "true"},
        {"MIN_MESH_SIZE", "QARNO::ArrayOfDouble", "-",
         " Termination criterion on minimal mesh size of MADS ",
         " \n"
         " . Termination criterion on the minimal mesh size of MADS\n"
         "  \n"
         " . Arguments: same syntax as INITIAL_MESH_SIZE; a value may be relative (prefix r)\n"
         "  \n"
         " . Example: MIN_MESH_SIZE r1E-5\n"
         "  \n"
         " . No default value\n\n",
         "  advanced min minimum frame mesh size stop stopping terminate terminates termination "
         "terminations \n mads  ",
         "false", "false", "true"},
        {"GRANULARITY", "QARNO::ArrayOfDouble", "-", " The granularity of the variables ",
         " \n"
         " . Granularity of the variables, by index\n"
         "  \n"
         " . Arguments: positive reals, 0 for a real variable\n"
         "  \n"
         " . Example: GRANULARITY ( 0.01 0.0 0.01 )\n"
         "  \n"
         " . Example: GRANULARITY 0-1 0.01\n"
         "  \n"
         " . Example: GRANULARITY * 0.01\n"
         "  \n"
         " . No default value\n\n",
         "  advanced granular integer integers variable variables step  ", "false", "false",
         "true"},
        {"FIXED_VARIABLE", "QARNO::Point", "-", " Fix some variables to some specific values ",
         " \n"
         " . Fix some variables to some specific values\n"
         "  \n"
         " . Arguments: variable indices and values; the values are optional: the X0 values "
         "are used instead\n"
         "  \n"
         " . Example: FIXED_VARIABLE ( 0.0 - 0.0 ) (variables 0 and 2 are fixed to 0.0, "
         "variable 1 is free)\n"
         "  \n"
         " . Example: FIXED_VARIABLE 0 (variable 0 is fixed to its X0 value)\n"
         "  \n"
         " . Example: FIXED_VARIABLE 2-4 (variables 2 to 4 are fixed to their X0 values)\n"
         "  \n"
         " . No default value\n\n",
         "  advanced fixed variable variables  ", "false", "false", "true"},
        {"STOP_IF_FEASIBLE", "bool", "false", " Stop algorithm once a feasible point is obtained ",
         " \n"
         " . Stopping criterion on feasibility\n"
         "  \n"
         " . Can be used directly; the phase-one strategy also uses it to reach a feasible "
         "point when EB constraints are set and the starting point is infeasible\n"
         "  \n"
         " . Argument: one boolean (yes or no)\n"
         "  \n"
         " . Example: STOP_IF_FEASIBLE yes\n"
         "  \n"
         " . Default: false\n\n",
         "  advanced stopping terminate terminates termination terminations phase one   ", "false",
         "false", "true"},
        {"DIRECTION_TYPE", "QARNO::DirectionType", "ORTHO 2N", " Type of direction for Mads poll ",
         " \n"
         " . Direction type of the MADS poll\n"
         "  \n"
         " . May be given only once\n"
         "  \n"
         " . Argument: one of ORTHO 2N, N+1 UNI, SINGLE, DOUBLE\n"
         "  \n"
         " . Example: DIRECTION_TYPE N+1 UNI\n"
         "  \n"
         " . Default: ORTHO 2N\n\n",
         "  advanced poll direction ortho  ", "true", "false", "true"},
        {"VARIABLE_GROUP", "QARNO::ListOfVariableGroup", "-", " The groups of variables) ",
         " \n"
         " . The MADS poll generates trial points in a separate subspace for each group of "
         "variables\n"
         "  \n"
         " . Arguments: a list of variable indices or a range of indices\n"
         "  \n"
         " . Several groups may be defined\n"
         "  \n"
         " . With a single group, the remaining indices are put into another group\n"
         "  \n"
         " . The indices must be unique\n"
         "  \n"
         " . Example: VARIABLE_GROUP 0 1 2 6\n"
         "  \n"
         " . Example: VARIABLE_GROUP 2-6\n"
         "  \n"
         " . No default value\n\n",
         "  advanced group groups variable variables var vars poll  ", "true", "false", "false"},
    };
    return table;
}

[[noreturn]] void fail(int line, const std::string& msg)
{
    throw InvalidParameter(QARNO_SOURCE_FILE, line, msg);
}

/// The stream form of a value ("inf", "NaN", "0.5", ...).
std::string str(const Double& d)
{
    std::ostringstream oss;
    oss.imbue(std::locale::classic());
    oss << d;
    return oss.str();
}

/// A value with 16 significant digits, so that a value that is almost a
/// multiple of the granularity shows how far it is off.
std::string str16(const Double& d)
{
    if (!d.isDefined() || std::fabs(d.todouble()) == DBL_MAX || !std::isfinite(d.todouble()))
    {
        return str(d);
    }
    char buf[64];
    const std::to_chars_result res =
        std::to_chars(buf, buf + sizeof(buf), d.todouble(), std::chars_format::general, 16);
    return std::string(buf, res.ptr);
}

/// Whether `value` lies beyond every multiple of the granularity `g` that a
/// double can hold: its quotient by g overflows, so that no point of the
/// mesh can be placed there. A continuous variable (g about 0) has no such
/// limit.
bool tooLargeForMesh(const Double& value, const Double& g)
{
    if (!value.isDefined() || !g.isDefined() || g.todouble() <= Double::getEpsilon())
    {
        return false;
    }
    return !std::isfinite(value.todouble() / g.todouble());
}

/// "Check: " + what + " at index i: " + the value + " is too large for the
/// mesh" and the range the granularity allows.
std::string tooLargeForMeshMessage(const std::string& what, size_t i, const Double& value,
                                   const Double& g)
{
    const double largest = (g.todouble() >= 1.0) ? DBL_MAX : DBL_MAX * g.todouble();
    return "Check: " + what + " at index " + itos(i) + ": " + str16(value) +
           " is too large for the mesh: with a granularity of " + str16(g) +
           ", the mesh holds values up to " + str16(largest) + " in absolute value";
}

std::string dimensionMismatch(size_t size, size_t n)
{
    return " has dimension " + itos(size) + " which is different from " + "problem dimension " +
           itos(n);
}

/// A bound that limits the variable: defined and finite. A bound at INF
/// (the largest double) is no limit, and a range computed from it would be
/// of the order of the largest double.
bool isLimiting(const Double& bound)
{
    return bound.isDefined() && std::fabs(bound.todouble()) < DBL_MAX;
}

/// A tenth of the distance a - b (a >= b); a distance between values of
/// opposite signs near the largest double overflows, its tenth does not.
Double tenthOfDistance(const Double& a, const Double& b)
{
    const double distance = a.todouble() - b.todouble();
    if (std::isfinite(distance))
    {
        return Double(distance) / 10.0;
    }
    return Double(a.todouble() / 10.0 - b.todouble() / 10.0);
}

/// Values given through the library interface may be NaN or infinite, which
/// no comparison orders; refused before they reach a comparison.
void checkFinite(const std::string& name, const ArrayOfDouble& values, bool infinityAllowed)
{
    for (size_t i = 0; i < values.size(); ++i)
    {
        if (!values[i].isDefined())
        {
            continue;
        }
        const double v = values[i].todouble();
        if (std::isnan(v) || (!infinityAllowed && std::isinf(v)))
        {
            fail(__LINE__, "Check: invalid value for parameter " + name + " at index " + itos(i) +
                               ": not a finite number");
        }
    }
}

} // namespace

std::ostream& operator<<(std::ostream& out, const std::vector<BBInputType>& bbInputTypes)
{
    writeAttributeValue(out, bbInputTypes);
    return out;
}

PbParameters::PbParameters() : Parameters(), _showMeshWarning(false)
{
    init();
    _showMeshWarning = true;
}

PbParameters::~PbParameters() = default;

void PbParameters::init()
{
    initFromTable("Problem", pbAttributeDefinitions());
}

void PbParameters::checkAndComply()
{
    checkInfo();
    if (!toBeChecked())
    {
        return;
    }

    const size_t n = getSpValue<size_t>("DIMENSION", false, false);
    if (0 == n)
    {
        fail(__LINE__, "Parameters check: DIMENSION must be positive");
    }
    if (n > MAX_DIMENSION)
    {
        fail(__LINE__, "Parameters check: DIMENSION must be at most " + itos(MAX_DIMENSION));
    }

    for (const char* boundName : {"LOWER_BOUND", "UPPER_BOUND"})
    {
        ArrayOfDouble bound = getSpValue<ArrayOfDouble>(boundName, false, false);
        if (bound.size() != n)
        {
            if (bound.isDefined())
            {
                fail(__LINE__, std::string("Error: Parameter ") + boundName +
                                   dimensionMismatch(bound.size(), n));
            }
            bound.resize(n);
            setAttributeValue(boundName, std::move(bound));
        }
    }

    ArrayOfPoint x0s = getSpValue<ArrayOfPoint>("X0", false, false);
    if (x0s.empty())
    {
        Point x0(n);
        for (size_t i = 0; i < n; ++i)
        {
            x0[i] = Double::toBeDefinedMark();
        }
        x0s.push_back(std::move(x0));
    }
    else
    {
        for (const Point& x0 : x0s)
        {
            if (x0.size() != n)
            {
                fail(__LINE__, "Error: X0 " + x0.display() + dimensionMismatch(x0.size(), n));
            }
        }
    }
    setSpValueDefault("X0", std::move(x0s));

    // A bound may be infinite: it then limits nothing.
    checkFinite("LOWER_BOUND", getSpValue<ArrayOfDouble>("LOWER_BOUND", false, false), true);
    checkFinite("UPPER_BOUND", getSpValue<ArrayOfDouble>("UPPER_BOUND", false, false), true);
    for (const Point& x0 : getSpValue<ArrayOfPoint>("X0", false, false))
    {
        checkFinite("X0", x0, false);
    }
    checkFinite("FIXED_VARIABLE", getSpValue<Point>("FIXED_VARIABLE", false, false), false);
    for (const char* name :
         {"GRANULARITY", "INITIAL_MESH_SIZE", "INITIAL_POLL_SIZE", "INITIAL_FRAME_SIZE",
          "MIN_POLL_SIZE", "MIN_FRAME_SIZE", "MIN_MESH_SIZE"})
    {
        checkFinite(name, getSpValue<ArrayOfDouble>(name, false, false), false);
    }

    {
        const ArrayOfDouble& lb = getSpValue<ArrayOfDouble>("LOWER_BOUND", false, false);
        const ArrayOfDouble& ub = getSpValue<ArrayOfDouble>("UPPER_BOUND", false, false);
        for (size_t i = 0; i < n; ++i)
        {
            if (!lb[i].isDefined() || !ub[i].isDefined())
            {
                continue;
            }
            if (lb[i] > ub[i])
            {
                fail(__LINE__, "Check: LOWER_BOUND is greater than UPPER_BOUND at index " +
                                   itos(i) + ". Lower bound = " + lb[i].tostring() +
                                   "; Upper bound = " + ub[i].tostring());
            }
            if (lb[i] == ub[i])
            {
                fail(__LINE__, "Check: LOWER_BOUND is equal to UPPER_BOUND at index " + itos(i) +
                                   ". Value = " + lb[i].tostring());
            }
        }
    }

    {
        const ArrayOfDouble& pollSize =
            getSpValue<ArrayOfDouble>("INITIAL_POLL_SIZE", false, false);
        const ArrayOfDouble& frameSize =
            getSpValue<ArrayOfDouble>("INITIAL_FRAME_SIZE", false, false);
        if (pollSize.isDefined() && frameSize.isDefined())
        {
            fail(__LINE__, "Check: INITIAL_POLL_SIZE (deprecated) and INITIAL_FRAME_SIZE are "
                           "defined. Just one must be set");
        }
        if (pollSize.isDefined())
        {
            setAttributeValue("INITIAL_FRAME_SIZE", ArrayOfDouble(pollSize));
        }
    }
    {
        const ArrayOfDouble& pollSize = getSpValue<ArrayOfDouble>("MIN_POLL_SIZE", false, false);
        const ArrayOfDouble& frameSize = getSpValue<ArrayOfDouble>("MIN_FRAME_SIZE", false, false);
        if (pollSize.isDefined() && frameSize.isDefined())
        {
            fail(__LINE__, "Check: MIN_POLL_SIZE (deprecated) and MIN_FRAME_SIZE are defined. "
                           "Just one must be set.");
        }
        if (pollSize.isDefined())
        {
            setAttributeValue("MIN_FRAME_SIZE", ArrayOfDouble(pollSize));
        }
    }

    setGranularityAndBBInputType();
    setVariableGroups();
    setFixedVariables();
    checkX0AgainstBounds();

    setMinMeshParameters("MIN_MESH_SIZE");
    setMinMeshParameters("MIN_FRAME_SIZE");
    setInitialMeshParameters();

    checkX0ForGranularity();
    checkForGranularity("MIN_MESH_SIZE");
    checkForGranularity("MIN_FRAME_SIZE");
    checkForGranularity("INITIAL_MESH_SIZE");
    checkForGranularity("INITIAL_FRAME_SIZE");

    _toBeChecked = false;
}

void PbParameters::setGranularityAndBBInputType()
{
    const size_t n = getSpValue<size_t>("DIMENSION", false, false);
    ArrayOfDouble granularity = getSpValue<ArrayOfDouble>("GRANULARITY", false, false);
    BBInputTypeList bbInputTypes = getSpValue<BBInputTypeList>("BB_INPUT_TYPE", false, false);
    ArrayOfDouble lb = getSpValue<ArrayOfDouble>("LOWER_BOUND", false, false);
    ArrayOfDouble ub = getSpValue<ArrayOfDouble>("UPPER_BOUND", false, false);

    if (granularity.size() != n)
    {
        if (granularity.isDefined())
        {
            fail(__LINE__,
                 "Error: Parameter GRANULARITY" + dimensionMismatch(granularity.size(), n));
        }
        granularity.resize(n);
        setAttributeValue("GRANULARITY", granularity);
    }
    if (!granularity.isDefined())
    {
        granularity.reset(n, 0.0);
        setAttributeValue("GRANULARITY", granularity);
    }
    const Double zero(0.0);
    for (size_t i = 0; i < n; ++i)
    {
        if (!granularity[i].isDefined())
        {
            granularity[i] = 0.0;
        }
        else if (granularity[i] < zero)
        {
            fail(__LINE__, "Check: invalid granular variables (negative values)");
        }
    }
    setAttributeValue("GRANULARITY", granularity);

    if (bbInputTypes.empty())
    {
        bbInputTypes.assign(n, BBInputType::CONTINUOUS);
        setAttributeValue("BB_INPUT_TYPE", bbInputTypes);
    }
    // A starred type stands for every variable; only the first element is
    // looked at, as the reader makes it a one-element list.
    const BBInputType first = bbInputTypes.front();
    if (BBInputType::ALL_INTEGER == first || BBInputType::ALL_BINARY == first ||
        BBInputType::ALL_CONTINUOUS == first)
    {
        const BBInputType each = (BBInputType::ALL_INTEGER == first)  ? BBInputType::INTEGER
                                 : (BBInputType::ALL_BINARY == first) ? BBInputType::BINARY
                                                                      : BBInputType::CONTINUOUS;
        bbInputTypes.assign(n, each);
        setAttributeValue("BB_INPUT_TYPE", bbInputTypes);
    }
    if (!isSetByUser("BB_INPUT_TYPE"))
    {
        bbInputTypes.resize(n, BBInputType::CONTINUOUS);
        setAttributeValue("BB_INPUT_TYPE", bbInputTypes);
    }
    if (bbInputTypes.size() != n)
    {
        std::ostringstream oss;
        oss << bbInputTypes;
        fail(__LINE__,
             "Error: BB_INPUT_TYPE " + oss.str() + dimensionMismatch(bbInputTypes.size(), n));
    }

    const Double one(1.0);
    for (size_t i = 0; i < n; ++i)
    {
        if (BBInputType::INTEGER == bbInputTypes[i])
        {
            if (!granularity[i].isInteger())
            {
                fail(__LINE__, "Check: Invalid granularity[" + itos(i) +
                                   "] = " + str(granularity[i]) + " for BB_INPUT_TYPE INTEGER");
            }
            if (!(granularity[i] > one))
            {
                granularity[i] = 1.0;
            }
        }
        else if (BBInputType::BINARY == bbInputTypes[i])
        {
            granularity[i] = 1.0;
            lb[i] = 0.0;
            ub[i] = 1.0;
        }
    }

    setAttributeValue("GRANULARITY", std::move(granularity));
    setAttributeValue("LOWER_BOUND", std::move(lb));
    setAttributeValue("UPPER_BOUND", std::move(ub));
}

void PbParameters::setVariableGroups()
{
    ListOfVariableGroup groups = getSpValue<ListOfVariableGroup>("VARIABLE_GROUP", false, false);
    if (groups.empty())
    {
        return;
    }
    const size_t n = getSpValue<size_t>("DIMENSION", false, false);

    // One flag per variable: the walk stays linear in the number of indices.
    std::vector<bool> seen(n, false);
    size_t nbSeen = 0;
    for (const VariableGroup& group : groups)
    {
        for (const size_t index : group)
        {
            if (index >= n)
            {
                fail(__LINE__, "Parameters check: VARIABLE_GROUP, an index must be an integer in "
                               "[0;" +
                                   itos(n - 1) + "].\n");
            }
            if (seen[index])
            {
                fail(__LINE__, "Parameters check: VARIABLE_GROUP, each index must be unique.\n");
            }
            seen[index] = true;
            ++nbSeen;
        }
    }

    if (nbSeen < n)
    {
        VariableGroup others;
        for (size_t i = 0; i < n; ++i)
        {
            if (!seen[i])
            {
                others.insert(others.end(), i);
            }
        }
        groups.push_back(std::move(others));
        setSpValueDefault("VARIABLE_GROUP", std::move(groups));
    }
}

void PbParameters::setFixedVariables()
{
    const size_t n = getSpValue<size_t>("DIMENSION", false, false);
    const ArrayOfDouble& lb = getSpValue<ArrayOfDouble>("LOWER_BOUND", false, false);
    const ArrayOfDouble& ub = getSpValue<ArrayOfDouble>("UPPER_BOUND", false, false);
    const ArrayOfPoint& x0s = getSpValue<ArrayOfPoint>("X0", false, false);
    Point fixed = getSpValue<Point>("FIXED_VARIABLE", false, false);

    if (!fixed.isDefined())
    {
        // Empty, or only indices without values: keeps the to-be-defined marks.
        fixed.resize(n);
    }
    else if (fixed.size() != n)
    {
        fail(__LINE__, "Error: FIXED_VARIABLES" + dimensionMismatch(fixed.size(), n));
    }

    for (const Point& x0 : x0s)
    {
        for (size_t i = 0; i < n; ++i)
        {
            if (fixed[i].isToBeDefinedMark() && x0[i].isDefined())
            {
                fixed[i] = x0[i];
            }
            else if (fixed[i].isDefined() && x0[i].isDefined() && fixed[i] != x0[i])
            {
                fail(__LINE__, "Parameters check: fixed variable must be the same as x0 at index " +
                                   itos(i) + ":\n" + "v[" + itos(i) + "] = " + str(fixed[i]) +
                                   " != x0[" + itos(i) + "] = " + str(x0[i]) + "\n");
            }
            if (fixed[i].isDefined())
            {
                if (lb[i].isDefined() && fixed[i] < lb[i])
                {
                    fail(__LINE__, "Parameters check: fixed variable v under lower bound: v[" +
                                       itos(i) + "] = " + str(fixed[i]) + " < " + str(lb[i]) +
                                       "\n");
                }
                if (ub[i].isDefined() && fixed[i] > ub[i])
                {
                    fail(__LINE__, "Parameters check: fixed variable v over upper bound: v[" +
                                       itos(i) + "] = " + str(fixed[i]) + " > " + str(ub[i]) +
                                       "\n");
                }
            }
        }
    }

    setSpValueDefault("FIXED_VARIABLE", std::move(fixed));
}

void PbParameters::checkX0AgainstBounds() const
{
    const size_t n = getSpValue<size_t>("DIMENSION", false, false);
    const ArrayOfDouble& lb = getSpValue<ArrayOfDouble>("LOWER_BOUND", false, false);
    const ArrayOfDouble& ub = getSpValue<ArrayOfDouble>("UPPER_BOUND", false, false);
    for (const Point& x0 : getSpValue<ArrayOfPoint>("X0", false, false))
    {
        for (size_t i = 0; i < n; ++i)
        {
            if (!x0[i].isDefined())
            {
                continue;
            }
            if (lb[i].isDefined() && x0[i] < lb[i])
            {
                fail(__LINE__, "Parameters check: x0 under lower bound: x0[" + itos(i) + "] = " +
                                   str(x0[i]) + " < " + str(lb[i]) + " " + x0.display() + "\n");
            }
            if (ub[i].isDefined() && x0[i] > ub[i])
            {
                fail(__LINE__, "Parameters check: x0 over upper bound: x0[" + itos(i) +
                                   "] = " + str(x0[i]) + " > " + str(ub[i]) + "\n");
            }
        }
    }
}

void PbParameters::checkX0ForGranularity() const
{
    for (const Point& x0 : getSpValue<ArrayOfPoint>("X0", false, false))
    {
        if (!x0.toBeDefined())
        {
            checkForGranularity("X0", x0);
        }
    }
}

void PbParameters::checkForGranularity(const std::string& paramName) const
{
    checkForGranularity(paramName, getSpValue<ArrayOfDouble>(paramName, false, false));
}

void PbParameters::checkForGranularity(const std::string& paramName,
                                       const ArrayOfDouble& values) const
{
    const ArrayOfDouble& granularity = getSpValue<ArrayOfDouble>("GRANULARITY", false, false);
    const double eps = Double::getEpsilon();
    for (size_t i = 0; i < values.size() && i < granularity.size(); ++i)
    {
        // A continuous variable (granularity 0 within epsilon) takes any
        // value, an undefined coordinate of a starting point included.
        const Double& g = granularity[i];
        if (!g.isDefined() || std::fabs(g.todouble()) < eps)
        {
            continue;
        }
        if (tooLargeForMesh(values[i], g))
        {
            fail(__LINE__, tooLargeForMeshMessage(paramName, i, values[i], g));
        }
        if (!values[i].isMultipleOf(g))
        {
            fail(__LINE__, "Check: Invalid granularity of parameter " + paramName + " at index " +
                               itos(i) + ": " + str16(values[i]) + " vs granularity value " +
                               str16(g));
        }
    }
}

void PbParameters::setMinMeshParameters(const std::string& paramName)
{
    const size_t n = getSpValue<size_t>("DIMENSION", false, false);
    const ArrayOfDouble& granularity = getSpValue<ArrayOfDouble>("GRANULARITY", false, false);
    ArrayOfDouble minSize = getSpValue<ArrayOfDouble>(paramName, false, false);
    const double eps = Double::getEpsilon();
    const Double zero(0.0);

    if (!minSize.isDefined())
    {
        minSize.reset(n, eps);
        for (size_t i = 0; i < n; ++i)
        {
            if (granularity[i] > zero)
            {
                minSize[i] = granularity[i];
            }
        }
    }
    else
    {
        if (minSize.size() != n)
        {
            fail(__LINE__, "Error: " + paramName + dimensionMismatch(minSize.size(), n));
        }
        for (size_t i = 0; i < n; ++i)
        {
            if (minSize[i].isDefined() && minSize[i].todouble() <= 0.0)
            {
                fail(__LINE__, "Check: invalid value for parameter " + paramName);
            }
            if (!minSize[i].isDefined() || minSize[i].todouble() < eps)
            {
                minSize[i] = eps;
                if (granularity[i] > zero)
                {
                    minSize[i] = granularity[i];
                }
            }
            else if (granularity[i] > zero && minSize[i] < granularity[i])
            {
                minSize[i] = granularity[i];
            }
        }
    }
    setAttributeValue(paramName, std::move(minSize));
}

void PbParameters::setInitialMeshParameters()
{
    const size_t n = getSpValue<size_t>("DIMENSION", false, false);
    const ArrayOfDouble granularity = getSpValue<ArrayOfDouble>("GRANULARITY", false, false);
    const ArrayOfDouble lb = getSpValue<ArrayOfDouble>("LOWER_BOUND", false, false);
    const ArrayOfDouble ub = getSpValue<ArrayOfDouble>("UPPER_BOUND", false, false);
    const ArrayOfPoint x0s = getSpValue<ArrayOfPoint>("X0", false, false);
    const ArrayOfDouble minMesh = getSpValue<ArrayOfDouble>("MIN_MESH_SIZE", false, false);
    const ArrayOfDouble minFrame = getSpValue<ArrayOfDouble>("MIN_FRAME_SIZE", false, false);
    ArrayOfDouble mesh = getSpValue<ArrayOfDouble>("INITIAL_MESH_SIZE", false, false);
    ArrayOfDouble frame = getSpValue<ArrayOfDouble>("INITIAL_FRAME_SIZE", false, false);
    const ArrayOfDouble entryMesh = mesh;

    if (mesh.isDefined() && mesh.size() != n)
    {
        fail(__LINE__, "Error: INITIAL_MESH_SIZE" + dimensionMismatch(mesh.size(), n));
    }
    if (frame.isDefined() && frame.size() != n)
    {
        fail(__LINE__, "Error: INITIAL_FRAME_SIZE" + dimensionMismatch(frame.size(), n));
    }
    if (mesh.isDefined() && frame.isDefined())
    {
        // The frame takes precedence; the mesh is derived from it.
        mesh.reset(n);
    }
    if (!mesh.isDefined())
    {
        mesh.reset(n);
        setAttributeValue("INITIAL_MESH_SIZE", mesh);
    }
    if (!frame.isDefined())
    {
        frame.reset(n);
        setAttributeValue("INITIAL_FRAME_SIZE", frame);
    }

    // With several starting points the extent of the points is compared
    // coordinate by coordinate, which needs every coordinate. A single point
    // may be partly or wholly to be defined: its undefined coordinates just
    // give no extent.
    if (x0s.size() > 1)
    {
        for (const Point& x0 : x0s)
        {
            for (size_t j = 0; j < n; ++j)
            {
                if (!x0[j].isDefined())
                {
                    fail(__LINE__, "Check: X0 " + x0.display() +
                                       " has an undefined coordinate at index " + itos(j) +
                                       ". With more than one X0 point, every coordinate must be "
                                       "defined");
                }
            }
        }
    }
    ArrayOfDouble x0min(n);
    ArrayOfDouble x0max(n);
    for (const Point& x0 : x0s)
    {
        for (size_t j = 0; j < n && j < x0.size(); ++j)
        {
            if (tooLargeForMesh(x0[j], granularity[j]))
            {
                fail(__LINE__, tooLargeForMeshMessage("X0", j, x0[j], granularity[j]));
            }
        }
        for (size_t j = 0; j < n; ++j)
        {
            if (!x0min[j].isDefined() || x0[j] < x0min[j])
            {
                x0min[j] = x0[j];
            }
            if (!x0max[j].isDefined() || x0[j] > x0max[j])
            {
                x0max[j] = x0[j];
            }
        }
    }

    const double sqrtN = std::pow(static_cast<double>(n), 0.5);
    const double invSqrtN = std::pow(static_cast<double>(n), -0.5);
    const Double tenEps(10.0 * Double::getEpsilon());
    for (size_t i = 0; i < n; ++i)
    {
        // Where the frame size comes from, for the message of a size that
        // no multiple of the granularity can hold.
        std::string origin = "INITIAL_FRAME_SIZE";
        const auto onMesh = [&](const Double& size)
        {
            if (tooLargeForMesh(size, granularity[i]))
            {
                fail(__LINE__, tooLargeForMeshMessage(origin, i, size, granularity[i]));
            }
            return size.nextMult(granularity[i]);
        };
        if (mesh[i].isDefined())
        {
            origin = "INITIAL_FRAME_SIZE (from INITIAL_MESH_SIZE)";
            frame[i] = onMesh(mesh[i] * sqrtN);
            if (frame[i] < minFrame[i])
            {
                frame[i] = minFrame[i];
            }
        }
        if (!frame[i].isDefined())
        {
            const bool hasLower = isLimiting(lb[i]);
            const bool hasUpper = isLimiting(ub[i]);
            if (hasLower && hasUpper)
            {
                origin = "INITIAL_FRAME_SIZE (a tenth of the distance between the bounds)";
                const double range = ub[i].todouble() - lb[i].todouble();
                // Bounds of opposite signs near the largest double: the range
                // overflows, its tenth does not.
                frame[i] = std::isfinite(range) ? 0.1 * range
                                                : 0.1 * ub[i].todouble() - 0.1 * lb[i].todouble();
            }
            else if (hasLower && x0min[i].isDefined() && x0min[i] != lb[i])
            {
                origin = "INITIAL_FRAME_SIZE (a tenth of the distance from X0 to the lower bound)";
                frame[i] = tenthOfDistance(x0min[i], lb[i]);
            }
            else if (hasUpper && x0max[i].isDefined() && x0max[i] != ub[i])
            {
                origin = "INITIAL_FRAME_SIZE (a tenth of the distance from X0 to the upper bound)";
                frame[i] = tenthOfDistance(ub[i], x0max[i]);
            }
            else if (x0min[i].isDefined() && x0min[i].abs() > tenEps)
            {
                origin = "INITIAL_FRAME_SIZE (a tenth of X0)";
                frame[i] = x0min[i].abs() / 10.0;
            }
            else
            {
                frame[i] = 1.0;
            }
            frame[i] = onMesh(frame[i]);
            if (frame[i] < minFrame[i])
            {
                frame[i] = minFrame[i];
            }
        }
        // A frame size given as it stands is checked here, before a mesh
        // size is derived from it.
        if (tooLargeForMesh(frame[i], granularity[i]))
        {
            fail(__LINE__, tooLargeForMeshMessage(origin, i, frame[i], granularity[i]));
        }
        if (!mesh[i].isDefined())
        {
            mesh[i] = frame[i] * invSqrtN;
            mesh[i] = mesh[i].nextMult(granularity[i]);
            if (mesh[i] < minMesh[i])
            {
                mesh[i] = minMesh[i];
            }
        }
    }

    if (_showMeshWarning && entryMesh.isDefined() && !(entryMesh == mesh))
    {
        std::cerr << "Warning: initial mesh size reset from initial frame size.\n"
                  << "INITIAL_MESH_SIZE: " << mesh.display() << "\n"
                  << "INITIAL_FRAME_SIZE: " << frame.display() << "\n";
        _showMeshWarning = false;
    }

    setAttributeValue("INITIAL_FRAME_SIZE", frame);
    setAttributeValue("INITIAL_MESH_SIZE", mesh);

    if (!(minMesh <= mesh))
    {
        fail(__LINE__, "Check: initial mesh size is lower than min mesh size.\n"
                       "INITIAL_MESH_SIZE " +
                           mesh.display() + "\n" + "MIN_MESH_SIZE " + minMesh.display());
    }
    if (!(minFrame <= frame))
    {
        fail(__LINE__, "Check: initial frame size is lower than min frame size.\n"
                       "INITIAL_FRAME_SIZE\t" +
                           frame.display() + "\n" + "MIN_FRAME_SIZE\t\t" + minFrame.display());
    }
}

} // namespace QARNO_4_0_0
