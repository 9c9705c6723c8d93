#include "teskora/Matrix.hpp"
#include "teskora/TeskoraTestSupport.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

using TESKORA::Matrix;
using TeskoraTest::expectEntries;
using TeskoraTest::expectErrors;
using TeskoraTest::make;

namespace {

// The three factors of the matrix form, released with the test.
struct Svd {
    bool ok = false;
    std::string message = "left over";
    std::unique_ptr<Matrix> U, W, V;
};

Svd decompose(const Matrix& A, int sizeLimit)
{
    Svd r;
    Matrix* U = nullptr;
    Matrix* W = nullptr;
    Matrix* V = nullptr;
    r.ok = A.SVD_decomposition(r.message, U, W, V, sizeLimit);
    r.U.reset(U);
    r.W.reset(W);
    r.V.reset(V);
    return r;
}

double maxAbsDiff(const Matrix& A, const Matrix& B)
{
    double worst = 0.0;
    for (int i = 0; i < A.get_nb_rows(); ++i)
        for (int j = 0; j < A.get_nb_cols(); ++j)
            worst = std::max(worst, std::fabs(A.get(i, j) - B.get(i, j)));
    return worst;
}

const Matrix wide23 = make("A", {{1, 2, 3}, {4, 5, 6}});

} // namespace

TEST(TeskoraMatrixSvd, SizeLimit)
{
    struct Case {
        const char* label;
        int sizeLimit;
        bool ok;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"2+3 above 4", 4, false, "SVD_decomposition() error: nbRows+nbCols > 4"},
        {"no bound at 0", 0, true, ""},
        {"no bound below 0", -1, true, ""},
        {"2+3 within 5", 5, true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const Svd r = decompose(wide23, c.sizeLimit);
        EXPECT_EQ(c.ok, r.ok);
        EXPECT_EQ(c.message, r.message);
        // The three matrices are handed back in every case.
        ASSERT_TRUE(r.U && r.W && r.V);
        EXPECT_EQ("MAT_U", r.U->get_name());
        EXPECT_EQ("MAT_W", r.W->get_name());
        EXPECT_EQ("MAT_V", r.V->get_name());
        EXPECT_EQ(2, r.U->get_nb_rows());
        EXPECT_EQ(3, r.U->get_nb_cols());
        EXPECT_EQ(3, r.W->get_nb_rows());
        EXPECT_EQ(3, r.V->get_nb_cols());
    }
}

// A refusal does no work: the factors handed back hold zeros, not whatever
// the storage held before.
TEST(TeskoraMatrixSvd, RefusedDecompositionGivesZeroFactors)
{
    const Svd r = decompose(wide23, 4);
    ASSERT_FALSE(r.ok);
    expectEntries(*r.U, {{0, 0, 0}, {0, 0, 0}});
    expectEntries(*r.W, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}});
    expectEntries(*r.V, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}});
}

