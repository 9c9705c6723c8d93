#include "Math/MatrixUtils.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

// Both wrappers pass this limit to their decomposition.
const int SIZE_LIMIT = 1500;

// Convergence tests allowed per singular value.
const int SVD_MAX_TESTS = 30;

// Stands in for an exactly zero pivot so that elimination can go on.
const double TINY_PIVOT = 1e-40;

// sqrt(a^2 + b^2) without overflow or destructive underflow.
double hypotenuse(double a, double b)
{
    const double absA = std::fabs(a);
    const double absB = std::fabs(b);
    if (absA > absB)
    {
        const double ratio = absB / absA;
        return absA * std::sqrt(1.0 + ratio * ratio);
    }
    if (0.0 == absB)
    {
        return 0.0;
    }
    const double ratio = absA / absB;
    return absB * std::sqrt(1.0 + ratio * ratio);
}

// True when x vanishes next to the norm of the bidiagonal: adding it does not
// change the norm in floating point. Deliberately an exact comparison, it is
// what makes the test independent of the matrix's scale.
bool negligible(double x, double anorm)
{
    return std::fabs(x) + anorm == anorm;
}

// Sign of the Householder pivot: opposite to f, so that f - g never cancels.
double householderPivot(double f, double s)
{
    return (f >= 0.0) ? -std::sqrt(s) : std::sqrt(s);
}

// Plane rotation of columns p and q over the rows 0 ... nbRows - 1.
void rotateColumns(double** X, int nbRows, int p, int q, double c, double s)
{
    for (int row = 0; row < nbRows; ++row)
    {
        const double xp = X[row][p];
        const double xq = X[row][q];
        X[row][p] = xp * c + xq * s;
        X[row][q] = xq * c - xp * s;
    }
}

// A NaN would never pass the convergence tests and an infinity turns into NaN
// at the first scaling; refusing them keeps garbage from being reported as a
// result.
bool allFinite(double** X, int nbRows, int nbCols)
{
    for (int i = 0; i < nbRows; ++i)
    {
        for (int j = 0; j < nbCols; ++j)
        {
            if (!std::isfinite(X[i][j]))
            {
                return false;
            }
        }
    }
    return true;
}

// An n x n scratch matrix reachable through row pointers, released with it.
class SquareScratch
{
public:
    explicit SquareScratch(size_t n) : _values(n * n), _rows(n)
    {
        for (size_t i = 0; i < n; ++i)
        {
            _rows[i] = _values.data() + i * n;
        }
    }

    double** rows() { return _rows.data(); }

private:
    std::vector<double> _values;
    std::vector<double*> _rows;
};

// m + n > limit, without overflow for any m and n.
bool sumExceeds(size_t m, size_t n, size_t limit)
{
    return m > limit || n > limit - m;
}

} // namespace

