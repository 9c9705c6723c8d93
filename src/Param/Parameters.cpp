#include "Param/Parameters.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <limits>
#include <locale>
#include <sstream>
#include <type_traits>
#include <typeinfo>

#include "Param/TypeAttribute.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

std::map<std::string, std::type_index, Parameters::UpperCaseLess> Parameters::_typeOfAttributes;

namespace
{

char upperByte(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equalsUpperCase(std::string_view text, std::string_view upper)
{
    if (text.size() != upper.size())
    {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (upperByte(text[i]) != upper[i])
        {
            return false;
        }
    }
    return true;
}

template <typename T>
constexpr bool isAttributeValueType =
    std::is_same_v<T, int> || std::is_same_v<T, size_t> || std::is_same_v<T, bool> ||
    std::is_same_v<T, Double> || std::is_same_v<T, std::string> ||
    std::is_same_v<T, ArrayOfDouble> || std::is_same_v<T, Point> ||
    std::is_same_v<T, ArrayOfPoint> || std::is_same_v<T, ArrayOfString> ||
    std::is_same_v<T, BBInputTypeList> || std::is_same_v<T, BBOutputTypeList> ||
    std::is_same_v<T, LHSearchType> || std::is_same_v<T, DirectionType> ||
    std::is_same_v<T, EvalType> || std::is_same_v<T, TeskoraModelFeasibilityType> ||
    std::is_same_v<T, TeskoraModelFormulationType> || std::is_same_v<T, ListOfVariableGroup>;

template <typename T> struct TypeTag
{
    using type = T;
};

/// Calls f(TypeTag<T>()) for the value type T that `type` designates, trying
/// the value types in a fixed order; false when `type` is none of them.
template <typename F> bool visitValueType(const std::type_index& type, F&& f)
{
    bool found = false;
    auto tryType = [&](auto tag)
    {
        using T = typename decltype(tag)::type;
        if (!found && type == std::type_index(typeid(T)))
        {
            found = true;
            f(tag);
        }
    };
    tryType(TypeTag<bool>());
    tryType(TypeTag<size_t>());
    tryType(TypeTag<int>());
    tryType(TypeTag<std::string>());
    tryType(TypeTag<ArrayOfString>());
    tryType(TypeTag<BBInputTypeList>());
    tryType(TypeTag<BBOutputTypeList>());
    tryType(TypeTag<LHSearchType>());
    tryType(TypeTag<TeskoraModelFeasibilityType>());
    tryType(TypeTag<TeskoraModelFormulationType>());
    tryType(TypeTag<EvalType>());
    tryType(TypeTag<DirectionType>());
    tryType(TypeTag<Double>());
    tryType(TypeTag<ArrayOfDouble>());
    tryType(TypeTag<Point>());
    tryType(TypeTag<ArrayOfPoint>());
    tryType(TypeTag<ListOfVariableGroup>());
    return found;
}

bool isUndefinedMark(const std::string& text)
{
    return text == "-" || text == "N/A";
}

} // namespace

// ---------------------------------------------------------------------------
// Base object
// ---------------------------------------------------------------------------

size_t Parameters::UpperCaseHash::operator()(std::string_view name) const
{
    // Eight bytes at a time, each without its 0x20 bit: keywords equal in any
    // case hash alike (other texts may meet too; the equality decides).
    constexpr uint64_t noCaseBit = ~0x2020202020202020ULL;
    constexpr uint64_t prime = 1099511628211ULL;
    uint64_t hash = 14695981039346656037ULL ^ name.size();
    size_t i = 0;
    for (; i + 8 <= name.size(); i += 8)
    {
        uint64_t word = 0;
        std::memcpy(&word, name.data() + i, 8);
        hash = (hash ^ (word & noCaseBit)) * prime;
    }
    if (i < name.size())
    {
        uint64_t tail = 0;
        std::memcpy(&tail, name.data() + i, name.size() - i);
        hash = (hash ^ (tail & noCaseBit)) * prime;
    }
    return static_cast<size_t>(hash ^ (hash >> 29));
}

bool Parameters::UpperCaseEqual::operator()(std::string_view a, std::string_view b) const
{
    if (a.size() != b.size())
    {
        return false;
    }
    // Keywords are mostly written as registered.
    if (a.empty() || 0 == std::memcmp(a.data(), b.data(), a.size()))
    {
        return true;
    }
    for (size_t i = 0; i < a.size(); ++i)
    {
        if (upperByte(a[i]) != upperByte(b[i]))
        {
            return false;
        }
    }
    return true;
}

bool Parameters::UpperCaseLess::operator()(std::string_view a, std::string_view b) const
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
    {
        const auto ca = static_cast<unsigned char>(upperByte(a[i]));
        const auto cb = static_cast<unsigned char>(upperByte(b[i]));
        if (ca != cb)
        {
            return ca < cb;
        }
    }
    return a.size() < b.size();
}

