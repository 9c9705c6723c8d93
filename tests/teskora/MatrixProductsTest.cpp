#include "support/TeskoraTestSupport.hpp"
#include "teskora/Diagnostics.hpp"
#include "teskora/Matrix.hpp"
#include "teskora/Utils.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <list>
#include <sstream>
#include <string>
#include <vector>

using TESKORA::Matrix;
using TeskoraTest::expectEntries;
using TeskoraTest::expectErrors;
using TeskoraTest::make;

namespace
{

// A symmetric positive definite matrix M M' + n I from a fixed seed.
Matrix randomSpd(int n, unsigned seed)
{
    std::srand(seed);
    Matrix M("M", n, n);
    M.set_random(-1.0, 1.0, false);
    Matrix A = Matrix::product(M, M.transpose());
    for (int i = 0; i < n; ++i)
        A.set(i, i, A.get(i, i) + n);
    A.set_name("A");
    return A;
}

double maxDistanceToIdentity(const Matrix& M)
{
    double worst = 0.0;
    for (int i = 0; i < M.get_nb_rows(); ++i)
        for (int j = 0; j < M.get_nb_cols(); ++j)
            worst = std::max(worst, std::fabs(M.get(i, j) - (i == j ? 1.0 : 0.0)));
    return worst;
}

} // namespace

TEST(TeskoraMatrixProducts, ResultsAndNames)
{
    const Matrix A = make("A", {{1, 2, 3}, {4, 5, 6}});
    const Matrix B = make("B", {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}});
    const Matrix T = make("T", {{1, 2}, {3, 4}, {5, 6}});
    const Matrix S = make("S", {{1, 2}, {3, 4}});
    const Matrix R = make("R", {{5, 6}, {7, 8}});
    const Matrix ones = Matrix::ones(3, 2);

    struct Case
    {
        const char* label;
        Matrix result;
        std::string name;
        std::vector<std::vector<double>> entries;
    };
    const std::vector<Case> cases = {
        {"product 2x3 by 3x4", Matrix::product(A, B), "C", {{1, 2, 3, 6}, {4, 5, 6, 15}}},
        {"operator*", A * B, "C", {{1, 2, 3, 6}, {4, 5, 6, 15}}},
        {"three factors", Matrix::product(S, R, S), "C", {{85, 126}, {193, 286}}},
        {"four factors",
         Matrix::product(S, Matrix::identity(2), R, Matrix::identity(2)),
         "C",
         {{19, 22}, {43, 50}}},
        {"transposeA 3x2 by 3x4",
         Matrix::transposeA_product(T, B),
         "T'*B",
         {{1, 3, 5, 9}, {2, 4, 6, 12}}},
        {"subset full", Matrix::subset_product(S, R, -1, -1, -1), "S*R", {{19, 22}, {43, 50}}},
        {"subset 1,1,1", Matrix::subset_product(S, R, 1, 1, 1), "S*R", {{5}}},
        {"subset without a common size",
         Matrix::subset_product(A, R, -1, -1, 1),
         "A*R",
         {{0}, {0}}},
        {"diagA of a column",
         Matrix::diagA_product(make("a", {{1}, {2}, {3}}), ones),
         "a*Ones",
         {{1, 1}, {2, 2}, {3, 3}}},
        {"diagA of a square",
         Matrix::diagA_product(S, make("X", {{1, 1}, {1, 1}})),
         "S*X",
         {{1, 1}, {4, 4}}},
        {"diagB of a square",
         Matrix::diagB_product(ones, make("d", {{2, 0}, {0, 5}})),
         "Ones*d",
         {{2, 5}, {2, 5}, {2, 5}}},
        {"diagB of a row",
         Matrix::diagB_product(ones, make("d", {{2, 5}})),
         "Ones*d",
         {{2, 5}, {2, 5}, {2, 5}}},
        {"diagB of a column",
         Matrix::diagB_product(ones, make("d", {{2}, {5}})),
         "Ones*d",
         {{2, 5}, {2, 5}, {2, 5}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.name, c.result.get_name());
        expectEntries(c.result, c.entries);
    }
    // The operands are left as they were.
    expectEntries(A, {{1, 2, 3}, {4, 5, 6}});
}

