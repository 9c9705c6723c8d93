#include "support/TeskoraTestSupport.hpp"
#include "teskora/Matrix.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

using TESKORA::Matrix;
using TeskoraTest::expectEntries;
using TeskoraTest::make;

namespace
{

struct Svd
{
    bool success;
    std::string message;
    std::unique_ptr<Matrix> U, W, V;
};

Svd decompose(const Matrix& A, int sizeLimit)
{
    Svd r;
    r.message = "left over";
    Matrix *U = nullptr, *W = nullptr, *V = nullptr;
    r.success = A.SVD_decomposition(r.message, U, W, V, sizeLimit);
    r.U.reset(U);
    r.W.reset(W);
    r.V.reset(V);
    return r;
}

double largestDifference(const Matrix& A, const Matrix& B)
{
    double worst = 0.0;
    for (int i = 0; i < A.get_nb_rows(); ++i)
        for (int j = 0; j < A.get_nb_cols(); ++j)
            worst = std::max(worst, std::fabs(A.get(i, j) - B.get(i, j)));
    return worst;
}

} // namespace

TEST(TeskoraMatrixSvd, KnownDecompositionsAreNotSorted)
{
    struct Case
    {
        const char* label;
        Matrix A;
        std::vector<std::vector<double>> U, W, V;
    };
    const std::vector<Case> cases = {
        {"diag(-2, 3)",
         make("A", {{-2, 0}, {0, 3}}),
         {{-1, 0}, {0, -1}},
         {{2, 0}, {0, 3}},
         {{1, 0}, {0, -1}}},
        {"1 x 1 of -5", make("A", {{-5}}), {{-1}}, {{5}}, {{1}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        const Svd r = decompose(c.A, 0);
        EXPECT_TRUE(r.success);
        EXPECT_EQ("", r.message);
        EXPECT_EQ("MAT_U", r.U->get_name());
        EXPECT_EQ("MAT_W", r.W->get_name());
        EXPECT_EQ("MAT_V", r.V->get_name());
        expectEntries(*r.U, c.U);
        expectEntries(*r.W, c.W);
        expectEntries(*r.V, c.V);
    }
}

TEST(TeskoraMatrixSvd, FactorsReproduceTheMatrix)
{
    const std::vector<Matrix> matrices = {
        make("square", {{4, 1, -2}, {1, 3, 0.5}, {-2, 0.5, 5}}),
        make("tall", {{1, 2, 3}, {4, 5, 6}, {7, 8, 10}, {-1, 0, 2}, {3, -3, 1}}),
        make("wide", {{1, 2, 3}, {4, 5, 6}}),
    };
    for (const Matrix& A : matrices)
    {
        SCOPED_TRACE(A.get_name());
        const Svd r = decompose(A, 0);
        ASSERT_TRUE(r.success) << r.message;
        for (int i = 0; i < A.get_nb_cols(); ++i)
            EXPECT_GE(r.W->get(i, i), 0.0);
        const Matrix back = Matrix::product(*r.U, *r.W, r.V->transpose());
        EXPECT_LT(largestDifference(A, back), 1e-12);
        EXPECT_LT(largestDifference(Matrix::transposeA_product(*r.V, *r.V),
                                    Matrix::identity(A.get_nb_cols())),
                  1e-12);
    }
    // Fewer rows than columns: as many singular values as columns, the
    // last one 0.
    const Svd wide = decompose(matrices[2], 0);
    EXPECT_EQ(3, wide.W->get_nb_rows());
    EXPECT_EQ(0.0, wide.W->get(2, 2));
}

TEST(TeskoraMatrixSvd, SizeLimit)
{
    const Matrix A = make("A", {{1, 2, 3}, {4, 5, 6}});
    struct Case
    {
        int limit;
        bool success;
        std::string message;
    };
    for (const Case& c :
         std::vector<Case>{{4, false, "SVD_decomposition() error: nbRows+nbCols > 4"},
                           {0, true, ""},
                           {5, true, ""},
                           {-1, true, ""}})
    {
        SCOPED_TRACE(c.limit);
        const Svd r = decompose(A, c.limit);
        EXPECT_EQ(c.success, r.success);
        EXPECT_EQ(c.message, r.message);
        // The three matrices are handed over whatever the result.
        ASSERT_TRUE(r.U && r.W && r.V);
        EXPECT_EQ(2, r.U->get_nb_rows());
        // A refused decomposition hands back zeros, never unwritten memory.
        if (!c.success)
        {
            expectEntries(*r.U, {{0, 0, 0}, {0, 0, 0}});
            expectEntries(*r.W, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}});
            expectEntries(*r.V, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}});
        }
    }
}