ParameterToBeChecked::ParameterToBeChecked(const std::string& file, int line,
                                           const std::string& msg)
    : Exception(file, static_cast<size_t>(line), msg)
{
    _typeMsg = "Parameter to be checked.";
}

Parameters::Parameters()
    : _typeName("Unknown"), _toBeChecked(true), _attributes(), _attributeDefinitions(),
      _attributeIndex(), _valueRecords(), _openRecords()
{
}

Parameters::~Parameters() = default;

// ---------------------------------------------------------------------------
// Registration and the attribute set
// ---------------------------------------------------------------------------

void Parameters::initFromTable(const std::string& typeName, std::vector<AttributeDefinition> table,
                               const std::function<void()>& registerMore)
{
    _typeName = typeName;
    try
    {
        _attributeDefinitions = std::move(table);
        registerAttributes(_attributeDefinitions);
        if (registerMore)
        {
            registerMore();
        }
    }
    catch (const std::exception& e)
    {
        QARNO_THROW(Exception, std::string("Attribute registration failed: ") + e.what());
    }
}

void Parameters::registerAttributes(const std::vector<AttributeDefinition>& attributeDefinitions)
{
    for (const AttributeDefinition& def : attributeDefinitions)
    {
        const bool algoCompatibilityCheck = stringToBool(def._algoCompatibilityCheck);
        const bool restartAttribute = stringToBool(def._restartAttribute);
        const bool uniqueEntry = stringToBool(def._uniqueEntry);
        const std::string& name = def._name;
        const std::string& text = def._defaultValue;
        const std::string& type = def._type;

        auto doRegister = [&](auto value)
        {
            registerAttribute(name, std::move(value), algoCompatibilityCheck, restartAttribute,
                              uniqueEntry, def._shortInfo, def._helpInfo, def._keywords);
        };

        if (type == "int")
        {
            int value = 0;
            if (!atoi(text, value))
            {
                QARNO_THROW(Exception, "Invalid int attribute definition: " + name +
                                           ". Infinity is set with INF or +INF or -INF.");
            }
            doRegister(value);
        }
        else if (type == "size_t")
        {
            size_t value = 0;
            if (!atost(text, value))
            {
                QARNO_THROW(Exception, "Invalid size_t attribute definition: " + name +
                                           ". Infinity is set with INF or +INF.");
            }
            doRegister(value);
        }
        else if (type == "Double" || type == "QARNO::Double")
        {
            Double value;
            if (!value.atof(text))
            {
                QARNO_THROW(Exception, "Invalid format for QARNO::Double attribute definition: " +
                                           name + ". Infinity is set with QARNO::INF or INF.");
            }
            doRegister(value);
        }
        else if (type == "bool")
        {
            doRegister(stringToBool(text));
        }
        else if (type == "string" || type == "std::string")
        {
            doRegister(text);
        }
        else if (type == "QARNO::ArrayOfDouble" || type == "ArrayOfDouble")
        {
            if (!isUndefinedMark(text))
            {
                QARNO_THROW(Exception,
                            "Invalid attribute definition: " + name + " (" + text +
                                "). An ArrayOfDouble must have an undefined default value "
                                "\"-\" or \"N/A\" ");
            }
            doRegister(ArrayOfDouble());
        }
        else if (type == "QARNO::LHSearchType" || type == "LHSearchType")
        {
            doRegister(isUndefinedMark(text) ? LHSearchType("") : LHSearchType(text));
        }
        else if (type == "QARNO::Point" || type == "Point")
        {
            if (!isUndefinedMark(text))
            {
                QARNO_THROW(Exception,
                            "Invalid attribute definition: " + name +
                                ". A Point must have an undefined default value \"-\" or "
                                "\"N/A\" ");
            }
            doRegister(Point());
        }
        else if (type == "QARNO::ArrayOfPoint" || type == "ArrayOfPoint")
        {
            if (!isUndefinedMark(text))
            {
                QARNO_THROW(Exception, "Invalid attribute definition: " + name + " (" + text +
                                           "). A ArrayOfPoint must have an undefined default value "
                                           "\"-\" or \"N/A\" ");
            }
            doRegister(ArrayOfPoint());
        }
        else if (type == "QARNO::ArrayOfString" || type == "ArrayOfString")
        {
            doRegister(ArrayOfString(text, " "));
        }
        else if (type == "QARNO::BBInputTypeList" || type == "BBInputTypeList")
        {
            doRegister(stringToBBInputTypeList(text));
        }
        else if (type == "QARNO::BBOutputTypeList" || type == "BBOutputTypeList")
        {
            doRegister(stringToBBOutputTypeList(text));
        }
        else if (type == "QARNO::TeskoraModelFeasibilityType" ||
                 type == "TeskoraModelFeasibilityType")
        {
            doRegister(stringToTeskoraModelFeasibilityType(text));
        }
        else if (type == "QARNO::TeskoraModelFormulationType" ||
                 type == "TeskoraModelFormulationType")
        {
            doRegister(stringToTeskoraModelFormulationType(text));
        }
        else if (type == "QARNO::EvalType" || type == "EvalType")
        {
            doRegister(stringToEvalType(text));
        }
        else if (type == "QARNO::DirectionType" || type == "DirectionType")
        {
            doRegister(stringToDirectionType(text));
        }
        else if (type == "QARNO::ListOfVariableGroup" || type == "ListOfVariableGroup")
        {
            if (!isUndefinedMark(text))
            {
                QARNO_THROW(Exception,
                            "Invalid attribute definition: " + name + " (" + text +
                                "). A ListOfVariableGroup must have an undefined default "
                                "value \"-\" or \"N/A\" ");
            }
            doRegister(ListOfVariableGroup());
        }
        else
        {
            QARNO_THROW(Exception, "Unknown attribute type definition: " + name + " type: " + type);
        }
    }
}

