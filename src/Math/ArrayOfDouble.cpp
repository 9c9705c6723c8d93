#include "Math/ArrayOfDouble.hpp"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <utility>
#include <vector>

#include "Util/ArrayOfString.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

std::string ArrayOfDouble::pStart = "(";
std::string ArrayOfDouble::pEnd = ")";

namespace
{

const char* const FILE_NAME = "src/Math/ArrayOfDouble";

/// Storage of n undefined coordinates; none for n = 0.
std::unique_ptr<Double[]> allocate(size_t n)
{
    return (n == 0) ? std::unique_ptr<Double[]>() : std::unique_ptr<Double[]>(new Double[n]);
}

/// The index that `word` names in an array of size n, as a single index
/// ("2") or an inclusive range ("0-2"); first > last gives no index. False
/// when the word names no index of the array.
bool readIndices(const std::string& word, size_t n, long long& first, long long& last)
{
    const Double size(static_cast<double>(n));
    Double v;
    if (v.atof(word) && v.isInteger() && v < size)
    {
        // A negative number reads as an integer below the size too, but
        // names no coordinate.
        if (v.todouble() < 0)
        {
            return false;
        }
        first = last = static_cast<long long>(v.roundd().todouble());
        return true;
    }

    const size_t dash = word.find('-');
    if (dash == std::string::npos)
    {
        return false;
    }
    Double a;
    Double b;
    if (!a.atof(word.substr(0, dash)) || !a.isInteger() || !(a < size) ||
        !b.atof(word.substr(dash + 1)) || !b.isInteger() || !(b < size))
    {
        return false;
    }
    // The part before the dash holds no "-", so it is not negative; the part
    // after may be, which only makes the range empty (and may be far beyond
    // the range of an integer type).
    first = static_cast<long long>(a.roundd().todouble());
    last = (b.todouble() < 0) ? -1 : static_cast<long long>(b.roundd().todouble());
    return true;
}

} // namespace

// ---------------------------------------------------------------------------
// Construction and storage
// ---------------------------------------------------------------------------

ArrayOfDouble::ArrayOfDouble(size_t n, const Double& d) : _n(n), _array(allocate(n))
{
    if (d.isDefined())
    {
        for (size_t i = 0; i < _n; ++i)
        {
            _array[i] = d;
        }
    }
}

ArrayOfDouble::ArrayOfDouble(const ArrayOfDouble& other) : _n(other._n), _array(allocate(other._n))
{
    for (size_t i = 0; i < _n; ++i)
    {
        _array[i] = other._array[i];
    }
}

ArrayOfDouble::ArrayOfDouble(ArrayOfDouble&& other) noexcept
    : _n(other._n), _array(std::move(other._array))
{
    other._n = 0;
}

ArrayOfDouble& ArrayOfDouble::operator=(const ArrayOfDouble& other)
{
    if (this == &other)
    {
        return *this;
    }
    if (_n != other._n)
    {
        _array = allocate(other._n);
        _n = other._n;
    }
    for (size_t i = 0; i < _n; ++i)
    {
        _array[i] = other._array[i];
    }
    return *this;
}

ArrayOfDouble& ArrayOfDouble::operator=(ArrayOfDouble&& other) noexcept
{
    if (this != &other)
    {
        _array = std::move(other._array);
        _n = other._n;
        other._n = 0;
    }
    return *this;
}

ArrayOfDouble::~ArrayOfDouble() = default;

void ArrayOfDouble::reset(size_t n, const Double& d)
{
    _array = allocate(n);
    _n = n;
    if (d.isDefined())
    {
        for (size_t i = 0; i < _n; ++i)
        {
            _array[i] = d;
        }
    }
}

void ArrayOfDouble::resize(size_t n, const Double& d)
{
    if (n == _n)
    {
        return;
    }
    std::unique_ptr<Double[]> fresh = allocate(n);
    const size_t kept = std::min(n, _n);
    for (size_t i = 0; i < kept; ++i)
    {
        fresh[i] = _array[i];
    }
    if (d.isDefined())
    {
        for (size_t i = kept; i < n; ++i)
        {
            fresh[i] = d;
        }
    }
    _array = std::move(fresh);
    _n = n;
}

void ArrayOfDouble::set(size_t n, const Double* a)
{
    if (n == 0 || a == nullptr)
    {
        return;
    }
    if (n != _n)
    {
        _array = allocate(n);
        _n = n;
    }
    for (size_t i = 0; i < n; ++i)
    {
        _array[i] = a[i];
    }
}

