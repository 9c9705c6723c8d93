#include "teskora/SurrogateKriging.hpp"
#include "support/TeskoraTestSupport.hpp"
#include "teskora/Diagnostics.hpp"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <list>
#include <sstream>
#include <string>
#include <vector>

using namespace TESKORA;
using TeskoraTest::make;
using TeskoraTest::thrownMessage;

namespace
{

using Rows = std::vector<std::vector<double>>;

// Twelve irregular points in two inputs.
Rows irregularPoints()
{
    Rows X;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j)
            X.push_back({i * 0.7 - 1.0 + 0.05 * j, j * 0.9 - 1.5 + 0.11 * i * i});
    return X;
}

// Outputs: a smooth objective, a constraint, a constant dummy.
Rows outputsOf(const Rows& X)
{
    Rows Z;
    for (const auto& x : X)
        Z.push_back(
            {std::sin(x[0]) + x[1] * x[1] - 0.3 * x[0] * x[1], x[0] + 0.5 * x[1] - 0.2, 4.0});
    return Z;
}

// The kriging system of the points Xs and outputs Zs (scaled), solved
// directly with explicit inverses: nugget on the diagonal, GLS trend.
struct Reference
{
    double e, s, ridge;
    Matrix Xs, Ri, alpha, beta, var;
    double det = 0, s0 = 0;

    Reference(const Matrix& X, const Matrix& Zs, const Matrix& coef, double ridge_, int nvar)
        : e(coef.get(0, 0)), s(coef.get(0, 1)), ridge(ridge_), Xs(X)
    {
        const int p = Xs.get_nb_rows();
        const int m = Zs.get_nb_cols();
        Matrix R = corr(Xs, true);
        Ri = R.lu_inverse(&det);
        const Matrix H = Matrix::ones(p, 1);
        s0 = (H.transpose() * Ri * H).get(0, 0);
        beta = (H.transpose() * Ri * Zs) / s0;
        const Matrix res = Zs - H * beta;
        alpha = Ri * res;
        var = Matrix("var", 1, m);
        for (int j = 0; j < m; ++j)
        {
            const Matrix r = res.get_col(j);
            var.set(0, j, (r.transpose() * Ri * r).get(0, 0) / (p - nvar));
        }
    }

    // Correlations of the rows of A with the points. The nugget goes where
    // the distance is 0, or, for the points themselves, on the diagonal.
    Matrix corr(const Matrix& A, bool training = false) const
    {
        const Matrix D = Matrix::get_distances_norm2(A, Xs);
        Matrix R("R", D.get_nb_rows(), D.get_nb_cols());
        for (int i = 0; i < D.get_nb_rows(); ++i)
            for (int j = 0; j < D.get_nb_cols(); ++j)
            {
                const bool self = training ? i == j : D.get(i, j) == 0;
                R.set(i, j, self ? 1 + ridge : std::exp(-s * std::pow(D.get(i, j), e)));
            }
        return R;
    }

    Matrix predict(const Matrix& XXs) const
    {
        return corr(XXs) * alpha + Matrix::ones(XXs.get_nb_rows(), 1) * beta;
    }

    // The mean squared error factor of one point: 1 - r' R^-1 r + (1 -
    // 1' R^-1 r)^2 / (1' R^-1 1), clipped at 0.
    double u(const Matrix& XXs, int i) const
    {
        const Matrix r = corr(XXs).get_row(i);
        const double l = (r * Ri * r.transpose()).get(0, 0);
        const double g = 1 - (Matrix::ones(1, Xs.get_nb_rows()) * Ri * r.transpose()).get(0, 0);
        return std::max(0.0, 1 - l + g * g / s0);
    }
};

Matrix withoutRow(const Matrix& M, int a)
{
    std::list<int> keep;
    for (int i = 0; i < M.get_nb_rows(); ++i)
        if (i != a)
            keep.push_back(i);
    return M.get_rows(keep);
}

} // namespace

