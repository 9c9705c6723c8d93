#include "Param/ParameterEntry.hpp"

#include <ostream>

#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

// White space of a parameter line: what the classic locale calls space, so a
// carriage return before the line feed (files written on Windows) is a
// separator like a blank. Every other byte, NUL included, is an ordinary
// character.
bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// The next white-space-delimited word starting at `pos`; `pos` ends right
// after the word. False when only white space is left.
bool nextWord(const std::string& line, size_t& pos, std::string& word)
{
    const size_t n = line.size();
    while (pos < n && isBlank(line[pos]))
    {
        ++pos;
    }
    if (pos >= n)
    {
        return false;
    }
    const size_t start = pos;
    while (pos < n && !isBlank(line[pos]))
    {
        ++pos;
    }
    word.assign(line, start, pos - start);
    return true;
}

bool isOpeningBracket(char c)
{
    return c == '(' || c == '[';
}

bool isClosingBracket(char c)
{
    return c == ')' || c == ']';
}

} // namespace

ParameterEntry::ParameterEntry(const std::string& line, bool removeComment)
    : _name(), _values(), _ok(false), _unique(true), _next(), _paramFile(), _line(0),
      _hasBeenInterpreted(false)
{
    parse(line, removeComment);
}

ParameterEntry::~ParameterEntry()
{
    // Releasing the head of a chain would otherwise release the next entry
    // from inside this destructor, and so on, one stack frame per entry.
    std::shared_ptr<ParameterEntry> next = std::move(_next);
    while (next && next.use_count() == 1)
    {
        next = std::move(next->_next);
    }
}

void ParameterEntry::parse(const std::string& line, bool removeComment)
{
    size_t pos = 0;
    if (!nextWord(line, pos, _name))
    {
        return;
    }
    if (removeComment && _name[0] == '#')
    {
        _name.clear();
        return;
    }
    toupper(_name);

    std::string word;
    while (nextWord(line, pos, word))
    {
        if (removeComment && word[0] == '#')
        {
            break;
        }
        const char quote = word[0];
        if (quote == '\'' || quote == '"')
        {
            word.erase(0, 1);
            if (!word.empty() && word.back() == quote)
            {
                word.pop_back();
            }
            else
            {
                // The value goes on over the white space as written, up to the
                // next quote of the same kind on the line.
                const size_t closing = line.find(quote, pos);
                if (closing == std::string::npos)
                {
                    _ok = false;
                    return;
                }
                word.append(line, pos, closing - pos);
                pos = closing + 1;
            }
        }
        addValueWord(std::move(word));
        word.clear();
    }
    _ok = !_values.empty();
}

void ParameterEntry::addValueWord(std::string word)
{
    if (word.size() <= 1)
    {
        _values.push_back(std::move(word));
        return;
    }
    if (isOpeningBracket(word.front()))
    {
        _values.emplace_back(1, word.front());
        word.erase(0, 1);
        if (word.size() <= 1)
        {
            _values.push_back(std::move(word));
            return;
        }
    }
    if (isClosingBracket(word.back()))
    {
        const char bracket = word.back();
        word.pop_back();
        _values.push_back(std::move(word));
        _values.emplace_back(1, bracket);
    }
    else
    {
        _values.push_back(std::move(word));
    }
}

void ParameterEntry::display(std::ostream& os) const
{
    if (!_ok)
    {
        return;
    }
    os << _name << ": ";
    for (const auto& value : _values)
    {
        os << "[" << value << "] ";
    }
}

std::string ParameterEntry::getAllValues() const
{
    std::string all;
    for (const auto& value : _values)
    {
        all += value;
        all += ' ';
    }
    return all;
}

} // namespace QARNO_4_0_0
