#include "Math/Point.hpp"

#include <algorithm>
#include <cmath>
#include <istream>
#include <ostream>
#include <vector>

#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{
const char* const FILE_NAME = "src/Math/Point";
} // namespace

std::string Point::display(const ArrayOfDouble& prec) const
{
    return pStart + " " + ArrayOfDouble::display(prec) + " " + pEnd;
}

std::string Point::displayNoPar(const ArrayOfDouble& prec) const
{
    return ArrayOfDouble::display(prec);
}

bool Point::weakLess(const Point& a, const Point& b)
{
    if (&a == &b)
    {
        return false;
    }
    const size_t n = a.size();
    if (n != b.size())
    {
        return n < b.size();
    }
    const Double* const pa = a.data();
    const Double* const pb = b.data();
    // Points of one poll or one simplex share most coordinates, and the
    // cache runs this order on every look-up: equal numbers share their
    // epsilon cell, so only the coordinates that differ pay for the
    // truncation (a division each). Points of a cache of random points
    // mostly differ at once: one inline look before the run is searched.
    size_t i = 0;
    while (i < n)
    {
        if (Double::sameDefinedValue(pa[i], pb[i]))
        {
            ++i;
            i += Double::sameDefinedPrefix(pa + i, pb + i, n - i);
            continue;
        }
        const double ka = pa[i].trunk();
        const double kb = pb[i].trunk();
        if (ka < kb)
        {
            return true;
        }
        if (kb < ka)
        {
            return false;
        }
        ++i;
    }
    return false;
}

bool Point::hasFixed(const Point& fixedVariable) const
{
    if (fixedVariable.size() == 0 || size() == 0)
    {
        return true;
    }
    const double eps = Double::getEpsilon();
    const size_t n = std::min(size(), fixedVariable.size());
    for (size_t i = 0; i < n; ++i)
    {
        const Double& f = fixedVariable[i];
        if (f.isDefined() && !(std::fabs(f.todouble() - (*this)[i].todouble()) < eps))
        {
            return false;
        }
    }
    return true;
}

Direction Point::vectorize(const Point& a, const Point& b)
{
    if (a.size() != b.size())
    {
        throw Exception(FILE_NAME, __LINE__, "Cannot vectorize 2 points of different dimensions");
    }
    Direction dir(a.size());
    const Double* const x = a.data();
    const Double* const y = b.data();
    Double* const d = dir.data();
    for (size_t i = 0; i < a.size(); ++i)
    {
        d[i] = y[i].todouble() - x[i].todouble();
    }
    return dir;
}

Double Point::dist(const Point& a, const Point& b)
{
    return vectorize(a, b).norm(NormType::L2);
}

Point Point::operator+(const Direction& dir) const
{
    if (size() != dir.size())
    {
        throw Exception(FILE_NAME, __LINE__,
                        "Cannot add a dimension to a point of different dimension");
    }
    Point result(size());
    for (size_t i = 0; i < size(); ++i)
    {
        result[i] = (*this)[i].todouble() + dir[i].todouble();
    }
    return result;
}

Point Point::makeFullSpacePointFromFixed(const Point& fixedVariable) const
{
    const size_t N = fixedVariable.size();
    const size_t M = fixedVariable.nbDefined();
    if (size() != N - M)
    {
        throw Exception(FILE_NAME, __LINE__,
                        "Error converting point " + Point::display() + " (size " + itos(size()) +
                            ")" + " to full space defined by fixed variable " +
                            fixedVariable.Point::display() + " (size " + itos(N) + ")" +
                            ": point should be of size " + itos(N) + " - " + itos(M) + " = " +
                            itos(N - M));
    }
    if (M == 0)
    {
        return *this;
    }
    Point full(fixedVariable);
    size_t k = 0;
    for (size_t i = 0; i < N && k < size(); ++i)
    {
        if (!full[i].isDefined())
        {
            full[i] = (*this)[k];
            ++k;
        }
    }
    return full;
}

Point Point::makeSubSpacePointFromFixed(const Point& fixedVariable, bool verifyValues) const
{
    const size_t N = fixedVariable.size();
    const size_t M = fixedVariable.nbDefined();
    if (size() != N)
    {
        throw Exception(FILE_NAME, __LINE__,
                        "Error converting point " + Point::display() + " (size " + itos(size()) +
                            ")" + " to subspace defined by fixed variable " +
                            fixedVariable.Point::display() + " (size " + itos(N) + ")" +
                            ": they should have the same size.");
    }
    if (M == 0)
    {
        return *this;
    }
    Point sub(N - M);
    const double eps = Double::getEpsilon();
    size_t k = 0;
    for (size_t i = 0; i < N; ++i)
    {
        const Double& f = fixedVariable[i];
        if (f.isDefined())
        {
            if (verifyValues && !(std::fabs((*this)[i].todouble() - f.todouble()) < eps))
            {
                throw Exception(FILE_NAME, __LINE__,
                                "Error converting point " + display() +
                                    " to subspace defined by fixed variable " +
                                    fixedVariable.display());
            }
        }
        else
        {
            sub[k] = (*this)[i];
            ++k;
        }
    }
    return sub;
}

std::ostream& operator<<(std::ostream& out, const Point& p)
{
    out << p.display(ArrayOfDouble());
    return out;
}

std::istream& operator>>(std::istream& in, Point& p)
{
    p.reset(0);

    std::string word;
    in >> word;
    if (word != ArrayOfDouble::pStart)
    {
        in.setstate(std::ios::failbit);
        throw Exception(FILE_NAME, __LINE__,
                        "Expecting \"" + ArrayOfDouble::pStart + "\", got \"" +
                            escapeControlChars(word) + "\"");
    }

    // Coordinates are gathered first and stored once, so that a long point
    // is not reallocated at every word.
    std::vector<Double> coords;
    std::string lastWord = word;
    while (true)
    {
        word.clear();
        in >> word;
        if (in.fail() || in.bad())
        {
            p.set(coords.size(), coords.data());
            in.setstate(std::ios::failbit);
            throw Exception(FILE_NAME, __LINE__,
                            "Expecting \"" + ArrayOfDouble::pEnd + "\", got \"" +
                                escapeControlChars(lastWord) + "\"");
        }
        if (word == ArrayOfDouble::pEnd)
        {
            break;
        }
        lastWord = word;
        Double d;
        d.atof(word); // a word that does not read leaves the coordinate undefined
        coords.push_back(d);
    }
    p.set(coords.size(), coords.data());
    return in;
}

} // namespace QARNO_4_0_0
