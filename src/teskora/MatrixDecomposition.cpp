#include "teskora/Matrix.hpp"

#include "teskora/Exception.hpp"
#include "teskora/Utils.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace TESKORA {

namespace {

// |a| with the sign of b (b = 0 counts as positive).
double withSign(double a, double b) { return b >= 0.0 ? std::fabs(a) : -std::fabs(a); }

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
int max_sweeps(int n) { return n + 30; }

} // namespace

bool Matrix::SVD_decomposition(std::string& message, double** U, double* w, double** V, int size_limit) const
{
    message.clear();
    const int m = _nbRows, n = _nbCols;
    if (size_limit > 0 && m + n > size_limit) {
        message = "SVD_decomposition() error: nbRows+nbCols > " + itos(size_limit);
        return false;
    }
    // A NaN or an infinity never passes the convergence tests: every sweep
    // would be spent on it before the failure is known.
    for (const double x : _X)
        if (!std::isfinite(x)) {
            message = "SVD_decomposition() error: the matrix has an entry that is not a finite number";
            return false;
        }
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < n; ++j)
            U[i][j] = at(i, j);

    std::vector<double> super(static_cast<size_t>(n), 0.0);
    double g = 0.0, scale = 0.0, normest = 0.0;
    int l = 0;

    // Householder reduction to upper bidiagonal form.
    for (int i = 0; i < n; ++i) {
        l = i + 1;
        super[i] = scale * g;
        g = 0.0;
        double s = 0.0;
        scale = 0.0;
        if (i < m) {
            for (int k = i; k < m; ++k)
                scale += std::fabs(U[k][i]);
            if (scale != 0.0) {
                for (int k = i; k < m; ++k) {
                    U[k][i] /= scale;
                    s += U[k][i] * U[k][i];
                }
                const double f = U[i][i];
                g = -withSign(std::sqrt(s), f);
                const double h = f * g - s;
                U[i][i] = f - g;
                for (int j = l; j < n; ++j) {
                    double t = 0.0;
                    for (int k = i; k < m; ++k)
                        t += U[k][i] * U[k][j];
                    const double factor = t / h;
                    for (int k = i; k < m; ++k)
                        U[k][j] += factor * U[k][i];
                }
                for (int k = i; k < m; ++k)
                    U[k][i] *= scale;
            }
        }
        w[i] = scale * g;
        g = 0.0;
        s = 0.0;
        scale = 0.0;
        if (i < m && i != n - 1) {
            for (int k = l; k < n; ++k)
                scale += std::fabs(U[i][k]);
            if (scale != 0.0) {
                for (int k = l; k < n; ++k) {
                    U[i][k] /= scale;
                    s += U[i][k] * U[i][k];
                }
                const double f = U[i][l];
                g = -withSign(std::sqrt(s), f);
                const double h = f * g - s;
                U[i][l] = f - g;
                for (int k = l; k < n; ++k)
                    super[k] = U[i][k] / h;
                for (int j = l; j < m; ++j) {
                    double t = 0.0;
                    for (int k = l; k < n; ++k)
                        t += U[j][k] * U[i][k];
                    for (int k = l; k < n; ++k)
                        U[j][k] += t * super[k];
                }
                for (int k = l; k < n; ++k)
                    U[i][k] *= scale;
            }
        }
        normest = std::max(normest, std::fabs(w[i]) + std::fabs(super[i]));
    }

    // Accumulation of the right-hand transformations.
    l = n;
    for (int i = n - 1; i >= 0; --i) {
        if (i < n - 1) {
            if (g != 0.0) {
                for (int j = l; j < n; ++j)
                    V[j][i] = (U[i][j] / U[i][l]) / g;
                for (int j = l; j < n; ++j) {
                    double t = 0.0;
                    for (int k = l; k < n; ++k)
                        t += U[i][k] * V[k][j];
                    for (int k = l; k < n; ++k)
                        V[k][j] += t * V[k][i];
                }
            }
            for (int j = l; j < n; ++j)
                V[i][j] = V[j][i] = 0.0;
        }
        V[i][i] = 1.0;
        g = super[i];
        l = i;
    }

    // Accumulation of the left-hand transformations.
    for (int i = std::min(m, n) - 1; i >= 0; --i) {
        l = i + 1;
        g = w[i];
        for (int j = l; j < n; ++j)
            U[i][j] = 0.0;
        if (g != 0.0) {
            g = 1.0 / g;
            for (int j = l; j < n; ++j) {
                double t = 0.0;
                for (int k = l; k < m; ++k)
                    t += U[k][i] * U[k][j];
                const double f = (t / U[i][i]) * g;
                for (int k = i; k < m; ++k)
                    U[k][j] += f * U[k][i];
            }
            for (int j = i; j < m; ++j)
                U[j][i] *= g;
        } else {
            for (int j = i; j < m; ++j)
                U[j][i] = 0.0;
        }
        U[i][i] += 1.0;
    }

    // Diagonalisation of the bidiagonal form by shifted QR sweeps.
    const int sweepLimit = max_sweeps(n);
    for (int k = n - 1; k >= 0; --k) {
        int sweeps = sweepLimit;
        while (true) {
            bool cancel = false;
            for (l = k; l >= 0; --l) {
                if (l == 0 || std::fabs(super[l]) + normest == normest)
                    break;
                if (std::fabs(w[l - 1]) + normest == normest) {
                    cancel = true;
                    break;
                }
            }
            if (cancel) {
                const int nm = l - 1;
                double c = 0.0, s = 1.0;
                for (int i = l; i <= k; ++i) {
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
                    for (int j = 0; j < m; ++j) {
                        const double y = U[j][nm], z = U[j][i];
                        U[j][nm] = y * c + z * s;
                        U[j][i] = z * c - y * s;
                    }
                }
            }
            double z = w[k];
            if (l == k) {
                if (z < 0.0) {
                    w[k] = -z;
                    for (int j = 0; j < n; ++j)
                        V[j][k] = -V[j][k];
                }
                break;
            }
            if (--sweeps == 0) {
                message = "SVD_decomposition() error: no convergence in " + itos(sweepLimit) + " iterations";
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
            for (int j = l; j <= nm; ++j) {
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
                for (int jj = 0; jj < n; ++jj) {
                    const double xv = V[jj][j], zv = V[jj][i];
                    V[jj][j] = xv * c + zv * s;
                    V[jj][i] = zv * c - xv * s;
                }
                z = radius(f, h);
                w[j] = z;
                if (z != 0.0) {
                    const double inverse = 1.0 / z;
                    c = f * inverse;
                    s = h * inverse;
                }
                f = c * g + s * y;
                x = c * y - s * g;
                for (int jj = 0; jj < m; ++jj) {
                    const double yu = U[jj][j], zu = U[jj][i];
                    U[jj][j] = yu * c + zu * s;
                    U[jj][i] = zu * c - yu * s;
                }
            }
            super[l] = 0.0;
            super[k] = f;
            w[k] = x;
        }
    }
    return true;
}