void ArrayOfDouble::set(size_t i, const Double& d, bool relative, const Double& lb,
                        const Double& ub)
{
    if (i >= _n)
    {
        throw Exception(FILE_NAME, __LINE__, "Set: invalid index");
    }
    if (!relative)
    {
        _array[i] = d;
        return;
    }
    if (!lb.isDefined() || !ub.isDefined())
    {
        throw Exception(FILE_NAME, __LINE__, "Set: invalid bounds");
    }
    if (!d.isDefined() || d < Double(0.0) || d > Double(1.0))
    {
        throw Exception(FILE_NAME, __LINE__,
                        "Set: invalid value to set coordinate (0<=d<1) relative to bounds");
    }
    _array[i] = d * (ub - lb);
}

void ArrayOfDouble::throwBadIndex(size_t i) const
{
    if (!_array)
    {
        throw Exception(FILE_NAME, __LINE__, "ArrayOfDouble: Array is not defined");
    }
    throw Exception(FILE_NAME, __LINE__,
                    "ArrayOfDouble: i = " + itos(i) + " is out of bounds [0, " + itos(_n - 1) +
                        "]");
}

// ---------------------------------------------------------------------------
// Queries
// ---------------------------------------------------------------------------

bool ArrayOfDouble::isDefined() const
{
    for (size_t i = 0; i < _n; ++i)
    {
        if (_array[i].isDefined())
        {
            return true;
        }
    }
    return false;
}

bool ArrayOfDouble::isComplete() const
{
    return _n > 0 && Double::allDefined(_array.get(), _n);
}

size_t ArrayOfDouble::nbDefined() const
{
    size_t nb = 0;
    for (size_t i = 0; i < _n; ++i)
    {
        if (_array[i].isDefined())
        {
            ++nb;
        }
    }
    return nb;
}

bool ArrayOfDouble::toBeDefined() const
{
    for (size_t i = 0; i < _n; ++i)
    {
        if (_array[i].isToBeDefinedMark())
        {
            return true;
        }
    }
    return false;
}

bool ArrayOfDouble::operator==(const ArrayOfDouble& other) const
{
    if (this == &other)
    {
        return true;
    }
    if (_n != other._n)
    {
        return false;
    }
    const double eps = Double::getEpsilon();
    for (size_t i = 0; i < _n; ++i)
    {
        const Double& a = _array[i];
        const Double& b = other._array[i];
        if (!a.isDefined() || !b.isDefined() || !(std::fabs(a.todouble() - b.todouble()) < eps))
        {
            return false;
        }
    }
    return true;
}

void ArrayOfDouble::verifySizesMatch(size_t s1, size_t s2, const std::string& file,
                                     size_t line) const
{
    if (s1 != s2 || s2 == 0)
    {
        throw Exception(file, line,
                        "ArrayOfDouble comparison operator: Cannot compare arrays of different "
                        "sizes (" +
                            itos(s1) + " and " + itos(s2) + ")");
    }
}

void ArrayOfDouble::compare(const ArrayOfDouble& other, bool& lessOrEqual, bool& strictlyLess) const
{
    // The check takes the file name as a string: only build it when it throws.
    if (_n != other._n || other._n == 0)
    {
        verifySizesMatch(_n, other._n, FILE_NAME, __LINE__);
    }
    lessOrEqual = true;
    strictlyLess = false;
    const double eps = Double::getEpsilon();
    for (size_t i = 0; lessOrEqual && i < _n; ++i)
    {
        if (!_array[i].isDefined() || !other._array[i].isDefined())
        {
            throw Exception(FILE_NAME, __LINE__,
                            "ArrayOfDouble comparison operator: Undefined value in array");
        }
        const double a = _array[i].todouble();
        const double b = other._array[i].todouble();
        if (a < b - eps)
        {
            strictlyLess = true;
        }
        else if (a > b + eps)
        {
            lessOrEqual = false;
        }
    }
}

bool ArrayOfDouble::operator<=(const ArrayOfDouble& other) const
{
    bool lessOrEqual = false;
    bool strictlyLess = false;
    compare(other, lessOrEqual, strictlyLess);
    return lessOrEqual;
}

bool ArrayOfDouble::operator<(const ArrayOfDouble& other) const
{
    bool lessOrEqual = false;
    bool strictlyLess = false;
    compare(other, lessOrEqual, strictlyLess);
    return lessOrEqual && strictlyLess;
}

