#ifndef QARNO_PARAM_PARAMETERS_HPP
#define QARNO_PARAM_PARAMETERS_HPP

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <typeindex>
#include <unordered_map>
#include <vector>

#include "Param/Attribute.hpp"
#include "Param/AttributeDefinition.hpp"
#include "Param/ParameterEntries.hpp"
#include "Param/ParameterValueTypes.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

class ParameterEntry;

/// A checked read of a parameter set that was changed since its last
/// `checkAndComply`. A kind of its own so that callers can catch it alone.
class ParameterToBeChecked : public Exception
{
public:
    ParameterToBeChecked(const std::string& file, int line, const std::string& msg);
};

/// The base of the parameter sets: a registry of typed attributes keyed by
/// upper-case keyword, filled from a table of all-text definitions.
///
/// Values are read by keyword and value type with `getAttributeValue<T>`,
/// which refuses a set changed since its last check (`ParameterToBeChecked`),
/// and written with `setAttributeValue<T>`, which marks the set as to be
/// checked. A keyword has one value type for the whole process, fixed by its
/// first registration in any set.
///
///     class MyParameters : public Parameters { void init() override; ... };
///     params->setAttributeValue("MAX_BB_EVAL", 100);  // int -> size_t
///     params->checkAndComply();
///     size_t n = params->getAttributeValue<size_t>("MAX_BB_EVAL");
///
/// The typed operations are defined (and instantiated for every value type)
/// in Parameters.cpp; the keyword look-ups are hashed, ignore case without
/// building upper-case copies, and find the value type with the attribute,
/// since reads happen many times per run.
class Parameters
{
public:
    /// The largest DIMENSION accepted. Arrays of DIMENSION coordinates are
    /// built while parameters are read and checked, so an absurd value (a
    /// typo, or INF) is refused before anything that size is allocated.
    static constexpr size_t MAX_DIMENSION = 1000000;

    /// Orders by the upper-cased bytes; transparent, so that a keyword in
    /// any case finds its upper-case key without a copy.
    struct UpperCaseLess
    {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };

    using AttributeSet = std::set<std::shared_ptr<Attribute>, lessThanAttribute>;

    /// The parsed entries of parameter files and lines, shared by every set
    /// of the process and kept from one run to the next.
    static ParameterEntries _paramEntries;

    Parameters();
    virtual ~Parameters();
    Parameters(const Parameters&) = delete;
    Parameters& operator=(const Parameters&) = delete;

    /// Sets the type name, the definition table, and registers it.
    virtual void init() = 0;

    // ---------------------------------------------------------------------
    // Registration and the attribute set
    // ---------------------------------------------------------------------

    /// Registers every definition in table order; throws at the first one
    /// that fails, keeping those registered before it.
    void registerAttributes(const std::vector<AttributeDefinition>& attributeDefinitions);

    /// The body of a concrete set's `init()`: sets the type name, keeps
    /// `table` as the set's definition table, registers it, then runs
    /// `registerMore` (attributes registered one by one). Any failure becomes
    /// `Exception` "Attribute registration failed: " followed by its text.
    void initFromTable(const std::string& typeName, std::vector<AttributeDefinition> table,
                       const std::function<void()>& registerMore = nullptr);

    /// Registers one attribute of value type T; `infos` are the short info
    /// and optionally the help text and the keywords.
    template <typename T, typename... ARGS>
    void registerAttribute(std::string name, T initValue, bool algoCompatibilityCheck,
                           bool restartAttribute, bool uniqueEntry, ARGS&&... infos)
    {
        static_assert(sizeof...(ARGS) >= 1 && sizeof...(ARGS) <= 3,
                      "short info, then optionally help text and keywords");
        registerTypedAttribute<T>(std::move(name), std::move(initValue), algoCompatibilityCheck,
                                  restartAttribute, uniqueEntry,
                                  std::string(std::forward<ARGS>(infos))...);
    }