bool Matrix::SVD_decomposition(std::string& message, Matrix*& U, Matrix*& W, Matrix*& V, int size_limit) const
{
    const int m = _nbRows, n = _nbCols;
    // Row storage for the raw form; the vectors free it on every path.
    std::vector<double> uData(static_cast<size_t>(m) * n, 0.0), vData(static_cast<size_t>(n) * n, 0.0);
    std::vector<double> w(static_cast<size_t>(n), 0.0);
    std::vector<double*> uRows(static_cast<size_t>(m)), vRows(static_cast<size_t>(n));
    for (int i = 0; i < m; ++i)
        uRows[i] = uData.data() + static_cast<size_t>(i) * n;
    for (int i = 0; i < n; ++i)
        vRows[i] = vData.data() + static_cast<size_t>(i) * n;

    const bool success = SVD_decomposition(message, uRows.data(), w.data(), vRows.data(), size_limit);

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
        throw Exception(__FILE__, __LINE__, "Matrix::SVD_inverse(): dimension error");
    std::string message;
    Matrix *U = nullptr, *W = nullptr, *V = nullptr;
    const bool success = SVD_decomposition(message, U, W, V, 1000000000);
    // Owned from here on, whatever happens below.
    const std::unique_ptr<Matrix> u(U), wm(W), v(V);
    // The factors of a decomposition that did not converge are a partial
    // sweep, not a decomposition: their inverse would be garbage.
    if (!success)
        throw Exception(__FILE__, __LINE__, "Matrix::SVD_inverse(): " + message);
    for (int i = 0; i < _nbCols; ++i)
        W->at(i, i) = 1.0 / W->at(i, i);
    Matrix inverse = product(*V, *W, U->transpose());
    inverse._name = "inv(" + _name + ")";
    return inverse;
}

} // namespace TESKORA
