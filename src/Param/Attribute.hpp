#ifndef QARNO_PARAM_ATTRIBUTE_HPP
#define QARNO_PARAM_ATTRIBUTE_HPP

#include <iosfwd>
#include <memory>
#include <string>

namespace QARNO_4_0_0
{

/// One registered parameter of a parameter set, seen independently of its
/// value type: the upper-case keyword, the documentation texts and the
/// behaviour flags. `TypeAttribute<T>` adds the current and default values.
///
/// Attributes are made by `Parameters::registerAttribute` only and shared
/// through `std::shared_ptr`, so a caller may keep one after its set is gone.
class Attribute
{
public:
    Attribute(const std::string& name, bool algoCompatibilityCheck, bool restartAttribute,
              bool uniqueEntry, const std::string& shortInfo, const std::string& helpInfo,
              const std::string& keywords);

    virtual const std::string& getName() const { return _name; }
    virtual const std::string& getShortInfo() const { return _shortInfo; }
    virtual const std::string& getHelpInfo() const { return _helpInfo; }
    virtual const std::string& getKeywords() const { return _keywords; }

    /// Takes part in the algorithm-compatibility test of two sets.
    virtual bool isForAlgoCompatibilityCheck() const { return _algoCompatibilityCheck; }
    /// Stored and reported only; nothing in the parameter framework reads it.
    virtual bool isRestartAttribute() const { return _restartAttribute; }
    /// May be given only once in a parameter file.
    virtual bool getParamFromUniqueEntry() const { return _uniqueEntry; }

    virtual ~Attribute();

    virtual void resetToDefaultValue() = 0;

    /// The attribute on one line, without a line end: the name, a blank, and
    /// with `withShortInfo` " (short info)" when there is one. The typed
    /// attributes write their value between the two.
    virtual void display(std::ostream& out, bool withShortInfo) const;

protected:
    /// " (" short info ")" when asked for and not empty.
    void displayShortInfo(std::ostream& out, bool withShortInfo) const;

    std::string _name;
    std::string _shortInfo;
    std::string _helpInfo;
    std::string _keywords;
    bool _algoCompatibilityCheck;
    bool _restartAttribute;
    bool _uniqueEntry;
};

/// Orders attributes by name, byte by byte (names are upper case).
struct lessThanAttribute
{
    bool operator()(const std::shared_ptr<Attribute>& a, const std::shared_ptr<Attribute>& b) const
    {
        return a->getName() < b->getName();
    }
};

} // namespace QARNO_4_0_0

#endif
