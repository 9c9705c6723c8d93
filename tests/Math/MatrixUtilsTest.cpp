#include "Math/MatrixUtils.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace
{

using namespace QARNO_4_0_0;

const double NaN = std::numeric_limits<double>::quiet_NaN();
const double IEEE_INF = std::numeric_limits<double>::infinity();

// A dense matrix owned by the test and handed out as row pointers, the way
// the callers of the routines hold their matrices.
class Matrix
{
public:
    Matrix(size_t nbRows, size_t nbCols, double value = 0.0)
        : _nbRows(nbRows), _nbCols(nbCols), _values(nbRows * nbCols, value), _rows(nbRows)
    {
        for (size_t i = 0; i < nbRows; ++i)
        {
            _rows[i] = _values.data() + i * nbCols;
        }
    }

    Matrix(std::initializer_list<std::initializer_list<double>> rows)
        : Matrix(rows.size(), rows.size() ? rows.begin()->size() : 0)
    {
        size_t i = 0;
        for (const auto& row : rows)
        {
            std::copy(row.begin(), row.end(), _rows[i++]);
        }
    }

    // Copies the values; the row pointers stay those of this matrix.
    Matrix(const Matrix& other) : Matrix(other._nbRows, other._nbCols)
    {
        std::copy(other._values.begin(), other._values.end(), _values.begin());
    }
    Matrix& operator=(const Matrix&) = delete;

    double** rows() { return _rows.data(); }
    double& operator()(size_t i, size_t j) { return _rows[i][j]; }
    double operator()(size_t i, size_t j) const { return _rows[i][j]; }
    size_t nbRows() const { return _nbRows; }
    size_t nbCols() const { return _nbCols; }
    const std::vector<double>& values() const { return _values; }

private:
    size_t _nbRows;
    size_t _nbCols;
    std::vector<double> _values;
    std::vector<double*> _rows;
};

// Bitwise-equal values (so that NaN entries compare equal to themselves).
bool sameValues(const Matrix& a, const Matrix& b)
{
    const auto& va = a.values();
    const auto& vb = b.values();
    return va.size() == vb.size() &&
           std::equal(va.begin(), va.end(), vb.begin(),
                      [](double x, double y)
                      { return x == y || (std::isnan(x) && std::isnan(y)); });
}

// A fixed 64-bit linear congruential generator, local to the tests so that
// they neither depend on nor disturb the library's generator.
class LocalGenerator
{
public:
    explicit LocalGenerator(uint64_t seed) : _state(seed) {}

    // Uniform in [-1, 1).
    double next()
    {
        _state = _state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(_state >> 11) / 4503599627370496.0 - 1.0;
    }

private:
    uint64_t _state;
};

Matrix randomMatrix(size_t m, size_t n, uint64_t seed)
{
    LocalGenerator gen(seed);
    Matrix A(m, n);
    for (size_t i = 0; i < m; ++i)
    {
        for (size_t j = 0; j < n; ++j)
        {
            A(i, j) = gen.next();
        }
    }
    return A;
}

// m x n matrix of rank r: product of random m x r and r x n factors.
Matrix randomMatrixOfRank(size_t m, size_t n, size_t r, uint64_t seed)
{
    const Matrix left = randomMatrix(m, r, seed);
    const Matrix right = randomMatrix(r, n, seed + 1);
    Matrix A(m, n);
    for (size_t i = 0; i < m; ++i)
    {
        for (size_t j = 0; j < n; ++j)
        {
            for (size_t k = 0; k < r; ++k)
            {
                A(i, j) += left(i, k) * right(k, j);
            }
        }
    }
    return A;
}

double maxAbs(const Matrix& A)
{
    double big = 0.0;
    for (const double x : A.values())
    {
        big = std::max(big, std::fabs(x));
    }
    return big;
}

struct SvdResult
{
    bool ok;
    std::string error;
    Matrix U;
    std::vector<double> W;
    Matrix V;
};

SvdResult svd(const Matrix& A, int limit = 1500)
{
    SvdResult res{false, "", A, std::vector<double>(A.nbCols()), Matrix(A.nbCols(), A.nbCols())};
    res.ok = SVD_decomposition(res.error, res.U.rows(), res.W.data(), res.V.rows(),
                               static_cast<int>(A.nbRows()), static_cast<int>(A.nbCols()), limit);
    return res;
}

// ---------------------------------------------------------------------------
// Singular value decomposition
// ---------------------------------------------------------------------------

TEST(MatrixUtils, SvdFactorsReconstructTheInput)
{
    const struct
    {
        const char* name;
        Matrix A;
        int rank;
    } cases[] = {
        {"square 3x3", {{4, 1, -2}, {1, 2, 0}, {-2, 0, 3}}, 3},
        {"tall 5x3", randomMatrix(5, 3, 11), 3},
        {"wide 2x4", randomMatrix(2, 4, 12), 2},
        {"wide 3x7", randomMatrix(3, 7, 13), 3},
        {"rank-deficient 4x3", {{1, 2, 3}, {4, 5, 9}, {7, 8, 15}, {-1, 0, -1}}, 2},
        {"rank 2 of 6x5", randomMatrixOfRank(6, 5, 2, 14), 2},
        {"rank 3 of 4x8", randomMatrixOfRank(4, 8, 3, 15), 3},
        {"diagonal with negatives", {{-2, 0, 0}, {0, 0.5, 0}, {0, 0, -7}}, 3},
        {"permutation", {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}}, 3},
        {"zero 2x2", {{0, 0}, {0, 0}}, 0},
        {"single column", {{3}, {4}}, 1},
        {"single row", {{3, 4}}, 1},
        {"random 8x8", randomMatrix(8, 8, 16), 8},
        {"random 20x12", randomMatrix(20, 12, 17), 12},
        {"graded scales", {{1e6, 1, 0}, {1, 1e-3, 2}, {0, 2, 1e3}}, 3},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const size_t m = c.A.nbRows();
        const size_t n = c.A.nbCols();
        const SvdResult res = svd(c.A);
        ASSERT_TRUE(res.ok);
        EXPECT_EQ("", res.error);

        const double scale = std::max(1.0, maxAbs(c.A));
        const double tol = 1e-12 * scale * static_cast<double>(m + n);
        double wMax = 0.0;
        for (const double w : res.W)
        {
            EXPECT_GE(w, 0.0);
            wMax = std::max(wMax, w);
        }

        // U diag(W) V^T == A
        for (size_t i = 0; i < m; ++i)
        {
            for (size_t j = 0; j < n; ++j)
            {
                double sum = 0.0;
                for (size_t k = 0; k < n; ++k)
                {
                    sum += res.U(i, k) * res.W[k] * res.V(j, k);
                }
                EXPECT_NEAR(c.A(i, j), sum, tol) << "element " << i << ", " << j;
            }
        }

        // V^T V == I
        for (size_t p = 0; p < n; ++p)
        {
            for (size_t q = 0; q < n; ++q)
            {
                double dot = 0.0;
                for (size_t k = 0; k < n; ++k)
                {
                    dot += res.V(k, p) * res.V(k, q);
                }
                EXPECT_NEAR(p == q ? 1.0 : 0.0, dot, 1e-12) << "V columns " << p << ", " << q;
            }
        }

        // U^T U == I on every column when m >= n; a wide matrix has only m
        // directions, those of its non-zero singular values.
        const double wSignificant = 1e-10 * std::max(1.0, wMax);
        int significant = 0;
        for (size_t p = 0; p < n; ++p)
        {
            if (res.W[p] > wSignificant)
            {
                ++significant;
            }
            for (size_t q = 0; q < n; ++q)
            {
                if (m < n && (res.W[p] <= wSignificant || res.W[q] <= wSignificant))
                {
                    continue;
                }
                double dot = 0.0;
                for (size_t k = 0; k < m; ++k)
                {
                    dot += res.U(k, p) * res.U(k, q);
                }
                EXPECT_NEAR(p == q ? 1.0 : 0.0, dot, 1e-12) << "U columns " << p << ", " << q;
            }
        }
        EXPECT_EQ(c.rank, significant);
    }
}

