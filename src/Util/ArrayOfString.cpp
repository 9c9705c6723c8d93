#include "Util/ArrayOfString.hpp"

#include <algorithm>
#include <ostream>

#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

ArrayOfString::ArrayOfString(size_t n, const std::string& init) : _array(n, init) {}

ArrayOfString::ArrayOfString(const std::string& text, const std::string& separators)
    : _array(splitString(text, separators))
{
}

std::vector<std::string> ArrayOfString::splitString(const std::string& text,
                                                    const std::string& separators)
{
    std::vector<std::string> words;
    size_t pos = 0;
    while (pos < text.size())
    {
        const size_t start = text.find_first_not_of(separators, pos);
        if (start == std::string::npos)
        {
            break;
        }
        const size_t end = text.find_first_of(separators, start);
        if (end == std::string::npos)
        {
            words.push_back(text.substr(start));
            break;
        }
        words.push_back(text.substr(start, end - start));
        pos = end + 1;
    }
    return words;
}

void ArrayOfString::checkIndex(size_t i) const
{
    if (i >= _array.size())
    {
        // The upper bound is written as an unsigned 64-bit number, so an
        // empty array shows 18446744073709551615.
        const unsigned long long last = static_cast<unsigned long long>(_array.size()) - 1ULL;
        throw Exception("src/Util/ArrayOfString", __LINE__,
                        "ArrayOfString: index = " + std::to_string(i) + " is out of bounds [0, " +
                            std::to_string(last) + "]");
    }
}

const std::string& ArrayOfString::operator[](size_t i) const
{
    checkIndex(i);
    return _array[i];
}

void ArrayOfString::replace(size_t i, const std::string& word)
{
    checkIndex(i);
    _array[i] = word;
}

bool ArrayOfString::erase(size_t i)
{
    if (i >= _array.size())
    {
        return false;
    }
    _array.erase(_array.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
}

int ArrayOfString::find(const std::string& word) const
{
    const auto it = std::find(_array.begin(), _array.end(), word);
    return (it == _array.end()) ? -1 : static_cast<int>(it - _array.begin());
}

std::string ArrayOfString::display() const
{
    if (_array.empty())
    {
        return " - ";
    }
    std::string text = _array[0];
    for (size_t i = 1; i < _array.size(); ++i)
    {
        text += ' ';
        text += _array[i];
    }
    return text;
}

ArrayOfString ArrayOfString::combineAndAddPadding(const ArrayOfString& s1, const ArrayOfString& s2)
{
    if (s1.size() != s2.size())
    {
        throw Exception("src/Util/ArrayOfString", __LINE__,
                        "s1 and s2 must have the same of number of elements.");
    }
    size_t width = 0;
    for (size_t i = 0; i < s1.size(); ++i)
    {
        width = std::max(width, s1._array[i].size() + s2._array[i].size());
    }

    ArrayOfString lines("\n", " ");
    for (size_t i = 0; i < s1.size(); ++i)
    {
        const size_t used = s1._array[i].size() + s2._array[i].size();
        lines.add(s1._array[i] + std::string(width + 1 - used, ' ') + s2._array[i] + "\n");
    }
    return lines;
}

std::ostream& operator<<(std::ostream& out, const ArrayOfString& arr)
{
    out << arr.display();
    return out;
}

} // namespace QARNO_4_0_0
