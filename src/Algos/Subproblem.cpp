#include "Algos/Subproblem.hpp"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "Math/ArrayOfDouble.hpp"
#include "Math/ArrayOfPoint.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/PbParameters.hpp"
#include "Type/BBInputType.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

void requireSize(const std::string& name, size_t size, size_t n)
{
    if (size != n)
    {
        // The copy below would index past the array.
        QARNO_THROW(Exception,
                    "Subproblem: " + name + " is of size " + itos(size) + ", expecting " + itos(n));
    }
}

/// The parameters of the last sub-problem made, kept so that a sub-algorithm
/// started again and again on the same problem (the Nelder-Mead search, once
/// per MADS iteration) does not copy and check them each time. They serve
/// again only when they are surely what a new copy would be: the reference
/// set is the same object, unchanged since; the fixed variable is the same
/// to the last bit; the kept set is unchanged since it was made, and no one
/// else holds it (two live algorithms never share a set that either may
/// change). A run's sets are new objects, so nothing carries over between
/// runs.
struct LastSubproblem
{
    std::weak_ptr<PbParameters> reference;
    size_t referenceChanges = 0;
    Point fixedVariable;
    std::shared_ptr<PbParameters> parameters;
    size_t changes = 0;
};

LastSubproblem& lastSubproblem()
{
    static LastSubproblem last;
    return last;
}

bool sameBits(const Point& a, const Point& b)
{
    if (a.size() != b.size())
    {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i)
    {
        if (a[i].isDefined() != b[i].isDefined() ||
            (a[i].isDefined() && !(a[i].todouble() == b[i].todouble())))
        {
            return false;
        }
    }
    return true;
}

} // namespace

Subproblem::Subproblem(const std::shared_ptr<PbParameters>& refPbParams, const Point& fixedVariable)
    : _fixedVariable(fixedVariable), _dimension(0), _refPbParams(refPbParams), _subPbParams()
{
    if (nullptr != _refPbParams)
    {
        _dimension = _refPbParams->getAttributeValue<size_t>("DIMENSION");
    }
    init();
}

Subproblem::~Subproblem() = default;

void Subproblem::init()
{
    if (nullptr == _refPbParams)
    {
        QARNO_THROW(Exception,
                    "A valid PbParameters must be provided to the Subproblem constructor.");
    }
    if (0 == _fixedVariable.size())
    {
        QARNO_THROW(Exception, "Error: Fixed variable of dimension 0");
    }
    const Point& refFixed = _refPbParams->getAttributeValue<Point>("FIXED_VARIABLE");
    _dimension = refFixed.size() - refFixed.nbDefined();
    setupProblemParameters();
}

void Subproblem::forgetLastParameters()
{
    lastSubproblem() = LastSubproblem();
}

bool Subproblem::keepsLastParameters()
{
    return nullptr != lastSubproblem().parameters;
}

void Subproblem::setupProblemParameters()
{
    LastSubproblem& last = lastSubproblem();
    if (nullptr != last.parameters && 1 == last.parameters.use_count() &&
        last.changes == last.parameters->getChangeCount() &&
        last.reference.lock() == _refPbParams &&
        last.referenceChanges == _refPbParams->getChangeCount() &&
        sameBits(last.fixedVariable, _fixedVariable))
    {
        _subPbParams = last.parameters;
    }
    else
    {
        last = LastSubproblem();
        makeProblemParameters();
        last.reference = _refPbParams;
        last.referenceChanges = _refPbParams->getChangeCount();
        last.fixedVariable = _fixedVariable;
        last.parameters = _subPbParams;
        last.changes = _subPbParams->getChangeCount();
    }
    completeFixedVariable();
}