TEST(TeskoraMatrixSvd, Inverse)
{
    const Matrix A = make("A", {{4, 1, -2}, {1, 3, 0.5}, {-2, 0.5, 5}});
    const Matrix Ai = A.SVD_inverse();
    EXPECT_EQ("inv(A)", Ai.get_name());
    EXPECT_LT(largestDifference(Matrix::product(Ai, A), Matrix::identity(3)), 1e-12);

    // A singular matrix is inverted without error into infinities or NaN.
    const Matrix S = make("S", {{1, 0}, {3, 0}}).SVD_inverse();
    EXPECT_TRUE(S.has_inf() || S.has_nan());

    EXPECT_EQ("Matrix::SVD_inverse(): dimension error",
              TeskoraTest::thrownMessage([] { Matrix("R", 2, 3).SVD_inverse(); }));
}

namespace
{

// Q = H_1 ... H_k, a product of Householder reflections I - 2 v v' with
// scattered unit vectors v: an orthogonal matrix that mixes every entry.
Matrix orthogonal(int n, int k, unsigned seed)
{
    Matrix Q = Matrix::identity(n);
    unsigned s = seed;
    for (int r = 0; r < k; ++r)
    {
        std::vector<double> v(static_cast<size_t>(n));
        double norm = 0.0;
        for (int i = 0; i < n; ++i)
        {
            s = s * 1103515245u + 12345u;
            v[i] = ((s >> 8) & 0xffff) / 65536.0 - 0.5;
            norm += v[i] * v[i];
        }
        norm = std::sqrt(norm);
        for (double& x : v)
            x /= norm;
        for (int i = 0; i < n; ++i)
        {
            double d = 0.0;
            for (int j = 0; j < n; ++j)
                d += Q.get(i, j) * v[j];
            for (int j = 0; j < n; ++j)
                Q.set(i, j, Q.get(i, j) - 2 * d * v[j]);
        }
    }
    return Q;
}

} // namespace

TEST(TeskoraMatrixSvd, GradedMatricesConverge)
{
    // 200 x 200 with singular values from 1 down to 1e-12: the smallest
    // ones take about 50 sweeps to separate, far beyond the classic 30.
    const int n = 200;
    const Matrix U = orthogonal(n, 4, 1), V = orthogonal(n, 4, 2);
    Matrix S("S", n, n), Si("Si", n, n);
    for (int i = 0; i < n; ++i)
    {
        const double sigma = std::pow(10.0, -12.0 * i / (n - 1));
        S.set(i, i, sigma);
        Si.set(i, i, 1.0 / sigma);
    }
    const Matrix A = Matrix::product(U, S, V.transpose());
    const Svd r = decompose(A, 0);
    ASSERT_TRUE(r.success) << r.message;
    EXPECT_LT(largestDifference(A, Matrix::product(*r.U, *r.W, r.V->transpose())), 1e-13);

    // Its inverse, to the accuracy the conditioning (1e12) allows.
    const Matrix exact = Matrix::product(V, Si, U.transpose());
    const Matrix inverse = A.SVD_inverse();
    double difference = 0.0, size = 0.0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
        {
            difference += std::pow(inverse.get(i, j) - exact.get(i, j), 2);
            size += std::pow(exact.get(i, j), 2);
        }
    EXPECT_LT(std::sqrt(difference / size), 1e-4);
}

TEST(TeskoraMatrixSvd, FailuresAreReportedAndNeverInverted)
{
    // A NaN or an infinity never converges: the decomposition says so at
    // once, and the inverse refuses it instead of returning garbage.
    for (double bad : {std::nan(""), std::numeric_limits<double>::infinity()})
    {
        SCOPED_TRACE(bad);
        const Matrix A = make("A", {{1, 2}, {bad, 4}});
        const Svd r = decompose(A, 0);
        EXPECT_FALSE(r.success);
        EXPECT_EQ("SVD_decomposition() error: the matrix has an entry that is not a finite number",
                  r.message);
        EXPECT_EQ("Matrix::SVD_inverse(): SVD_decomposition() error: the matrix has an entry that "
                  "is not a finite "
                  "number",
                  TeskoraTest::thrownMessage([&] { A.SVD_inverse(); }));
    }
}