template <typename T>
void Parameters::registerTypedAttribute(std::string name, T initValue, bool algoCompatibilityCheck,
                                        bool restartAttribute, bool uniqueEntry,
                                        const std::string& shortInfo, const std::string& helpInfo,
                                        const std::string& keywords)
{
    toupper(name);
    if (_attributeIndex.find(name) != _attributeIndex.end())
    {
        QARNO_THROW(Exception, "Attribute " + name + " is already in set of attributes.");
    }
    auto attribute = std::make_shared<TypeAttribute<T>>(name, initValue, algoCompatibilityCheck,
                                                        restartAttribute, uniqueEntry, shortInfo,
                                                        helpInfo, keywords);
    _attributes.insert(attribute);

    // A conflicting registration keeps the attribute in the set, with the
    // type recorded first: reads of either type then fail the type check.
    const std::type_index type(typeid(T));
    auto it = _typeOfAttributes.find(name);
    if (it == _typeOfAttributes.end())
    {
        it = _typeOfAttributes.emplace(name, type).first;
    }
    _attributeIndex.emplace(std::string_view(attribute->getName()),
                            IndexEntry{attribute, type, &it->second});
    if (it->second != type)
    {
        QARNO_THROW(Exception, "Trying to add attribute " + name + " with type " + type.name() +
                                   " which is different from registered type " + it->second.name());
    }
}