TEST(TeskoraMatrixProducts, SizeErrors)
{
    const Matrix A23("A", 2, 3), A32("A", 3, 2), B24("B", 2, 4), S22("S", 2, 2), S33("S", 3, 3);
    const Matrix col2("b", 2, 1), rhs32("b", 3, 2), ones32 = Matrix::ones(3, 2);
    expectErrors({
        {"transposeA rows differ", [&] { Matrix::transposeA_product(A32, B24); },
         "Matrix::transposeA_product(A,B): dimension error"},
        {"subset p1 too large", [&] { Matrix::subset_product(S22, S22, 3, 1, 1); },
         "Matrix::subset_product: dimension error"},
        {"subset p2 too large", [&] { Matrix::subset_product(A23, B24, 1, 3, 1); },
         "Matrix::subset_product: dimension error"},
        {"subset p3 too large", [&] { Matrix::subset_product(S22, S22, 1, 1, 3); },
         "Matrix::subset_product: dimension error"},
        {"triu short rhs", [&] { Matrix::triu_solve(S33, col2); },
         "Matrix::triu_solve(): dimension error"},
        {"triu two columns", [&] { Matrix::triu_solve(S33, rhs32); },
         "Matrix::triu_solve(): dimension error"},
        {"tril not square", [&] { Matrix::tril_solve(A23, col2); },
         "Matrix::tril_solve(): dimension error"},
        {"cholesky not square", [&] { A23.cholesky(); }, "Matrix::cholesky(): dimension error"},
        // Without these refusals the operations read past their operands.
        {"product inner sizes differ", [&] { Matrix::product(A23, B24); },
         "Matrix::product(A,B): dimension error"},
        {"lu not square", [&] { A23.lu_inverse(); }, "Matrix::lu_inverse(): dimension error"},
        {"diagA square but too small", [&] { Matrix::diagA_product(S22, ones32); },
         "Matrix::diagA_product(A,B): dimension error"},
    });
}

TEST(TeskoraMatrixProducts, DiagonalProductsWriteTheSizesBeforeRefusing)
{
    std::ostringstream out;
    TESKORA::DiagStreamRedirect redirect(out);
    expectErrors({
        {"diagA", [] { Matrix::diagA_product(Matrix("a", 2, 1), Matrix::ones(3, 2)); },
         "Matrix::diagA_product(A,B): dimension error"},
        {"diagB", [] { Matrix::diagB_product(Matrix::ones(3, 2), Matrix("d", 3, 3)); },
         "Matrix::diagB_product(A,B): dimension error"},
    });
    EXPECT_EQ("A (a) : 2 , 1\nB (Ones) : 3 , 2\nA (Ones) : 3 , 2\nB (d) : 3 , 3\n", out.str());
}

