#include "Param/TypeAttribute.hpp"

#include <ostream>

#include "Param/Parameters.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

// Integers go through itos rather than the stream, whose locale could group
// digits.
void writeValue(std::ostream& out, const int& value)
{
    out << itos(value);
}

void writeValue(std::ostream& out, const size_t& value)
{
    out << itos(value);
}

void writeValue(std::ostream& out, const bool& value)
{
    out << value;
}

void writeValue(std::ostream& out, const Double& value)
{
    out << value;
}

void writeValue(std::ostream& out, const std::string& value)
{
    out << value;
}

void writeValue(std::ostream& out, const ArrayOfDouble& value)
{
    out << value;
}

void writeValue(std::ostream& out, const Point& value)
{
    out << value;
}

void writeValue(std::ostream& out, const ArrayOfPoint& value)
{
    out << value;
}

void writeValue(std::ostream& out, const ArrayOfString& value)
{
    out << value;
}

void writeValue(std::ostream& out, const BBInputTypeList& value)
{
    bool first = true;
    for (const BBInputType bbit : value)
    {
        if (!first)
        {
            out << " ";
        }
        first = false;
        // Only the single integer and binary values have a letter of their
        // own; the all-variables forms are written "R".
        switch (bbit)
        {
        case BBInputType::INTEGER:
            out << "I";
            break;
        case BBInputType::BINARY:
            out << "B";
            break;
        default:
            out << "R";
            break;
        }
    }
}

void writeValue(std::ostream& out, const BBOutputTypeList& value)
{
    bool first = true;
    for (const BBOutputType bbot : value)
    {
        if (!first)
        {
            out << " ";
        }
        first = false;
        out << bbot;
    }
}

void writeValue(std::ostream& out, const LHSearchType& value)
{
    out << value;
}

void writeValue(std::ostream& out, const DirectionType& value)
{
    out << directionTypeToString(value);
}

void writeValue(std::ostream& out, const EvalType& value)
{
    out << evalTypeToString(value);
}

void writeValue(std::ostream& out, const TeskoraModelFeasibilityType& value)
{
    out << TeskoraModelFeasibilityTypeToString(value);
}

void writeValue(std::ostream& out, const TeskoraModelFormulationType& value)
{
    out << TeskoraModelFormulationTypeToString(value);
}

void writeValue(std::ostream& out, const ListOfVariableGroup& value)
{
    out << value;
}

template <typename T> bool sameValue(const T& a, const T& b)
{
    return a == b;
}

// The tolerant comparison throws on an undefined value; an undefined value
// is the default only of an attribute registered undefined.
bool sameValue(const Double& a, const Double& b)
{
    if (!a.isDefined() || !b.isDefined())
    {
        return a.isDefined() == b.isDefined();
    }
    return a == b;
}

} // namespace

template <typename T> bool sameAttributeValue(const T& a, const T& b)
{
    return sameValue(a, b);
}

template <typename T> void writeAttributeValue(std::ostream& out, const T& value)
{
    writeValue(out, value);
}

template <typename T>
TypeAttribute<T>::TypeAttribute(const std::string& name, const T& initValue,
                                bool algoCompatibilityCheck, bool restartAttribute,
                                bool uniqueEntry, const std::string& shortInfo,
                                const std::string& helpInfo, const std::string& keywords)
    : Attribute(name, algoCompatibilityCheck, restartAttribute, uniqueEntry, shortInfo, helpInfo,
                keywords),
      _value(initValue), _defaultValue(initValue)
{
}

template <typename T> TypeAttribute<T>::~TypeAttribute() = default;

template <typename T> bool TypeAttribute<T>::isDefaultValue() const
{
    return sameValue(_value, _defaultValue);
}

template <typename T> void TypeAttribute<T>::resetToDefaultValue()
{
    _value = _defaultValue;
}

template <typename T> void TypeAttribute<T>::display(std::ostream& out, bool withShortInfo) const
{
    out << _name << " ";
    writeValue(out, _value);
    displayShortInfo(out, withShortInfo);
}

#define QARNO_TYPEATTRIBUTE_INSTANTIATE(T)                                                         \
    template class TypeAttribute<T>;                                                               \
    template bool sameAttributeValue<T>(const T&, const T&);                                       \
    template void writeAttributeValue<T>(std::ostream&, const T&);

QARNO_FOR_EACH_PARAMETER_TYPE(QARNO_TYPEATTRIBUTE_INSTANTIATE)

#undef QARNO_TYPEATTRIBUTE_INSTANTIATE

} // namespace QARNO_4_0_0