void Parameters::checkInfo() const
{
    if (_infoCheckedCount == _attributes.size())
    {
        return;
    }
    for (const auto& attribute : _attributes)
    {
        if (attribute->getHelpInfo().empty() && attribute->getShortInfo().empty())
        {
            QARNO_THROW(Exception,
                        "Check: empty info (Short info and/or Help info) for attribute " +
                            attribute->getName() + "!");
        }
    }
    _infoCheckedCount = _attributes.size();
}

const Parameters::IndexEntry* Parameters::findEntry(std::string_view name) const
{
    const auto it = _attributeIndex.find(name);
    return (it == _attributeIndex.end()) ? nullptr : &it->second;
}

const std::shared_ptr<Attribute>* Parameters::findAttribute(std::string_view name) const
{
    const IndexEntry* entry = findEntry(name);
    return (nullptr == entry) ? nullptr : &entry->attribute;
}

const std::type_index* Parameters::registeredType(const IndexEntry& entry, std::string_view name,
                                                  bool anyCase)
{
    // The entry's keyword in any case is `name`; the type map's key is the
    // upper-case keyword, which `name` is unless it holds a lower-case letter.
    if (!anyCase &&
        std::any_of(name.begin(), name.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
    {
        return nullptr;
    }
    return entry.registered;
}

std::shared_ptr<Attribute> Parameters::getAttribute(const std::string& name) const
{
    const std::shared_ptr<Attribute>* attribute = findAttribute(name);
    return (nullptr == attribute) ? std::shared_ptr<Attribute>() : *attribute;
}

bool Parameters::isRegisteredAttribute(const std::string& name) const
{
    return nullptr != findAttribute(name);
}

const std::type_index* Parameters::findTypeOfAttribute(const std::string& name)
{
    const auto it = _typeOfAttributes.find(name);
    return (it == _typeOfAttributes.end()) ? nullptr : &it->second;
}

// ---------------------------------------------------------------------------
// Typed access
// ---------------------------------------------------------------------------

namespace
{

// The registered type of `name`. With `anyCase` false the text must be the
// key itself: the keys are upper case and a look-up by the keyword as passed
// does not find a keyword written in another case.
const std::type_index*
lookUpType(const std::map<std::string, std::type_index, Parameters::UpperCaseLess>& types,
           std::string_view name, bool anyCase)
{
    const auto it = types.find(name);
    if (it == types.end() || (!anyCase && it->first != name))
    {
        return nullptr;
    }
    return &it->second;
}

// `operation` names the typed operation whose text callers know for a
// keyword the set does not hold.
[[noreturn]] void throwAbsent(const char* operation, const std::string& name)
{
    QARNO_THROW(Exception, std::string(operation) + ": attribute " + name + " does not exist");
}

[[noreturn]] void throwReadTypeMismatch(const std::string& name, const char* typeName)
{
    QARNO_THROW(Exception, "In getAttributeValue<T> the attribute " + name +
                               " is not of type T = " + typeName);
}

} // namespace

template <typename T>
const T& Parameters::readValue(std::string_view name, bool upperCaseName, bool flagCheck,
                               bool flagDefault) const
{
    // Messages name the keyword as the caller of getSpValue passed it, which
    // for getAttributeValue is the upper-cased copy.
    auto shownName = [&]()
    {
        std::string text(name);
        return upperCaseName ? upperCopy(text) : text;
    };

    // A keyword in another case than its key is found in the set by
    // getSpValue, but it is no key of the type map: not held either.
    const IndexEntry* entry = findEntry(name);
    const std::type_index* registered =
        (nullptr == entry) ? nullptr : registeredType(*entry, name, upperCaseName);
    if (nullptr == registered)
    {
        throwAbsent("getAttributeValue", shownName());
    }
    if constexpr (!isAttributeValueType<T>)
    {
        // No keyword is registered with a type outside the value types.
        throwReadTypeMismatch(shownName(), typeid(T).name());
    }
    else
    {
        const TypeAttribute<T>* typed = nullptr;
        const std::type_index wanted(typeid(T));
        if (*registered == wanted && entry->ownType == wanted)
        {
            // The set may hold an attribute whose registration conflicted with
            // the recorded type: its own type tells.
            typed = static_cast<const TypeAttribute<T>*>(entry->attribute.get());
        }
        if (nullptr == typed)
        {
            throwReadTypeMismatch(shownName(), typeid(T).name());
        }
        if (flagDefault)
        {
            return typed->getDefaultValue();
        }
        if (flagCheck && _toBeChecked &&
            !(upperCaseName ? equalsUpperCase(name, "DIMENSION") : name == "DIMENSION"))
        {
            QARNO_THROW(ParameterToBeChecked, "In getAttributeValue<T> the attribute " +
                                                  shownName() + " has not been checked");
        }
        return typed->getValue();
    }
}

template <typename T>
const T& Parameters::getSpValue(std::string_view name, bool flagCheck, bool flagDefault) const
{
    return readValue<T>(name, false, flagCheck, flagDefault);
}

template <typename T>
const T& Parameters::getAttributeValue(std::string_view name, bool flagDefault) const
{
    return readValue<T>(name, true, true, flagDefault);
}

template <>
const Point& Parameters::getAttributeValue<Point>(std::string_view name, bool flagDefault) const
{
    const std::type_index* registered = lookUpType(_typeOfAttributes, name, true);
    if (nullptr == registered)
    {
        throwAbsent("getAttributeValue", upperCopy(std::string(name)));
    }
    if (*registered == std::type_index(typeid(ArrayOfPoint)))
    {
        const ArrayOfPoint& points = readValue<ArrayOfPoint>(name, true, true, flagDefault);
        if (points.empty())
        {
            QARNO_THROW(Exception, "In getAttributeValue<Point> : the attribute " +
                                       upperCopy(std::string(name)) + " contains no point.");
        }
        return points[0];
    }
    return readValue<Point>(name, true, true, flagDefault);
}

template <typename T>
void Parameters::storeValue(const std::string& name, T value, bool fromEntries)
{
    const IndexEntry* entry = findEntry(name);
    if (nullptr == entry)
    {
        throwAbsent("setSpValueDefault", name);
    }
    const std::shared_ptr<Attribute>* attribute = &entry->attribute;
    // A keyword text that is not a key (another case) has no registered type.
    const std::type_index* registered = registeredType(*entry, name, false);
    TypeAttribute<T>* typed = nullptr;
    const std::type_index wanted(typeid(T));
    if (nullptr != registered && *registered == wanted && entry->ownType == wanted)
    {
        typed = static_cast<TypeAttribute<T>*>(attribute->get());
    }
    if (nullptr == typed)
    {
        QARNO_THROW(Exception, "setSpValueDefault<T> : the attribute " + name + " is of type " +
                                   (nullptr == registered ? "" : registered->name()) +
                                   " and not of type T = " + typeid(T).name());
    }
    if constexpr (std::is_same_v<T, Double>)
    {
        // An undefined value is accepted only where it is the default: the
        // comparison with a defined default cannot be made, and the value is
        // refused before anything is stored.
        if (!value.isDefined() && typed->getDefaultValue().isDefined())
        {
            static_cast<void>(value.todouble()); // throws Double::NotDefined
        }
    }
    if (!fromEntries)
    {
        closeRecord(attribute->get());
    }
    typed->setValue(std::move(value));
    recordValue(*attribute, typed->isDefaultValue(), fromEntries);
}

template <typename T> void Parameters::setSpValueDefault(const std::string& name, T value)
{
    storeValue<T>(name, std::move(value), false);
}

template <typename T> void Parameters::setEntryValue(const std::string& name, T value)
{
    storeValue<T>(name, std::move(value), true);
    markToBeChecked();
}

ArrayOfPoint& Parameters::pointsForEntries(const std::string& name)
{
    // The attribute objects are made by this set and never const: the list
    // is changed where it is stored.
    return const_cast<ArrayOfPoint&>(readValue<ArrayOfPoint>(name, false, false, false));
}

void Parameters::recordPointsFromEntries(const std::string& name)
{
    const std::shared_ptr<Attribute>* attribute = findAttribute(name);
    const auto* typed = (nullptr == attribute)
                            ? nullptr
                            : dynamic_cast<const TypeAttribute<ArrayOfPoint>*>(attribute->get());
    if (nullptr == typed)
    {
        throwAbsent("setSpValueDefault", name);
    }
    recordValue(*attribute, typed->isDefaultValue(), true);
    markToBeChecked();
}

// ---------------------------------------------------------------------------
// Value-change log
// ---------------------------------------------------------------------------

namespace
{

std::string recordText(const Attribute& attribute)
{
    // The log shows values; their text must not follow the global locale.
    std::ostringstream oss;
    oss.imbue(std::locale::classic());
    oss << " [ ";
    attribute.display(oss, false);
    oss << " ] ";
    return oss.str();
}

} // namespace

void Parameters::recordValue(const std::shared_ptr<Attribute>& attribute, bool isDefault,
                             bool fromEntries)
{
    if (!fromEntries)
    {
        if (!isDefault)
        {
            _valueRecords.push_back({recordText(*attribute), nullptr});
        }
        return;
    }

    // Entries are interpreted again after every further line, and a list of
    // points grows entry by entry: one open record per keyword shows the
    // latest value instead of a copy of the whole value for every store.
    const auto open = _openRecords.find(attribute.get());
    if (isDefault)
    {
        if (open != _openRecords.end())
        {
            _valueRecords[open->second] = ValueRecord();
            _openRecords.erase(open);
        }
    }
    else if (open == _openRecords.end())
    {
        _openRecords.emplace(attribute.get(), _valueRecords.size());
        _valueRecords.push_back({std::string(), attribute});
    }
}

void Parameters::closeRecord(const Attribute* attribute)
{
    const auto open = _openRecords.find(attribute);
    if (open == _openRecords.end())
    {
        return;
    }
    ValueRecord& record = _valueRecords[open->second];
    record.text = recordText(*record.open);
    record.open.reset();
    _openRecords.erase(open);
}

std::string Parameters::getSetAttributeAsString() const
{
    std::string log;
    for (const ValueRecord& record : _valueRecords)
    {
        log += record.open ? recordText(*record.open) : record.text;
    }
    return log;
}

template <typename T> void Parameters::setAttributeValue(const std::string& name, T value)
{
    const std::string upperName = upperCopy(name);
    if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, Point> ||
                  std::is_same_v<T, int>)
    {
        const std::type_index* registered = lookUpType(_typeOfAttributes, upperName, false);
        if (nullptr == registered)
        {
            // Reported as the store reports it for the other value types.
            throwAbsent("setSpValueDefault", upperName);
        }
        if constexpr (std::is_same_v<T, std::string>)
        {
            if (*registered == std::type_index(typeid(ArrayOfString)))
            {
                // The whole text is one word: it is not split at blanks.
                ArrayOfString words;
                words.add(value);
                setSpValueDefault<ArrayOfString>(upperName, std::move(words));
            }
            else
            {
                setSpValueDefault<std::string>(upperName, std::move(value));
            }
        }
        else if constexpr (std::is_same_v<T, Point>)
        {
            if (*registered == std::type_index(typeid(ArrayOfPoint)))
            {
                setSpValueDefault<ArrayOfPoint>(upperName, ArrayOfPoint{std::move(value)});
            }
            else
            {
                setSpValueDefault<Point>(upperName, std::move(value));
            }
        }
        else
        {
            if (*registered == std::type_index(typeid(size_t)))
            {
                // A negative count means no limit.
                const size_t count =
                    (value < 0) ? std::numeric_limits<size_t>::max() : static_cast<size_t>(value);
                setSpValueDefault<size_t>(upperName, count);
            }
            else
            {
                setSpValueDefault<int>(upperName, value);
            }
        }
    }
    else
    {
        setSpValueDefault<T>(upperName, std::move(value));
    }
    markToBeChecked();
}

template <typename T> bool Parameters::isAttributeDefaultValue(const std::string& name) const
{
    const std::shared_ptr<Attribute>* attribute = findAttribute(name);
    const std::type_index* registered = lookUpType(_typeOfAttributes, name, true);
    if (nullptr == registered)
    {
        throwAbsent("isAttributeDefaultValue", name);
    }
    if (*registered != std::type_index(typeid(T)))
    {
        QARNO_THROW(Exception, "In isAttributeDefaultValue<T> : the attribute " + name +
                                   " is not of type T = " + typeid(T).name());
    }
    // The keyword may be registered by another set only.
    if (nullptr == attribute)
    {
        throwAbsent("isAttributeDefaultValue", name);
    }
    const auto* typed = dynamic_cast<const TypeAttribute<T>*>(attribute->get());
    if (nullptr == typed)
    {
        QARNO_THROW(Exception, "In isAttributeDefaultValue<T> : the attribute " + name +
                                   " is not of type T = " + typeid(T).name());
    }
    return typed->isDefaultValue();
}

// ---------------------------------------------------------------------------
// Copying, compatibility, display and help
// ---------------------------------------------------------------------------

void Parameters::copyParameters(const Parameters& params)
{
    markToBeChecked();
    for (const auto& attribute : params.getAttributes())
    {
        const std::string& name = attribute->getName();
        auto copyValue = [&](auto tag)
        {
            using T = typename decltype(tag)::type;
            if constexpr (std::is_same_v<T, Point>)
            {
                setAttributeValue<Point>(name, params.getAttributeValue<Point>(name));
            }
            else
            {
                setAttributeValue<T>(name, params.getSpValue<T>(name, true, false));
            }
        };
        const std::type_index* type = findTypeOfAttribute(name);
        if (nullptr == type || !visitValueType(*type, copyValue))
        {
            QARNO_THROW(Exception, "Cannot copy a Parameter for a type not defined");
        }
    }
}

bool Parameters::isAlgoCompatible(const Parameters* params) const
{
    for (const auto& attribute : _attributes)
    {
        if (!attribute->isForAlgoCompatibilityCheck())
        {
            continue;
        }
        const std::string& name = attribute->getName();
        const std::type_index* type = findTypeOfAttribute(name);
        bool comparable = false;
        bool equal = false;
        if (nullptr != type)
        {
            visitValueType(*type,
                           [&](auto tag)
                           {
                               using T = typename decltype(tag)::type;
                               if constexpr (std::is_same_v<T, Double>)
                               {
                                   const Double& a = getSpValue<Double>(name, false, false);
                                   const Double& b = params->getSpValue<Double>(name, false, false);
                                   comparable = true;
                                   equal = std::fabs(a.todouble() - b.todouble()) <
                                           Double::getEpsilon();
                               }
                               else if constexpr (!std::is_same_v<T, Point> &&
                                                  !std::is_same_v<T, ArrayOfPoint> &&
                                                  !std::is_same_v<T, BBInputTypeList> &&
                                                  !std::is_same_v<T, BBOutputTypeList>)
                               {
                                   const T& a = getSpValue<T>(name, false, false);
                                   const T& b = params->getSpValue<T>(name, false, false);
                                   comparable = true;
                                   equal = (a == b);
                               }
                           });
        }
        if (!comparable)
        {
            QARNO_THROW(Exception, "Error: Cannot test the type " +
                                       std::string(nullptr == type ? "" : type->name()) +
                                       " for compatibility for parameter " + name);
        }
        if (!equal)
        {
            return false;
        }
    }
    return true;
}

void Parameters::display(std::ostream& os, bool helpInfo) const
{
    if (!helpInfo && _toBeChecked)
    {
        std::cerr << "Warning: Parameters::display(): Parameters are not checked." << std::endl;
    }
    for (const auto& attribute : _attributes)
    {
        if (helpInfo)
        {
            os << attribute->getHelpInfo();
        }
        else
        {
            attribute->display(os, true);
        }
        os << std::endl;
    }
}

void Parameters::displayHelp(const std::string& helpSubject, bool developer,
                             std::ostringstream& ossBasic, std::ostringstream& ossAdvanced) const
{
    // An attribute is classed "(Advanced)" by its keywords, else it takes the
    // default class, "(Developper)" or "(Basic)", which both go to the first
    // text.
    for (const auto& attribute : _attributes)
    {
        const std::string name = upperCopy(attribute->getName());
        const std::string helpInfo = upperCopy(attribute->getHelpInfo());
        const std::string keywords = upperCopy(attribute->getKeywords());

        // The subject is compared as given: only an upper-case subject can
        // match the upper-cased texts.
        if (!helpSubject.empty() && name.find(helpSubject) == std::string::npos &&
            keywords.find(helpSubject) == std::string::npos &&
            helpInfo.find(helpSubject) == std::string::npos)
        {
            continue;
        }
        // The help keywords of the tables spell the word "developer"; the
        // older spelling is accepted too.
        if (developer && keywords.find("DEVELOPPER") == std::string::npos &&
            keywords.find("DEVELOPER") == std::string::npos)
        {
            continue;
        }
        const bool advanced = keywords.find("ADVANCED") != std::string::npos;

        std::ostringstream block;
        block << attribute->getName() << " {" << attribute->getHelpInfo() << "\n"
              << "}"
              << "\n";
        std::ostringstream& target = advanced ? ossAdvanced : ossBasic;
        target << block.str() << "\n";
    }
}

void Parameters::resetToDefaultValues()
{
    for (const auto& attribute : _attributes)
    {
        closeRecord(attribute.get());
        attribute->resetToDefaultValue();
    }
    markToBeChecked();
}

void Parameters::resetToDefaultValue(const std::string& name)
{
    const std::shared_ptr<Attribute>* attribute = findAttribute(name);
    if (nullptr == attribute)
    {
        throwAbsent("resetToDefaultValue", name);
    }
    closeRecord(attribute->get());
    (*attribute)->resetToDefaultValue();
    markToBeChecked();
}

bool Parameters::isSetByUser(const std::string& name) const
{
    return nullptr != _paramEntries.find(name);
}

// ---------------------------------------------------------------------------
// Text inserters
// ---------------------------------------------------------------------------

std::ostream& operator<<(std::ostream& out, const BBOutputType& bbot)
{
    switch (bbot)
    {
    case BBOutputType::OBJ:
        out << "OBJ";
        break;
    case BBOutputType::EB:
        out << "EB";
        break;
    case BBOutputType::PB:
        out << "PB";
        break;
    case BBOutputType::CNT_EVAL:
        out << "CNT_EVAL";
        break;
    default:
        out << "BBO_UNDEFINED";
        break;
    }
    return out;
}

std::ostream& operator<<(std::ostream& out, const LHSearchType& lhst)
{
    // Through itos: the stream's locale could group the digits.
    out << itos(lhst.getNbInitial()) << ' ' << itos(lhst.getNbIteration());
    return out;
}

// ---------------------------------------------------------------------------
// Instantiations of the typed operations
// ---------------------------------------------------------------------------

#define QARNO_PARAMETERS_TYPED_ACCESS(T)                                                           \
    template const T& Parameters::getSpValue<T>(std::string_view, bool, bool) const;               \
    template void Parameters::setSpValueDefault<T>(const std::string&, T);                         \
    template void Parameters::setAttributeValue<T>(const std::string&, T);                         \
    template void Parameters::setEntryValue<T>(const std::string&, T);                             \
    template bool Parameters::isAttributeDefaultValue<T>(const std::string&) const;                \
    template void Parameters::registerTypedAttribute<T>(std::string, T, bool, bool, bool,          \
                                                        const std::string&, const std::string&,    \
                                                        const std::string&);
#define QARNO_PARAMETERS_TYPED_READ(T)                                                             \
    template const T& Parameters::getAttributeValue<T>(std::string_view, bool) const;

QARNO_FOR_EACH_PARAMETER_TYPE(QARNO_PARAMETERS_TYPED_ACCESS)

QARNO_FOR_EACH_PARAMETER_TYPE_BUT_POINT(QARNO_PARAMETERS_TYPED_READ)

template const double& Parameters::getSpValue<double>(std::string_view, bool, bool) const;
template const BBInputType& Parameters::getSpValue<BBInputType>(std::string_view, bool, bool) const;
template const BBOutputType& Parameters::getSpValue<BBOutputType>(std::string_view, bool,
                                                                  bool) const;

#undef QARNO_PARAMETERS_TYPED_ACCESS
#undef QARNO_PARAMETERS_TYPED_READ

} // namespace QARNO_4_0_0
