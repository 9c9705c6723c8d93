#include "Math/Double.hpp"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <istream>
#include <locale>
#include <ostream>
#include <sstream>
#include <system_error>
#include <vector>

#include "Util/TextConstants.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

double Double::_epsilon = Double::DEFAULT_EPSILON;
std::string Double::_infStr = INF_TEXT;
std::string Double::_undefStr = UNDEF_TEXT;

namespace
{

// Source names carried by the exceptions of this file.
const char* const FILE_LONG = "src/Math/Double";
const char* const FILE_SHORT = "Double";

/// Integral and small enough to be written as an int. The bound is
/// INT_MAX - 1 on purpose: larger integral values use the 6-digit form.
bool isSmallInteger(double v)
{
    return std::floor(v) == std::ceil(v) && std::fabs(v) < 2147483646.0;
}

/// v written as printf would with the conversion of `fmt` and `precision`,
/// in the C locale. Formatting goes to a heap buffer: iostreams put their
/// conversion buffer on the stack, which a large requested precision would
/// overflow.
std::string formatFloat(double v, std::chars_format fmt, int precision)
{
    // Sign, 309 integer digits, point, decimals and exponent all fit.
    std::vector<char> buf(static_cast<size_t>(precision) + 400);
    const std::to_chars_result res =
        std::to_chars(buf.data(), buf.data() + buf.size(), v, fmt, precision);
    if (res.ec != std::errc())
    {
        return std::string();
    }
    return std::string(buf.data(), res.ptr);
}

/// The default stream form: 6 significant digits, the shorter style.
std::string defaultForm(double v)
{
    return formatFloat(v, std::chars_format::general, 6);
}

/// Right-aligns `s` in a field of `width` characters.
std::string padLeft(const std::string& s, size_t width)
{
    if (s.size() >= width)
    {
        return s;
    }
    return std::string(width - s.size(), ' ') + s;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isConversionLetter(char c)
{
    return c == 'd' || c == 'i' || c == 'e' || c == 'E' || c == 'f' || c == 'g' || c == 'G';
}

/// Whether the upper-cased word S has the characters of a number: a sign,
/// "." or digit first, then digits, "." and "E", a sign only right after
/// an "E", and something after each "E". The structure is not checked
/// further ("1.2.3" passes); `readLeadingNumber` takes what forms a number.
bool isNumberWord(const std::string& S)
{
    if (S.empty())
    {
        return false;
    }
    if (S.size() == 1)
    {
        return isDigit(S[0]);
    }
    const char first = S[0];
    if (first != '+' && first != '-' && first != '.' && !isDigit(first))
    {
        return false;
    }
    for (size_t i = 1; i < S.size(); ++i)
    {
        const char c = S[i];
        if (isDigit(c) || c == '.')
        {
            continue;
        }
        if (c != 'E' || i + 1 >= S.size())
        {
            return false;
        }
        const char next = S[i + 1];
        if (next == '+' || next == '-')
        {
            ++i; // the exponent's sign
        }
        else if (!isDigit(next))
        {
            return false;
        }
    }
    return true;
}

/// The number formed by the longest leading part of S, as the C library's
/// strtod reads it in the C locale ("1.2.3" -> 1.2, "1E5E3" -> 1e5, "1E+" -> 1,
/// "+." -> 0), except that a magnitude beyond the double range gives the
/// library's infinity (+/-DBL_MAX) instead of the IEEE one.
double readLeadingNumber(const std::string& S)
{
    size_t i = 0;
    bool negative = false;
    if (i < S.size() && (S[i] == '+' || S[i] == '-'))
    {
        negative = (S[i] == '-');
        ++i;
    }

    // Mantissa: digits, optional point, digits. The decimal exponent of its
    // first non-zero digit tells overflow from underflow below.
    const size_t start = i;
    size_t nbDigits = 0;
    long long intDigits = 0;
    long long fracDigits = 0;
    bool seenPoint = false;
    bool seenNonZero = false;
    bool leadInFraction = false;
    long long leadIntIndex = 0; // index of the first non-zero digit among the integer digits
    long long leadExp10 = 0;
    for (; i < S.size(); ++i)
    {
        const char c = S[i];
        if (isDigit(c))
        {
            ++nbDigits;
            if (c != '0' && !seenNonZero)
            {
                seenNonZero = true;
                if (seenPoint)
                {
                    leadInFraction = true;
                    leadExp10 = -(fracDigits + 1);
                }
                else
                {
                    leadIntIndex = intDigits;
                }
            }
            if (seenPoint)
            {
                ++fracDigits;
            }
            else
            {
                ++intDigits;
            }
        }
        else if (c == '.' && !seenPoint)
        {
            seenPoint = true;
        }
        else
        {
            break;
        }
    }
    if (nbDigits == 0)
    {
        return 0.0; // no conversion
    }
    if (!seenNonZero)
    {
        return negative ? -0.0 : 0.0;
    }
    if (!leadInFraction)
    {
        leadExp10 = intDigits - leadIntIndex - 1;
    }

    // Exponent, only when at least one digit follows "E" and its sign.
    size_t end = i;
    long long exponent = 0;
    if (i < S.size() && S[i] == 'E')
    {
        size_t j = i + 1;
        bool expNegative = false;
        if (j < S.size() && (S[j] == '+' || S[j] == '-'))
        {
            expNegative = (S[j] == '-');
            ++j;
        }
        if (j < S.size() && isDigit(S[j]))
        {
            for (; j < S.size() && isDigit(S[j]); ++j)
            {
                // Saturates: any exponent this large is out of range anyway.
                exponent = std::min<long long>(exponent * 10 + (S[j] - '0'), 1000000000LL);
            }
            if (expNegative)
            {
                exponent = -exponent;
            }
            end = j;
        }
    }

    double value = 0.0;
    const std::from_chars_result res =
        std::from_chars(S.data() + start, S.data() + end, value, std::chars_format::general);
    if (res.ec == std::errc::result_out_of_range)
    {
        // Out of range happens only far beyond 1e308 or below 1e-308.
        value = (leadExp10 + exponent > 0) ? DBL_MAX : 0.0;
    }
    else if (res.ec != std::errc())
    {
        value = 0.0;
    }
    return negative ? -value : value;
}

} // namespace

// ---------------------------------------------------------------------------
// Tolerance
// ---------------------------------------------------------------------------

void Double::setEpsilon(double eps)
{
    // A NaN or infinite tolerance would make every comparison meaningless.
    if (!(eps > 0) || !std::isfinite(eps))
    {
        throw Exception(FILE_LONG, __LINE__, "QARNO::Double::setEpsilon(): invalid epsilon");
    }
    if (eps < DBL_EPSILON)
    {
        throw Exception(FILE_LONG, __LINE__,
                        "QARNO::Double::setEpsilon(): minimum value for epsilon is std epsilon = " +
                            defaultForm(DBL_EPSILON));
    }
    _epsilon = eps;
}

void Double::throwToDoubleNotDefined()
{
    throw NotDefined(FILE_LONG, __LINE__, "QARNO::Double::todouble(): value not defined");
}

// ---------------------------------------------------------------------------
// Arithmetic
// ---------------------------------------------------------------------------

Double& Double::operator+=(const Double& d)
{
    if (!_defined || !d._defined)
    {
        throw NotDefined(FILE_SHORT, __LINE__, "QARNO::Double: d1 += d2: d1 or d2 not defined");
    }
    _value += d._value;
    return *this;
}

Double& Double::operator-=(const Double& d)
{
    if (!_defined || !d._defined)
    {
        throw NotDefined(FILE_SHORT, __LINE__, "QARNO::Double: d1 -= d2: d1 or d2 not defined");
    }
    _value -= d._value;
    return *this;
}

Double& Double::operator*=(const Double& d)
{
    if (!_defined || !d._defined)
    {
        throw NotDefined(FILE_SHORT, __LINE__, "QARNO::Double: d1 *= d2: d1 or d2 not defined");
    }
    _value *= d._value;
    return *this;
}

Double& Double::operator/=(const Double& d)
{
    if (!_defined || !d._defined)
    {
        throw NotDefined(FILE_SHORT, __LINE__, "QARNO::Double: d1 /= d2: d1 or d2 not defined");
    }
    if (d._value == 0)
    {
        throw InvalidValue(FILE_SHORT, __LINE__, "QARNO::Double: d1 /= d2: division by zero");
    }
    _value /= d._value;
    return *this;
}

Double& Double::operator++()
{
    if (!_defined)
    {
        throw NotDefined(FILE_SHORT, __LINE__, "QARNO::Double: ++d: d not defined");
    }
    _value += 1;
    return *this;
}

Double& Double::operator--()
{
    if (!_defined)
    {
        throw NotDefined(FILE_SHORT, __LINE__, "QARNO::Double: --d: d not defined");
    }
    _value -= 1;
    return *this;
}

Double Double::operator++(int n)
{
    if (!_defined)
    {
        throw NotDefined(FILE_SHORT, __LINE__, "QARNO::Double: d++: d not defined");
    }
    const Double old = *this;
    _value += (n > 0) ? n : 1;
    return old;
}

Double Double::operator--(int n)
{
    if (!_defined)
    {
        throw NotDefined(FILE_SHORT, __LINE__, "QARNO::Double: d--: d not defined");
    }
    const Double old = *this;
    _value -= (n > 0) ? n : 1;
    return old;
}

Double operator/(const Double& a, const Double& b)
{
    const double divisor = b.todouble();
    if (divisor == 0)
    {
        throw Double::InvalidValue(FILE_SHORT, __LINE__,
                                   "QARNO::Double: d1 / d2: division by zero");
    }
    return Double(a.todouble() / divisor);
}

// ---------------------------------------------------------------------------
// Rounding and functions of the value
// ---------------------------------------------------------------------------

Double Double::roundd() const
{
    if (!_defined)
    {
        throw NotDefined(FILE_SHORT, __LINE__, "QARNO::Double::round(): value not defined");
    }
    return (_value < 0) ? -std::floor(0.5 - _value) : std::floor(_value + 0.5);
}

int Double::round() const
{
    const double r = roundd()._value;
    // Written so that NaN and infinities fail the test too.
    if (!(r >= -2147483648.0 && r <= 2147483647.0))
    {
        throw InvalidValue(FILE_SHORT, __LINE__,
                           "QARNO::Double::round(): value cannot be rounded to integer because it "
                           "is outside of range");
    }
    return static_cast<int>(r);
}

Double Double::ceil() const
{
    if (!_defined)
    {
        throw NotDefined(FILE_SHORT, __LINE__, "QARNO::Double::ceil(): value not defined");
    }
    return std::ceil(_value);
}

Double Double::floor() const
{
    if (!_defined)
    {
        throw NotDefined(FILE_SHORT, __LINE__, "QARNO::Double::floor(): value not defined");
    }
    return std::floor(_value);
}

Double Double::abs() const
{
    if (!_defined)
    {
        throw NotDefined(FILE_SHORT, __LINE__, "QARNO::Double::abs(): value not defined");
    }
    return std::fabs(_value);
}

Double Double::pow2() const
{
    if (!_defined)
    {
        throw NotDefined(FILE_SHORT, __LINE__, "QARNO::Double::pow2(): value not defined");
    }
    return _value * _value;
}

Double Double::sqrt() const
{
    if (!_defined)
    {
        throw NotDefined(FILE_SHORT, __LINE__, "QARNO::Double::sqrt(): value not defined");
    }
    if (_value < -_epsilon)
    {
        throw InvalidValue(FILE_SHORT, __LINE__, "QARNO::Double::sqrt(x): x < 0");
    }
    if (_value < 0)
    {
        // Within the tolerance of 0: treat as 0 rather than produce a NaN.
        return 0.0;
    }
    return std::sqrt(_value);
}

void Double::throwTrunkNotDefined()
{
    throw NotDefined(FILE_LONG, __LINE__, "QARNO::Double::trunk(): value not defined");
}

size_t Double::sameDefinedPrefix(const Double* a, const Double* b, size_t n)
{
    // Points of one poll or one simplex share long runs of coordinates: four
    // pairs are tested at a time without a branch between them, and the
    // block that holds a difference is searched again pair by pair.
    size_t i = 0;
    for (; i + 4 <= n; i += 4)
    {
        const bool same = (a[i]._value == b[i]._value) & (a[i + 1]._value == b[i + 1]._value) &
                          (a[i + 2]._value == b[i + 2]._value) &
                          (a[i + 3]._value == b[i + 3]._value) & a[i]._defined & b[i]._defined &
                          a[i + 1]._defined & b[i + 1]._defined & a[i + 2]._defined &
                          b[i + 2]._defined & a[i + 3]._defined & b[i + 3]._defined;
        if (!same)
        {
            break;
        }
    }
    for (; i < n; ++i)
    {
        if (!sameDefinedValue(a[i], b[i]))
        {
            return i;
        }
    }
    return n;
}

namespace
{

/// Whether test(i) holds for every i < n. Every trial point is asked such
/// questions of all its coordinates: they are tested in blocks of four
/// without a branch between them, then one by one.
template <class Test> bool holdsForAll(size_t n, const Test& test)
{
    size_t i = 0;
    for (; i + 4 <= n; i += 4)
    {
        const bool t0 = test(i);
        const bool t1 = test(i + 1);
        const bool t2 = test(i + 2);
        const bool t3 = test(i + 3);
        if (!(t0 & t1 & t2 & t3))
        {
            return false;
        }
    }
    for (; i < n; ++i)
    {
        if (!test(i))
        {
            return false;
        }
    }
    return true;
}

} // namespace

bool Double::allDefined(const Double* a, size_t n)
{
    return holdsForAll(n, [a](size_t i) { return a[i]._defined; });
}

bool Double::allWithin(const Double* x, const Double* l, const Double* u, size_t n, double eps)
{
    // An undefined x[i] fails whatever its stored number compares to.
    return holdsForAll(n,
                       [&](size_t i)
                       {
                           return x[i]._defined &
                                  !(l[i]._defined & (x[i]._value < l[i]._value - eps)) &
                                  !(u[i]._defined & (x[i]._value > u[i]._value + eps));
                       });
}

bool Double::allBetween(const Double* x, const double* lo, const double* hi, size_t n)
{
    return holdsForAll(n, [&](size_t i)
                       { return x[i]._defined & (lo[i] <= x[i]._value) & (x[i]._value <= hi[i]); });
}

bool Double::weakLess(const Double& a, const Double& b)
{
    return a.trunk() < b.trunk();
}

Double Double::relErr(const Double& x) const
{
    if (!_defined || !x._defined)
    {
        throw NotDefined(FILE_SHORT, __LINE__,
                         "QARNO::Double::rel_err(): one of the values is not defined");
    }
    if (this == &x || _value == x._value)
    {
        return 0.0;
    }
    const double diff = std::fabs(_value - x._value);
    if (_value == 0 || x._value == 0)
    {
        return (diff <= 2) ? diff : 2.0;
    }
    // Neither is 0 here. Signs are compared directly: the product of two
    // tiny values of opposite signs would underflow to -0.
    const bool oppositeSigns = (_value < 0) != (x._value < 0);
    if (oppositeSigns && diff < 1)
    {
        return diff;
    }
    return diff / std::max(std::fabs(_value), std::fabs(x._value));
}

bool Double::isInteger() const
{
    if (!_defined)
    {
        return false;
    }
    return std::fabs(std::ceil(_value) - std::floor(_value)) < _epsilon;
}

bool Double::isBinary() const
{
    if (!_defined)
    {
        return false;
    }
    return *this == Double(0.0) || *this == Double(1.0);
}

// ---------------------------------------------------------------------------
// Granular mesh
// ---------------------------------------------------------------------------

size_t Double::nbDecimals() const
{
    if (!std::isfinite(_value) || _value < _epsilon)
    {
        throw Exception(FILE_LONG, __LINE__,
                        "Error: nbDecimals of number smaller than EPSILON is not supported");
    }
    // The smallest d for which the value is a multiple of 10^-d within the
    // tolerance: 1, 2 and 100 give 0, 0.1 and 0.5 give 1, 0.01 and 0.25 give
    // 2. Peeling powers of ten off the value one subtraction at a time would
    // pile up rounding errors (0.25 would end at 13 decimals); scaling rounds
    // once per trial. The tolerance grows with the scale and with the
    // rounding of the value itself, so the search ends by d = 17.
    size_t d = 0;
    double scale = 1.0;
    while (true)
    {
        const double scaled = _value * scale;
        const double tolerance = std::max(_epsilon * scale, 2.0 * DBL_EPSILON * std::fabs(scaled));
        if (std::fabs(scaled - std::round(scaled)) < tolerance || tolerance > 0.5)
        {
            return d;
        }
        ++d;
        scale *= 10.0;
    }
}

bool Double::isMultipleOf(const Double& g) const
{
    if (!_defined)
    {
        return false;
    }
    if (std::fabs(_value) <= _epsilon)
    {
        return true;
    }
    if (!g._defined)
    {
        return true;
    }
    if (g._value <= 0)
    {
        // A zero granularity means a continuous variable.
        return g._value >= -_epsilon;
    }
    // g > 0 here: the quotient rounded half away from zero, as `roundd`
    // does, without the checks (this runs on every coordinate of every
    // trial point).
    const double q = _value / g._value;
    const double m = (q < 0) ? -std::floor(0.5 - q) : std::floor(q + 0.5);
    // The fixed 1e-13 is deliberate: the test must not move with EPSILON.
    return std::fabs(_value - m * g._value) < 1e-13 * std::fabs(m);
}

Double Double::nextMult(const Double& g) const
{
    if (!_defined || !g._defined || g._value <= _epsilon || isMultipleOf(g))
    {
        return *this;
    }
    // Truncated as a double, not an int: the quotient may exceed 2^31.
    double k = std::trunc(_value / g._value);
    if (_value > 0)
    {
        k += 1;
    }
    return k * g._value;
}

// ---------------------------------------------------------------------------
// Text reading
// ---------------------------------------------------------------------------

bool Double::atof(const std::string& s)
{
    if (s == _undefStr || s == NAN_TEXT || s == UNDEF_MARK || s == UNDEF_MARK + _undefStr ||
        s == UNDEF_MARK + std::string(NAN_TEXT))
    {
        _value = 0.0;
        _defined = false;
        return true;
    }

    std::string S = s;
    QARNO_4_0_0::toupper(S);

    if (S == "INF" || S == "+INF" || S == "QARNO::INF" || S == "+QARNO::INF" || s == _infStr ||
        s == "+" + _infStr)
    {
        _value = DBL_MAX;
        _defined = true;
        return true;
    }
    if (S == "-INF" || S == "-QARNO::INF" || s == "-" + _infStr)
    {
        _value = -DBL_MAX;
        _defined = true;
        return true;
    }

    if (!isNumberWord(S))
    {
        return false;
    }
    _value = readLeadingNumber(S);
    _defined = true;
    return true;
}

bool Double::relativeAtof(const std::string& s, bool& relative)
{
    if (!s.empty() && (s[0] == 'r' || s[0] == 'R'))
    {
        relative = true;
        if (!atof(s.substr(1)))
        {
            return false;
        }
        // An undefined relative value ("r-") is no usable value; answering
        // false keeps the reader from throwing.
        if (!_defined)
        {
            return false;
        }
        return _value >= -_epsilon;
    }
    relative = false;
    return atof(s);
}

std::istream& operator>>(std::istream& in, Double& d)
{
    std::string word;
    in >> word;
    if (in.fail() || in.bad())
    {
        return in;
    }
    if (!d.atof(word))
    {
        in.setstate(std::ios::failbit);
    }
    return in;
}

// ---------------------------------------------------------------------------
// Text writing
// ---------------------------------------------------------------------------

std::ostream& operator<<(std::ostream& out, const Double& d)
{
    // Every piece goes in as text made in the C locale, so that the locale of
    // `out` (decimal comma, digit grouping) never shows; a width set on `out`
    // still applies to the first piece.
    if (!d.isDefined())
    {
        out << Double::_undefStr;
        return out;
    }
    const double v = d.todouble();
    if (v == DBL_MAX)
    {
        out << Double::_infStr;
    }
    else if (v == -DBL_MAX)
    {
        out << "-" << Double::_infStr;
    }
    else if (isSmallInteger(v))
    {
        char buf[16];
        const std::to_chars_result res = std::to_chars(buf, buf + sizeof(buf), static_cast<int>(v));
        out << std::string(buf, res.ptr);
    }
    else
    {
        out << d.display(-1, 0);
    }
    return out;
}

std::string Double::tostring() const
{
    if (!_defined)
    {
        return UNDEF_TEXT;
    }
    std::ostringstream oss;
    oss.imbue(std::locale::classic());
    oss << *this;
    return oss.str();
}

std::string Double::roundTripString() const
{
    if (!_defined)
    {
        return UNDEF_MARK;
    }
    if (_value == DBL_MAX)
    {
        return "INF";
    }
    if (_value == -DBL_MAX)
    {
        return "-INF";
    }
    char buf[32];
    const std::to_chars_result res = std::to_chars(buf, buf + sizeof(buf), _value);
    return std::string(buf, res.ptr);
}

std::string Double::display(int prec, size_t width) const
{
    if (prec < 0)
    {
        return _defined ? defaultForm(_value) : std::string(UNDEF_MARK);
    }

    // Infinity in full fixed notation is 309 digits wide: a column that
    // shows it (an infinite H_MAX) shows the word, placed as "-" is.
    const bool infinite = _defined && (_value == DBL_MAX || _value == -DBL_MAX);
    std::string t;
    if (!_defined)
    {
        t = UNDEF_MARK;
    }
    else if (infinite)
    {
        t = (_value > 0) ? std::string(INF_TEXT) : "-" + std::string(INF_TEXT);
    }
    else
    {
        t = formatFloat(_value, std::chars_format::general, 20);
    }
    const size_t precision = static_cast<size_t>(prec);
    size_t w = 0;
    size_t nbBlanks = 0;
    getFormat(t, precision, w, nbBlanks);
    if (width != 0)
    {
        w = width;
    }

    std::string text;
    if (!_defined || infinite || precision > QARNO_4_0_0::nbDecimals(t))
    {
        t.append(std::min(nbBlanks, w), ' ');
        text = padLeft(t, w);
    }
    else
    {
        text = padLeft(formatFloat(_value, std::chars_format::fixed, prec), w);
    }

    // Insignificant trailing zeros show as blanks, so decimal points line up.
    if (prec >= 1)
    {
        for (auto it = text.rbegin(); it != text.rend() && *it == '0'; ++it)
        {
            *it = ' ';
        }
    }
    return text;
}

std::string Double::display(const std::string& format) const
{
    std::string f = format;
    int width = -1;
    int precision = -1;
    char conversion = '\0';

    if (!f.empty() && f[0] == '%')
    {
        const char last = f.back();
        if (isConversionLetter(last))
        {
            conversion = last;
        }
        else
        {
            // Incomplete format ("%5", "%.2"): the value decides.
            conversion = isSmallInteger(_value) ? 'd' : 'f';
            f += conversion;
        }
    }

    // Read even without a conversion: the width still pads "NaN" and "inf".
    if (f.size() > 2)
    {
        std::string widthText;
        std::string precisionText;
        const size_t p = f.find('.');
        if (p == std::string::npos)
        {
            widthText = f.substr(1, f.size() - 2);
        }
        else if (f.size() == 3)
        {
            precisionText = "0";
        }
        else
        {
            // Empty when the "." comes before the second character.
            widthText = (p > 1) ? f.substr(1, p - 1) : std::string();
            precisionText = f.substr(p + 1, f.size() - p - 2);
        }
        // A text that does not read leaves -1.
        QARNO_4_0_0::atoi(widthText, width);
        QARNO_4_0_0::atoi(precisionText, precision);
        // Beyond the bounds of a valid format a number is ignored like one
        // beyond the int range: the text made would otherwise have that size.
        if (width > MAX_FORMAT_WIDTH)
        {
            width = -1;
        }
        if (precision > MAX_FORMAT_PRECISION)
        {
            precision = -1;
        }
    }
    if (conversion == 'd' || conversion == 'i')
    {
        precision = 0;
    }

    std::ostringstream oss;
    oss.imbue(std::locale::classic());
    // A negative width means no fill.
    oss.width(width);

    if (!_defined)
    {
        oss << UNDEF_TEXT;
    }
    else if (_value == DBL_MAX)
    {
        oss << INF_TEXT;
    }
    else if (conversion == 'd' || conversion == 'i' || (f.empty() && isSmallInteger(_value)))
    {
        oss << roundd();
    }
    else if (conversion != '\0')
    {
        const int prec = (precision >= 0) ? precision : 6;
        std::string text;
        switch (conversion)
        {
        case 'f':
            text = formatFloat(_value, std::chars_format::fixed, prec);
            break;
        case 'e':
        case 'E':
            text = formatFloat(_value, std::chars_format::scientific, prec);
            break;
        default: // 'g', 'G': the shorter of the two notations, fixed on a tie
        {
            const std::string sci = formatFloat(_value, std::chars_format::scientific, prec);
            const std::string fix = formatFloat(_value, std::chars_format::fixed, prec);
            text = (fix.size() <= sci.size()) ? fix : sci;
            break;
        }
        }
        if (conversion == 'E' || conversion == 'G')
        {
            QARNO_4_0_0::toupper(text);
        }
        oss << text;
    }
    return oss.str();
}

} // namespace QARNO_4_0_0