void Subproblem::makeProblemParameters()
{
    const size_t n = _refPbParams->getAttributeValue<size_t>("DIMENSION");

    _subPbParams = std::make_shared<PbParameters>();
    _subPbParams->copyParameters(*_refPbParams);
    _subPbParams->setAttributeValue("DIMENSION", _dimension);

    const ArrayOfPoint& x0s = _refPbParams->getAttributeValue<ArrayOfPoint>("X0");
    const ArrayOfDouble& lb = _refPbParams->getAttributeValue<ArrayOfDouble>("LOWER_BOUND");
    const ArrayOfDouble& ub = _refPbParams->getAttributeValue<ArrayOfDouble>("UPPER_BOUND");
    const BBInputTypeList& inputTypes =
        _refPbParams->getAttributeValue<BBInputTypeList>("BB_INPUT_TYPE");
    const ArrayOfDouble& initialMesh =
        _refPbParams->getAttributeValue<ArrayOfDouble>("INITIAL_MESH_SIZE");
    const ArrayOfDouble& initialFrame =
        _refPbParams->getAttributeValue<ArrayOfDouble>("INITIAL_FRAME_SIZE");
    const ArrayOfDouble& minMesh = _refPbParams->getAttributeValue<ArrayOfDouble>("MIN_MESH_SIZE");
    const ArrayOfDouble& minFrame =
        _refPbParams->getAttributeValue<ArrayOfDouble>("MIN_FRAME_SIZE");
    const ArrayOfDouble& granularity =
        _refPbParams->getAttributeValue<ArrayOfDouble>("GRANULARITY");
    const ListOfVariableGroup& refGroups =
        _refPbParams->getAttributeValue<ListOfVariableGroup>("VARIABLE_GROUP");
    const Point refFixed = _refPbParams->getAttributeValue<Point>("FIXED_VARIABLE");

    // Checked parameters hold every array at the dimension; anything else is
    // reported rather than read out of range.
    requireSize("FIXED_VARIABLE", refFixed.size(), n);
    for (const Point& x0 : x0s)
    {
        requireSize("X0", x0.size(), n);
    }
    requireSize("LOWER_BOUND", lb.size(), n);
    requireSize("UPPER_BOUND", ub.size(), n);
    requireSize("BB_INPUT_TYPE", inputTypes.size(), n);
    requireSize("INITIAL_MESH_SIZE", initialMesh.size(), n);
    requireSize("INITIAL_FRAME_SIZE", initialFrame.size(), n);
    requireSize("MIN_MESH_SIZE", minMesh.size(), n);
    requireSize("MIN_FRAME_SIZE", minFrame.size(), n);
    requireSize("GRANULARITY", granularity.size(), n);

    ArrayOfPoint subX0s(x0s.size(), Point(_dimension));
    ArrayOfDouble subLb(_dimension), subUb(_dimension);
    ArrayOfDouble subInitialMesh(_dimension), subInitialFrame(_dimension);
    ArrayOfDouble subMinMesh(_dimension), subMinFrame(_dimension);
    ArrayOfDouble subGranularity(_dimension);
    BBInputTypeList subInputTypes;

    for (size_t i = 0, j = 0; i < n; ++i)
    {
        if (refFixed[i].isDefined())
        {
            continue;
        }
        for (size_t k = 0; k < x0s.size(); ++k)
        {
            subX0s[k][j] = x0s[k][i];
        }
        subLb[j] = lb[i];
        subUb[j] = ub[i];
        subInitialMesh[j] = initialMesh[i];
        subInitialFrame[j] = initialFrame[i];
        subMinMesh[j] = minMesh[i];
        subMinFrame[j] = minFrame[i];
        subGranularity[j] = granularity[i];
        subInputTypes.push_back(inputTypes[i]);
        ++j;
    }

    ListOfVariableGroup subGroups = refGroups;
    resetVariableGroupsAgainstFixedVariables(subGroups, refFixed);

    _subPbParams->setAttributeValue("X0", std::move(subX0s));
    _subPbParams->setAttributeValue("FIXED_VARIABLE", Point(_dimension));
    _subPbParams->setAttributeValue("LOWER_BOUND", std::move(subLb));
    _subPbParams->setAttributeValue("UPPER_BOUND", std::move(subUb));
    _subPbParams->setAttributeValue("BB_INPUT_TYPE", std::move(subInputTypes));
    _subPbParams->setAttributeValue("INITIAL_MESH_SIZE", std::move(subInitialMesh));
    _subPbParams->setAttributeValue("INITIAL_FRAME_SIZE", std::move(subInitialFrame));
    _subPbParams->setAttributeValue("MIN_MESH_SIZE", std::move(subMinMesh));
    _subPbParams->setAttributeValue("MIN_FRAME_SIZE", std::move(subMinFrame));
    _subPbParams->setAttributeValue("GRANULARITY", std::move(subGranularity));
    _subPbParams->setAttributeValue("VARIABLE_GROUP", std::move(subGroups));

    _subPbParams->_showMeshWarning = false;
    _subPbParams->checkAndComply();
}

void Subproblem::completeFixedVariable()
{
    const Point& refFixed = _refPbParams->getAttributeValue<Point>("FIXED_VARIABLE");

    // Complete the fixed variable with the reference's own fixed values.
    Point fixed = refFixed;
    if (fixed.size() == _fixedVariable.size())
    {
        fixed = fixed.makeSubSpacePointFromFixed(_fixedVariable, true);
    }
    const size_t nbFree = _fixedVariable.size() - _fixedVariable.nbDefined();
    if (fixed.size() != nbFree)
    {
        QARNO_THROW(Exception, "Expecting FIXED_VARIABLE to be of size " + itos(nbFree) +
                                   ". Current FIXED_VARIABLE is of size " + itos(fixed.size()) +
                                   ": " + fixed.display());
    }
    for (size_t i = 0, j = 0; i < _fixedVariable.size(); ++i)
    {
        if (!_fixedVariable[i].isDefined())
        {
            _fixedVariable[i] = fixed[j];
            ++j;
        }
    }

    OutputQueue::addIfShown(OutputLevel::LEVEL_INFO,
                            [&] { return "FIXED_VARIABLE set to " + _fixedVariable.display(); });
}

void Subproblem::resetVariableGroupsAgainstFixedVariables(ListOfVariableGroup& groups,
                                                          const Point& fixedVariable) const
{
    if (groups.empty() || 0 == fixedVariable.nbDefined())
    {
        return;
    }
    // One pass with a rank table instead of one rewrite of every group per
    // fixed index: a free index v becomes v minus the number of fixed indices
    // below it, a fixed index is dropped.
    std::vector<size_t> fixedIndices;
    for (size_t i = 0; i < fixedVariable.size(); ++i)
    {
        if (fixedVariable[i].isDefined())
        {
            fixedIndices.push_back(i);
        }
    }
    ListOfVariableGroup result;
    for (const VariableGroup& group : groups)
    {
        VariableGroup newGroup;
        for (size_t v : group)
        {
            const auto it = std::lower_bound(fixedIndices.begin(), fixedIndices.end(), v);
            if (it != fixedIndices.end() && *it == v)
            {
                continue;
            }
            newGroup.insert(newGroup.end(), v - static_cast<size_t>(it - fixedIndices.begin()));
        }
        if (!newGroup.empty())
        {
            result.push_back(std::move(newGroup));
        }
    }
    groups = std::move(result);
}

} // namespace QARNO_4_0_0
