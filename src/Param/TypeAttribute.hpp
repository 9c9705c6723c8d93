#ifndef QARNO_PARAM_TYPEATTRIBUTE_HPP
#define QARNO_PARAM_TYPEATTRIBUTE_HPP

#include <cstddef>
#include <iosfwd>
#include <string>
#include <utility>

#include "Param/Attribute.hpp"
#include "Param/ParameterValueTypes.hpp"

namespace QARNO_4_0_0
{

/// An attribute with its current value and the value it was registered with,
/// of one of the seventeen value types (instantiated in TypeAttribute.cpp).
///
/// Equality with the default is the equality of T, except for `Double`,
/// where an undefined value equals an undefined default and differs from a
/// defined one (the tolerant comparison of two reals cannot tell).
template <typename T> class TypeAttribute : public Attribute
{
public:
    TypeAttribute(const std::string& name, const T& initValue, bool algoCompatibilityCheck,
                  bool restartAttribute, bool uniqueEntry, const std::string& shortInfo,
                  const std::string& helpInfo = "", const std::string& keywords = "");
    ~TypeAttribute() override;

    const T& getValue() const { return _value; }
    const T& getDefaultValue() const { return _defaultValue; }
    void setValue(const T& value) { _value = value; }
    void setValue(T&& value) { _value = std::move(value); }
    bool isDefaultValue() const;

    void resetToDefaultValue() override;

    /// NAME, a blank, the value, and " (short info)" when asked for.
    void display(std::ostream& out, bool withShortInfo) const override;

private:
    T _value;
    T _defaultValue;
};

/// The equality that decides whether a value is its attribute's default.
template <typename T> bool sameAttributeValue(const T& a, const T& b);

/// Writes a value as the attribute display shows it.
template <typename T> void writeAttributeValue(std::ostream& out, const T& value);

#define QARNO_TYPEATTRIBUTE_EXTERN(T)                                                              \
    extern template class TypeAttribute<T>;                                                        \
    extern template bool sameAttributeValue<T>(const T&, const T&);                                \
    extern template void writeAttributeValue<T>(std::ostream&, const T&);

QARNO_FOR_EACH_PARAMETER_TYPE(QARNO_TYPEATTRIBUTE_EXTERN)

#undef QARNO_TYPEATTRIBUTE_EXTERN

} // namespace QARNO_4_0_0

#endif
