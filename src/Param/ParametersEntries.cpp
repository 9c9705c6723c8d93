// Reading parameter files and lines into the shared entry store, and
// interpreting the stored entries into the typed values of a parameter set.

#include "Param/Parameters.hpp"

#include <climits>
#include <cmath>
#include <fstream>
#include <iostream>
#include <limits>
#include <sys/stat.h>
#include <typeindex>
#include <typeinfo>
#include <unistd.h>

#include "Param/ParameterEntry.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

ParameterEntries Parameters::_paramEntries;

namespace
{

const char* const STANDARD_INPUT = "Standard Input";

// A point index of X0 must stay below this. A position is a count of starting
// points, and a million of them is far beyond any run; what matters is that a
// word such as "1e300" or "INF" (integral when read as a real) can never make
// the list grow to that many points. Points skipped by a large index stay
// empty, a few machine words each.
const double MAX_POINT_INDEX = 1e6;

// NAME " at line " LINE: the tail of most messages of this file.
std::string atLine(const ParameterEntry& pe)
{
    return pe.getName() + " at line " + itos(pe.getLine());
}

// The dimension rule: arrays, points and variable groups are sized by the
// set's DIMENSION, which must have been given. A set without a DIMENSION
// attribute cannot size them at all, so it refuses them the same way.
size_t entryDimension(const Parameters& params)
{
    if (!params.isRegisteredAttribute("DIMENSION") ||
        params.isAttributeDefaultValue<size_t>("DIMENSION"))
    {
        QARNO_THROW(Exception, "Dimension must be set!");
    }
    const size_t dimension = params.getSpValue<size_t>("DIMENSION", false, false);
    if (dimension > Parameters::MAX_DIMENSION)
    {
        QARNO_THROW(Exception, "Parameters check: DIMENSION must be at most " +
                                   itos(Parameters::MAX_DIMENSION));
    }
    return dimension;
}

[[noreturn]] void throwTooManyGroupIndices(size_t dimension)
{
    QARNO_THROW(Exception, "Number of indices for VARIABLE_GROUP must be smaller than DIMENSION (" +
                               itos(dimension) + ").");
}

ArrayOfString valueWords(const ParameterEntry& pe)
{
    ArrayOfString words;
    for (const auto& value : pe.getValues())
    {
        words.add(value);
    }
    return words;
}

// The values joined by one blank. The readers of one enumeration word compare
// the whole text, so the trailing blank of getAllValues() would make every
// line of such a keyword fail ("EFI " is no formulation).
std::string joinedValues(const ParameterEntry& pe)
{
    std::string all = pe.getAllValues();
    if (!all.empty())
    {
        all.pop_back();
    }
    return all;
}

template <typename T> bool isType(const std::type_index& type)
{
    return type == std::type_index(typeid(T));
}

} // namespace

// ---------------------------------------------------------------------------
// Parsing into the store
// ---------------------------------------------------------------------------

void Parameters::readParamFileAndSetEntries(const std::string& paramFile, bool overwrite,
                                            bool resetAllEntries)
{
    std::string err = "Could not open parameters file '" + paramFile + "'";
    std::ifstream in;
    // A directory passes the access test and even opens, but reads nothing:
    // refused like a missing file, so that it cannot silently empty the store.
    struct stat info;
    if (access(paramFile.c_str(), R_OK) == 0 && stat(paramFile.c_str(), &info) == 0 &&
        !S_ISDIR(info.st_mode))
    {
        in.open(paramFile, std::ios::in | std::ios::binary);
        if (!in.fail())
        {
            err.clear();
        }
    }
    if (!err.empty())
    {
        in.close();
        QARNO_THROW(Exception, err);
    }

    if (resetAllEntries)
    {
        _paramEntries.eraseAll();
    }

    int lineNumber = 0;
    std::string line;
    while (in.good())
    {
        std::getline(in, line);
        if (lineNumber < INT_MAX)
        {
            ++lineNumber;
        }
        if (!in.fail() && !line.empty())
        {
            readParamLine(line, paramFile, lineNumber, overwrite);
        }
    }
    in.close();
}