TEST(TeskoraMatrixProducts, SmallFactorisations)
{
    const Matrix A = make("A", {{4, 2}, {2, 5}});
    const Matrix L = A.cholesky();
    EXPECT_EQ("L", L.get_name());
    expectEntries(L, {{2, 0}, {1, 2}});

    double det = 0.0;
    const Matrix Ai = A.cholesky_inverse(&det);
    EXPECT_DOUBLE_EQ(16.0, det);
    EXPECT_EQ("A", Ai.get_name());
    expectEntries(Ai, {{5.0 / 16, -2.0 / 16}, {-2.0 / 16, 4.0 / 16}});

    const Matrix P = make("P", {{0, 1}, {1, 0}});
    double luDet = 0.0;
    const Matrix Pi = P.lu_inverse(&luDet);
    EXPECT_DOUBLE_EQ(-1.0, luDet);
    EXPECT_EQ("P^-1", Pi.get_name());
    expectEntries(Pi, {{0, 1}, {1, 0}});

    // Empty matrices: the determinant of nothing is 1.
    double emptyDet = 0.0;
    Matrix("E", 0, 0).cholesky_inverse(&emptyDet);
    EXPECT_EQ(1.0, emptyDet);
    emptyDet = 0.0;
    Matrix("E", 0, 0).lu_inverse(&emptyDet);
    EXPECT_EQ(1.0, emptyDet);

    // An indefinite matrix is not refused: its factor holds NaN and the
    // determinant reads as the largest double.
    double badDet = 0.0;
    make("N", {{1, 2}, {2, 1}}).cholesky_inverse(&badDet);
    EXPECT_EQ(std::numeric_limits<double>::max(), badDet);

    const Matrix U = make("U", {{2, 1}, {0, 4}});
    const Matrix x = Matrix::triu_solve(U, make("b", {{4}, {8}}));
    EXPECT_EQ("b", x.get_name());
    expectEntries(x, {{1}, {2}});
    expectEntries(Matrix::tril_inverse(L), {{0.5, 0}, {-0.25, 0.5}});
    expectEntries(Matrix::cholesky_solve(A, make("b", {{8}, {9}})), {{22.0 / 16}, {20.0 / 16}});
}

TEST(TeskoraMatrixProducts, InversesOfARandomSpdMatrix)
{
    const Matrix A = randomSpd(8, 20261210);
    double cholDet = 0.0, luDet = 0.0;
    const Matrix Ci = A.cholesky_inverse(&cholDet);
    const Matrix Li = A.lu_inverse(&luDet);
    EXPECT_LT(maxDistanceToIdentity(Matrix::product(A, Ci)), 1e-10);
    EXPECT_LT(maxDistanceToIdentity(Matrix::product(A, Li)), 1e-10);
    EXPECT_NEAR(1.0, luDet / cholDet, 1e-10);
    EXPECT_EQ("A^-1", Li.get_name());

    std::srand(7);
    Matrix b("b", 8, 1);
    b.set_random(-1.0, 1.0, false);
    const Matrix direct = Matrix::cholesky_solve(A, b);
    const Matrix cg = Matrix::conjugate_solve(A, b, Matrix("x0", 8, 1), 1e-24);
    for (int i = 0; i < 8; ++i)
        EXPECT_NEAR(direct.get(i, 0), cg.get(i, 0), 1e-10) << i;
}

TEST(TeskoraMatrixProducts, ConjugateGradientStopsAndNamesItsResult)
{
    const Matrix A = make("A", {{4, 1}, {1, 3}});
    const Matrix b = make("b", {{1}, {2}});
    const Matrix x0("x0", 2, 1);

    // A tolerance above the first residual still makes one step.
    const Matrix one = Matrix::conjugate_solve(A, b, x0, 1e9);
    const double alpha = 5.0 / 20.0; // r = b: r'r = 5, r'Ar = 20
    EXPECT_DOUBLE_EQ(alpha * 1, one.get(0, 0));
    EXPECT_DOUBLE_EQ(alpha * 2, one.get(1, 0));
    EXPECT_EQ("x0+" + TESKORA::dtos(alpha) + "*b-C", one.get_name());

    // Later steps are named after the working matrices.
    const Matrix solved = Matrix::conjugate_solve(A, b, x0, 1e-30);
    EXPECT_EQ(0u, solved.get_name().rfind("x+", 0)) << solved.get_name();
    EXPECT_NEAR(1.0 / 11, solved.get(0, 0), 1e-14);
    EXPECT_NEAR(7.0 / 11, solved.get(1, 0), 1e-14);

    // An exact start is returned as it is (a first step would be 0 / 0).
    const Matrix exact = Matrix::conjugate_solve(A, b, make("x", {{1.0 / 11}, {7.0 / 11}}), 0.0);
    EXPECT_FALSE(exact.has_nan());

    // Without positive definiteness the residual never falls below the
    // tolerance: the iterations are capped instead of running forever.
    const Matrix indefinite = make("N", {{1, 0}, {0, -1}});
    const Matrix capped = Matrix::conjugate_solve(indefinite, make("b", {{1}, {1}}), x0, -1.0);
    EXPECT_EQ(2, capped.get_nb_rows());
}

