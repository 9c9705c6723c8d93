#include "teskora/Matrix.hpp"

#include "teskora/Exception.hpp"
#include "teskora/Utils.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace TESKORA
{

namespace
{

// |a| with the sign of b (b = 0 counts as positive).
double withSign(double a, double b)
{
    return b >= 0.0 ? std::fabs(a) : -std::fabs(a);
}

// sqrt(a^2 + b^2) without overflow or underflow of the squares.
double radius(double a, double b)
{
    const double absA = std::fabs(a), absB = std::fabs(b);
    if (absB < absA)
        return absA * std::sqrt(1.0 + (b / a) * (b / a));
    if (b == 0.0)
        return 0.0;
    return absB * std::sqrt(1.0 + (a / b) * (a / b));
}

// Sweeps allowed per singular value. The classic 30 is too few for graded
// matrices: singular values spread from 1 to 1e-12 take about n / 4 sweeps
// for the last ones to separate (about 50 at n = 200, 100 at n = 400, 220 at
// n = 1000). n + 30 leaves a margin of four at every size.
int max_sweeps(int n)
{
    return n + 30;
}

} // namespace

bool Matrix::SVD_decomposition(std::string& message, double** U, double* w, double** V,
                               int size_limit) const
{
    message.clear();
    const int m = _nbRows, n = _nbCols;
    if (size_limit > 0 && m + n > size_limit)
    {
        message = "SVD_decomposition() error: nbRows+nbCols > " + itos(size_limit);
        return false;
    }
    // A NaN or an infinity never passes the convergence tests: every sweep
    // would be spent on it before the failure is known.
    for (const double x : _X)
        if (!std::isfinite(x))
        {
            message =
                "SVD_decomposition() error: the matrix has an entry that is not a finite number";
            return false;
        }

    // The work is done on the transposes of U and V: nearly every loop runs
    // down a column of U or V (Householder vectors, accumulations, the
    // rotations of the sweeps), which is contiguous memory there. The
    // operations and their order are those of the row form.
    const size_t M = static_cast<size_t>(m), N = static_cast<size_t>(n);
    std::vector<double> ut(N * M), vt(N * N, 0.0);
    auto u = [&](int i, int j) -> double& { return ut[static_cast<size_t>(j) * M + i]; };
    auto v = [&](int i, int j) -> double& { return vt[static_cast<size_t>(j) * N + i]; };
    double* const utData = ut.data();
    double* const vtData = vt.data();
    auto ucol = [&](int j) { return utData + static_cast<size_t>(j) * M; };
    auto vcol = [&](int j) { return vtData + static_cast<size_t>(j) * N; };
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < n; ++j)
            u(i, j) = at(i, j);

    // Hands the factors back in rows, whatever the outcome.
    auto deliver = [&]()
    {
        for (int i = 0; i < m; ++i)
            for (int j = 0; j < n; ++j)
                U[i][j] = u(i, j);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                V[i][j] = v(i, j);
    };

    std::vector<double> super(N, 0.0), t(std::max(M, N), 0.0), row(N, 0.0);
    double g = 0.0, scale = 0.0, normest = 0.0;
    int l = 0;

    // Householder reduction to upper bidiagonal form.
    for (int i = 0; i < n; ++i)
    {
        l = i + 1;
        super[i] = scale * g;
        g = 0.0;
        double s = 0.0;
        scale = 0.0;
        if (i < m)
        {
            double* ci = ucol(i);
            for (int k = i; k < m; ++k)
                scale += std::fabs(ci[k]);
            if (scale != 0.0)
            {
                for (int k = i; k < m; ++k)
                {
                    ci[k] /= scale;
                    s += ci[k] * ci[k];
                }
                const double f = ci[i];
                g = -withSign(std::sqrt(s), f);
                const double h = f * g - s;
                ci[i] = f - g;
                for (int j = l; j < n; ++j)
                {
                    double* cj = ucol(j);
                    double tj = 0.0;
                    for (int k = i; k < m; ++k)
                        tj += ci[k] * cj[k];
                    const double factor = tj / h;
                    for (int k = i; k < m; ++k)
                        cj[k] += factor * ci[k];
                }
                for (int k = i; k < m; ++k)
                    ci[k] *= scale;
            }
        }
        w[i] = scale * g;
        g = 0.0;
        s = 0.0;
        scale = 0.0;
        if (i < m && i != n - 1)
        {
            for (int k = l; k < n; ++k)
                scale += std::fabs(u(i, k));
            if (scale != 0.0)
            {
                for (int k = l; k < n; ++k)
                {
                    u(i, k) /= scale;
                    s += u(i, k) * u(i, k);
                }
                const double f = u(i, l);
                g = -withSign(std::sqrt(s), f);
                const double h = f * g - s;
                u(i, l) = f - g;
                for (int k = l; k < n; ++k)
                    super[k] = u(i, k) / h;
                // Row j's sum reads rows j and i; row i is not updated here,
                // so every sum can be formed before the updates.
                std::fill(t.begin() + l, t.begin() + m, 0.0);
                for (int k = l; k < n; ++k)
                {
                    const double* ck = ucol(k);
                    const double uik = ck[i];
                    for (int j = l; j < m; ++j)
                        t[j] += ck[j] * uik;
                }
                for (int k = l; k < n; ++k)
                {
                    double* ck = ucol(k);
                    const double sk = super[k];
                    for (int j = l; j < m; ++j)
                        ck[j] += t[j] * sk;
                }
                for (int k = l; k < n; ++k)
                    u(i, k) *= scale;
            }
        }
        normest = std::max(normest, std::fabs(w[i]) + std::fabs(super[i]));
    }

    // Accumulation of the right-hand transformations.
    l = n;
    for (int i = n - 1; i >= 0; --i)
    {
        if (i < n - 1)
        {
            if (g != 0.0)
            {
                double* vi = vcol(i);
                for (int k = l; k < n; ++k)
                    row[k] = u(i, k);
                for (int j = l; j < n; ++j)
                    vi[j] = (row[j] / row[l]) / g;
                for (int j = l; j < n; ++j)
                {
                    double* vj = vcol(j);
                    double tj = 0.0;
                    for (int k = l; k < n; ++k)
                        tj += row[k] * vj[k];
                    for (int k = l; k < n; ++k)
                        vj[k] += tj * vi[k];
                }
            }
            for (int j = l; j < n; ++j)
                v(i, j) = v(j, i) = 0.0;
        }
        v(i, i) = 1.0;
        g = super[i];
        l = i;
    }

    // Accumulation of the left-hand transformations.
    for (int i = std::min(m, n) - 1; i >= 0; --i)
    {
        l = i + 1;
        g = w[i];
        for (int j = l; j < n; ++j)
            u(i, j) = 0.0;
        double* ci = ucol(i);
        if (g != 0.0)
        {
            g = 1.0 / g;
            for (int j = l; j < n; ++j)
            {
                double* cj = ucol(j);
                double tj = 0.0;
                for (int k = l; k < m; ++k)
                    tj += ci[k] * cj[k];
                const double f = (tj / ci[i]) * g;
                for (int k = i; k < m; ++k)
                    cj[k] += f * ci[k];
            }
            for (int j = i; j < m; ++j)
                ci[j] *= g;
        }
        else
        {
            for (int j = i; j < m; ++j)
                ci[j] = 0.0;
        }
        ci[i] += 1.0;
    }

    // Plane rotation of columns a and b of a factor stored by columns.
    // Two entries per step, so that the compiler may pair them in one
    // vector operation; the columns never overlap.
    auto rotate = [](double* __restrict ca, double* __restrict cb, int count, double c, double s)
    {
        int r = 0;
        for (; r + 1 < count; r += 2)
        {
            const double y0 = ca[r], z0 = cb[r];
            const double y1 = ca[r + 1], z1 = cb[r + 1];
            ca[r] = y0 * c + z0 * s;
            ca[r + 1] = y1 * c + z1 * s;
            cb[r] = z0 * c - y0 * s;
            cb[r + 1] = z1 * c - y1 * s;
        }
        for (; r < count; ++r)
        {
            const double y = ca[r], z = cb[r];
            ca[r] = y * c + z * s;
            cb[r] = z * c - y * s;
        }
    };

    // Diagonalisation of the bidiagonal form by shifted QR sweeps.
    const int sweepLimit = max_sweeps(n);
    for (int k = n - 1; k >= 0; --k)
    {
        int sweeps = sweepLimit;
        while (true)
        {
            bool cancel = false;
            for (l = k; l >= 0; --l)
            {
                if (l == 0 || std::fabs(super[l]) + normest == normest)
                    break;
                if (std::fabs(w[l - 1]) + normest == normest)
                {
                    cancel = true;
                    break;
                }
            }
            if (cancel)
            {
                const int nm = l - 1;
                double c = 0.0, s = 1.0;
                for (int i = l; i <= k; ++i)
                {
                    const double f = s * super[i];
                    super[i] = c * super[i];
                    if (std::fabs(f) + normest == normest)
                        break;
                    g = w[i];
                    double h = radius(f, g);
                    w[i] = h;
                    h = 1.0 / h;
                    c = g * h;
                    s = -f * h;
                    rotate(ucol(nm), ucol(i), m, c, s);
                }
            }
            double z = w[k];
            if (l == k)
            {
                if (z < 0.0)
                {
                    w[k] = -z;
                    double* vk = vcol(k);
                    for (int j = 0; j < n; ++j)
                        vk[j] = -vk[j];
                }
                break;
            }
            if (--sweeps == 0)
            {
                message = "SVD_decomposition() error: no convergence in " + itos(sweepLimit) +
                          " iterations";
                deliver();
                return false;
            }
            double x = w[l];
            const int nm = k - 1;
            double y = w[nm];
            g = super[nm];
            double h = super[k];
            double f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
            g = radius(f, 1.0);
            f = ((x - z) * (x + z) + h * ((y / (f + withSign(g, f))) - h)) / x;
            double c = 1.0, s = 1.0;
            for (int j = l; j <= nm; ++j)
            {
                const int i = j + 1;
                g = super[i];
                y = w[i];
                h = s * g;
                g = c * g;
                z = radius(f, h);
                super[j] = z;
                c = f / z;
                s = h / z;
                f = x * c + g * s;
                g = g * c - x * s;
                h = y * s;
                y *= c;
                rotate(vcol(j), vcol(i), n, c, s);
                z = radius(f, h);
                w[j] = z;
                if (z != 0.0)
                {
                    const double inverse = 1.0 / z;
                    c = f * inverse;
                    s = h * inverse;
                }
                f = c * g + s * y;
                x = c * y - s * g;
                rotate(ucol(j), ucol(i), m, c, s);
            }
            super[l] = 0.0;
            super[k] = f;
            w[k] = x;
        }
    }
    deliver();
    return true;
}