void Parameters::readParamLine(const std::string& line, const std::string& paramFile,
                               int lineNumber, bool overwrite)
{
    auto pe = std::make_shared<ParameterEntry>(line, true);
    pe->setParamFile(paramFile);
    pe->setLine(lineNumber);

    if (pe->isOk())
    {
        if (overwrite)
        {
            const auto stored = _paramEntries.find(pe->getName());
            if (stored)
            {
                _paramEntries.erase(stored);
            }
        }
        _paramEntries.insert(pe);
        return;
    }

    if (!pe->getName().empty() && pe->getNbValues() == 0)
    {
        const std::string err = "Invalid parameter: " + pe->getName();
        if (lineNumber > 0)
        {
            throw Exception(paramFile, static_cast<size_t>(lineNumber), err);
        }
        std::cerr << "Warning: " << err << std::endl;
    }
    // Anything else that is not usable (no keyword, or a quote left open
    // after some values) is dropped.
}

// ---------------------------------------------------------------------------
// Interpreting the store
// ---------------------------------------------------------------------------

void Parameters::readParamLine(const std::string& line, bool overwrite)
{
    markToBeChecked();
    readParamLine(line, STANDARD_INPUT, 0, overwrite);
    try
    {
        readEntries(false);
    }
    catch (const Exception& e)
    {
        std::cerr << "Warning: " << e.what() << std::endl;
    }
}

void Parameters::readEntries(bool allowMultipleEntries)
{
    markToBeChecked();

    // DIMENSION first: the arrays, points and groups are sized by it,
    // whatever the order of the lines.
    if (isRegisteredAttribute("DIMENSION"))
    {
        const auto pe = _paramEntries.find("DIMENSION");
        if (pe)
        {
            if (!pe->isUnique())
            {
                QARNO_THROW(Exception, "Multiple entries of parameter: DIMENSION at line #" +
                                           itos(pe->getLine()) + "! ");
            }
            size_t dimension = 0;
            checkFormatSizeT(pe, dimension);
            setEntryValue<size_t>("DIMENSION", dimension);
            pe->setHasBeenInterpreted(true);
        }
    }

    for (const auto& att : getAttributes())
    {
        const std::string& name = att->getName();
        if (name == "DIMENSION")
        {
            continue;
        }
        auto pe = _paramEntries.find(name);
        if (!pe)
        {
            continue;
        }
        const std::type_index* typePtr = findTypeOfAttribute(name);
        const bool unique = att->getParamFromUniqueEntry();

        // The groups are built afresh from the stored entries at every call,
        // so that interpreting the store again (after each further line, for
        // instance) does not append the same groups once more. The points are
        // merged into the stored list in place. Both lists are stored once
        // for the whole chain, also when an entry fails (with what the entries
        // before it gave): a store per entry made n entries cost n copies of
        // the list.
        ListOfVariableGroup groupsFromEntries;
        bool groupsRead = false;
        bool pointsRead = false;
        auto storeLists = [&]()
        {
            if (groupsRead)
            {
                groupsRead = false;
                setEntryValue<ListOfVariableGroup>(name, std::move(groupsFromEntries));
            }
            if (pointsRead)
            {
                pointsRead = false;
                recordPointsFromEntries(name);
            }
        };

        try
        {
            for (; pe; pe = pe->getNext())
            {
                if (unique && !pe->isUnique() && !allowMultipleEntries)
                {
                    QARNO_THROW(Exception, "Multiple entries of parameter: " + name + " at line #" +
                                               itos(pe->getLine()) + "! ");
                }
                if (typePtr == nullptr)
                {
                    QARNO_THROW(Exception, "Parameter " + name +
                                               " has been registered but its type cannot be read");
                }
                const std::type_index& type = *typePtr;
                const auto& values = pe->getValues();

                if (isType<bool>(type))
                {
                    checkFormatBool(pe);
                    setEntryValue<bool>(name, stringToBool(values[0]));
                }
                else if (isType<size_t>(type))
                {
                    size_t value = 0;
                    checkFormatSizeT(pe, value);
                    setEntryValue<size_t>(name, value);
                }
                else if (isType<int>(type))
                {
                    int value = 0;
                    checkFormatInt(pe, value);
                    setEntryValue<int>(name, value);
                }
                else if (isType<std::string>(type))
                {
                    checkFormatString(pe);
                    setEntryValue<std::string>(name, values[0]);
                }
                else if (isType<ArrayOfString>(type))
                {
                    checkFormatArrayOfString(pe);
                    setEntryValue<ArrayOfString>(name, ArrayOfString(pe->getAllValues(), " "));
                }
                else if (isType<BBInputTypeList>(type))
                {
                    checkFormat1(pe);
                    setEntryValue<BBInputTypeList>(name,
                                                   stringToBBInputTypeList(pe->getAllValues()));
                }
                else if (isType<BBOutputTypeList>(type))
                {
                    checkFormat1(pe);
                    setEntryValue<BBOutputTypeList>(name,
                                                    stringToBBOutputTypeList(pe->getAllValues()));
                }
                else if (isType<LHSearchType>(type))
                {
                    checkFormatNbEntries(pe, 2);
                    checkFormatAllSizeT(pe);
                    setEntryValue<LHSearchType>(name, LHSearchType(pe->getAllValues()));
                }
                else if (isType<TeskoraModelFeasibilityType>(type))
                {
                    checkFormat1(pe);
                    setEntryValue<TeskoraModelFeasibilityType>(
                        name, stringToTeskoraModelFeasibilityType(joinedValues(*pe)));
                }
                else if (isType<TeskoraModelFormulationType>(type))
                {
                    checkFormat1(pe);
                    setEntryValue<TeskoraModelFormulationType>(
                        name, stringToTeskoraModelFormulationType(joinedValues(*pe)));
                }
                else if (isType<EvalType>(type))
                {
                    checkFormat1(pe);
                    setEntryValue<EvalType>(name, stringToEvalType(joinedValues(*pe)));
                }
                else if (isType<DirectionType>(type))
                {
                    checkFormat1(pe);
                    setEntryValue<DirectionType>(name, stringToDirectionType(joinedValues(*pe)));
                }
                else if (isType<Double>(type))
                {
                    Double value;
                    checkFormatDouble(pe, value);
                    setEntryValue<Double>(name, value);
                }
                else if (isType<ArrayOfDouble>(type))
                {
                    ArrayOfDouble array(entryDimension(*this));
                    readValuesAsArray(*pe, array);
                    setEntryValue<ArrayOfDouble>(name, std::move(array));
                }
                else if (isType<Point>(type))
                {
                    Point point(entryDimension(*this));
                    readValuesAsArray(*pe, point);
                    setEntryValue<Point>(name, std::move(point));
                }
                else if (isType<ArrayOfPoint>(type))
                {
                    const size_t dimension = entryDimension(*this);
                    ArrayOfPoint& points = pointsForEntries(name);
                    Point point(dimension);
                    const size_t index = readValuesForArrayOfPoint(*pe, point);
                    // An empty stored point (left so by a higher index given
                    // before it) has nothing to keep: the entry's point takes
                    // its place instead of failing on its missing coordinates.
                    // A merge is made on a copy of the one point, so that an
                    // entry that fails changes nothing.
                    if (index < points.size() && points[index].size() > 0)
                    {
                        Point merged(points[index]);
                        for (size_t j = 0; j < dimension; ++j)
                        {
                            if (point[j].isDefined())
                            {
                                merged[j] = point[j];
                            }
                        }
                        points[index] = std::move(merged);
                    }
                    else
                    {
                        if (index >= points.size())
                        {
                            points.resize(index + 1);
                        }
                        points[index] = std::move(point);
                    }
                    pointsRead = true;
                }
                else if (isType<ListOfVariableGroup>(type))
                {
                    const size_t dimension = entryDimension(*this);
                    std::set<size_t> group;
                    if (readValuesForVariableGroup(*pe, group) >= dimension)
                    {
                        throwTooManyGroupIndices(dimension);
                    }
                    groupsFromEntries.push_back(std::move(group));
                    groupsRead = true;
                }
                else
                {
                    QARNO_THROW(Exception, "Parameter " + name +
                                               " has been registered but its type cannot be read");
                }
                pe->setHasBeenInterpreted(true);
            }
        }
        catch (...)
        {
            storeLists();
            throw;
        }
        storeLists();
    }
}