TEST(TeskoraMatrixProducts, LeaveOneOutResidualsMatchRefits)
{
    // A straight-line least-squares fit on six points: H = [1 t].
    const std::vector<double> t = {0, 1, 2, 3, 4, 6};
    const std::vector<double> z = {1.0, 2.5, 2.9, 4.2, 5.1, 7.7};
    const int p = static_cast<int>(t.size());
    Matrix H("H", p, 2), Zs("Zs", p, 1);
    for (int i = 0; i < p; ++i)
    {
        H.set(i, 0, 1.0);
        H.set(i, 1, t[i]);
        Zs.set(i, 0, z[i]);
    }
    const Matrix Ai = Matrix::transposeA_product(H, H).lu_inverse();
    const Matrix alpha = Matrix::product(Ai, Matrix::transposeA_product(H, Zs));

    const Matrix loo = Matrix::get_matrix_dPiPZs(Ai, H, Zs);
    const Matrix looAlpha = Matrix::get_matrix_dPiPZs(Ai, H, Zs, alpha);
    EXPECT_EQ("Zs-C", loo.get_name());
    for (int k = 0; k < p; ++k)
    {
        SCOPED_TRACE(k);
        // Refit without point k and predict it.
        std::list<int> keep;
        for (int i = 0; i < p; ++i)
            if (i != k)
                keep.push_back(i);
        const Matrix Hk = H.get_rows(keep), Zk = Zs.get_rows(keep);
        const Matrix ak = Matrix::product(Matrix::transposeA_product(Hk, Hk).lu_inverse(),
                                          Matrix::transposeA_product(Hk, Zk));
        const double residual = z[k] - (ak.get(0, 0) + ak.get(1, 0) * t[k]);
        EXPECT_NEAR(residual, loo.get(k, 0), 1e-10);
        EXPECT_NEAR(residual, looAlpha.get(k, 0), 1e-10);
    }

    // The other forms agree with the p x p projection built outright.
    std::ostringstream out;
    TESKORA::DiagStreamRedirect redirect(out);
    const Matrix P = Matrix::get_matrix_P(Ai, H);
    EXPECT_EQ("Function get_matrix_P should be avoided !!\n", out.str());
    EXPECT_EQ("I-C", P.get_name());
    const Matrix PZs = Matrix::get_matrix_PZs(Ai, H, Zs);
    const Matrix dPi = Matrix::get_matrix_dPi(Ai, H);
    EXPECT_EQ("dPi", dPi.get_name());
    const Matrix PZsDirect = Matrix::product(P, Zs);
    double trace = 0.0;
    for (int i = 0; i < p; ++i)
    {
        EXPECT_NEAR(PZsDirect.get(i, 0), PZs.get(i, 0), 1e-12);
        EXPECT_NEAR(PZs.get(i, 0) * dPi.get(i, i), loo.get(i, 0), 1e-12);
        trace += 1.0 - P.get(i, i);
    }
    EXPECT_NEAR(2.0, Matrix::get_trace_P(Ai, H), 1e-12); // the number of fitted terms
    EXPECT_NEAR(trace, Matrix::get_trace_P(Ai, H), 1e-12);

    // With no column the residuals are the outputs themselves.
    const Matrix none = Matrix::get_matrix_dPiPZs(Matrix("Ai", 0, 0), Matrix("H", p, 0), Zs);
    for (int i = 0; i < p; ++i)
        EXPECT_EQ(z[i], none.get(i, 0));
}