bool Matrix::SVD_decomposition(std::string& message, Matrix*& U, Matrix*& W, Matrix*& V,
                               int size_limit) const
{
    const int m = _nbRows, n = _nbCols;
    // Row storage for the raw form; the vectors free it on every path.
    std::vector<double> uData(static_cast<size_t>(m) * n, 0.0),
        vData(static_cast<size_t>(n) * n, 0.0);
    std::vector<double> w(static_cast<size_t>(n), 0.0);
    std::vector<double*> uRows(static_cast<size_t>(m)), vRows(static_cast<size_t>(n));
    for (int i = 0; i < m; ++i)
        uRows[i] = uData.data() + static_cast<size_t>(i) * n;
    for (int i = 0; i < n; ++i)
        vRows[i] = vData.data() + static_cast<size_t>(i) * n;

    const bool success =
        SVD_decomposition(message, uRows.data(), w.data(), vRows.data(), size_limit);

    U = new Matrix("MAT_U", m, n);
    U->_X = uData;
    W = new Matrix("MAT_W", n, n);
    for (int i = 0; i < n; ++i)
        W->at(i, i) = w[i];
    V = new Matrix("MAT_V", n, n);
    V->_X = vData;
    return success;
}

Matrix Matrix::SVD_inverse() const
{
    if (_nbRows != _nbCols)
        TESKORA_THROW("Matrix::SVD_inverse(): dimension error");
    std::string message;
    Matrix *U = nullptr, *W = nullptr, *V = nullptr;
    const bool success = SVD_decomposition(message, U, W, V, 1000000000);
    // Owned from here on, whatever happens below.
    const std::unique_ptr<Matrix> u(U), wm(W), v(V);
    // The factors of a decomposition that did not converge are a partial
    // sweep, not a decomposition: their inverse would be garbage.
    if (!success)
        TESKORA_THROW("Matrix::SVD_inverse(): " + message);
    for (int i = 0; i < _nbCols; ++i)
        W->at(i, i) = 1.0 / W->at(i, i);
    Matrix inverse = product(*V, *W, U->transpose());
    inverse._name = "inv(" + _name + ")";
    return inverse;
}

} // namespace TESKORA