// ---------------------------------------------------------------------------
// Format checks
// ---------------------------------------------------------------------------

void Parameters::checkFormat1(const std::shared_ptr<ParameterEntry>& pe) const
{
    if (pe->getNbValues() < 1)
    {
        QARNO_THROW(Exception, "Invalid format for parameter: " + atLine(*pe));
    }
}

void Parameters::checkFormatNbEntries(const std::shared_ptr<ParameterEntry>& pe, size_t n) const
{
    if (pe->getNbValues() != n)
    {
        QARNO_THROW(Exception, "Parameter " + pe->getName() + " expects exactly " + itos(n) +
                                   " values, at line " + itos(pe->getLine()));
    }
}

void Parameters::checkFormatBool(const std::shared_ptr<ParameterEntry>& pe) const
{
    if (pe->getNbValues() != 1)
    {
        QARNO_THROW(Exception, "Invalid format for bool parameter: " + atLine(*pe));
    }
}

void Parameters::checkFormatSizeT(const std::shared_ptr<ParameterEntry>& pe, size_t& value) const
{
    int i = -1;
    if (pe->getNbValues() != 1 || !atoi(pe->getValues()[0], i) || i < 0)
    {
        QARNO_THROW(Exception, "Invalid format for size_t parameter: " + atLine(*pe));
    }
    // INF reads as the int limit, but a count given as INF means no limit,
    // the largest size_t (with 2147483647 a DISPLAY_HEADER INF would still
    // show the header again).
    size_t infinite = 0;
    value = (atost(pe->getValues()[0], infinite) && infinite == std::numeric_limits<size_t>::max())
                ? infinite
                : static_cast<size_t>(i);
}