    /// Throws for the first attribute (name order) with neither short info
    /// nor help text. Changes nothing. Every check of a set begins with it:
    /// attributes are never removed and their texts never change, so a set
    /// found complete is walked again only after a registration.
    void checkInfo() const;

    /// The attribute named `name` in any case, or an empty pointer.
    std::shared_ptr<Attribute> getAttribute(const std::string& name) const;
    /// A copy of the attribute set: new set, same attribute objects.
    AttributeSet getAttributes() const { return _attributes; }
    bool isRegisteredAttribute(const std::string& name) const;

    const std::string& getTypeName() const { return _typeName; }

    /// The value-change log: " [ NAME value ] " for every value stored away
    /// from its default. Values read from parameter entries are recorded once
    /// per keyword, with the value the entries gave last (no record when that
    /// is the default): a list of points read from many entries shows once,
    /// complete, and interpreting the same entries again adds nothing. A
    /// direct write or a reset of the keyword closes that record; entries
    /// read afterwards open a new one.
    std::string getSetAttributeAsString() const;

    /// The value type recorded for the keyword (looked up in any case);
    /// nullptr when none.
    static const std::type_index* findTypeOfAttribute(const std::string& name);

    // ---------------------------------------------------------------------
    // Typed access (defined in Parameters.cpp for every value type)
    // ---------------------------------------------------------------------

    /// The checked typed read. `name` is used as passed for the type map and
    /// the "DIMENSION" exemption (case matters there).
    template <typename T>
    const T& getSpValue(std::string_view name, bool flagCheck, bool flagDefault) const;

    /// The read every subsystem uses: keyword in any case, with the check.
    /// The keyword is taken as a view: a literal costs no string.
    template <typename T>
    const T& getAttributeValue(std::string_view name, bool flagDefault = false) const;

    /// Stores the current value; leaves the to-be-checked flag. The default
    /// value is never changed.
    template <typename T> void setSpValueDefault(const std::string& name, T value);

    /// Stores the value under the upper-cased keyword and marks the set as
    /// to be checked. An int given for a size_t keyword is converted
    /// (negative: no limit), a text for an ArrayOfString keyword becomes a
    /// one-word list, a point for a list of points a one-point list.
    template <typename T> void setAttributeValue(const std::string& name, T value);

    template <typename T> bool isAttributeDefaultValue(const std::string& name) const;

    bool toBeChecked() const { return _toBeChecked; }
    /// Counts the changes of the set (values, defaults, copies, resets), so
    /// that a reader on a hot path knows when the values it keeps are stale.
    size_t getChangeCount() const { return _changeCount; }

    // ---------------------------------------------------------------------
    // Parameter files, lines and entries (ParametersEntries.cpp)
    // ---------------------------------------------------------------------

    /// Parses a whole file into the shared store; interprets nothing.
    static void readParamFileAndSetEntries(const std::string& paramFile, bool overwrite,
                                           bool resetAllEntries);
    /// Parses one line of the named source into the shared store.
    static void readParamLine(const std::string& line, const std::string& paramFile, int lineNumber,
                              bool overwrite);
    /// Parses one line given directly and interprets the store for this set;
    /// a library exception while interpreting becomes a warning.
    void readParamLine(const std::string& line, bool overwrite);
    /// Interprets the store's entries of this set's keywords.
    void readEntries(bool allowMultipleEntries);

    void checkFormat1(const std::shared_ptr<ParameterEntry>& pe) const;
    void checkFormatNbEntries(const std::shared_ptr<ParameterEntry>& pe, size_t n) const;
    void checkFormatBool(const std::shared_ptr<ParameterEntry>& pe) const;
    void checkFormatSizeT(const std::shared_ptr<ParameterEntry>& pe, size_t& value) const;
    void checkFormatAllSizeT(const std::shared_ptr<ParameterEntry>& pe) const;
    void checkFormatInt(const std::shared_ptr<ParameterEntry>& pe, int& value) const;
    void checkFormatString(const std::shared_ptr<ParameterEntry>& pe) const;
    void checkFormatDouble(const std::shared_ptr<ParameterEntry>& pe, Double& value) const;
    void checkFormatArrayOfString(const std::shared_ptr<ParameterEntry>& pe) const;

