#ifndef QARNO_UTIL_ARRAYOFSTRING_HPP
#define QARNO_UTIL_ARRAYOFSTRING_HPP

#include <iosfwd>
#include <string>
#include <vector>

namespace QARNO_4_0_0
{

/// An ordered list of words: the value of the parameters that take several
/// words, the result of splitting a text, and the building block of aligned
/// two-column reports.
class ArrayOfString
{
public:
    explicit ArrayOfString(size_t n = 0, const std::string& init = "");
    /// The words of `text` (see splitString).
    ArrayOfString(const std::string& text, const std::string& separators);
    virtual ~ArrayOfString() = default;

    ArrayOfString(const ArrayOfString&) = default;
    ArrayOfString(ArrayOfString&&) noexcept = default;
    ArrayOfString& operator=(const ArrayOfString&) = default;
    ArrayOfString& operator=(ArrayOfString&&) noexcept = default;

    /// The maximal runs of characters not in `separators`, in order; never an
    /// empty word.
    static std::vector<std::string> splitString(const std::string& text,
                                                const std::string& separators);

    size_t size() const { return _array.size(); }
    void add(const std::string& word) { _array.push_back(word); }
    /// Throws when `i` is not below the size.
    const std::string& operator[](size_t i) const;
    void replace(size_t i, const std::string& word);
    /// False, and nothing changes, when `i` is not below the size.
    bool erase(size_t i);
    /// Index of the first word equal to `word` (case counts), -1 when none.
    int find(const std::string& word) const;

    bool operator==(const ArrayOfString& other) const { return _array == other._array; }
    bool operator!=(const ArrayOfString& other) const { return !(*this == other); }

    /// The words joined by one blank; " - " for an empty array.
    std::string display() const;

    /// Lines of a two-column report whose second column starts at the same
    /// place on every line. The first element is a lone newline.
    static ArrayOfString combineAndAddPadding(const ArrayOfString& s1, const ArrayOfString& s2);

private:
    void checkIndex(size_t i) const;

    std::vector<std::string> _array;
};

std::ostream& operator<<(std::ostream& out, const ArrayOfString& arr);

} // namespace QARNO_4_0_0

#endif
