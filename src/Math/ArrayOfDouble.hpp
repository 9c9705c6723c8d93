#ifndef QARNO_MATH_ARRAYOFDOUBLE_HPP
#define QARNO_MATH_ARRAYOFDOUBLE_HPP

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>

#include "Math/Double.hpp"

namespace QARNO_4_0_0
{

class ArrayOfString;

/// A fixed-size array of `Double`, each coordinate possibly undefined: bounds,
/// mesh and frame sizes, granularities, display formats, and through `Point`
/// and `Direction` every point and direction of the optimiser.
///
/// Comparisons use the tolerance of `Double`. The array also parses the value
/// words of the array parameters (`readValuesAsArray`):
///
///     ( 1 - 3 )   every coordinate, "-" keeping the current value
///     * 0.5       all coordinates
///     1 2.5       one coordinate
///     0-1 -       an inclusive index range (here made undefined)
///     2           coordinate 2 marked "to be defined" (see `toBeDefined`)
///
/// The storage is one owned buffer, null exactly when the size is 0. Copies
/// are deep; a moved-from array is empty.
class ArrayOfDouble
{
public:
    /// Delimiters of the parenthesised array syntax and of the text of a point.
    static std::string pStart;
    static std::string pEnd;

    /// n coordinates, all equal to d when d is defined, else undefined.
    explicit ArrayOfDouble(size_t n = 0, const Double& d = Double());
    ArrayOfDouble(const ArrayOfDouble& other);
    ArrayOfDouble(ArrayOfDouble&& other) noexcept;
    ArrayOfDouble& operator=(const ArrayOfDouble& other);
    ArrayOfDouble& operator=(ArrayOfDouble&& other) noexcept;
    virtual ~ArrayOfDouble();

    size_t size() const { return _n; }
    /// The coordinates in a row, for loops that run on every comparison of
    /// points (null when the size is 0).
    const Double* data() const { return _array.get(); }
    Double* data() { return _array.get(); }

    /// n fresh coordinates, all equal to d when d is defined, else undefined.
    void reset(size_t n = 0, const Double& d = Double());
    /// Keeps the first min(n, size) coordinates; the new ones take d when it
    /// is defined.
    void resize(size_t n, const Double& d = Double());
    /// Copies n values from a; nothing for n = 0 or a null a.
    void set(size_t n, const Double* a);
    /// Sets coordinate i to d, or with `relative` to d * (ub - lb): a length
    /// given as a fraction of the bound range, d in [0, 1].
    void set(size_t i, const Double& d, bool relative = false, const Double& lb = Double(),
             const Double& ub = Double());

    /// Bounds-checked access; throws when there is no storage or i is out of range.
    const Double& operator[](size_t i) const
    {
        checkIndex(i);
        return _array[i];
    }
    Double& operator[](size_t i)
    {
        checkIndex(i);
        return _array[i];
    }

    /// At least one coordinate defined (false for size 0).
    virtual bool isDefined() const;
    /// Positive size and every coordinate defined.
    bool isComplete() const;
    size_t nbDefined() const;
    /// Some coordinate carries the to-be-defined mark (an undefined value
    /// storing exactly 1.0), which `readValuesAsArray` gives to the
    /// coordinates listed by index without a value.
    bool toBeDefined() const;

    /// Same size and every coordinate defined in both and equal within
    /// epsilon; two distinct arrays with an undefined coordinate never are.
    bool operator==(const ArrayOfDouble& other) const;
    bool operator!=(const ArrayOfDouble& other) const { return !(*this == other); }

    /// No coordinate of this array above the other's by more than epsilon.
    virtual bool operator<=(const ArrayOfDouble& other) const;
    /// `<=` and at least one coordinate below the other's by more than epsilon.
    virtual bool operator<(const ArrayOfDouble& other) const;
    /// The coordinate-wise order behind `<=` and `<`. The scan stops at the
    /// first coordinate that exceeds the other's: later coordinates are not
    /// read, so an undefined one there does not throw.
    void compare(const ArrayOfDouble& other, bool& lessOrEqual, bool& strictlyLess) const;
    /// Throws, with the given source file and line, when the sizes differ or
    /// the second is 0.
    void verifySizesMatch(size_t s1, size_t s2, const std::string& file, size_t line) const;

    /// Every coordinate defined and within the defined bounds (tolerance
    /// epsilon). lb and ub must have at least this array's size.
    bool inBounds(const ArrayOfDouble& lb, const ArrayOfDouble& ub) const;
    /// Every coordinate is a multiple of its granularity (a zero granularity
    /// means a continuous variable). On failure `index` names the first
    /// coordinate that is not; otherwise it is -1.
    bool isMultipleOf(const ArrayOfDouble& granularity, int& index) const;

    /// Absolute values; undefined coordinates stay undefined.
    ArrayOfDouble abs() const;
    /// The largest defined coordinate (the first one of a tie within
    /// epsilon); undefined when none is defined.
    Double max() const;

    /// Coordinate-wise; the sizes must match and every coordinate be defined.
    ArrayOfDouble operator+(const ArrayOfDouble& other) const;
    ArrayOfDouble operator-(const ArrayOfDouble& other) const;
    ArrayOfDouble& operator*=(const Double& factor);

    /// The coordinates separated by one blank, no delimiters. Coordinate i is
    /// written with the precision prec[i] (rounded) when prec has a defined
    /// entry i, else with the default precision.
    virtual std::string display(const ArrayOfDouble& prec = ArrayOfDouble()) const;

    /// Moves the coordinates outside [lb, ub] onto the violated bound or,
    /// with a positive mesh size for that coordinate, onto the first mesh
    /// point (from frameCenter) on the inner side of the bound. An empty
    /// deltaMeshSize means no mesh.
    void snapToBounds(const ArrayOfDouble& lb, const ArrayOfDouble& ub,
                      const ArrayOfDouble& frameCenter = ArrayOfDouble(),
                      const ArrayOfDouble& deltaMeshSize = ArrayOfDouble());

    /// Fills this array (sized by the caller) from the value words of one
    /// parameter entry; see the class comment for the forms.
    void readValuesAsArray(const ArrayOfString& words);

private:
    void checkIndex(size_t i) const
    {
        if (i >= _n)
        {
            throwBadIndex(i);
        }
    }
    [[noreturn]] void throwBadIndex(size_t i) const;

    size_t _n;
    std::unique_ptr<Double[]> _array;
};

/// The virtual `display` with default precisions: a `Point` prints with its
/// parentheses, a plain array without.
std::ostream& operator<<(std::ostream& out, const ArrayOfDouble& arr);
/// Reads exactly size() values; throws when the stream fails.
std::istream& operator>>(std::istream& in, ArrayOfDouble& arr);

} // namespace QARNO_4_0_0

#endif
