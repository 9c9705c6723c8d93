#include "teskora/Matrix.hpp"

#include "teskora/Exception.hpp"
#include "teskora/Utils.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace TESKORA {

namespace {

// Sweeps allowed per singular value, counting the failed convergence test.
constexpr int SVD_MAX_ITERATIONS = 30;

// |a| with the sign of b.
double sign(double a, double b)
{
    return b >= 0.0 ? std::fabs(a) : -std::fabs(a);
}

// sqrt(a^2 + b^2) without overflow or destructive underflow.
double radius(double a, double b)
{
    const double absa = std::fabs(a);
    const double absb = std::fabs(b);
    if (absb < absa) {
        const double r = absb / absa;
        return absa * std::sqrt(1.0 + r * r);
    }
    if (b == 0.0)
        return 0.0;
    const double r = absa / absb;
    return absb * std::sqrt(1.0 + r * r);
}

} // namespace

bool Matrix::SVD_decomposition(std::string& message, double** U, double* w, double** V, int size_limit) const
{
    const int m = _nbRows;
    const int n = _nbCols;

    message.clear();
    if (size_limit > 0 && m + n > size_limit) {
        message = "SVD_decomposition() error: nbRows+nbCols > " + itos(size_limit);
        return false;
    }

    if (n > 0) {
        for (int i = 0; i < m; ++i) {
            const double* a = _X.data() + static_cast<size_t>(i) * n;
            std::copy(a, a + n, U[i]);
        }
    }

    // Superdiagonal of the bidiagonal form; freed on every return.
    std::vector<double> super(static_cast<size_t>(n), 0.0);

    int i, j, k, l = 0, nm, jj;
    double c, f, h, s, t, x, y, z;
    double g = 0.0, scale = 0.0, normest = 0.0;

    // Householder reduction to upper bidiagonal form.
    for (i = 0; i < n; ++i) {
        l = i + 1;
        super[i] = scale * g;
        g = s = scale = 0.0;
        if (i < m) {
            for (k = i; k < m; ++k)
                scale += std::fabs(U[k][i]);
            if (scale != 0.0) {
                for (k = i; k < m; ++k) {
                    U[k][i] /= scale;
                    s += U[k][i] * U[k][i];
                }
                f = U[i][i];
                g = -sign(std::sqrt(s), f);
                h = f * g - s;
                U[i][i] = f - g;
                for (j = l; j < n; ++j) {
                    t = 0.0;
                    for (k = i; k < m; ++k)
                        t += U[k][i] * U[k][j];
                    f = t / h;
                    for (k = i; k < m; ++k)
                        U[k][j] += f * U[k][i];
                }
                for (k = i; k < m; ++k)
                    U[k][i] *= scale;
            }
        }
        w[i] = scale * g;
        g = s = scale = 0.0;
        if (i < m && i != n - 1) {
            for (k = l; k < n; ++k)
                scale += std::fabs(U[i][k]);
            if (scale != 0.0) {
                for (k = l; k < n; ++k) {
                    U[i][k] /= scale;
                    s += U[i][k] * U[i][k];
                }
                f = U[i][l];
                g = -sign(std::sqrt(s), f);
                h = f * g - s;
                U[i][l] = f - g;
                for (k = l; k < n; ++k)
                    super[k] = U[i][k] / h;
                for (j = l; j < m; ++j) {
                    t = 0.0;
                    for (k = l; k < n; ++k)
                        t += U[j][k] * U[i][k];
                    for (k = l; k < n; ++k)
                        U[j][k] += t * super[k];
                }
                for (k = l; k < n; ++k)
                    U[i][k] *= scale;
            }
        }
        // Scale of the negligibility tests of the diagonalisation.
        normest = std::max(normest, std::fabs(w[i]) + std::fabs(super[i]));
    }

    // Accumulation of the right-hand transformations.
    l = n;
    for (i = n - 1; i >= 0; --i) {
        if (i < n - 1) {
            if (g != 0.0) {
                // Two divisions in this order to avoid a possible underflow.
                for (j = l; j < n; ++j)
                    V[j][i] = (U[i][j] / U[i][l]) / g;
                for (j = l; j < n; ++j) {
                    t = 0.0;
                    for (k = l; k < n; ++k)
                        t += U[i][k] * V[k][j];
                    for (k = l; k < n; ++k)
                        V[k][j] += t * V[k][i];
                }
            }
            for (j = l; j < n; ++j)
                V[i][j] = V[j][i] = 0.0;
        }
        V[i][i] = 1.0;
        g = super[i];
        l = i;
    }

    // Accumulation of the left-hand transformations.
    for (i = std::min(m, n) - 1; i >= 0; --i) {
        l = i + 1;
        g = w[i];
        for (j = l; j < n; ++j)
            U[i][j] = 0.0;
        if (g != 0.0) {
            g = 1.0 / g;
            for (j = l; j < n; ++j) {
                t = 0.0;
                for (k = l; k < m; ++k)
                    t += U[k][i] * U[k][j];
                f = (t / U[i][i]) * g;
                for (k = i; k < m; ++k)
                    U[k][j] += f * U[k][i];
            }
            for (j = i; j < m; ++j)
                U[j][i] *= g;
        } else {
            for (j = i; j < m; ++j)
                U[j][i] = 0.0;
        }
        U[i][i] += 1.0;
    }

    // Diagonalisation of the bidiagonal form by implicitly shifted QR sweeps.
    for (k = n - 1; k >= 0; --k) {
        int count = SVD_MAX_ITERATIONS;
        for (;;) {
            bool cancel = true;
            for (l = k; l >= 0; --l) {
                if (l == 0 || std::fabs(super[l]) + normest == normest) {
                    cancel = false;
                    break;
                }
                if (std::fabs(w[l - 1]) + normest == normest)
                    break;
            }
            if (cancel) {
                // w[l-1] is negligible: chase super[l] out of the block.
                nm = l - 1;
                c = 0.0;
                s = 1.0;
                for (i = l; i <= k; ++i) {
                    f = s * super[i];
                    super[i] = c * super[i];
                    if (std::fabs(f) + normest == normest)
                        break;
                    g = w[i];
                    h = radius(f, g);
                    w[i] = h;
                    h = 1.0 / h;
                    c = g * h;
                    s = -f * h;
                    for (j = 0; j < m; ++j) {
                        y = U[j][nm];
                        z = U[j][i];
                        U[j][nm] = y * c + z * s;
                        U[j][i] = z * c - y * s;
                    }
                }
            }
            z = w[k];
            if (l == k) {
                // Converged: singular values are returned non-negative.
                if (z < 0.0) {
                    w[k] = -z;
                    for (j = 0; j < n; ++j)
                        V[j][k] = -V[j][k];
                }
                break;
            }
            if (--count == 0) {
                message = "SVD_decomposition() error: no convergence in " + itos(SVD_MAX_ITERATIONS) + " iterations";
                return false;
            }

            // Shift from the bottom 2 x 2 minor.
            x = w[l];
            nm = k - 1;
            y = w[nm];
            g = super[nm];
            h = super[k];
            f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
            g = radius(f, 1.0);
            f = ((x - z) * (x + z) + h * ((y / (f + sign(g, f))) - h)) / x;

            // Next QR transformation.
            c = s = 1.0;
            for (j = l; j <= nm; ++j) {
                i = j + 1;
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
                for (jj = 0; jj < n; ++jj) {
                    const double vx = V[jj][j];
                    const double vz = V[jj][i];
                    V[jj][j] = vx * c + vz * s;
                    V[jj][i] = vz * c - vx * s;
                }
                z = radius(f, h);
                w[j] = z;
                if (z != 0.0) {
                    z = 1.0 / z;
                    c = f * z;
                    s = h * z;
                }
                f = c * g + s * y;
                x = c * y - s * g;
                for (jj = 0; jj < m; ++jj) {
                    const double uy = U[jj][j];
                    const double uz = U[jj][i];
                    U[jj][j] = uy * c + uz * s;
                    U[jj][i] = uz * c - uy * s;
                }
            }
            super[l] = 0.0;
            super[k] = f;
            w[k] = x;
        }
    }
    return true;
}