TEST(TeskoraKriging, PredictionsDeviationsAndProbabilities)
{
    const Rows X = irregularPoints();
    TrainingSet ts(make("X", X), make("Z", outputsOf(X)));
    ts.set_bbo_type("OBJ CON DUM");
    Surrogate_Kriging model(ts, Surrogate_Parameters("TYPE KRIGING RIDGE 1e-10 BUDGET 0"));
    ASSERT_TRUE(model.build());
    ASSERT_EQ(2.0, model.get_param().get_covariance_coef().get(0, 0));
    ASSERT_EQ(1.0, model.get_param().get_covariance_coef().get(0, 1));
    const Reference ref(model.get_matrix_Xs(), model.get_matrix_Zs(),
                        model.get_param().get_covariance_coef(), 1e-10, ts.get_nvar());

    // Interpolation at the training points; the constant output is exact.
    Matrix ZZ;
    model.predict(make("XX", X), &ZZ);
    const Rows Z = outputsOf(X);
    for (size_t i = 0; i < X.size(); ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(Z[i][j], ZZ.get(static_cast<int>(i), j), 1e-7) << i << "," << j;

    // Away from them: values, deviations sqrt(u var), expected improvement
    // and probabilities as the kriging model gives them.
    const Matrix XX = make("XX", {{0.1, 0.2}, {-0.6, 1.1}, {0.9, -1.4}, {2.5, 2.5}});
    Matrix XXs = XX;
    ts.X_scale(XXs);
    Matrix std, ei, cdf;
    model.predict(XX, &ZZ, &std, &ei, &cdf);
    const Matrix ZZs = ref.predict(XXs);
    const double fmin = ts.get_fs_min();
    const double c0 = ts.Z_scale(0.0, 1);
    for (int i = 0; i < XX.get_nb_rows(); ++i)
    {
        SCOPED_TRACE(i);
        const double u = ref.u(XXs, i);
        EXPECT_GT(u, 1e-6);
        for (int j = 0; j < 2; ++j)
        {
            EXPECT_NEAR(ts.Z_unscale(ZZs.get(i, j), j), ZZ.get(i, j), 1e-8);
            EXPECT_NEAR(ts.ZE_unscale(std::sqrt(u * ref.var.get(0, j)), j), std.get(i, j), 1e-10);
        }
        const double s0 = std::sqrt(u * ref.var.get(0, 0));
        const double s1 = std::sqrt(u * ref.var.get(0, 1));
        EXPECT_NEAR(ts.ZE_unscale(normei(ZZs.get(i, 0), s0, fmin), 0), ei.get(i, 0), 1e-10);
        EXPECT_NEAR(normcdf(fmin, ZZs.get(i, 0), s0), cdf.get(i, 0), 1e-10);
        EXPECT_NEAR(normcdf(c0, ZZs.get(i, 1), s1), cdf.get(i, 1), 1e-10);
        EXPECT_EQ(0.0, ei.get(i, 1));
        // The constant output: its value, variance 0, nothing to expect.
        EXPECT_DOUBLE_EQ(4.0, ZZ.get(i, 2));
        EXPECT_EQ(0.0, std.get(i, 2));
        EXPECT_EQ(0.0, ei.get(i, 2));
        EXPECT_EQ(-DBL_MAX, cdf.get(i, 2));
    }

    // Correlation exp(-1) at scaled distance 1, the nugget at distance 0.
    Matrix probe =
        make("XXs", {{model.get_matrix_Xs().get(0, 0) + 1, model.get_matrix_Xs().get(0, 1)}});
    EXPECT_DOUBLE_EQ(std::exp(-1.0), model.compute_covariance_matrix(probe).get(0, 0));
    probe.set(0, 0, model.get_matrix_Xs().get(0, 0));
    EXPECT_EQ(1 + 1e-10, model.compute_covariance_matrix(probe).get(0, 0));

    // In-sample deviations come from the same model.
    const Matrix Sh = *model.get_matrix_Shs();
    const Matrix Xs = model.get_matrix_Xs();
    EXPECT_NEAR(std::sqrt(ref.u(Xs, 3) * ref.var.get(0, 0)), Sh.get(3, 0), 1e-4);
    EXPECT_LT(Sh.get(3, 0), 1e-4);

    std::ostringstream out;
    model.display_private(out);
    EXPECT_EQ(0u, out.str().find("\nbeta=["));
    EXPECT_NE(std::string::npos, out.str().find("\nvar=["));
}

namespace
{

// x with A x = b, by Gaussian elimination with partial pivoting: a solver of
// the test's own, so that the check does not lean on the library's algebra.
std::vector<double> solved(std::vector<std::vector<double>> A, std::vector<double> b)
{
    const size_t n = b.size();
    for (size_t c = 0; c < n; ++c)
    {
        size_t r = c;
        for (size_t i = c + 1; i < n; ++i)
            if (std::fabs(A[i][c]) > std::fabs(A[r][c]))
                r = i;
        std::swap(A[r], A[c]);
        std::swap(b[r], b[c]);
        for (size_t i = c + 1; i < n; ++i)
        {
            const double f = A[i][c] / A[c][c];
            for (size_t k = c; k < n; ++k)
                A[i][k] -= f * A[c][k];
            b[i] -= f * b[c];
        }
    }
    std::vector<double> x(n);
    for (size_t i = n; i-- > 0;)
    {
        double v = b[i];
        for (size_t k = i + 1; k < n; ++k)
            v -= A[i][k] * x[k];
        x[i] = v / A[i][i];
    }
    return x;
}

double dot(const std::vector<double>& a, const std::vector<double>& b)
{
    double s = 0.0;
    for (size_t i = 0; i < a.size(); ++i)
        s += a[i] * b[i];
    return s;
}

} // namespace

TEST(TeskoraKriging, DeviationIsTheRootMeanSquaredErrorOfThePredictor)
{
    // The kriging predictor is linear in the training outputs, with
    // weights lambda(x) summing to 1. Output 0 is y; output k + 1 is y plus
    // 1 at point k, so the difference of their predictions is lambda_k(x).
    // Under the model's covariance sigma^2 R, the predictor's mean squared
    // error is sigma^2 (1 - 2 lambda' r + lambda' R lambda): the deviation
    // must be its root, computed here by brute force from the weights.
    const Rows X = irregularPoints();
    const int p = static_cast<int>(X.size());
    Rows Z;
    for (int i = 0; i < p; ++i)
    {
        const double y = outputsOf({X[i]})[0][0];
        std::vector<double> row = {y};
        for (int k = 0; k < p; ++k)
            row.push_back(y + (k == i ? 1.0 : 0.0));
        Z.push_back(row);
    }
    TrainingSet ts(make("X", X), make("Z", Z));
    const double ridge = 1e-10;
    Surrogate_Kriging model(ts, Surrogate_Parameters("TYPE KRIGING RIDGE 1e-10 BUDGET 0"));
    ASSERT_TRUE(model.build());
    const Matrix Xs = model.get_matrix_Xs();
    const double e = model.get_param().get_covariance_coef().get(0, 0);
    const double s = model.get_param().get_covariance_coef().get(0, 1);
    auto corr = [&](const std::vector<double>& a, const std::vector<double>& b)
    {
        double d2 = 0.0;
        for (size_t k = 0; k < a.size(); ++k)
            d2 += (a[k] - b[k]) * (a[k] - b[k]);
        return std::exp(-s * std::pow(std::sqrt(d2), e));
    };
    std::vector<std::vector<double>> xs(static_cast<size_t>(p)), R(static_cast<size_t>(p));
    for (int i = 0; i < p; ++i)
        xs[i] = {Xs.get(i, 0), Xs.get(i, 1)};
    for (int i = 0; i < p; ++i)
        for (int j = 0; j < p; ++j)
            R[i].push_back(i == j ? 1.0 + ridge : corr(xs[i], xs[j]));

    // The process variance of output 0: the generalised least-squares
    // residual of the constant trend, over p - nvar.
    std::vector<double> y(static_cast<size_t>(p)), ones(static_cast<size_t>(p), 1.0);
    for (int i = 0; i < p; ++i)
        y[i] = model.get_matrix_Zs().get(i, 0);
    const std::vector<double> w = solved(R, y), v = solved(R, ones);
    const double beta = dot(ones, w) / dot(ones, v);
    double quad = 0.0;
    for (int i = 0; i < p; ++i)
        quad += (y[i] - beta) * (w[i] - beta * v[i]);
    const double sigma2 = quad / (p - ts.get_nvar());

    const Matrix XX =
        make("XX", {{0.1, 0.2}, {-0.6, 1.1}, {0.9, -1.4}, {1.6, 0.4}, {2.5, 2.5}, {40, -40}});
    Matrix XXs = XX;
    ts.X_scale(XXs);
    Matrix ZZ, std;
    model.predict(XX, &ZZ, &std, nullptr, nullptr);
    for (int q = 0; q < XX.get_nb_rows(); ++q)
    {
        SCOPED_TRACE(q);
        const std::vector<double> x = {XXs.get(q, 0), XXs.get(q, 1)};
        std::vector<double> lambda(static_cast<size_t>(p)), r(static_cast<size_t>(p));
        for (int k = 0; k < p; ++k)
        {
            lambda[k] = ZZ.get(q, k + 1) - ZZ.get(q, 0);
            r[k] = corr(x, xs[k]);
        }
        double lRl = 0.0;
        for (int i = 0; i < p; ++i)
            for (int j = 0; j < p; ++j)
                lRl += lambda[i] * R[i][j] * lambda[j];
        const double mse = sigma2 * (1.0 - 2.0 * dot(lambda, r) + lRl);
        const double expected = std::sqrt(mse) * ts.ZE_unscale(1.0, 0);
        EXPECT_NEAR(expected, std.get(q, 0), 1e-6 * expected);
    }
}

TEST(TeskoraKriging, LeaveOneOutValuesEqualRefitsWithoutThePoint)
{
    for (const char* definition :
         {"TYPE KRIGING RIDGE 1e-10 BUDGET 0", "TYPE KRIGING RIDGE 0.01 BUDGET 0"})
    {
        SCOPED_TRACE(definition);
        const Rows X = irregularPoints();
        TrainingSet ts(make("X", X), make("Z", outputsOf(X)));
        Surrogate_Kriging model(ts, Surrogate_Parameters(definition));
        ASSERT_TRUE(model.build());
        const Matrix Xs = model.get_matrix_Xs();
        const Matrix Zs = model.get_matrix_Zs();
        const Matrix& coef = model.get_param().get_covariance_coef();
        const double ridge = model.get_param().get_ridge();
        const Reference full(Xs, Zs, coef, ridge, ts.get_nvar());
        const Matrix Zv = *model.get_matrix_Zvs();
        const Matrix Sv = *model.get_matrix_Svs();
        for (int a = 0; a < Xs.get_nb_rows(); ++a)
        {
            SCOPED_TRACE(a);
            const Reference refit(withoutRow(Xs, a), withoutRow(Zs, a), coef, ridge, ts.get_nvar());
            const Matrix xa = Xs.get_row(a);
            const Matrix z = refit.predict(xa);
            // The leave-one-out variance of the kriging system without a.
            const Matrix r = refit.corr(xa);
            const double g =
                1 - (Matrix::ones(1, Xs.get_nb_rows() - 1) * refit.Ri * r.transpose()).get(0, 0);
            const double v =
                1 + ridge - (r * refit.Ri * r.transpose()).get(0, 0) + g * g / refit.s0;
            for (int j = 0; j < 2; ++j)
            {
                EXPECT_NEAR(z.get(0, j), Zv.get(a, j), 1e-8);
                EXPECT_NEAR(std::sqrt(v * full.var.get(0, j)), Sv.get(a, j), 1e-8);
            }
        }
    }
}

TEST(TeskoraKriging, LikelihoodMetricIsVarianceToThePowerPTimesDetR)
{
    const Rows X = irregularPoints();
    TrainingSet ts(make("X", X), make("Z", outputsOf(X)));
    Surrogate_Kriging model(ts, Surrogate_Parameters("TYPE KRIGING RIDGE 1e-3 BUDGET 0"));
    ASSERT_TRUE(model.build());
    const Reference ref(model.get_matrix_Xs(), model.get_matrix_Zs(),
                        model.get_param().get_covariance_coef(), 1e-3, ts.get_nvar());
    const int p = static_cast<int>(X.size());
    ASSERT_GT(ref.det, 0.0);
    for (int j = 0; j < 2; ++j)
    {
        const double expected = std::pow(ref.var.get(0, j), p) * ref.det;
        ASSERT_GT(expected, 1e-300);
        EXPECT_NEAR(1.0, model.get_metric(LINV, j) / expected, 1e-9) << j;
    }
    // The constant output has variance 0.
    EXPECT_EQ(0.0, model.get_metric(LINV, 2));
}

TEST(TeskoraKriging, BuildFailuresAndRidgeOnDuplicates)
{
    struct Case
    {
        const char* label;
        Rows X;
        const char* definition;
        bool builds;
    };
    const Rows three = {{0, 0, 0}, {1, 2, 0.5}, {2, 1, 1}};
    Rows four = three;
    four.push_back({0.5, 0.3, 2});
    const Rows duplicated = {{0, 0}, {1, 0.5}, {0.4, 1.2}, {1, 0.5}, {1.5, 1.7}};
    for (const Case& c : std::vector<Case>{
             {"as many points as varying inputs", three, "TYPE KRIGING RIDGE 1e-10 BUDGET 0",
              false},
             {"one point more", four, "TYPE KRIGING RIDGE 1e-10 BUDGET 0", true},
             {"duplicate without ridge", duplicated, "TYPE KRIGING RIDGE 0 BUDGET 0", false},
             {"duplicate with the default nugget", duplicated, "TYPE KRIGING BUDGET 0", false},
             {"duplicate with a ridge", duplicated, "TYPE KRIGING RIDGE 1e-6 BUDGET 0", true},
             {"a record without covariance coefficients", four, "TYPE CN", false},
         })
    {
        SCOPED_TRACE(c.label);
        Rows Z;
        for (const auto& x : c.X)
            Z.push_back({x[0] * x[0] - x[1], x[1] + 0.1 * x[0]});
        TrainingSet ts(make("X", c.X), make("Z", Z));
        Surrogate_Kriging model(ts, Surrogate_Parameters(c.definition));
        EXPECT_EQ(c.builds, model.build());
        EXPECT_EQ(c.builds, model.is_ready());
        if (!c.builds)
            continue;
        Matrix ZZ, std, ei, cdf;
        model.predict(make("XX", c.X), &ZZ, &std, &ei, &cdf);
        for (int i = 0; i < ZZ.get_nb_rows(); ++i)
            for (int j = 0; j < 2; ++j)
            {
                EXPECT_TRUE(std::isfinite(ZZ.get(i, j)));
                EXPECT_TRUE(std::isfinite(std.get(i, j)));
                EXPECT_NEAR(Z[i][j], ZZ.get(i, j), 1e-3);
            }
        // The likelihood of the system with the nugget on the diagonal only
        // (coincident points keep their correlation 1 off it).
        const Reference ref(model.get_matrix_Xs(), model.get_matrix_Zs(),
                            model.get_param().get_covariance_coef(), model.get_param().get_ridge(),
                            ts.get_nvar());
        for (int j = 0; j < 2; ++j)
        {
            const double expected =
                std::pow(ref.var.get(0, j), static_cast<int>(c.X.size())) * ref.det;
            EXPECT_NEAR(1.0, model.get_metric(LINV, j) / expected, 1e-6);
        }
    }
}

TEST(TeskoraKriging, NotReadyMessages)
{
    const Rows X = irregularPoints();
    TrainingSet ts(make("X", X), make("Z", outputsOf(X)));
    Surrogate_Kriging model(ts, Surrogate_Parameters("TYPE KRIGING RIDGE 1e-10 BUDGET 0"));
    std::ostringstream out;
    const DiagStreamRedirect redirect(out);
    ts.build();
    const Matrix XXs = model.get_matrix_Xs();
    Matrix ZZ, std;
    struct Case
    {
        const char* where;
        std::function<void()> action;
    };
    for (const Case& c :
         std::vector<Case>{
             {"::predict::",
              [&] {
                  model.predict(make("XX", {{0, 0}}), &ZZ);
              }},
             {"::predict_private::", [&] { model.predict_private(XXs, &ZZ); }},
             {"::predict_private::",
              [&] { model.predict_private(XXs, &ZZ, &std, nullptr, nullptr); }},
             {"::compute_cv_values::", [&] { model.get_matrix_Zvs(); }},
             {"::compute_cv_values::", [&] { model.get_matrix_Svs(); }},
             {"::compute_metric_linv::", [&] { model.compute_metric_linv(); }},
         })
    {
        SCOPED_TRACE(c.where);
        out.str("");
        EXPECT_EQ("check_ready(): Not ready!", thrownMessage(c.action));
        const std::string text = out.str();
        EXPECT_NE(std::string::npos, text.find("Surrogate: NOT READY! (")) << text;
        EXPECT_NE(std::string::npos, text.find(c.where)) << text;
    }
    // The metrics of a model that is not ready are the worst value.
    EXPECT_EQ(DBL_MAX, model.get_metric(LINV, 0));
}

TEST(TeskoraKriging, TunesRidgeAndCovarianceCoefficients)
{
    // The default definition tunes the ridge and both covariance
    // coefficients by the leave-one-out order error.
    const Rows X = irregularPoints();
    TrainingSet ts(make("X", X), make("Z", outputsOf(X)));
    ts.set_bbo_type("OBJ CON DUM");
    Surrogate_Kriging model(ts, Surrogate_Parameters("TYPE KRIGING"));
    ASSERT_TRUE(model.build());
    const Surrogate_Parameters& param = model.get_param();
    const Matrix& coef = param.get_covariance_coef();
    EXPECT_GE(param.get_ridge(), 1e-16);
    EXPECT_LE(param.get_ridge(), 0.1);
    EXPECT_GE(coef.get(0, 0), 0.5);
    EXPECT_LE(coef.get(0, 0), 3);
    EXPECT_GE(coef.get(0, 1), 0.001);
    EXPECT_LE(coef.get(0, 1), 1);
    EXPECT_LT(model.get_metric(AOECV, 0), DBL_MAX);
    Matrix ZZ;
    model.predict(make("XX", {{0.3, -0.2}}), &ZZ);
    EXPECT_TRUE(std::isfinite(ZZ.get(0, 0)));
}
