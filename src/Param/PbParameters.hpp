#ifndef QARNO_PARAM_PBPARAMETERS_HPP
#define QARNO_PARAM_PBPARAMETERS_HPP

#include <iosfwd>
#include <string>
#include <vector>

#include "Param/Parameters.hpp"
#include "Type/BBInputType.hpp"

namespace QARNO_4_0_0
{

class ArrayOfDouble;

/// The parameters of the optimisation problem itself: dimension, starting
/// points, bounds, variable types, granularity, fixed variables, variable
/// groups, poll directions and the initial and minimum mesh and frame sizes.
///
/// It is the first set checked; the other sets' checks read it checked.
/// `checkAndComply` completes every array to the dimension, so that the
/// algorithms never meet a partial one:
///
///     auto pb = std::make_shared<PbParameters>();
///     pb->setAttributeValue("DIMENSION", 2);
///     pb->setAttributeValue("LOWER_BOUND", ArrayOfDouble(2, 0.0));
///     pb->checkAndComply();  // throws InvalidParameter on a bad value
///     auto frame = pb->getAttributeValue<ArrayOfDouble>("INITIAL_FRAME_SIZE");
///
/// Algorithms and sub-problems check their own copies again after changing
/// them (`copyParameters`).
class PbParameters : public Parameters
{
public:
    /// Enables the warning shown when the initial mesh size is recomputed
    /// from the initial frame size. Set at construction and cleared once the
    /// warning was written, so a set warns at most once; code that builds the
    /// set of a sub-problem or a model optimiser clears it right after
    /// construction, so that only the top-level problem warns.
    bool _showMeshWarning;

    PbParameters();
    ~PbParameters() override;

    /// Sets the type name "Problem" and registers the problem keywords.
    /// Throws Exception "Attribute registration failed: ..." on failure.
    void init() override;

    /// Checks the values and completes them for the dimension; throws
    /// InvalidParameter with the reason. Does nothing (but the info check)
    /// when nothing changed since the last successful check.
    void checkAndComply();

private:
    void setGranularityAndBBInputType();
    void setVariableGroups();
    void setFixedVariables();
    void checkX0AgainstBounds() const;
    void checkX0ForGranularity() const;
    void checkForGranularity(const std::string& paramName) const;
    void checkForGranularity(const std::string& paramName, const ArrayOfDouble& values) const;

    /// Completes MIN_MESH_SIZE or MIN_FRAME_SIZE (`paramName`).
    void setMinMeshParameters(const std::string& paramName);
    /// Completes INITIAL_FRAME_SIZE and INITIAL_MESH_SIZE from each other,
    /// the bounds and the starting points.
    void setInitialMeshParameters();
};

/// "I" for an integer, "B" for a binary and "R" for any other type, one
/// blank between two elements and nothing around them.
std::ostream& operator<<(std::ostream& out, const std::vector<BBInputType>& bbInputTypes);

} // namespace QARNO_4_0_0

#endif