namespace
{

// The decomposition proper. Without vectors, V is not used (it may be null),
// M holds no U in the end, and the singular values are the same to the last
// bit: U and V only receive the transformations, they never feed back into
// the bidiagonal. That saves most of the work, for callers that only count
// singular values.
bool decompose(std::string& error_msg, double** M, double* W, double** V, int m, int n, int maxMN,
               bool vectors)
{
    error_msg.clear();

    if (m < 0 || n < 0)
    {
        error_msg = "SVD_decomposition() error: negative size";
        return false;
    }
    if (maxMN > 0 && static_cast<long long>(m) + n > maxMN)
    {
        error_msg = "SVD_decomposition() error: m+n > " + itos(maxMN);
        return false;
    }
    if (!allFinite(M, m, n))
    {
        error_msg = "SVD_decomposition() error: non-finite value";
        return false;
    }

    // In the comments below, "a" is M as it is being transformed: first the
    // Householder vectors, in the end U.
    std::vector<double> superdiag(n, 0.0);
    for (int i = 0; i < n; ++i)
    {
        W[i] = 0.0;
        if (vectors)
        {
            std::fill(V[i], V[i] + n, 0.0);
        }
    }

    // 1. Householder reduction to bidiagonal form: W gets the diagonal,
    // superdiag the superdiagonal (superdiag[0] stays 0). Column reflectors
    // are kept below the diagonal of a, row reflectors right of it.
    double g = 0.0;
    double scale = 0.0;
    double anorm = 0.0;
    for (int i = 0; i < n; ++i)
    {
        const int l = i + 1;
        superdiag[i] = scale * g; // left by the row step of i - 1
        g = 0.0;
        scale = 0.0;
        double s = 0.0;

        // Column i, rows i ... m - 1: scaling first keeps the sum of squares
        // from overflowing.
        if (i < m)
        {
            for (int k = i; k < m; ++k)
            {
                scale += std::fabs(M[k][i]);
            }
            if (0.0 != scale)
            {
                for (int k = i; k < m; ++k)
                {
                    M[k][i] /= scale;
                    s += M[k][i] * M[k][i];
                }
                const double f = M[i][i];
                g = householderPivot(f, s);
                const double h = f * g - s;
                M[i][i] = f - g;
                // Four columns at a time: four dot products summed side by
                // side run as fast as one (each is bound by the latency of
                // its additions) and each sums in the same order as alone;
                // column i, read by all, is not touched meanwhile.
                int j = l;
                for (; j + 3 < n; j += 4)
                {
                    double dot0 = 0.0;
                    double dot1 = 0.0;
                    double dot2 = 0.0;
                    double dot3 = 0.0;
                    for (int k = i; k < m; ++k)
                    {
                        const double mki = M[k][i];
                        const double* row = M[k] + j;
                        dot0 += mki * row[0];
                        dot1 += mki * row[1];
                        dot2 += mki * row[2];
                        dot3 += mki * row[3];
                    }
                    const double factor0 = dot0 / h;
                    const double factor1 = dot1 / h;
                    const double factor2 = dot2 / h;
                    const double factor3 = dot3 / h;
                    for (int k = i; k < m; ++k)
                    {
                        const double mki = M[k][i];
                        double* row = M[k] + j;
                        row[0] += factor0 * mki;
                        row[1] += factor1 * mki;
                        row[2] += factor2 * mki;
                        row[3] += factor3 * mki;
                    }
                }
                for (; j < n; ++j)
                {
                    double dot = 0.0;
                    for (int k = i; k < m; ++k)
                    {
                        dot += M[k][i] * M[k][j];
                    }
                    const double factor = dot / h;
                    for (int k = i; k < m; ++k)
                    {
                        M[k][j] += factor * M[k][i];
                    }
                }
                for (int k = i; k < m; ++k)
                {
                    M[k][i] *= scale;
                }
            }
        }
        W[i] = scale * g;

        // Row i, columns l ... n - 1. superdiag[l ... n - 1] is free here and
        // holds the scaled reflector while it is applied.
        g = 0.0;
        scale = 0.0;
        s = 0.0;
        if (i < m && i != n - 1)
        {
            for (int k = l; k < n; ++k)
            {
                scale += std::fabs(M[i][k]);
            }
            if (0.0 != scale)
            {
                for (int k = l; k < n; ++k)
                {
                    M[i][k] /= scale;
                    s += M[i][k] * M[i][k];
                }
                const double f = M[i][l];
                g = householderPivot(f, s);
                const double h = f * g - s;
                M[i][l] = f - g;
                for (int k = l; k < n; ++k)
                {
                    superdiag[k] = M[i][k] / h;
                }
                // Four rows at a time, for the same reason as the columns
                // above; row i is not touched meanwhile.
                int j = l;
                for (; j + 3 < m; j += 4)
                {
                    double* row0 = M[j];
                    double* row1 = M[j + 1];
                    double* row2 = M[j + 2];
                    double* row3 = M[j + 3];
                    double dot0 = 0.0;
                    double dot1 = 0.0;
                    double dot2 = 0.0;
                    double dot3 = 0.0;
                    for (int k = l; k < n; ++k)
                    {
                        const double mik = M[i][k];
                        dot0 += row0[k] * mik;
                        dot1 += row1[k] * mik;
                        dot2 += row2[k] * mik;
                        dot3 += row3[k] * mik;
                    }
                    for (int k = l; k < n; ++k)
                    {
                        const double reflector = superdiag[k];
                        row0[k] += dot0 * reflector;
                        row1[k] += dot1 * reflector;
                        row2[k] += dot2 * reflector;
                        row3[k] += dot3 * reflector;
                    }
                }
                for (; j < m; ++j)
                {
                    double dot = 0.0;
                    for (int k = l; k < n; ++k)
                    {
                        dot += M[j][k] * M[i][k];
                    }
                    for (int k = l; k < n; ++k)
                    {
                        M[j][k] += dot * superdiag[k];
                    }
                }
                for (int k = l; k < n; ++k)
                {
                    M[i][k] *= scale;
                }
            }
        }
        anorm = std::max(anorm, std::fabs(W[i]) + std::fabs(superdiag[i]));
    }

    // 2. V = product of the row reflectors, built from the last one back.
    if (vectors)
    {
        int l = n;
        for (int i = n - 1; i >= 0; --i)
        {
            if (i < n - 1)
            {
                if (0.0 != g)
                {
                    // Two divisions rather than one by a product: avoids
                    // underflow.
                    for (int j = l; j < n; ++j)
                    {
                        V[j][i] = (M[i][j] / M[i][l]) / g;
                    }
                    for (int j = l; j < n; ++j)
                    {
                        double dot = 0.0;
                        for (int k = l; k < n; ++k)
                        {
                            dot += M[i][k] * V[k][j];
                        }
                        for (int k = l; k < n; ++k)
                        {
                            V[k][j] += dot * V[k][i];
                        }
                    }
                }
                for (int j = l; j < n; ++j)
                {
                    V[i][j] = 0.0;
                    V[j][i] = 0.0;
                }
            }
            V[i][i] = 1.0;
            g = superdiag[i];
            l = i;
        }
    }

    // 3. U = product of the column reflectors, built in place in a.
    for (int i = vectors ? std::min(m, n) - 1 : -1; i >= 0; --i)
    {
        const int l = i + 1;
        g = W[i];
        for (int j = l; j < n; ++j)
        {
            M[i][j] = 0.0;
        }
        if (0.0 != g)
        {
            g = 1.0 / g;
            for (int j = l; j < n; ++j)
            {
                double dot = 0.0;
                for (int k = l; k < m; ++k)
                {
                    dot += M[k][i] * M[k][j];
                }
                const double factor = (dot / M[i][i]) * g;
                for (int k = i; k < m; ++k)
                {
                    M[k][j] += factor * M[k][i];
                }
            }
            for (int j = i; j < m; ++j)
            {
                M[j][i] *= g;
            }
        }
        else
        {
            for (int j = i; j < m; ++j)
            {
                M[j][i] = 0.0;
            }
        }
        M[i][i] += 1.0;
    }

    // 4. Diagonalisation of the bidiagonal form, one singular value at a
    // time from the bottom.
    for (int k = n - 1; k >= 0; --k)
    {
        for (int test = 1;; ++test)
        {
            // Look for the top l of the unreduced block ending at k: either
            // superdiag[l] is negligible (the block starts at l), or the
            // diagonal entry above it is, and that zero must be chased out
            // of the block first. superdiag[0] counts as zero.
            int l = k;
            bool cancel = false;
            for (; l > 0; --l)
            {
                if (negligible(superdiag[l], anorm))
                {
                    break;
                }
                if (negligible(W[l - 1], anorm))
                {
                    cancel = true;
                    break;
                }
            }

            if (cancel)
            {
                // Rotations from the left zero superdiag[l ... k] against the
                // negligible W[l - 1].
                const int nm = l - 1;
                double c = 0.0;
                double s = 1.0;
                for (int i = l; i <= k; ++i)
                {
                    const double f = s * superdiag[i];
                    superdiag[i] = c * superdiag[i];
                    if (negligible(f, anorm))
                    {
                        break;
                    }
                    const double wi = W[i];
                    const double h = hypotenuse(f, wi);
                    W[i] = h;
                    c = wi / h;
                    s = -f / h;
                    if (vectors)
                    {
                        rotateColumns(M, m, nm, i, c, s);
                    }
                }
            }

            const double z = W[k];
            if (l == k)
            {
                // Converged: make the singular value non-negative.
                if (z < 0.0)
                {
                    W[k] = -z;
                    for (int j = 0; vectors && j < n; ++j)
                    {
                        V[j][k] = -V[j][k];
                    }
                }
                break;
            }

            if (test == SVD_MAX_TESTS)
            {
                error_msg = "SVD_decomposition() error: no convergence in " + itos(SVD_MAX_TESTS) +
                            " iterations";
                return false;
            }

            // Shift from the eigenvalue of the bottom 2 x 2 minor of B^T B
            // closer to its last entry (Wilkinson shift).
            double x = W[l];
            const int nm = k - 1;
            double y = W[nm];
            double gg = superdiag[nm];
            double h = superdiag[k];
            double f = ((y - z) * (y + z) + (gg - h) * (gg + h)) / (2.0 * h * y);
            gg = hypotenuse(f, 1.0);
            const double signedG = (f >= 0.0) ? std::fabs(gg) : -std::fabs(gg);
            f = ((x - z) * (x + z) + h * (y / (f + signedG) - h)) / x;

            // Implicit QR sweep: chase the bulge down the block with
            // alternating right (V) and left (U) rotations.
            double c = 1.0;
            double s = 1.0;
            for (int j = l; j <= nm; ++j)
            {
                const int i = j + 1;
                gg = superdiag[i];
                y = W[i];
                h = s * gg;
                gg = c * gg;
                double r = hypotenuse(f, h);
                superdiag[j] = r;
                c = f / r;
                s = h / r;
                f = x * c + gg * s;
                gg = gg * c - x * s;
                h = y * s;
                y = y * c;
                if (vectors)
                {
                    rotateColumns(V, n, j, i, c, s);
                }

                r = hypotenuse(f, h);
                W[j] = r;
                // A zero norm leaves any rotation valid: keep the last one.
                if (0.0 != r)
                {
                    c = f / r;
                    s = h / r;
                }
                f = c * gg + s * y;
                x = c * y - s * gg;
                if (vectors)
                {
                    rotateColumns(M, m, j, i, c, s);
                }
            }
            superdiag[l] = 0.0;
            superdiag[k] = f;
            W[k] = x;
        }
    }

    // A finite input can still overflow on the way (entries near the
    // largest double); a NaN singular value must not pass for a result.
    for (int i = 0; i < n; ++i)
    {
        if (!std::isfinite(W[i]))
        {
            error_msg = "SVD_decomposition() error: non-finite value";
            return false;
        }
    }
    return true;
}

} // namespace

