#include "teskora/Matrix.hpp"

#include "teskora/Diagnostics.hpp"
#include "teskora/Exception.hpp"
#include "teskora/Utils.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace TESKORA
{

namespace
{

// The two size lines written before a diagonal-product refusal.
void writeSizes(const Matrix& A, const Matrix& B)
{
    std::ostream& out = diag_stream();
    out << "A (" << A.get_name() << ") : " << A.get_nb_rows() << " , " << A.get_nb_cols()
        << std::endl;
    out << "B (" << B.get_name() << ") : " << B.get_nb_rows() << " , " << B.get_nb_cols()
        << std::endl;
}

// Sum of h Ai h' for row i of H, without building the 1 x 1 products.
double leverage(const Matrix& HAi, const Matrix& H, int i)
{
    double d = 0.0;
    for (int k = 0; k < H.get_nb_cols(); ++k)
        d += HAi.get(i, k) * H.get(i, k);
    return d;
}

// Scales row i of R by 1 / (1 - d_i), d_i the leverage of point i.
void scaleByLeverage(Matrix& R, const Matrix& Ai, const Matrix& H)
{
    if (H.get_nb_cols() == 0)
        return;
    const Matrix HAi = Matrix::product(H, Ai);
    for (int i = 0; i < R.get_nb_rows(); ++i)
        R.multiply_row(1.0 / (1.0 - leverage(HAi, H, i)), i);
}

} // namespace

// ---------------------------------------------------------------- products

Matrix Matrix::product(const Matrix& A, const Matrix& B)
{
    // Mismatched sizes would read past the operands: refuse them.
    if (A._nbCols != B._nbRows)
        TESKORA_THROW("Matrix::product(A,B): dimension error");
    Matrix C("C", A._nbRows, B._nbCols);
    const int n = A._nbCols;
    const int q = B._nbCols;
    for (int i = 0; i < A._nbRows; ++i)
    {
        double* c = C._X.data() + static_cast<size_t>(i) * q;
        const double* a = A._X.data() + static_cast<size_t>(i) * n;
        for (int j = 0; j < n; ++j)
        {
            const double aij = a[j];
            const double* b = B._X.data() + static_cast<size_t>(j) * q;
            for (int k = 0; k < q; ++k)
                c[k] += aij * b[k];
        }
    }
    return C;
}

Matrix Matrix::product(const Matrix& A1, const Matrix& A2, const Matrix& A3)
{
    return product(A1, product(A2, A3));
}

Matrix Matrix::product(const Matrix& A1, const Matrix& A2, const Matrix& A3, const Matrix& A4)
{
    return product(product(A1, A2), product(A3, A4));
}

Matrix operator*(const Matrix& A, const Matrix& B)
{
    return Matrix::product(A, B);
}

Matrix Matrix::transposeA_product(const Matrix& A, const Matrix& B)
{
    if (A._nbRows != B._nbRows)
        TESKORA_THROW("Matrix::transposeA_product(A,B): dimension error");
    Matrix C(A._name + "'*" + B._name, A._nbCols, B._nbCols);
    // k outermost keeps every entry's sum in increasing k while reading
    // rows of A and B contiguously.
    for (int k = 0; k < A._nbRows; ++k)
    {
        for (int i = 0; i < A._nbCols; ++i)
        {
            const double aki = A.at(k, i);
            double* c = C._X.data() + static_cast<size_t>(i) * C._nbCols;
            const double* b = B._X.data() + static_cast<size_t>(k) * B._nbCols;
            for (int j = 0; j < B._nbCols; ++j)
                c[j] += aki * b[j];
        }
    }
    return C;
}

Matrix Matrix::diagA_product(const Matrix& A, const Matrix& B)
{
    Matrix C(A._name + "*" + B._name, B._nbRows, B._nbCols);
    const bool fromDiagonal = A._nbRows == A._nbCols || A._nbCols == B._nbRows;
    // The diagonal form reads A(i, i) for every row of B: a smaller A is a
    // size error, not a read past its end.
    const bool diagonalFits = A._nbRows >= B._nbRows && A._nbCols >= B._nbRows;
    if (fromDiagonal && diagonalFits)
    {
        for (int i = 0; i < B._nbRows; ++i)
            for (int j = 0; j < B._nbCols; ++j)
                C.at(i, j) = A.at(i, i) * B.at(i, j);
    }
    else if (!fromDiagonal && A._nbRows == B._nbRows && A._nbCols == 1)
    {
        for (int i = 0; i < B._nbRows; ++i)
            for (int j = 0; j < B._nbCols; ++j)
                C.at(i, j) = A.at(i, 0) * B.at(i, j);
    }
    else
    {
        writeSizes(A, B);
        TESKORA_THROW("Matrix::diagA_product(A,B): dimension error");
    }
    return C;
}

Matrix Matrix::diagB_product(const Matrix& A, const Matrix& B)
{
    Matrix C(A._name + "*" + B._name, A._nbRows, A._nbCols);
    std::vector<double> factor(static_cast<size_t>(A._nbCols));
    if (B._nbRows == B._nbCols && B._nbCols == A._nbCols)
    {
        for (int j = 0; j < A._nbCols; ++j)
            factor[j] = B.at(j, j);
    }
    else if (B._nbRows == 1 && B._nbCols == A._nbCols)
    {
        for (int j = 0; j < A._nbCols; ++j)
            factor[j] = B.at(0, j);
    }
    else if (B._nbRows == A._nbCols && B._nbCols == 1)
    {
        for (int j = 0; j < A._nbCols; ++j)
            factor[j] = B.at(j, 0);
    }
    else
    {
        writeSizes(A, B);
        TESKORA_THROW("Matrix::diagB_product(A,B): dimension error");
    }
    for (int i = 0; i < A._nbRows; ++i)
        for (int j = 0; j < A._nbCols; ++j)
            C.at(i, j) = A.at(i, j) * factor[j];
    return C;
}

Matrix Matrix::subset_product(const Matrix& A, const Matrix& B, int p1, int p2, int p3)
{
    if (p1 == -1)
        p1 = A._nbRows;
    if (p3 == -1)
        p3 = B._nbCols;
    if (p2 == -1)
        p2 = (A._nbCols == B._nbRows) ? A._nbCols : 0; // no common size: no term
    if (p1 > A._nbRows || p2 > A._nbCols || p2 > B._nbRows || p3 > B._nbCols)
        TESKORA_THROW("Matrix::subset_product: dimension error");
    if (p1 < 0 || p2 < 0 || p3 < 0)
        TESKORA_THROW("Matrix::subset_product: dimension error");
    Matrix C(A._name + "*" + B._name, p1, p3);
    for (int i = 0; i < p1; ++i)
        for (int k = 0; k < p2; ++k)
        {
            const double aik = A.at(i, k);
            for (int j = 0; j < p3; ++j)
                C.at(i, j) += aik * B.at(k, j);
        }
    return C;
}

// ---------------------------------------------------------------- solves and factorisations

Matrix Matrix::triu_solve(const Matrix& U, const Matrix& b)
{
    const int n = U._nbRows;
    if (U._nbCols != n || b._nbRows != n || b._nbCols != 1)
        TESKORA_THROW("Matrix::triu_solve(): dimension error");
    Matrix x = b;
    for (int i = n - 1; i >= 0; --i)
    {
        double xi = x._X[i];
        for (int j = i + 1; j < n; ++j)
            xi -= U.at(i, j) * x._X[j];
        x._X[i] = xi / U.at(i, i);
    }
    return x;
}

Matrix Matrix::tril_solve(const Matrix& L, const Matrix& b)
{
    const int n = L._nbRows;
    if (L._nbCols != n || b._nbRows != n || b._nbCols != 1)
        TESKORA_THROW("Matrix::tril_solve(): dimension error");
    Matrix x = b;
    for (int i = 0; i < n; ++i)
    {
        double xi = x._X[i];
        for (int k = 0; k < i; ++k)
            xi -= L.at(i, k) * x._X[k];
        x._X[i] = xi / L.at(i, i);
    }
    return x;
}

Matrix Matrix::tril_inverse(const Matrix& L)
{
    const int n = L._nbRows;
    Matrix Li = L;
    Matrix b("b", n, 1);
    for (int i = 0; i < n; ++i)
    {
        b._X[i] = 1.0;
        const Matrix x = tril_solve(L, b);
        for (int r = 0; r < n; ++r)
            Li.at(r, i) = x._X[r];
        b._X[i] = 0.0;
    }
    return Li;
}

Matrix Matrix::cholesky() const
{
    if (_nbRows != _nbCols)
        TESKORA_THROW("Matrix::cholesky(): dimension error");
    const int n = _nbRows;
    Matrix L("L", n, n);
    double* const data = L._X.data();
    auto row = [&](int r) { return data + static_cast<size_t>(r) * n; };
    for (int i = 0; i < n; ++i)
    {
        double* li = row(i);
        int k = 0;
        // Four entries of row i at a time: their four sums run side by side
        // over the columns they share (four independent chains of additions
        // instead of one), then each takes its last terms in turn. Every
        // sum adds the same products in the same order as one at a time.
        for (; k + 3 < i; k += 4)
        {
            const double *l0 = row(k), *l1 = row(k + 1), *l2 = row(k + 2), *l3 = row(k + 3);
            double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
            for (int m = 0; m < k; ++m)
            {
                const double x = li[m];
                s0 += x * l0[m];
                s1 += x * l1[m];
                s2 += x * l2[m];
                s3 += x * l3[m];
            }
            li[k] = (at(i, k) - s0) * (1.0 / l0[k]);
            s1 += li[k] * l1[k];
            li[k + 1] = (at(i, k + 1) - s1) * (1.0 / l1[k + 1]);
            s2 += li[k] * l2[k];
            s2 += li[k + 1] * l2[k + 1];
            li[k + 2] = (at(i, k + 2) - s2) * (1.0 / l2[k + 2]);
            s3 += li[k] * l3[k];
            s3 += li[k + 1] * l3[k + 1];
            s3 += li[k + 2] * l3[k + 2];
            li[k + 3] = (at(i, k + 3) - s3) * (1.0 / l3[k + 3]);
        }
        for (; k <= i; ++k)
        {
            const double* lk = row(k);
            double s = 0.0;
            for (int m = 0; m < k; ++m)
                s += li[m] * lk[m];
            if (k < i)
                li[k] = (at(i, k) - s) * (1.0 / lk[k]);
            else
                li[i] = std::sqrt(at(i, i) - s);
        }
    }
    return L;
}

Matrix Matrix::cholesky_inverse(double* det) const
{
    const Matrix L = cholesky();
    const Matrix Li = tril_inverse(L);
    const int n = _nbRows;
    Matrix A("A", n, n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
        {
            double s = 0.0;
            for (int k = std::max(i, j); k < n; ++k)
                s += Li.at(k, i) * Li.at(k, j);
            A.at(i, j) = s;
        }
    if (det)
    {
        double d = 1.0;
        for (int i = 0; i < n; ++i)
            d *= L.at(i, i);
        d *= d;
        *det = std::isnan(d) ? std::numeric_limits<double>::max() : d;
    }
    return A;
}

Matrix Matrix::cholesky_inverse() const
{
    return cholesky_inverse(nullptr);
}

Matrix Matrix::cholesky_solve(const Matrix& A, const Matrix& b)
{
    const Matrix L = A.cholesky();
    const Matrix y = tril_solve(L, b);
    return triu_solve(L.transpose(), y);
}

Matrix Matrix::lu_inverse(double* det) const
{
    // The factorisation reads n x n entries: a rectangular matrix would be
    // read past its end.
    if (_nbRows != _nbCols)
        TESKORA_THROW("Matrix::lu_inverse(): dimension error");
    const int n = _nbRows;
    Matrix LU = *this;
    std::vector<int> perm(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        perm[i] = i;
    int exchanges = 0;

    for (int i = 0; i + 1 < n; ++i)
    {
        int r = i;
        double best = -1.0;
        for (int j = i; j < n; ++j)
        {
            const double v = std::fabs(LU.at(j, i));
            if (v > best)
            {
                best = v;
                r = j;
            }
        }
        if (r != i)
        {
            LU.swap_rows(r, i);
            std::swap(perm[r], perm[i]);
            ++exchanges;
        }
        const double* ui = LU._X.data() + static_cast<size_t>(i) * n;
        for (int j = i + 1; j < n; ++j)
        {
            double* uj = LU._X.data() + static_cast<size_t>(j) * n;
            uj[i] /= ui[i];
            const double f = uj[i];
            for (int k = i + 1; k < n; ++k)
                uj[k] -= ui[k] * f;
        }
    }

    if (det)
    {
        double d = 1.0;
        for (int i = 0; i < n; ++i)
            d *= LU.at(i, i);
        *det = (exchanges % 2 == 1) ? -d : d;
    }

    // A^-1 = U^-1 L^-1 P: column perm[r] of the inverse solves L U x = e_r.
    // All columns are solved at once, row by row, each step a multiple of
    // one row taken from another over contiguous memory; X holds the
    // solution for e_r in its column r. L^-1 is lower triangular, so the
    // forward pass only touches columns 0..k of row k (the others stay 0).
    // Each entry sees the same operations in the same order as a
    // column-by-column substitution on the permutation matrix.
    Matrix X("X", n, n);
    for (int r = 0; r < n; ++r)
        X.at(r, r) = 1.0;
    double* x = X._X.data();
    for (int j = 1; j < n; ++j)
    {
        const double* lj = LU._X.data() + static_cast<size_t>(j) * n;
        double* xj = x + static_cast<size_t>(j) * n;
        for (int k = 0; k < j; ++k)
        {
            const double f = lj[k];
            const double* xk = x + static_cast<size_t>(k) * n;
            for (int col = 0; col <= k; ++col)
                xj[col] -= f * xk[col];
        }
    }
    for (int c = n - 1; c >= 0; --c)
    {
        const double* uc = LU._X.data() + static_cast<size_t>(c) * n;
        double* xc = x + static_cast<size_t>(c) * n;
        for (int k = c + 1; k < n; ++k)
        {
            const double f = uc[k];
            const double* xk = x + static_cast<size_t>(k) * n;
            for (int col = 0; col < n; ++col)
                xc[col] -= f * xk[col];
        }
        const double pivot = uc[c];
        for (int col = 0; col < n; ++col)
            xc[col] /= pivot;
    }
    Matrix Ai("Ai", n, n);
    for (int i = 0; i < n; ++i)
        for (int r = 0; r < n; ++r)
            Ai.at(i, perm[r]) = X.at(i, r);
    Ai._name = _name + "^-1";
    return Ai;
}

Matrix Matrix::lu_inverse() const
{
    return lu_inverse(nullptr);
}

Matrix Matrix::conjugate_solve(const Matrix& A, const Matrix& b, const Matrix& x0, double tol)
{
    Matrix x = x0;
    Matrix r = b - product(A, x);
    double rr = r.normsquare();
    // An exact start needs no step (its first step size would be 0 / 0).
    if (rr == 0.0)
        return x;
    Matrix p = r;
    std::string xName = x._name;
    std::string pName = p._name;

    // Conjugate gradients end in n steps in exact arithmetic; the cap only
    // stops a matrix that is not positive definite from looping forever.
    const int maxIterations = std::max(10 * b._nbRows, 100);
    for (int iteration = 0; iteration < maxIterations; ++iteration)
    {
        const Matrix Ap = product(A, p);
        double pAp = 0.0;
        for (int i = 0; i < x0._nbRows; ++i)
            pAp += p.at(i, 0) * Ap.at(i, 0);
        const double alpha = rr / pAp;
        if (!std::isfinite(alpha))
            break;
        for (int i = 0; i < x._nbRows; ++i)
        {
            x._X[i] += alpha * p._X[i];
            r._X[i] -= alpha * Ap._X[i];
        }
        x._name = xName + "+" + dtos(alpha) + "*" + pName;
        const double rrNew = r.normsquare();
        if (rrNew < tol || rrNew == 0.0 || std::isnan(rrNew))
            break;
        const double beta = rrNew / rr;
        for (int i = 0; i < p._nbRows; ++i)
            p._X[i] = r._X[i] + beta * p._X[i];
        xName = "x";
        pName = "p";
        rr = rrNew;
    }
    return x;
}

// ---------------------------------------------------------------- projection matrices

Matrix Matrix::get_matrix_P(const Matrix& Ai, const Matrix& H)
{
    diag_stream() << "Function get_matrix_P should be avoided !!" << std::endl;
    const int p = H._nbRows;
    Matrix P = product(product(H, Ai), H.transpose());
    for (size_t k = 0; k < P._X.size(); ++k)
        P._X[k] = -P._X[k];
    for (int i = 0; i < p; ++i)
        P.at(i, i) += 1.0;
    P._name = "I-C";
    return P;
}

double Matrix::get_trace_P(const Matrix& Ai, const Matrix& H)
{
    const Matrix HAi = product(H, Ai);
    double trace = 0.0;
    for (int i = 0; i < H._nbRows; ++i)
        trace += leverage(HAi, H, i);
    return trace;
}

Matrix Matrix::get_matrix_PZs(const Matrix& Ai, const Matrix& H, const Matrix& Zs)
{
    Matrix R = sub(Zs, product(product(H, Ai), transposeA_product(H, Zs)));
    R._name = Zs._name + "-C";
    return R;
}

Matrix Matrix::get_matrix_dPi(const Matrix& Ai, const Matrix& H)
{
    const int p = H._nbRows;
    const Matrix HAi = product(H, Ai);
    Matrix dPi("dPi", p, p);
    for (int i = 0; i < p; ++i)
        dPi.at(i, i) = 1.0 / (1.0 - leverage(HAi, H, i));
    return dPi;
}

Matrix Matrix::get_matrix_dPiPZs(const Matrix& Ai, const Matrix& H, const Matrix& Zs)
{
    Matrix R = get_matrix_PZs(Ai, H, Zs);
    scaleByLeverage(R, Ai, H);
    return R;
}

Matrix Matrix::get_matrix_dPiPZs(const Matrix& Ai, const Matrix& H, const Matrix& Zs,
                                 const Matrix& ALPHA)
{
    Matrix R = sub(Zs, product(H, ALPHA));
    R._name = Zs._name + "-C";
    scaleByLeverage(R, Ai, H);
    return R;
}

} // namespace TESKORA
