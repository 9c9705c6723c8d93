#ifndef QARNO_PARAM_ATTRIBUTEDEFINITION_HPP
#define QARNO_PARAM_ATTRIBUTEDEFINITION_HPP

#include <string>

namespace QARNO_4_0_0
{

/// One row of a parameter set's definition table, all text: the keyword (in
/// any case), the type word, the default value, the three documentation
/// texts and the three flags ("true" / "false", read with stringToBool).
/// `Parameters::registerAttributes` turns each row into a typed attribute.
struct AttributeDefinition
{
    std::string _name;
    std::string _type;
    std::string _defaultValue;
    std::string _shortInfo;
    std::string _helpInfo;
    std::string _keywords;
    std::string _algoCompatibilityCheck;
    std::string _restartAttribute;
    std::string _uniqueEntry;
};

} // namespace QARNO_4_0_0

#endif
