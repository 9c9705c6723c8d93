#ifndef QARNO_MATH_DOUBLE_HPP
#define QARNO_MATH_DOUBLE_HPP

#include <cmath>
#include <cstddef>
#include <iosfwd>
#include <limits>
#include <string>

#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

/// The library's infinity: the largest finite double, so that it survives
/// arithmetic and text round trips ("inf" reads back as this value).
inline constexpr double INF = std::numeric_limits<double>::max();

/// The real number of the library: a `double` and a flag telling whether a
/// value was given.
///
/// Equality and order are decided within the process-wide tolerance
/// `_epsilon`: a == b when |a - b| < epsilon, a < b when a < b - epsilon.
/// Plus and minus infinity are +/-DBL_MAX (the largest finite double), so
/// that they survive arithmetic and text round trips. Reading an undefined
/// value for a computation throws `Double::NotDefined`.
///
/// The text forms are fixed and locale-independent: `atof` reads the words of
/// parameter files and blackbox outputs, the inserter and the two `display`
/// forms write every number the library shows.
///
///     Double x;                // undefined
///     x.atof("QARNO::INF");    // DBL_MAX, written back as "inf"
///     Double y = 2.5;
///     y.display(2, 0);         // "  2.5 "
///
/// A small value type: copy it freely. Nothing derives from it.
class Double
{
public:
    /// Operation on an undefined value.
    class NotDefined : public Exception
    {
    public:
        NotDefined(const std::string& file, size_t line, const std::string& msg)
            : Exception(file, line, msg)
        {
        }
    };

    /// Division by zero, square root of a negative value, rounding out of
    /// the int range.
    class InvalidValue : public Exception
    {
    public:
        InvalidValue(const std::string& file, size_t line, const std::string& msg)
            : Exception(file, line, msg)
        {
        }
    };

    /// Text written for +DBL_MAX by the inserter and read as infinity.
    static std::string _infStr;
    /// Text written for an undefined value by the inserter and read as undefined.
    static std::string _undefStr;

    Double() : _value(0.0), _defined(false) {}
    Double(const double& v) : _value(v), _defined(true) {}

    Double& operator=(const double& v)
    {
        _value = v;
        _defined = true;
        return *this;
    }

    bool isDefined() const { return _defined; }

    /// The to-be-defined mark of array parameters: an undefined value that
    /// stores exactly 1.0, telling "still to be supplied" apart from a plain
    /// undefined value (which stores 0).
    static Double toBeDefinedMark()
    {
        Double d;
        d._value = 1.0;
        return d;
    }
    bool isToBeDefinedMark() const { return !_defined && _value == 1.0; }

    /// The stored number; throws `NotDefined` when undefined.
    const double& todouble() const
    {
        if (!_defined)
        {
            throwToDoubleNotDefined();
        }
        return _value;
    }

    /// The tolerance at load.
    static constexpr double DEFAULT_EPSILON = 1e-13;

    static double getEpsilon() { return _epsilon; }
    /// Throws on eps <= 0, on a non-finite eps and below the machine epsilon.
    static void setEpsilon(double eps);

    // Compound arithmetic: both operands must be defined.
    Double& operator+=(const Double& d);
    Double& operator-=(const Double& d);
    Double& operator*=(const Double& d);
    Double& operator/=(const Double& d);

    Double& operator++();
    Double& operator--();
    /// Returns the old value, then adds n when n > 0, else 1.
    Double operator++(int n);
    /// Returns the old value, then subtracts n when n > 0, else 1.
    Double operator--(int n);

    /// Rounded half away from zero.
    Double roundd() const;
    /// Rounded half away from zero; throws `InvalidValue` outside the int range.
    int round() const;
    Double ceil() const;
    Double floor() const;
    Double abs() const;
    Double pow2() const;
    /// Throws `InvalidValue` below -epsilon; a value within epsilon below 0
    /// is a rounding residue of a zero and gives 0.
    Double sqrt() const;