bool SVD_decomposition(std::string& error_msg, double** M, double* W, double** V, int m, int n,
                       int maxMN)
{
    return decompose(error_msg, M, W, V, m, n, maxMN, true);
}

bool singularValues(std::string& error_msg, double** M, double* W, int m, int n, int maxMN)
{
    return decompose(error_msg, M, W, nullptr, m, n, maxMN, false);
}

int getRank(double** M, size_t m, size_t n, double eps)
{
    // Checked on the unsigned sizes before anything is allocated or narrowed
    // to int: a huge size must neither wrap nor reserve an n x n scratch.
    if (sumExceeds(m, n, SIZE_LIMIT))
    {
        return -1;
    }

    std::vector<double> W(n, 0.0);
    std::string error_msg;
    singularValues(error_msg, M, W.data(), static_cast<int>(m), static_cast<int>(n), SIZE_LIMIT);
    if (!error_msg.empty())
    {
        return -1;
    }

    int rank = 0;
    for (const double w : W)
    {
        if (std::fabs(w) > eps)
        {
            ++rank;
        }
    }
    return rank;
}

bool LU_decomposition(std::string& error_msg, double** M, int n, double& d, int maxN)
{
    error_msg.clear();

    if (n < 0)
    {
        error_msg = "LU_decomposition() error: negative size";
        return false;
    }
    if (maxN > 0 && n > maxN)
    {
        error_msg = "LU_decomposition() error: n > " + itos(maxN);
        return false;
    }
    if (!allFinite(M, n, n))
    {
        error_msg = "LU_decomposition() error: non-finite value";
        return false;
    }

    // Inverse of each row's largest absolute entry: pivots are chosen as if
    // every row had been scaled to a largest entry of 1.
    std::vector<double> rowScale(n, 0.0);
    d = 1.0;

    for (int i = 0; i < n; ++i)
    {
        double big = 0.0;
        for (int j = 0; j < n; ++j)
        {
            big = std::max(big, std::fabs(M[i][j]));
        }
        if (0.0 == big)
        {
            error_msg = "LU_decomposition() error: no nonzero largest element";
            return false;
        }
        rowScale[i] = 1.0 / big;
    }

    for (int k = 0; k < n; ++k)
    {
        // Ties keep the upper row.
        int pivotRow = k;
        double best = rowScale[k] * std::fabs(M[k][k]);
        for (int i = k + 1; i < n; ++i)
        {
            const double candidate = rowScale[i] * std::fabs(M[i][k]);
            if (candidate > best)
            {
                best = candidate;
                pivotRow = i;
            }
        }

        if (pivotRow != k)
        {
            // Exchange the values, not the caller's row pointers.
            std::swap_ranges(M[pivotRow], M[pivotRow] + n, M[k]);
            d = -d;
            rowScale[pivotRow] = rowScale[k];
        }

        if (0.0 == M[k][k])
        {
            M[k][k] = TINY_PIVOT;
        }

        const double pivot = M[k][k];
        for (int i = k + 1; i < n; ++i)
        {
            M[i][k] /= pivot;
            const double multiplier = M[i][k];
            for (int j = k + 1; j < n; ++j)
            {
                M[i][j] -= multiplier * M[k][j];
            }
        }
    }
    return true;
}

bool getDeterminant(double** M, double& det, size_t n)
{
    det = 1.0;

    // Before the copy: a huge n must not allocate n x n values nor wrap
    // when narrowed to int.
    if (n > static_cast<size_t>(SIZE_LIMIT))
    {
        return false;
    }

    SquareScratch copy(n);
    double** LU = copy.rows();
    for (size_t i = 0; i < n; ++i)
    {
        std::copy(M[i], M[i] + n, LU[i]);
    }

    std::string error_msg;
    double sign = 1.0;
    LU_decomposition(error_msg, LU, static_cast<int>(n), sign, SIZE_LIMIT);
    if (!error_msg.empty())
    {
        return false;
    }

    for (size_t i = 0; i < n; ++i)
    {
        sign *= LU[i][i];
    }
    det = sign;
    return true;
}

} // namespace QARNO_4_0_0