bool ArrayOfDouble::inBounds(const ArrayOfDouble& lb, const ArrayOfDouble& ub) const
{
    if (lb._n >= _n && ub._n >= _n)
    {
        // Every trial point is asked this: the tolerant comparisons of
        // Double on plain numbers, without an index check per coordinate.
        return Double::allWithin(_array.get(), lb._array.get(), ub._array.get(), _n,
                                 Double::getEpsilon());
    }
    // Shorter bounds throw at the first coordinate they lack.
    for (size_t i = 0; i < _n; ++i)
    {
        const Double& x = _array[i];
        if (!x.isDefined())
        {
            return false;
        }
        if (lb[i].isDefined() && x < lb[i])
        {
            return false;
        }
        if (ub[i].isDefined() && x > ub[i])
        {
            return false;
        }
    }
    return true;
}

bool ArrayOfDouble::isMultipleOf(const ArrayOfDouble& granularity, int& index) const
{
    index = -1;
    const double eps = Double::getEpsilon();
    for (size_t i = 0; i < _n; ++i)
    {
        // A plain comparison: the tolerant "<" of Double would mean
        // |g| < 0 and never skip a zero granularity.
        if (granularity[i].abs().todouble() < eps)
        {
            continue; // a continuous variable
        }
        if (!_array[i].isMultipleOf(granularity[i]))
        {
            index = static_cast<int>(i);
            return false;
        }
    }
    return true;
}

ArrayOfDouble ArrayOfDouble::abs() const
{
    ArrayOfDouble result(_n);
    for (size_t i = 0; i < _n; ++i)
    {
        if (_array[i].isDefined())
        {
            result._array[i] = _array[i].abs();
        }
    }
    return result;
}

Double ArrayOfDouble::max() const
{
    Double result;
    for (size_t i = 0; i < _n; ++i)
    {
        const Double& x = _array[i];
        if (x.isDefined() && (!result.isDefined() || x > result))
        {
            result = x;
        }
    }
    return result;
}

// ---------------------------------------------------------------------------
// Arithmetic
// ---------------------------------------------------------------------------

ArrayOfDouble ArrayOfDouble::operator+(const ArrayOfDouble& other) const
{
    if (_n != other._n)
    {
        throw Exception(FILE_NAME, __LINE__, "x + y: x.size != y.size");
    }
    ArrayOfDouble result(_n);
    for (size_t i = 0; i < _n; ++i)
    {
        result._array[i] = _array[i].todouble() + other._array[i].todouble();
    }
    return result;
}

ArrayOfDouble ArrayOfDouble::operator-(const ArrayOfDouble& other) const
{
    if (_n != other._n)
    {
        throw Exception(FILE_NAME, __LINE__, "x - y: x.size != y.size");
    }
    ArrayOfDouble result(_n);
    for (size_t i = 0; i < _n; ++i)
    {
        result._array[i] = _array[i].todouble() - other._array[i].todouble();
    }
    return result;
}

ArrayOfDouble& ArrayOfDouble::operator*=(const Double& factor)
{
    for (size_t i = 0; i < _n; ++i)
    {
        _array[i] *= factor;
    }
    return *this;
}

// ---------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------

std::string ArrayOfDouble::display(const ArrayOfDouble& prec) const
{
    // A precision array that does not reach coordinate i leaves the default
    // precision there: a display never fails for a format of another size.
    const bool hasPrec = prec.isDefined();
    std::string text;
    for (size_t i = 0; i < _n; ++i)
    {
        if (i > 0)
        {
            text += ' ';
        }
        int precision = -1;
        if (hasPrec && i < prec._n && prec._array[i].isDefined())
        {
            precision = prec._array[i].round();
        }
        text += _array[i].display(precision, 0);
    }
    return text;
}

std::ostream& operator<<(std::ostream& out, const ArrayOfDouble& arr)
{
    out << arr.display(ArrayOfDouble());
    return out;
}

std::istream& operator>>(std::istream& in, ArrayOfDouble& arr)
{
    for (size_t i = 0; i < arr.size(); ++i)
    {
        in >> arr[i];
    }
    if (in.fail() || in.bad())
    {
        throw Exception(FILE_NAME, __LINE__, "ArrayOfDouble: bad input for operator>>");
    }
    return in;
}

// ---------------------------------------------------------------------------
// Snapping onto bounds
// ---------------------------------------------------------------------------