    /// The multiple of epsilon at or below the value.
    double trunk() const
    {
        if (!_defined)
        {
            throwTrunkNotDefined();
        }
        return _epsilon * std::floor(_value / _epsilon);
    }
    /// Both defined and holding the very same number (0 and -0 alike): then
    /// they share their epsilon cell, which the point order can take without
    /// a division.
    static bool sameDefinedValue(const Double& a, const Double& b)
    {
        return a._defined && b._defined && a._value == b._value;
    }
    /// The length of the leading run of a[i], b[i] that are `sameDefinedValue`:
    /// the first i < n where they are not, or n.
    static size_t sameDefinedPrefix(const Double* a, const Double* b, size_t n);
    /// Whether a[0], ..., a[n - 1] are all defined.
    static bool allDefined(const Double* a, size_t n);
    /// Whether each x[i], i < n, is defined and, where l[i] (u[i]) is
    /// defined, not below l[i] - eps (not above u[i] + eps): the tolerant
    /// comparisons of Double with the given epsilon.
    static bool allWithin(const Double* x, const Double* l, const Double* u, size_t n, double eps);
    /// Whether each x[i], i < n, is defined and lo[i] <= x[i] <= hi[i], in
    /// plain comparisons (false for NaN).
    static bool allBetween(const Double* x, const double* lo, const double* hi, size_t n);
    /// Strict weak order on epsilon cells, fit for sorted containers (the
    /// tolerant < is not transitive).
    static bool weakLess(const Double& a, const Double& b);

    /// Relative difference with x, in [0, 2] when one of them is 0.
    Double relErr(const Double& x) const;

    bool isInteger() const;
    bool isBinary() const;

    /// Position of the last power of ten in the decimal expansion (0.01 -> 2,
    /// 100 -> 0); throws for values below epsilon and non-finite values.
    size_t nbDecimals() const;
    /// Whether the value is a multiple of the granularity g (a zero or
    /// undefined g means a continuous variable).
    bool isMultipleOf(const Double& g) const;
    /// The smallest multiple of g above the value, or the value itself when
    /// it is already one (or when g is not positive).
    Double nextMult(const Double& g) const;

    /// Reads a number word (undefined and infinity words included); false
    /// leaves the value unchanged.
    bool atof(const std::string& s);
    /// Reads a word that may start with "r"/"R" (relative value, which must
    /// then be non-negative).
    bool relativeAtof(const std::string& s, bool& relative);

    /// "NaN" when undefined (whatever `_undefStr` holds), else what the
    /// inserter writes.
    std::string tostring() const;
    /// The shortest text that `atof` reads back as exactly this value, for
    /// numbers written to be read again (files, the blackbox executable's
    /// input): "3", "0.1", "1.2345678901234567e-05", "INF", "-INF", and "-"
    /// when undefined.
    std::string roundTripString() const;
    /// Aligned form with prec decimals (insignificant decimals shown as
    /// blanks); prec < 0 gives the default 6-digit form.
    std::string display(int prec, size_t width) const;
    /// Form chosen by a printf-like format ("%8.3f", "%.2E", "%5d", ...).
    std::string display(const std::string& format) const;

private:
    [[noreturn]] static void throwToDoubleNotDefined();
    [[noreturn]] static void throwTrunkNotDefined();

    double _value;
    bool _defined;

    static double _epsilon;
};

inline bool operator==(const Double& a, const Double& b)
{
    return std::fabs(a.todouble() - b.todouble()) < Double::getEpsilon();
}

inline bool operator!=(const Double& a, const Double& b)
{
    return !(a == b);
}

inline bool operator<(const Double& a, const Double& b)
{
    return a.todouble() < b.todouble() - Double::getEpsilon();
}

inline bool operator>(const Double& a, const Double& b)
{
    return a.todouble() > b.todouble() + Double::getEpsilon();
}

inline bool operator<=(const Double& a, const Double& b)
{
    return !(a > b);
}

inline bool operator>=(const Double& a, const Double& b)
{
    return !(a < b);
}

inline Double operator+(const Double& a, const Double& b)
{
    return Double(a.todouble() + b.todouble());
}

inline Double operator-(const Double& a, const Double& b)
{
    return Double(a.todouble() - b.todouble());
}

inline Double operator*(const Double& a, const Double& b)
{
    return Double(a.todouble() * b.todouble());
}

/// Throws `InvalidValue` when b is exactly 0.
Double operator/(const Double& a, const Double& b);

std::ostream& operator<<(std::ostream& out, const Double& d);
/// Reads one blank-delimited word; sets the failbit when it is no number word.
std::istream& operator>>(std::istream& in, Double& d);

} // namespace QARNO_4_0_0

#endif