void Parameters::checkFormatAllSizeT(const std::shared_ptr<ParameterEntry>& pe) const
{
    for (const auto& word : pe->getValues())
    {
        int i = -1;
        if (!atoi(word, i) || i < 0)
        {
            QARNO_THROW(Exception, "Invalid format for size_t parameter: " + atLine(*pe));
        }
    }
}

void Parameters::checkFormatInt(const std::shared_ptr<ParameterEntry>& pe, int& value) const
{
    int i = -1;
    if (pe->getNbValues() != 1 || !atoi(pe->getValues()[0], i))
    {
        QARNO_THROW(Exception, "Invalid format for integer parameter: " + atLine(*pe));
    }
    value = i;
}

void Parameters::checkFormatString(const std::shared_ptr<ParameterEntry>& pe) const
{
    if (pe->getNbValues() != 1)
    {
        QARNO_THROW(Exception, "Invalid format for string parameter: " + atLine(*pe));
    }
}

void Parameters::checkFormatDouble(const std::shared_ptr<ParameterEntry>& pe, Double& value) const
{
    Double d;
    if (pe->getNbValues() != 1 || !d.atof(pe->getValues()[0]))
    {
        QARNO_THROW(Exception, "Invalid format for double parameter: " + atLine(*pe));
    }
    value = d;
}

void Parameters::checkFormatArrayOfString(const std::shared_ptr<ParameterEntry>& /*pe*/) const
{
    // Any number of words is a valid list of words.
}

// ---------------------------------------------------------------------------
// Reading arrays, points and groups
// ---------------------------------------------------------------------------

void Parameters::readValuesAsArray(const ParameterEntry& pe, ArrayOfDouble& array)
{
    array.readValuesAsArray(valueWords(pe));
}

size_t Parameters::readValuesForArrayOfPoint(const ParameterEntry& pe, Point& point)
{
    ArrayOfString words = valueWords(pe);
    size_t index = 0;
    Double first;
    if (words.size() > 0 && first.atof(words[0]) && first.isInteger())
    {
        // Integral, so it names a point; it must be a position that the list
        // can reasonably have ("-1", "INF" or "1e300" are not).
        const double d = first.todouble();
        if (!std::isfinite(d) || d < 0 || d >= MAX_POINT_INDEX)
        {
            QARNO_THROW(Exception, "Error: cannot use " + words[0] + " as an index.");
        }
        index = static_cast<size_t>(std::llround(d));
        words.erase(0);
    }
    point.readValuesAsArray(words);
    return index;
}

size_t Parameters::readValuesForVariableGroup(const ParameterEntry& pe, std::set<size_t>& group)
{
    const auto& values = pe.getValues();
    if (values.size() == 1)
    {
        size_t i = 0;
        size_t j = 0;
        if (!stringToIndexRange(values[0], i, j, true))
        {
            QARNO_THROW(Exception, "Invalid format for index range: " + atLine(pe));
        }
        // A group must leave a variable out: refuse a range that cannot fit
        // before building it, whatever its length.
        const size_t dimension = entryDimension(*this);
        if (group.size() + (j - i + 1) >= dimension)
        {
            throwTooManyGroupIndices(dimension);
        }
        for (size_t k = i; k <= j; ++k)
        {
            if (!group.insert(k).second)
            {
                QARNO_THROW(Exception, "Invalid index. Duplicate index not allowed: " + atLine(pe));
            }
        }
    }
    else
    {
        for (const auto& value : values)
        {
            size_t k = 0;
            if (!atost(value, k))
            {
                QARNO_THROW(Exception, "Invalid format for index list: " + atLine(pe));
            }
            if (!group.insert(k).second)
            {
                QARNO_THROW(Exception, "Invalid index. Duplicate index not allowed: " + atLine(pe));
            }
        }
    }
    return group.size();
}

} // namespace QARNO_4_0_0