    void readValuesAsArray(const ParameterEntry& pe, ArrayOfDouble& array);
    size_t readValuesForArrayOfPoint(const ParameterEntry& pe, Point& point);
    size_t readValuesForVariableGroup(const ParameterEntry& pe, std::set<size_t>& group);

    // ---------------------------------------------------------------------
    // Copying, compatibility, display and help
    // ---------------------------------------------------------------------

    /// Copies every current value of `params` (which must be checked) into
    /// this set, which becomes to be checked.
    void copyParameters(const Parameters& params);
    /// True when every attribute flagged for the compatibility test has the
    /// same value in both sets.
    bool isAlgoCompatible(const Parameters* params) const;
    /// One line per attribute: its value line, or its help text.
    void display(std::ostream& os, bool helpInfo) const;
    /// Appends the help blocks of the attributes matching `helpSubject`.
    void displayHelp(const std::string& helpSubject, bool developer, std::ostringstream& ossBasic,
                     std::ostringstream& ossAdvanced) const;
    void resetToDefaultValues();
    void resetToDefaultValue(const std::string& name);
    /// An entry of the keyword is in the shared store (any set, any run).
    bool isSetByUser(const std::string& name) const;

protected:
    void markToBeChecked()
    {
        _toBeChecked = true;
        ++_changeCount;
    }

    std::string _typeName;
    bool _toBeChecked;
    size_t _changeCount = 0;
    AttributeSet _attributes;
    std::vector<AttributeDefinition> _attributeDefinitions;

private:
    template <typename T>
    void registerTypedAttribute(std::string name, T initValue, bool algoCompatibilityCheck,
                                bool restartAttribute, bool uniqueEntry,
                                const std::string& shortInfo, const std::string& helpInfo = "",
                                const std::string& keywords = "");

    /// What the set knows of one of its keywords: the attribute, the value
    /// type it was made with, and the process-wide type recorded for the
    /// keyword (the entry of `_typeOfAttributes`, which is never removed).
    struct IndexEntry
    {
        std::shared_ptr<Attribute> attribute;
        std::type_index ownType;
        const std::type_index* registered;
    };

    /// Hash and equality of keywords that ignore the case of ASCII letters.
    struct UpperCaseHash
    {
        size_t operator()(std::string_view name) const;
    };
    struct UpperCaseEqual
    {
        bool operator()(std::string_view a, std::string_view b) const;
    };

    /// The entry of `name` in any case, or nullptr; no copy of the name.
    const IndexEntry* findEntry(std::string_view name) const;
    /// The attribute of `name` in any case, or nullptr.
    const std::shared_ptr<Attribute>* findAttribute(std::string_view name) const;
    /// The registered type of `name` as `lookUpType` would find it in
    /// `_typeOfAttributes`, from the set's own entry: with `anyCase` false,
    /// only for the key itself.
    static const std::type_index* registeredType(const IndexEntry& entry, std::string_view name,
                                                 bool anyCase);

    /// The store behind setSpValueDefault and setEntryValue; `fromEntries`
    /// tells how the value-change log records it.
    template <typename T> void storeValue(const std::string& name, T value, bool fromEntries);

    /// setAttributeValue for the values read from parameter entries (`name`
    /// is the registered keyword): the log keeps one record per keyword.
    template <typename T> void setEntryValue(const std::string& name, T value);

    /// The stored list of points of `name`, changed in place by the entries
    /// (a long list is not copied for every entry); the reading checks of
    /// getSpValue apply. `recordPointsFromEntries` then records the change.
    ArrayOfPoint& pointsForEntries(const std::string& name);
    void recordPointsFromEntries(const std::string& name);