// Rank tests count singular values without forming U and V: they must count
// the very numbers of the full decomposition, or a decision near the
// tolerance could flip.
TEST(MatrixUtils, SingularValuesAloneAreThoseOfTheFullDecomposition)
{
    Matrix nearlyDeficient = randomMatrixOfRank(60, 100, 59, 21);
    const Matrix extraRow = randomMatrix(1, 100, 23);
    for (size_t j = 0; j < 100; ++j)
    {
        nearlyDeficient(59, j) += 1e-9 * extraRow(0, j);
    }
    const struct
    {
        const char* name;
        Matrix A;
    } cases[] = {
        {"square 3x3", {{4, 1, -2}, {1, 2, 0}, {-2, 0, 3}}},
        {"tall 20x12", randomMatrix(20, 12, 17)},
        {"wide 3x7", randomMatrix(3, 7, 13)},
        {"rank 2 of 6x5", randomMatrixOfRank(6, 5, 2, 14)},
        {"diagonal with negatives", {{-2, 0, 0}, {0, 0.5, 0}, {0, 0, -7}}},
        {"zero 2x2", {{0, 0}, {0, 0}}},
        {"graded scales", {{1e6, 1, 0}, {1, 1e-3, 2}, {0, 2, 1e3}}},
        {"99 edges in 100 dimensions", randomMatrix(99, 100, 22)},
        {"one row 1e-9 off the span of the others", Matrix(nearlyDeficient)},
        {"non-finite", {{1, NaN}, {0, 1}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const SvdResult full = svd(c.A);
        Matrix M(c.A);
        std::vector<double> W(c.A.nbCols(), -1.0);
        std::string error;
        const bool ok = singularValues(error, M.rows(), W.data(), static_cast<int>(c.A.nbRows()),
                                       static_cast<int>(c.A.nbCols()), 1500);
        EXPECT_EQ(full.ok, ok);
        EXPECT_EQ(full.error, error);
        if (ok)
        {
            for (size_t k = 0; k < W.size(); ++k)
            {
                EXPECT_EQ(full.W[k], W[k]) << "singular value " << k;
            }
        }
    }
}

TEST(MatrixUtils, SvdOfOneByOne)
{
    Matrix A{{-3}};
    double W = 0.0;
    Matrix V{{5}};
    std::string error = "stale";
    ASSERT_TRUE(SVD_decomposition(error, A.rows(), &W, V.rows(), 1, 1, 1500));
    EXPECT_EQ("", error);
    EXPECT_EQ(-1.0, A(0, 0));
    EXPECT_EQ(3.0, W);
    EXPECT_EQ(1.0, V(0, 0));
}

TEST(MatrixUtils, SvdRefusesBadArgumentsWithoutTouchingArrays)
{
    const struct
    {
        const char* name;
        Matrix A;
        int m;
        int n;
        int limit;
        const char* message;
    } cases[] = {
        {"m+n above 1500", Matrix(2, 2, 1.0), 1000, 501, 1500,
         "SVD_decomposition() error: m+n > 1500"},
        {"m+n above small limit", Matrix(3, 3, 1.0), 3, 3, 5, "SVD_decomposition() error: m+n > 5"},
        {"m+n overflowing int", Matrix(2, 2, 1.0), 2147483647, 2, 1500,
         "SVD_decomposition() error: m+n > 1500"},
        {"negative m", Matrix(2, 2, 1.0), -1, 2, 1500, "SVD_decomposition() error: negative size"},
        {"negative n", Matrix(2, 2, 1.0), 2, -3, 0, "SVD_decomposition() error: negative size"},
        {"NaN entry",
         {{1, NaN}, {0, 1}},
         2,
         2,
         1500,
         "SVD_decomposition() error: non-finite value"},
        {"infinite entry",
         {{1, 0}, {-IEEE_INF, 1}},
         2,
         2,
         1500,
         "SVD_decomposition() error: non-finite value"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Matrix A = c.A;
        std::vector<double> W(2, 42.0);
        Matrix V(2, 2, 42.0);
        std::string error = "stale";
        EXPECT_FALSE(SVD_decomposition(error, A.rows(), W.data(), V.rows(), c.m, c.n, c.limit));
        EXPECT_EQ(c.message, error);
        EXPECT_TRUE(sameValues(c.A, A));
        EXPECT_EQ(std::vector<double>(2, 42.0), W);
        EXPECT_TRUE(sameValues(Matrix(2, 2, 42.0), V));
    }
}

TEST(MatrixUtils, SvdWithoutPositiveLimitChecksNoSize)
{
    for (const int limit : {0, -1, -1500})
    {
        SCOPED_TRACE(limit);
        const Matrix A = randomMatrix(4, 3, 21);
        const SvdResult res = svd(A, limit);
        EXPECT_TRUE(res.ok);
        EXPECT_EQ("", res.error);
    }
    // The limit itself is allowed.
    EXPECT_TRUE(svd(randomMatrix(4, 3, 22), 7).ok);
    EXPECT_FALSE(svd(randomMatrix(4, 3, 22), 6).ok);
}

TEST(MatrixUtils, SvdOfEmptyShapes)
{
    // No column: nothing to decompose. No row: every singular value is 0
    // and V is the identity.
    EXPECT_TRUE(svd(Matrix(3, 0)).ok);
    const SvdResult res = svd(Matrix(0, 2));
    ASSERT_TRUE(res.ok);
    EXPECT_EQ(std::vector<double>(2, 0.0), res.W);
    EXPECT_TRUE(sameValues(Matrix{{1, 0}, {0, 1}}, res.V));
}

TEST(MatrixUtils, SvdFailsOnOverflowInsteadOfReportingNaN)
{
    const struct
    {
        const char* name;
        Matrix A;
        const char* message;
    } cases[] = {
        // Column sums overflow in the reduction; the sweeps then never meet
        // the convergence test.
        {"2x2 near the largest double",
         {{1e308, 1e308}, {1e308, -1e308}},
         "SVD_decomposition() error: no convergence in 30 iterations"},
        // A single column needs no sweep: the overflow shows only as a NaN
        // singular value, which must not pass for a result.
        {"2x1 near the largest double",
         {{1e308}, {1e308}},
         "SVD_decomposition() error: non-finite value"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const SvdResult res = svd(c.A);
        EXPECT_FALSE(res.ok);
        EXPECT_EQ(c.message, res.error);

        Matrix A = c.A;
        EXPECT_EQ(-1, getRank(A.rows(), A.nbRows(), A.nbCols(), 1e-13));
    }
}

// ---------------------------------------------------------------------------
// Rank
// ---------------------------------------------------------------------------

TEST(MatrixUtils, RankOfSmallMatrices)
{
    const struct
    {
        const char* name;
        Matrix A;
        double eps;
        int rank;
    } cases[] = {
        {"identity 2x2", {{1, 0}, {0, 1}}, 1e-10, 2},
        {"dependent rows", {{1, 2}, {2, 4}}, 1e-10, 1},
        {"zero matrix", Matrix(2, 3), 1e-10, 0},
        {"rank 2 of 3x3", {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, 1e-10, 2},
        {"wide full rank", {{1, 0, 2}, {0, 1, 3}}, 1e-10, 2},
        {"tall full rank", {{1, 0}, {0, 1}, {1, 1}}, 1e-10, 2},
        {"simplex edges rank 3 of 4", randomMatrixOfRank(4, 4, 3, 31), 1e-10, 3},
        {"large tolerance", {{1, 0}, {0, 1e-3}}, 1e-2, 1},
        {"one by one", {{-3}}, 1e-13, 1},
        {"no column", Matrix(3, 0), 1e-13, 0},
        {"no row", Matrix(0, 2), 1e-13, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Matrix A = c.A;
        EXPECT_EQ(c.rank, getRank(A.rows(), A.nbRows(), A.nbCols(), c.eps));
    }
}

TEST(MatrixUtils, RankComparesStrictlyWithEps)
{
    // Same input, same arithmetic: the singular values that getRank sees are
    // exactly those of a direct decomposition.
    const Matrix A = randomMatrix(4, 3, 41);
    const SvdResult res = svd(A);
    ASSERT_TRUE(res.ok);
    std::vector<double> w = res.W;
    std::sort(w.begin(), w.end());
    ASSERT_LT(w[0], w[1]);
    ASSERT_LT(w[1], w[2]);

    const struct
    {
        const char* name;
        double eps;
        int rank;
    } cases[] = {
        {"eps equal to the smallest", w[0], 2},
        {"eps equal to the middle", w[1], 1},
        {"eps equal to the largest", w[2], 0},
        {"eps just below the smallest", std::nextafter(w[0], 0.0), 3},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Matrix B = A;
        EXPECT_EQ(c.rank, getRank(B.rows(), 4, 3, c.eps));
    }
}

TEST(MatrixUtils, RankBeyondSizeLimitLeavesMatrixUntouched)
{
    const struct
    {
        const char* name;
        size_t m;
        size_t n;
    } cases[] = {
        {"1000x600", 1000, 600},
        {"1500x1", 1500, 1},
        {"1x1500", 1, 1500},
        // Sizes that would wrap when narrowed to int or summed.
        {"m of 2^32 + 1", (size_t{1} << 32) + 1, 1},
        {"huge m and n", SIZE_MAX, SIZE_MAX},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        // Only the rows a correct refusal could ever reach are allocated.
        const size_t rows = std::min<size_t>(c.m, 1000);
        const size_t cols = std::min<size_t>(c.n, 1500);
        const Matrix original = randomMatrix(rows, cols, 51);
        Matrix A = original;
        EXPECT_EQ(-1, getRank(A.rows(), c.m, c.n, 1e-13));
        EXPECT_TRUE(sameValues(original, A));
    }
}

TEST(MatrixUtils, RankAtSizeLimitIsComputed)
{
    Matrix A(1499, 1, 0.0);
    A(700, 0) = 2.0;
    EXPECT_EQ(1, getRank(A.rows(), 1499, 1, 1e-13));
}

TEST(MatrixUtils, RankOfNonFiniteMatrixIsMinusOne)
{
    const struct
    {
        const char* name;
        Matrix A;
    } cases[] = {
        {"NaN", {{1, 0}, {0, NaN}}},
        {"single NaN", {{NaN}}},
        {"infinity", {{IEEE_INF, 1}, {1, 1}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Matrix A = c.A;
        EXPECT_EQ(-1, getRank(A.rows(), A.nbRows(), A.nbCols(), 1e-13));
    }
}

// ---------------------------------------------------------------------------
// LU decomposition and determinant
// ---------------------------------------------------------------------------

TEST(MatrixUtils, DeterminantOfSmallMatrices)
{
    const struct
    {
        const char* name;
        Matrix A;
        double det;
    } cases[] = {
        {"swap", {{0, 1}, {1, 0}}, -1.0},
        {"diagonal", {{2, 0}, {0, 3}}, 6.0},
        {"general 2x2", {{1, 2}, {3, 4}}, -2.0},
        {"one by one", {{-5}}, -5.0},
        {"general 3x3", {{2, -3, 1}, {2, 0, -1}, {1, 4, 5}}, 49.0},
        {"cyclic permutation", {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}}, 1.0},
        {"empty", Matrix(0, 0), 1.0},
        // A zero pivot becomes 1e-40, and a tie in the pivot search keeps
        // the upper row: the result is 1 * 1e-40, not 0.
        {"singular", {{1, 2}, {2, 4}}, 1e-40},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Matrix A = c.A;
        double det = 0.0;
        EXPECT_TRUE(getDeterminant(A.rows(), det, A.nbRows()));
        EXPECT_NEAR(c.det, det, 1e-13 * std::fabs(c.det));
        EXPECT_TRUE(sameValues(c.A, A)) << "input changed";
    }
}

TEST(MatrixUtils, DeterminantMatchesProductOfSingularValues)
{
    const Matrix A = randomMatrix(6, 6, 61);
    const SvdResult res = svd(A);
    ASSERT_TRUE(res.ok);
    double product = 1.0;
    for (const double w : res.W)
    {
        product *= w;
    }
    Matrix B = A;
    double det = 0.0;
    ASSERT_TRUE(getDeterminant(B.rows(), det, 6));
    EXPECT_NEAR(product, std::fabs(det), 1e-12 * product);
    EXPECT_TRUE(sameValues(A, B));
}

TEST(MatrixUtils, DeterminantFailures)
{
    const struct
    {
        const char* name;
        Matrix A;
        size_t n;
    } cases[] = {
        {"zero second row", {{0, 0}, {1, 1}}, 2},
        {"zero first row", {{1, 1}, {0, 0}}, 2},
        {"NaN entry", {{NaN, 1}, {1, 1}}, 2},
        {"infinite entry", {{1, 1}, {1, -IEEE_INF}}, 2},
        {"above 1500", Matrix(1501, 1501, 1.0), 1501},
        // Refused before any copy or narrowing to int.
        {"n of 2^32 + 2", {{1, 2}, {3, 4}}, (size_t{1} << 32) + 2},
        {"huge n", {{1, 2}, {3, 4}}, SIZE_MAX},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Matrix A = c.A;
        double det = 7.0;
        EXPECT_FALSE(getDeterminant(A.rows(), det, c.n));
        EXPECT_EQ(1.0, det);
        EXPECT_TRUE(sameValues(c.A, A));
    }
}

TEST(MatrixUtils, LuRefusalsAndTheirTexts)
{
    const struct
    {
        const char* name;
        Matrix A;
        int n;
        int limit;
        const char* message;
        double d; // d afterwards, from 5
    } cases[] = {
        {"n above limit",
         {{1, 2, 0}, {3, 4, 0}, {0, 0, 1}},
         3,
         2,
         "LU_decomposition() error: n > 2",
         5.0},
        {"n above 1500", Matrix(2, 2, 1.0), 1501, 1500, "LU_decomposition() error: n > 1500", 5.0},
        {"negative n", Matrix(2, 2, 1.0), -2, 1500, "LU_decomposition() error: negative size", 5.0},
        {"NaN entry",
         {{1, 2}, {NaN, 4}},
         2,
         1500,
         "LU_decomposition() error: non-finite value",
         5.0},
        {"zero row",
         {{0, 0}, {1, 1}},
         2,
         1500,
         "LU_decomposition() error: no nonzero largest element",
         1.0},
        {"zero last row",
         {{0, 1, 0}, {1, 0, 0}, {0, 0, 0}},
         3,
         0,
         "LU_decomposition() error: no nonzero largest element",
         1.0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Matrix A = c.A;
        double d = 5.0;
        std::string error = "stale";
        EXPECT_FALSE(LU_decomposition(error, A.rows(), c.n, d, c.limit));
        EXPECT_EQ(c.message, error);
        EXPECT_EQ(c.d, d);
        EXPECT_TRUE(sameValues(c.A, A));
    }
}

TEST(MatrixUtils, LuFactorsArePermutedInput)
{
    const struct
    {
        const char* name;
        Matrix A;
        int limit;
    } cases[] = {
        {"random 5x5", randomMatrix(5, 5, 71), 1500},
        {"needs pivoting", {{0, 2, 1}, {1, 1, 1}, {3, 0, 2}}, 1500},
        {"badly scaled rows", {{1e-8, 1, 0}, {1, 1e8, 3}, {2, 0, 1}}, 0},
        {"limit equal to n", {{4, 3}, {6, 3}}, 2},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const int n = static_cast<int>(c.A.nbRows());
        Matrix LU = c.A;
        double d = 0.0;
        std::string error = "stale";
        ASSERT_TRUE(LU_decomposition(error, LU.rows(), n, d, c.limit));
        EXPECT_EQ("", error);

        // Each row of L*U is a distinct row of A; the permutation's parity
        // is d.
        std::vector<int> perm(n, -1);
        for (int i = 0; i < n; ++i)
        {
            std::vector<double> row(n, 0.0);
            for (int j = 0; j < n; ++j)
            {
                for (int k = 0; k <= std::min(i, j); ++k)
                {
                    row[j] += (k == i ? 1.0 : LU(i, k)) * LU(k, j);
                }
            }
            for (int r = 0; r < n && perm[i] < 0; ++r)
            {
                bool same = true;
                for (int j = 0; j < n; ++j)
                {
                    same = same && std::fabs(row[j] - c.A(r, j)) <= 1e-12 * maxAbs(c.A);
                }
                if (same && std::find(perm.begin(), perm.end(), r) == perm.end())
                {
                    perm[i] = r;
                }
            }
            ASSERT_GE(perm[i], 0) << "row " << i << " of L*U matches no row of A";
        }
        int swaps = 0;
        for (int i = 0; i < n; ++i)
        {
            for (int j = i + 1; j < n; ++j)
            {
                swaps += perm[i] > perm[j] ? 1 : 0;
            }
        }
        EXPECT_EQ(swaps % 2 == 0 ? 1.0 : -1.0, d);
    }
}

TEST(MatrixUtils, LuFactorsOfSmallMatrices)
{
    const struct
    {
        const char* name;
        Matrix A;
        Matrix LU;
        double d;
    } cases[] = {
        {"scaled pivot", {{1, 2}, {3, 4}}, {{3, 4}, {1.0 / 3.0, 2.0 - 4.0 / 3.0}}, -1.0},
        // Tie at the first column keeps the upper row; the zero pivot that
        // follows becomes 1e-40.
        {"singular", {{1, 2}, {2, 4}}, {{1, 2}, {2, 1e-40}}, 1.0},
        // After the first exchange the bottom row holds the old first row,
        // and its weight (1/4) must follow it: at the second column the rows
        // then tie (1 * 1 against 1/4 * 4) and no second exchange happens.
        {"weight follows the row",
         {{0, 4, 1}, {0, 1, 0}, {1, 0, 0}},
         {{1, 0, 0}, {0, 1, 0}, {0, 4, 1}},
         -1.0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        Matrix A = c.A;
        const int n = static_cast<int>(A.nbRows());
        double d = 0.0;
        std::string error;
        ASSERT_TRUE(LU_decomposition(error, A.rows(), n, d, 1500));
        EXPECT_EQ(c.d, d);
        for (int i = 0; i < n; ++i)
        {
            for (int j = 0; j < n; ++j)
            {
                EXPECT_DOUBLE_EQ(c.LU(i, j), A(i, j)) << "element " << i << ", " << j;
            }
        }
    }
}

TEST(MatrixUtils, LuKeepsCallerRowPointers)
{
    Matrix A{{0, 1}, {1, 0}};
    double* const first = A.rows()[0];
    double* const second = A.rows()[1];
    double d = 0.0;
    std::string error;
    ASSERT_TRUE(LU_decomposition(error, A.rows(), 2, d, 1500));
    EXPECT_EQ(first, A.rows()[0]);
    EXPECT_EQ(second, A.rows()[1]);
    EXPECT_EQ(-1.0, d);
    EXPECT_TRUE(sameValues(Matrix{{1, 0}, {0, 1}}, A));
}

} // namespace
