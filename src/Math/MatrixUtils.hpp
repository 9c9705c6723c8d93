#ifndef QARNO_MATH_MATRIXUTILS_HPP
#define QARNO_MATH_MATRIXUTILS_HPP

#include <cstddef>
#include <string>

namespace QARNO_4_0_0
{

// Small dense-matrix routines on plain row-pointer arrays (`double**`, element
// (i, j) is M[i][j]). Nelder-Mead uses them to tell whether its simplex is
// degenerate (the rank of the edge matrix) and to measure its volume (the
// determinant).
//
// A numerical breakdown is not an error of the run, so the decompositions
// never throw: they answer false and leave a message in the caller's error
// text. The caller owns every array it passes; only scratch space is
// allocated here, and it is released on every path.
//
//     std::string error;
//     if (!LU_decomposition(error, M, n, d, 1500))
//         ...;                            // error says why
//     int r = getRank(M, m, n, 1e-13);    // -1 when the SVD failed

/// Singular value decomposition M = U * diag(W) * V^T of an m x n matrix, by
/// the Golub-Reinsch method (G.H. Golub and C. Reinsch, "Singular value
/// decomposition and least squares solutions", Numer. Math. 14, 1970; see
/// also Golub and Van Loan, "Matrix Computations", section 8.6): Householder
/// reduction to upper-bidiagonal form, then implicit-shift QR sweeps on the
/// bidiagonal until every superdiagonal entry is negligible. Each singular
/// value gets 30 convergence tests, so at most 29 QR sweeps.
///
/// On success M holds U (m x n, orthonormal columns when m >= n), W the n
/// singular values (all >= 0, unordered) and V the n x n orthogonal factor.
/// Fails, leaving the arrays untouched, when m or n is negative, when
/// maxMN > 0 and m + n > maxMN, or when M holds a non-finite value; fails with
/// M partly overwritten when a singular value does not converge.
bool SVD_decomposition(std::string& error_msg, double** M, double* W, double** V, int m, int n,
                       int maxMN);

/// The singular values W of the m x n matrix M, the very numbers
/// SVD_decomposition gives, for a fraction of its work: neither U nor V is
/// formed. Fails as SVD_decomposition does; M is overwritten.
bool singularValues(std::string& error_msg, double** M, double* W, int m, int n, int maxMN);

/// The number of singular values of the m x n matrix M whose absolute value
/// is strictly above eps; -1 when the decomposition fails or m + n > 1500
/// (then M is untouched). M is overwritten otherwise.
int getRank(double** M, size_t m, size_t n, double eps);

/// LU factorisation of the n x n matrix M by Gaussian elimination with
/// implicitly scaled partial pivoting (each row is weighed by the inverse of
/// its largest absolute entry when choosing a pivot; see Golub and Van
/// Loan, chapter 3). On success M holds, for its rows permuted, the unit-lower
/// factor below the diagonal and the upper factor on and above it, and d the
/// sign of the permutation (+1 or -1). An exactly zero pivot is replaced by
/// 1e-40 so that a singular matrix still factors.
/// Fails, leaving M and d untouched, when n is negative, when maxN > 0 and
/// n > maxN, or when M holds a non-finite value; fails with d = 1 and M
/// untouched when a row is all zeros.
bool LU_decomposition(std::string& error_msg, double** M, int n, double& d, int maxN);

/// The determinant of the n x n matrix M, from the LU factors of a copy (M
/// is left unchanged). False, with det = 1, when the factorisation fails or
/// n > 1500.
bool getDeterminant(double** M, double& det, size_t n);

} // namespace QARNO_4_0_0

#endif
