#ifndef QARNO_PARAM_PARAMETERENTRY_HPP
#define QARNO_PARAM_PARAMETERENTRY_HPP

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace QARNO_4_0_0
{

/// One parsed parameter line: the keyword (upper-cased) and its value words.
///
/// Parsing knows nothing of keywords or value types; it only splits the line:
/// white space separates words, a word starting with "#" ends the line (with
/// comments on), a word starting with an apostrophe or a double quote opens a
/// quoted value that may hold white space, and a leading "(" / "[" or a
/// trailing ")" / "]" of a value word becomes a value of its own.
///
///     ParameterEntry e("x0 (1 2) # start", true);
///     // e.getName() == "X0", values "(", "1", "2", ")"
///
/// Entries of the same keyword are chained through `_next` in order of
/// arrival by the store (ParameterEntries).
class ParameterEntry
{
public:
    explicit ParameterEntry(const std::string& line, bool removeComment = true);
    /// Unlinks the chain behind this entry iteratively, so that releasing a
    /// very long chain cannot exhaust the stack.
    virtual ~ParameterEntry();

    ParameterEntry(const ParameterEntry&) = delete;
    ParameterEntry& operator=(const ParameterEntry&) = delete;

    const std::string& getName() const { return _name; }
    const std::vector<std::string>& getValues() const { return _values; }
    size_t getNbValues() const { return _values.size(); }
    bool isOk() const { return _ok; }

    bool isUnique() const { return _unique; }
    void setUnique(bool unique) { _unique = unique; }

    const std::shared_ptr<ParameterEntry>& getNext() const { return _next; }
    void setNext(std::shared_ptr<ParameterEntry> next) { _next = std::move(next); }

    const std::string& getParamFile() const { return _paramFile; }
    void setParamFile(const std::string& paramFile) { _paramFile = paramFile; }

    int getLine() const { return _line; }
    void setLine(int line) { _line = line; }

    bool hasBeenInterpreted() const { return _hasBeenInterpreted; }
    void setHasBeenInterpreted(bool interpreted = true) { _hasBeenInterpreted = interpreted; }

    /// "KEYWORD: [v1] [v2] " for a usable entry, nothing otherwise; no line end.
    void display(std::ostream& os) const;

    /// The values in order, each followed by one blank.
    std::string getAllValues() const;

private:
    void parse(const std::string& line, bool removeComment);
    void addValueWord(std::string word);

    std::string _name;
    std::vector<std::string> _values;
    bool _ok;
    bool _unique;
    std::shared_ptr<ParameterEntry> _next;
    std::string _paramFile;
    int _line;
    bool _hasBeenInterpreted;
};

} // namespace QARNO_4_0_0

#endif