namespace {

// Row pointers into a contiguous row-major block.
std::vector<double*> rowPointers(std::vector<double>& block, int nbRows, int nbCols)
{
    std::vector<double*> rows(static_cast<size_t>(nbRows), nullptr);
    if (nbCols > 0)
        for (int i = 0; i < nbRows; ++i)
            rows[i] = block.data() + static_cast<size_t>(i) * nbCols;
    return rows;
}

} // namespace

bool Matrix::SVD_decomposition(std::string& message, Matrix*& U, Matrix*& W, Matrix*& V, int size_limit) const
{
    const int m = _nbRows;
    const int n = _nbCols;

    // Zero-filled, so that the matrices handed back after a refusal hold
    // zeros rather than whatever the memory held.
    std::vector<double> u(static_cast<size_t>(m) * n, 0.0);
    std::vector<double> w(static_cast<size_t>(n), 0.0);
    std::vector<double> v(static_cast<size_t>(n) * n, 0.0);
    std::vector<double*> uRows = rowPointers(u, m, n);
    std::vector<double*> vRows = rowPointers(v, n, n);

    const bool ok = SVD_decomposition(message, uRows.data(), w.data(), vRows.data(), size_limit);

    // Built whatever the result; owned here until all three exist.
    std::unique_ptr<Matrix> matU(new Matrix("MAT_U", m, n));
    std::unique_ptr<Matrix> matW(new Matrix("MAT_W", n, n));
    std::unique_ptr<Matrix> matV(new Matrix("MAT_V", n, n));
    matU->_X = std::move(u);
    matV->_X = std::move(v);
    for (int i = 0; i < n; ++i)
        matW->at(i, i) = w[i];

    U = matU.release();
    W = matW.release();
    V = matV.release();
    return ok;
}

Matrix Matrix::SVD_inverse() const
{
    if (_nbRows != _nbCols)
        throw Exception(__FILE__, __LINE__, "Matrix::SVD_inverse(): dimension error");

    // A convergence failure is not looked at: the inverse is built from
    // whatever the decomposition left.
    std::string message;
    Matrix* pU = nullptr;
    Matrix* pW = nullptr;
    Matrix* pV = nullptr;
    SVD_decomposition(message, pU, pW, pV, 1000000000);
    const std::unique_ptr<Matrix> U(pU);
    const std::unique_ptr<Matrix> W(pW);
    const std::unique_ptr<Matrix> V(pV);

    // No threshold: a zero singular value gives an infinite entry.
    const int n = _nbCols;
    for (int i = 0; i < n; ++i)
        W->at(i, i) = 1.0 / W->at(i, i);

    // U' filled in place, without naming a temporary.
    Matrix Ut("U", n, _nbRows);
    for (int i = 0; i < _nbRows; ++i)
        for (int j = 0; j < n; ++j)
            Ut.at(j, i) = U->at(i, j);

    Matrix inv = product(*V, *W, Ut);
    inv._name = "inv(" + _name + ")";
    return inv;
}

} // namespace TESKORA