    /// Adds the value just stored in `attribute` to the value-change log.
    void recordValue(const std::shared_ptr<Attribute>& attribute, bool isDefault, bool fromEntries);
    /// Writes the open record of `attribute` (if any) with the value it has
    /// now, before a direct write or a reset changes it.
    void closeRecord(const Attribute* attribute);

    /// The typed read behind getSpValue and getAttributeValue.
    /// `upperCaseName` tells that the caller asked for the upper-cased
    /// keyword, which then is what the type map and the messages see.
    template <typename T>
    const T& readValue(std::string_view name, bool upperCaseName, bool flagCheck,
                       bool flagDefault) const;

    /// Upper-case keyword to entry, for the look-ups; `_attributes` keeps the
    /// order for the walks. The keys view the names held by the attributes,
    /// which never change, so that a look-up needs no string.
    std::unordered_map<std::string_view, IndexEntry, UpperCaseHash, UpperCaseEqual> _attributeIndex;

    /// One record of the value-change log: its text, or, while open, the
    /// attribute whose current value it shows.
    struct ValueRecord
    {
        std::string text;
        std::shared_ptr<const Attribute> open;
    };
    std::vector<ValueRecord> _valueRecords;
    /// The number of attributes when checkInfo last found them all complete.
    mutable size_t _infoCheckedCount = 0;
    /// The attributes with an open record, and where that record is.
    std::map<const Attribute*, size_t> _openRecords;

    /// Keyword (upper case) to value type, for the whole process.
    static std::map<std::string, std::type_index, UpperCaseLess> _typeOfAttributes;
};

template <>
const Point& Parameters::getAttributeValue<Point>(std::string_view name, bool flagDefault) const;

/// "OBJ", "EB", "PB", "CNT_EVAL", and "BBO_UNDEFINED" for any other value.
std::ostream& operator<<(std::ostream& out, const BBOutputType& bbot);
/// The two counts separated by one blank ("10 5"); the enabled flag is not
/// written. The text constructor of LHSearchType reads it back.
std::ostream& operator<<(std::ostream& out, const LHSearchType& lhst);

// The typed operations are instantiated once, in Parameters.cpp.
#define QARNO_PARAMETERS_TYPED_ACCESS(T)                                                           \
    extern template const T& Parameters::getSpValue<T>(std::string_view, bool, bool) const;        \
    extern template void Parameters::setSpValueDefault<T>(const std::string&, T);                  \
    extern template void Parameters::setAttributeValue<T>(const std::string&, T);                  \
    extern template void Parameters::setEntryValue<T>(const std::string&, T);                      \
    extern template bool Parameters::isAttributeDefaultValue<T>(const std::string&) const;         \
    extern template void Parameters::registerTypedAttribute<T>(                                    \
        std::string, T, bool, bool, bool, const std::string&, const std::string&,                  \
        const std::string&);
#define QARNO_PARAMETERS_TYPED_READ(T)                                                             \
    extern template const T& Parameters::getAttributeValue<T>(std::string_view, bool) const;

QARNO_FOR_EACH_PARAMETER_TYPE(QARNO_PARAMETERS_TYPED_ACCESS)

QARNO_FOR_EACH_PARAMETER_TYPE_BUT_POINT(QARNO_PARAMETERS_TYPED_READ)

// Types that no keyword is registered with: a read always fails the type check.
extern template const double& Parameters::getSpValue<double>(std::string_view, bool, bool) const;
extern template const BBInputType& Parameters::getSpValue<BBInputType>(std::string_view, bool,
                                                                       bool) const;
extern template const BBOutputType& Parameters::getSpValue<BBOutputType>(std::string_view, bool,
                                                                         bool) const;

#undef QARNO_PARAMETERS_TYPED_ACCESS
#undef QARNO_PARAMETERS_TYPED_READ

} // namespace QARNO_4_0_0

#endif
