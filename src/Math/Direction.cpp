#include "Math/Direction.hpp"

#include <cmath>
#include <ostream>

#include "Math/RNG.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

namespace
{
const char* const FILE_NAME = "src/Math/Direction";
} // namespace

Double Direction::squaredL2Norm() const
{
    // The sum of Double::pow2 in index order, on plain numbers: the queue
    // sort asks it of every queued point.
    const Double* const x = data();
    double sum = 0.0;
    for (size_t i = 0; i < size(); ++i)
    {
        if (!x[i].isDefined())
        {
            (void)x[i].pow2(); // throws what the sum of Doubles throws
        }
        const double v = x[i].todouble();
        sum += v * v;
    }
    return sum;
}

Double Direction::norm(NormType t) const
{
    Double result = 0.0;
    switch (t)
    {
    case NormType::L1:
        for (size_t i = 0; i < size(); ++i)
        {
            result += (*this)[i].abs();
        }
        break;
    case NormType::LINF:
        for (size_t i = 0; i < size(); ++i)
        {
            const Double a = (*this)[i].abs();
            if (!(result > a))
            {
                result = a;
            }
        }
        break;
    default:
        result = squaredL2Norm().sqrt();
        break;
    }
    return result;
}

Double Direction::dotProduct(const Direction& a, const Direction& b)
{
    if (a.size() != b.size())
    {
        throw Exception(FILE_NAME, __LINE__,
                        "Dot product: vectors are not of the same size: \n" + a.display() + "\n" +
                            b.display());
    }
    // The products and the sum of Doubles, in index order, on plain numbers.
    const Double* const x = a.data();
    const Double* const y = b.data();
    double sum = 0.0;
    for (size_t i = 0; i < a.size(); ++i)
    {
        sum += x[i].todouble() * y[i].todouble();
    }
    return sum;
}

Double Direction::cos(const Direction& a, const Direction& b)
{
    return cos(a, a.norm(NormType::L2).todouble(), b, b.norm(NormType::L2).todouble());
}

Double Direction::cos(const Direction& a, double normA, const Direction& b, double normB)
{
    const double na = normA;
    const double nb = normB;
    if (na == 0 || nb == 0)
    {
        throw Exception(FILE_NAME, __LINE__, "Cosine: a vector is of size 0");
    }
    return dotProduct(a, b) / Double(na * nb);
}

void Direction::computeDirOnUnitSphere(Direction& d)
{
    const size_t n = d.size();
    for (size_t i = 0; i < n; ++i)
    {
        d[i] = RNG::normalRand(0.0, 1.0);
    }
    const Double r = d.norm(NormType::L2);
    if (std::fabs(r.todouble()) < Double::getEpsilon())
    {
        throw Exception(FILE_NAME, __LINE__, "Cannot compute a random direction on unit sphere");
    }
    for (size_t i = 0; i < n; ++i)
    {
        d[i] /= r;
    }
}

void Direction::householder(const Direction& d, bool completeTo2n, Direction** H)
{
    const size_t n = d.size();
    const double s = d.squaredL2Norm().todouble();
    for (size_t i = 0; i < n; ++i)
    {
        Direction& row = *H[i];
        householderRow(d, s, i, row);
        if (completeTo2n)
        {
            Direction& negRow = *H[i + n];
            for (size_t j = 0; j < n; ++j)
            {
                negRow[j] = -row[j].todouble();
            }
        }
    }
}

void Direction::householderRow(const Direction& d, double s, size_t i, Direction& row)
{
    const size_t n = d.size();
    const double twoDi = 2.0 * d[i].todouble();
    if (row.size() < n)
    {
        // Fails on the first coordinate the row lacks, as indexing says.
        for (size_t j = 0; j < n; ++j)
        {
            row[j] = (i == j) ? s - twoDi * d[j].todouble() : -twoDi * d[j].todouble();
        }
        return;
    }
    const Double* const x = d.data();
    Double* const h = row.data();
    for (size_t j = 0; j < n; ++j)
    {
        h[j] = -twoDi * x[j].todouble();
    }
    h[i] = s - twoDi * x[i].todouble();
}

std::ostream& operator<<(std::ostream& out, const Direction& d)
{
    out << d.display(ArrayOfDouble());
    return out;
}

} // namespace QARNO_4_0_0