void ArrayOfDouble::snapToBounds(const ArrayOfDouble& lb, const ArrayOfDouble& ub,
                                 const ArrayOfDouble& frameCenter,
                                 const ArrayOfDouble& deltaMeshSize)
{
    if (!isComplete())
    {
        throw Exception(FILE_NAME, __LINE__,
                        "snapToBounds: ArrayOfDouble is not completely defined.");
    }
    if (lb._n != _n || ub._n != _n)
    {
        throw Exception(FILE_NAME, __LINE__,
                        "snapToBounds: Inconsistent dimension for bounds. Expecting " + itos(_n) +
                            " but sizes are " + itos(lb._n) + " and " + itos(ub._n) + ".");
    }
    if ((!lb.isDefined() && !ub.isDefined()) || _n == 0)
    {
        return;
    }

    const bool hasMesh = deltaMeshSize.isDefined();
    const Double zero(0.0);
    for (size_t i = 0; i < _n; ++i)
    {
        Double& x = _array[i];
        const bool meshUsable = hasMesh && deltaMeshSize[i].isDefined() && deltaMeshSize[i] > zero;

        if (lb._array[i].isDefined() && x < lb._array[i])
        {
            const Double& bound = lb._array[i];
            if (!meshUsable)
            {
                x = bound;
                continue;
            }
            const Double oldX = x;
            x = frameCenter[i] + (bound - frameCenter[i]).nextMult(deltaMeshSize[i]);
            if (x < bound)
            {
                std::cerr << "Warning: snapToBounds: Error snapping " << oldX << " to lower bound "
                          << bound << " - frameCenter = " << frameCenter[i]
                          << ", deltaMeshSize = " << deltaMeshSize[i] << ": it gave " << x
                          << " which is still lower than " << bound << std::endl;
            }
        }
        else if (ub._array[i].isDefined() && x > ub._array[i])
        {
            const Double& bound = ub._array[i];
            if (!meshUsable)
            {
                x = bound;
                continue;
            }
            x = frameCenter[i] + (bound - frameCenter[i]).nextMult(deltaMeshSize[i]);
            if (x > bound)
            {
                x -= deltaMeshSize[i];
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Reading parameter words
// ---------------------------------------------------------------------------

void ArrayOfDouble::readValuesAsArray(const ArrayOfString& words)
{
    if (_n == 0)
    {
        throw Exception(FILE_NAME, __LINE__, "Cannot read values into an empty array");
    }
    const std::string S = words.display();
    Double v;

    // "( x1 ... xn )"
    if (words[0] == pStart)
    {
        if (words.size() != _n + 2)
        {
            throw Exception(FILE_NAME, __LINE__,
                            "Cannot read values:" + S +
                                ", size is not compatible with array size:" + itos(_n));
        }
        if (words[_n + 1] != pEnd)
        {
            throw Exception(FILE_NAME, __LINE__,
                            "Incompatible format for array: " + S + ". Must be delimited by \"" +
                                pStart + "\" and \"" + pEnd + ")\" parenthesis.");
        }
        for (size_t k = 1; k <= _n; ++k)
        {
            const std::string& word = words[k];
            if (word == "-")
            {
                continue; // keeps the current value
            }
            if (!v.atof(word))
            {
                throw Exception(FILE_NAME, __LINE__,
                                "Error reading array " + S + ". " + "Cannot convert string " +
                                    word + " to double.");
            }
            _array[k - 1] = v;
        }
        return;
    }

    // "* v"
    if (words[0] == "*")
    {
        if (words.size() != 2)
        {
            std::cerr << "Warning: Expecting an array of size 2 for this parameter entry: " << S
                      << std::endl;
        }
        const std::string& word = words[1];
        if (!v.atof(word))
        {
            throw Exception(FILE_NAME, __LINE__,
                            "Error reading array " + S + ". " + "Cannot convert string " + word +
                                " to double.");
        }
        for (size_t i = 0; i < _n; ++i)
        {
            _array[i] = v;
        }
        return;
    }

    // "i", "i v", "i-j", "i-j v"
    if (words.size() > 2)
    {
        throw Exception(FILE_NAME, __LINE__, "Cannot read value as an array of doubles: " + S);
    }
    long long first = 0;
    long long last = -1;
    if (!readIndices(words[0], _n, first, last))
    {
        throw Exception(FILE_NAME, __LINE__, "Error: cannot use " + words[0] + " as an index.");
    }
    Double value;
    if (words.size() == 1)
    {
        value = Double::toBeDefinedMark();
    }
    else
    {
        if (!v.atof(words[1]))
        {
            throw Exception(FILE_NAME, __LINE__, "Cannot read value as an array of doubles: " + S);
        }
        value = v;
    }
    for (long long k = first; k <= last; ++k)
    {
        _array[static_cast<size_t>(k)] = value;
    }
}

} // namespace QARNO_4_0_0