TEST(TeskoraMatrixSvd, KnownSmallDecompositions)
{
    struct Case {
        const char* label;
        Matrix A;
        std::vector<std::vector<double>> U, w, V;
    };
    // Unsorted singular values and the signs the sweeps leave.
    const std::vector<Case> cases = {
        {"diag(-2,3)", make("A", {{-2, 0}, {0, 3}}), {{-1, 0}, {0, -1}}, {{2, 3}}, {{1, 0}, {0, -1}}},
        {"1x1 of -5", make("A", {{-5}}), {{-1}}, {{5}}, {{1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const int n = c.A.get_nb_cols();
        std::vector<double> u(n * n, 7.0), w(n, 7.0), v(n * n, 7.0);
        std::vector<double*> uRows, vRows;
        for (int i = 0; i < n; ++i) {
            uRows.push_back(&u[i * n]);
            vRows.push_back(&v[i * n]);
        }
        std::string message = "left over";
        ASSERT_TRUE(c.A.SVD_decomposition(message, uRows.data(), w.data(), vRows.data(), 0));
        EXPECT_EQ("", message);
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(c.w[0][i], w[i]) << "w[" << i << "]";
            for (int j = 0; j < n; ++j) {
                EXPECT_EQ(c.U[i][j], uRows[i][j]) << "U(" << i << "," << j << ")";
                EXPECT_EQ(c.V[i][j], vRows[i][j]) << "V(" << i << "," << j << ")";
            }
        }
        // The matrix form gives the same factors, w on the diagonal of W.
        const Svd r = decompose(c.A, 0);
        ASSERT_TRUE(r.ok);
        expectEntries(*r.U, c.U);
        expectEntries(*r.V, c.V);
        expectEntries(r.W->diag().transpose(), c.w);
    }
}

TEST(TeskoraMatrixSvd, WideMatrixHasAZeroLastSingularValue)
{
    const Svd r = decompose(wide23, 0);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(3, r.W->get_nb_rows());
    EXPECT_GT(r.W->get(0, 0), 0.1);
    EXPECT_GT(r.W->get(1, 1), 0.1);
    EXPECT_EQ(0.0, r.W->get(2, 2));
}

TEST(TeskoraMatrixSvd, FactorsReproduceTheMatrix)
{
    const std::vector<std::pair<const char*, Matrix>> cases = {
        {"square 3x3", make("A", {{4, -1, 2}, {1, 3, 0.5}, {-2, 1, 5}})},
        {"tall 5x3", make("A", {{1, 2, 3}, {-1, 0, 4}, {2, 2, -1}, {0.5, -3, 1}, {7, 1, 0}})},
        {"wide 2x3", wide23},
        {"rank one 3x3", make("A", {{1, 2, 3}, {2, 4, 6}, {-1, -2, -3}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        const Matrix& A = c.second;
        const Svd r = decompose(A, 0);
        ASSERT_TRUE(r.ok) << r.message;
        for (int i = 0; i < r.W->get_nb_rows(); ++i)
            EXPECT_GE(r.W->get(i, i), 0.0);
        const Matrix back = Matrix::product(*r.U, *r.W, r.V->transpose());
        EXPECT_LT(maxAbsDiff(A, back), 1e-12);
        const Matrix VtV = Matrix::transposeA_product(*r.V, *r.V);
        EXPECT_LT(maxAbsDiff(Matrix::identity(A.get_nb_cols()), VtV), 1e-12);
    }
}

TEST(TeskoraMatrixSvd, InverseOfASquareMatrix)
{
    const std::vector<std::pair<const char*, Matrix>> cases = {
        {"2x2", make("A", {{4, 7}, {2, 6}})},
        {"3x3", make("A", {{4, -1, 2}, {1, 3, 0.5}, {-2, 1, 5}})},
        {"diag(-2,3)", make("A", {{-2, 0}, {0, 3}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        const Matrix inv = c.second.SVD_inverse();
        EXPECT_EQ("inv(A)", inv.get_name());
        const int n = c.second.get_nb_rows();
        EXPECT_LT(maxAbsDiff(Matrix::identity(n), Matrix::product(inv, c.second)), 1e-12);
        EXPECT_LT(maxAbsDiff(Matrix::identity(n), Matrix::product(c.second, inv)), 1e-12);
    }
    // The operand is left as it was.
    const Matrix A = make("A", {{4, 7}, {2, 6}});
    A.SVD_inverse();
    expectEntries(A, {{4, 7}, {2, 6}});
}

TEST(TeskoraMatrixSvd, InverseOfASingularMatrixIsNotFinite)
{
    const Matrix S = make("S", {{1, 2}, {2, 4}});
    Matrix inv;
    ASSERT_NO_THROW(inv = S.SVD_inverse());
    EXPECT_EQ("inv(S)", inv.get_name());
    EXPECT_TRUE(inv.has_inf() || inv.has_nan());
}

TEST(TeskoraMatrixSvd, InverseOfANonSquareMatrixThrows)
{
    expectErrors({
        {"2x3", [] { wide23.SVD_inverse(); }, "Matrix::SVD_inverse(): dimension error"},
        {"3x2", [] { wide23.transpose().SVD_inverse(); }, "Matrix::SVD_inverse(): dimension error"},
    });
}
