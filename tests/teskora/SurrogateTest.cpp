#include "teskora/Surrogate.hpp"
#include "support/TeskoraTestSupport.hpp"
#include "teskora/Diagnostics.hpp"
#include "teskora/SurrogateFactory.hpp"
#include "teskora/SurrogateTuner.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace TESKORA;
using TeskoraTest::make;
using TeskoraTest::thrownMessage;

namespace
{

const double HUGE_VALUE = std::numeric_limits<double>::max();

// A model for the protocol: it predicts the scaled output of the nearest
// training point plus a shift per training point and output (zero unless a
// test sets it), and validates by the nearest other point. Counts its fits.
class NearestModel : public Surrogate
{
public:
    NearestModel(TrainingSet& ts, const std::string& definition = "TYPE CN")
        : Surrogate(ts, definition)
    {
    }

    int fits = 0;
    // The kernel coefficient of every fit, and an error added to every
    // validation value as a function of it (none when empty).
    std::vector<double> tried;
    std::vector<int> degrees;
    std::function<double(double)> validationError;
    bool failFit = false;
    bool nanPredictions = false;
    std::vector<std::vector<double>> shift;

    bool build_private() override
    {
        ++fits;
        tried.push_back(_param.get_kernel_coef());
        degrees.push_back(_param.get_degree());
        if (failFit)
            return false;
        _ready = true;
        return true;
    }

    void predict_private(const Matrix& XXs, Matrix* ZZs) override
    {
        const Matrix Xs = get_matrix_Xs(), Zs = get_matrix_Zs();
        for (int i = 0; i < XXs.get_nb_rows(); ++i)
        {
            const int k = nearest(Xs, XXs, i, -1);
            for (int j = 0; j < _m; ++j)
                ZZs->set(i, j, nanPredictions ? std::nan("") : Zs.get(k, j) + shiftOf(k, j));
        }
    }

    // NaN everywhere when asked, else the base's uncertainty model.
    void predict_private(const Matrix& XXs, Matrix* ZZs, Matrix* std, Matrix* ei,
                         Matrix* cdf) override
    {
        if (!nanPredictions)
        {
            Surrogate::predict_private(XXs, ZZs, std, ei, cdf);
            return;
        }
        for (Matrix* M : {ZZs, std, ei, cdf})
            if (M)
                M->fill(std::nan(""));
    }

    Matrix* get_matrix_Zvs() override
    {
        if (!_Zvs)
        {
            const Matrix Xs = get_matrix_Xs(), Zs = get_matrix_Zs();
            _Zvs = new Matrix("Zvs", _p, _m);
            for (int i = 0; i < _p; ++i)
            {
                const int k = nearest(Xs, Xs, i, i);
                for (int j = 0; j < _m; ++j)
                    _Zvs->set(i, j,
                              Zs.get(k, j) + (validationError
                                                  ? validationError(_param.get_kernel_coef())
                                                  : 0.0));
            }
        }
        return _Zvs;
    }

    void display_private(std::ostream& out) const override { out << "nearest" << std::endl; }

private:
    double shiftOf(int k, int j) const { return shift.empty() ? 0.0 : shift[k][j]; }

    static int nearest(const Matrix& Xs, const Matrix& XXs, int i, int skip)
    {
        int best = -1;
        double bestD = HUGE_VALUE;
        for (int k = 0; k < Xs.get_nb_rows(); ++k)
        {
            if (k == skip)
                continue;
            double d = 0.0;
            for (int c = 0; c < Xs.get_nb_cols(); ++c)
                d += (Xs.get(k, c) - XXs.get(i, c)) * (Xs.get(k, c) - XXs.get(i, c));
            if (d < bestD)
            {
                bestD = d;
                best = k;
            }
        }
        return best;
    }
};

// Points 0, 1, ..., p-1 on a line with outputs (f, c, constant).
TrainingSet lineSet(int p)
{
    Matrix X("X", p, 1), Z("Z", p, 3);
    for (int i = 0; i < p; ++i)
    {
        X.set(i, 0, i);
        Z.set(i, 0, (i - 2.0) * (i - 2.0));
        Z.set(i, 1, i - 1.5);
        Z.set(i, 2, 7.0);
    }
    return TrainingSet(X, Z);
}

} // namespace

TEST(TeskoraSurrogate, Readiness)
{
    std::ostringstream out;
    DiagStreamRedirect redirect(out);

    TrainingSet one(make("X", {{0}}), make("Z", {{1}}));
    NearestModel single(one);
    EXPECT_FALSE(single.build());
    EXPECT_FALSE(single.is_ready());
    EXPECT_EQ("check_ready(): Not ready!", thrownMessage([&] { single.check_ready("here"); }));
    EXPECT_NE(std::string::npos, out.str().find("Surrogate: NOT READY! (here)\n"));

    TrainingSet ts = lineSet(5);
    NearestModel model(ts);
    EXPECT_TRUE(model.build());
    EXPECT_EQ(1, model.fits);
    // Nothing changed: no refit.
    EXPECT_TRUE(model.build());
    EXPECT_EQ(1, model.fits);

    // A new point makes the model unusable until the next build, which
    // refits.
    const double x[] = {5}, z[] = {9, 3.5, 7};
    ts.add_point(x, z);
    ts.build();
    EXPECT_EQ("check_ready(): Not ready!", thrownMessage([&] { model.check_ready(); }));
    EXPECT_TRUE(model.build());
    EXPECT_EQ(2, model.fits);

    // A refill with as many different points is a change too.
    Matrix X("X", 6, 1), Z("Z", 6, 3);
    for (int i = 0; i < 6; ++i)
    {
        X.set(i, 0, 10 + i);
        Z.set(i, 0, i);
        Z.set(i, 1, -1);
        Z.set(i, 2, 7);
    }
    ASSERT_TRUE(ts.partial_reset_and_add_points(X, Z));
    ts.build();
    EXPECT_EQ("check_ready(): Not ready!", thrownMessage([&] { model.check_ready(); }));
    EXPECT_TRUE(model.build());
    EXPECT_EQ(3, model.fits);
    Matrix ZZ;
    model.predict(make("XX", {{12}}), &ZZ);
    EXPECT_NEAR(2.0, ZZ.get(0, 0), 1e-12);

    // A failing fit leaves the model not ready.
    model.failFit = true;
    ts.add_point(x, z);
    EXPECT_FALSE(model.build());
    EXPECT_FALSE(model.is_ready());

    EXPECT_EQ("add_points: forbiden.", thrownMessage([&] { model.add_points(X, Z); }));
    EXPECT_EQ("add_point: forbiden.", thrownMessage([&] { model.add_point(x, z); }));
}

TEST(TeskoraSurrogate, Predictions)
{
    TrainingSet ts = lineSet(5);
    ts.set_bbo_type("OBJ CON DUM");
    NearestModel model(ts);
    ASSERT_TRUE(model.build());

    Matrix ZZ, std, ei, cdf;
    model.predict(make("XX", {{1.1}, {3.9}}), &ZZ, &std, &ei, &cdf);
    EXPECT_EQ("ZZ", ZZ.get_name());
    EXPECT_NEAR(1.0, ZZ.get(0, 0), 1e-12);
    EXPECT_NEAR(2.5, ZZ.get(1, 1), 1e-12);
    // A constant output is predicted as its value.
    EXPECT_DOUBLE_EQ(7.0, ZZ.get(0, 2));
    EXPECT_DOUBLE_EQ(7.0, ZZ.get(1, 2));
    // Expected improvement only for the objective.
    EXPECT_GE(ei.get(0, 0), 0.0);
    EXPECT_EQ(0.0, ei.get(0, 1));
    EXPECT_EQ(0.0, ei.get(0, 2));
    // Probabilities stay probabilities; the deviation grows with the
    // distance to the nearest point.
    EXPECT_GE(cdf.get(1, 1), 0.0);
    EXPECT_LE(cdf.get(1, 1), 1.0);
    EXPECT_GT(std.get(0, 0), 0.0);

    // NaN predictions are mapped to the worst values.
    model.nanPredictions = true;
    model.reset_metrics();
    Matrix ZZn, stdn, ein, cdfn;
    model.predict(make("XX", {{1.1}}), &ZZn, &stdn, &ein, &cdfn);
    EXPECT_EQ(ts.Z_unscale(HUGE_VALUE, 0), ZZn.get(0, 0));
    EXPECT_EQ(ts.ZE_unscale(HUGE_VALUE, 0), stdn.get(0, 0));
    EXPECT_EQ(ts.ZE_unscale(-HUGE_VALUE, 0), ein.get(0, 0));
    EXPECT_EQ(0.0, cdfn.get(0, 0));

    std::ostringstream out;
    DiagStreamRedirect redirect(out);
    EXPECT_EQ("predict(): dimension error",
              thrownMessage([&] { model.predict(Matrix("XX", 1, 2), &ZZ); }));
}

namespace
{

// The sample deviation of column j of Z: one unit of scaled output is this
// many units of output.
double outputScale(const Matrix& Z, int j)
{
    const int p = Z.get_nb_rows();
    double mean = 0.0;
    for (int i = 0; i < p; ++i)
        mean += Z.get(i, j) / p;
    double sq = 0.0;
    for (int i = 0; i < p; ++i)
        sq += (Z.get(i, j) - mean) * (Z.get(i, j) - mean);
    return std::sqrt(sq / (p - 1));
}

// Twelve scattered points of two inputs and one smooth output, times c.
TrainingSet scatteredSet(double c)
{
    Matrix X("X", 12, 2), Z("Z", 12, 1);
    for (int i = 0; i < 12; ++i)
    {
        const double x0 = std::sin(1.3 * i + 0.2) * 2.0,
                     x1 = std::cos(2.1 * i + 0.7) * 1.5 + 0.1 * i;
        X.set(i, 0, x0);
        X.set(i, 1, x1);
        Z.set(i, 0, c * (std::sin(2 * x0) + 0.5 * x1 * x1 - x0 * x1));
    }
    return TrainingSet(X, Z);
}

} // namespace

TEST(TeskoraSurrogate, DeviationFollowsTheOutputUnits)
{
    // Outputs in other units (times c) give the same model in scaled space:
    // the deviation must follow the outputs, |c| times, whatever the model.
    const Matrix XX = make("XX", {{0.3, -0.4}, {-1.1, 0.9}, {1.7, 2.2}, {4.0, -3.0}});
    for (const char* definition :
         {"TYPE PRS", "TYPE PRS_EDGE", "TYPE KS KERNEL_COEF 2", "TYPE CN",
          "TYPE RBF PRESET R KERNEL_TYPE D1 KERNEL_COEF 1", "TYPE LOWESS KERNEL_COEF 1",
          "TYPE KRIGING RIDGE 1e-10 BUDGET 0", "TYPE ENSEMBLE PRESET SMALL"})
    {
        SCOPED_TRACE(definition);
        TrainingSet base = scatteredSet(1.0);
        std::unique_ptr<Surrogate, void (*)(Surrogate*)> model(Surrogate_Factory(base, definition),
                                                               surrogate_delete);
        ASSERT_TRUE(model->build());
        Matrix ZZ, std;
        model->predict(XX, &ZZ, &std, nullptr, nullptr);
        for (double c : {1000.0, -0.01})
        {
            SCOPED_TRACE(c);
            TrainingSet other = scatteredSet(c);
            std::unique_ptr<Surrogate, void (*)(Surrogate*)> scaled(
                Surrogate_Factory(other, definition), surrogate_delete);
            ASSERT_TRUE(scaled->build());
            Matrix ZZc, stdc;
            scaled->predict(XX, &ZZc, &stdc, nullptr, nullptr);
            for (int i = 0; i < XX.get_nb_rows(); ++i)
            {
                EXPECT_GT(std.get(i, 0), 0.0) << i;
                EXPECT_NEAR(std::fabs(c) * std.get(i, 0), stdc.get(i, 0),
                            1e-9 * std::fabs(c) * std.get(i, 0))
                    << i;
            }
        }
    }

    // The default deviation: the model's RMSE plus the distance to the
    // closest point in scaled inputs, both in output units.
    TrainingSet ts = scatteredSet(1000.0);
    std::unique_ptr<Surrogate, void (*)(Surrogate*)> prs(Surrogate_Factory(ts, "TYPE PRS DEGREE 1"),
                                                         surrogate_delete);
    ASSERT_TRUE(prs->build());
    Matrix ZZ, std;
    prs->predict(XX, &ZZ, &std, nullptr, nullptr);
    const Matrix dtc = prs->get_distance_to_closest(XX);
    const double sigma = outputScale(ts.get_matrix_Z(), 0);
    const double rmse = prs->get_metric(RMSE, 0);
    EXPECT_GT(rmse, 1.0);
    for (int i = 0; i < XX.get_nb_rows(); ++i)
        EXPECT_NEAR(rmse + dtc.get(i, 0) * sigma, std.get(i, 0), 1e-9 * std.get(i, 0)) << i;
}

TEST(TeskoraSurrogate, OutputFileReceivesOneBlockPerBuild)
{
    const std::string file = ::testing::TempDir() + "teskora_surrogate_output.txt";
    std::remove(file.c_str());
    std::ostringstream out;
    DiagStreamRedirect redirect(out);

    TrainingSet ts = lineSet(4);
    NearestModel quiet(ts, "TYPE CN OUTPUT null");
    ASSERT_TRUE(quiet.build());
    EXPECT_EQ("", out.str());

    NearestModel model(ts, "TYPE CN OUTPUT " + file);
    ASSERT_TRUE(model.build());
    const double x[] = {9}, z[] = {1, 1, 7};
    ts.add_point(x, z);
    ASSERT_TRUE(model.build());
    EXPECT_EQ("Write in " + file + "\nWrite in " + file + "\n", out.str());

    std::ifstream in(file);
    std::stringstream content;
    content << in.rdbuf();
    const std::string text = content.str();
    EXPECT_EQ(0u, text.find("Surrogate: "));
    EXPECT_NE(std::string::npos, text.find("p: 4 (nb points)\n"));
    EXPECT_NE(std::string::npos, text.find("p: 5 (nb points)\n"));
    std::remove(file.c_str());
}

TEST(TeskoraSurrogateMetrics, ExactModelsAndAggregates)
{
    TrainingSet ts = lineSet(5);
    NearestModel model(ts);
    ASSERT_TRUE(model.build());
    for (metric_t mt : {EMAX, RMSE, OE, AOE, ARMSE})
    {
        SCOPED_TRACE(metric_type_to_str(mt));
        EXPECT_EQ(0.0, model.get_metric(mt, 0));
    }
    // Aggregate metrics have one value, at j = 0.
    EXPECT_EQ(HUGE_VALUE, model.get_metric(AOE, 1));
    EXPECT_EQ(HUGE_VALUE, model.get_metric(ARMSECV, 2));
    EXPECT_EQ(1, model.get_metric(AOECV).get_nb_cols());
    // Cross-validation by the nearest other point is not exact.
    EXPECT_GT(model.get_metric(RMSECV, 0), 0.0);

    NearestModel failing(ts);
    failing.failFit = true;
    EXPECT_EQ(HUGE_VALUE, failing.get_metric(RMSE, 0)); // not ready
    EXPECT_EQ(HUGE_VALUE, failing.eval_objective());
}

TEST(TeskoraSurrogateMetrics, OrderErrors)
{
    // p = 4; output 0 the objective, output 1 a constraint.
    TrainingSet ts(make("X", {{0}, {1}, {2}, {3}}), make("Z", {{1, -1}, {2, -1}, {3, 1}, {3, 2}}));
    NearestModel model(ts);
    ASSERT_TRUE(model.build());
    struct Case
    {
        const char* label;
        std::vector<std::vector<double>> shift; // in scaled units
        double oeObjective, oeConstraint;
    };
    const std::vector<Case> cases = {
        {"exact", {{0, 0}, {0, 0}, {0, 0}, {0, 0}}, 0.0, 0.0},
        // Points 0 and 1 swapped: both ordered pairs count.
        {"strict order reversed", {{1.5, 0}, {0, 0}, {0, 0}, {0, 0}}, 2.0 / 16, 0.0},
        // A tie in the data predicted in a strict order: one pair.
        {"tie broken", {{0, 0}, {0, 0}, {0.1, 0}, {0, 0}}, 1.0 / 16, 0.0},
        // Point 2 predicted feasible.
        {"constraint misclassified", {{0, 0}, {0, 0}, {0, -5}, {0, 0}}, 0.0, 1.0 / 4},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        model.shift = c.shift;
        model.reset_metrics();
        EXPECT_NEAR(c.oeObjective, model.get_metric(OE, 0), 1e-15);
        EXPECT_NEAR(c.oeConstraint, model.get_metric(OE, 1), 1e-15);
    }
}

TEST(TeskoraSurrogateMetrics, ErrorsInOutputUnits)
{
    // EMAX and RMSE are in the outputs' units, ARMSE in scaled units.
    TrainingSet ts = lineSet(5);
    NearestModel model(ts);
    ASSERT_TRUE(model.build());
    const std::vector<double> shift = {0.5, -1.0, 0.25, 0.0, 2.0}; // scaled units
    model.shift.assign(5, std::vector<double>(3, 0.0));
    for (int i = 0; i < 5; ++i)
    {
        model.shift[i][0] = shift[i];
        model.shift[i][1] = -0.5 * shift[i];
    }
    model.reset_metrics();
    double emax = 0.0, sq = 0.0;
    for (double d : shift)
    {
        emax = std::max(emax, std::fabs(d));
        sq += d * d;
    }
    const double rmse = std::sqrt(sq / 5);
    const double scale0 = outputScale(ts.get_matrix_Z(), 0),
                 scale1 = outputScale(ts.get_matrix_Z(), 1);
    ASSERT_GT(std::fabs(scale0 - 1.0), 0.5);
    EXPECT_NEAR(emax * scale0, model.get_metric(EMAX, 0), 1e-12);
    EXPECT_NEAR(0.5 * emax * scale1, model.get_metric(EMAX, 1), 1e-12);
    EXPECT_NEAR(rmse * scale0, model.get_metric(RMSE, 0), 1e-12);
    EXPECT_NEAR(0.5 * rmse * scale1, model.get_metric(RMSE, 1), 1e-12);
    EXPECT_EQ(0.0, model.get_metric(RMSE, 2));
    EXPECT_NEAR(1.5 * rmse, model.get_metric(ARMSE, 0), 1e-12);
}

TEST(TeskoraSurrogateMetrics, CleanUpOfMetricValues)
{
    // A metric below -1e-13 (or NaN) is the worst value; one between
    // -1e-13 and 0 is 0; positive values stay.
    class Stored : public NearestModel
    {
    public:
        using NearestModel::NearestModel;
        std::vector<double> values;
        void compute_metric_linv() override
        {
            Matrix v("LINV", 1, static_cast<int>(values.size()));
            for (size_t j = 0; j < values.size(); ++j)
                v.set(0, static_cast<int>(j), values[j]);
            _metrics[LINV] = v;
        }
    };
    Matrix Z("Z", 4, 6);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 6; ++j)
            Z.set(i, j, i * (j + 1) - 0.5 * j);
    TrainingSet ts(make("X", {{0}, {1}, {2}, {3}}), Z);
    Stored model(ts);
    ASSERT_TRUE(model.build());
    model.values = {-5e-14, -2e-13, std::nan(""), -0.0, 3.0, 1e-300};
    const std::vector<double> cleaned = {0.0, HUGE_VALUE, HUGE_VALUE, 0.0, 3.0, 1e-300};
    for (int j = 0; j < 6; ++j)
        EXPECT_EQ(cleaned[j], model.get_metric(LINV, j)) << j;
}

TEST(TeskoraSurrogateMetrics, AggregateOrderRanksFeasibilityBeforeTheObjective)
{
    // Outputs (f, c): A = (5, -1) and C = (3, -2) are feasible, B = (1, 2)
    // is not. Feasible points come first: C, A, B.
    TrainingSet ts(make("X", {{0}, {1}, {2}}), make("Z", {{5, -1}, {1, 2}, {3, -2}}));
    NearestModel model(ts);
    ASSERT_TRUE(model.build());
    auto scaled = [&](std::vector<std::vector<double>> rows)
    {
        for (auto& row : rows)
            for (int j = 0; j < 2; ++j)
                row[j] = ts.Z_scale(row[j], j);
        return make("Zh", rows);
    };
    EXPECT_EQ(0.0, model.compute_aggregate_order_error(model.get_matrix_Zs()));
    // B predicted feasible with the best objective: first in the model's
    // order (B, C, A), last in the data's. The four ordered pairs of B with
    // A and C disagree, out of 9; ranked by the objective alone both orders
    // would agree.
    EXPECT_DOUBLE_EQ(4.0 / 9,
                     model.compute_aggregate_order_error(scaled({{5, -1}, {1, -1}, {3, -2}})));
    // Among infeasible points the smaller violation comes first, whatever
    // the objective: A predicted more violated than B reverses A and B.
    EXPECT_DOUBLE_EQ(2.0 / 9,
                     model.compute_aggregate_order_error(scaled({{5, 1}, {1, 0.5}, {3, -2}})));
}

TEST(TeskoraSurrogateMetrics, ExpectedFeasibleImprovement)
{
    // The expected improvement of the objective times the probability
    // that the constraint holds.
    TrainingSet ts(make("X", {{0}, {1}, {2}}), make("Z", {{5, -1}, {1, 2}, {3, -2}}));
    NearestModel model(ts);
    ASSERT_TRUE(model.build());
    const double fmin = ts.get_fs_min();
    const double c0 = ts.Z_scale(0.0, 1);
    const Matrix Zh = make("Zh", {{fmin - 1, c0 - 3}, {fmin - 1, c0 + 3}, {fmin - 1, c0}});
    const Matrix Sh = make("Sh", {{0.5, 0.1}, {0.5, 0.1}, {0.5, 1.0}});
    const Matrix EFI = model.compute_efi(Zh, Sh);
    const double ei = ts.ZE_unscale(normei(fmin - 1, 0.5, fmin), 0);
    ASSERT_GT(ei, 0.5);
    EXPECT_NEAR(ei, EFI.get(0, 0), 1e-12 * ei);       // surely feasible
    EXPECT_LT(EFI.get(1, 0), 1e-12 * ei);             // surely infeasible
    EXPECT_NEAR(0.5 * ei, EFI.get(2, 0), 1e-12 * ei); // on the boundary
}

TEST(TeskoraSurrogateMetrics, Likelihood)
{
    TrainingSet ts = lineSet(5);
    ts.set_bbo_type("OBJ CON DUM");
    NearestModel model(ts);
    ASSERT_TRUE(model.build());
    // An ignored output has no likelihood: -1, cleaned up to the worst value.
    EXPECT_EQ(HUGE_VALUE, model.get_metric(LINV, 2));

    // Over- and under-predictions by the same amount fit equally badly.
    auto linv = [&](double delta)
    {
        model.shift.assign(5, std::vector<double>(3, 0.0));
        for (auto& row : model.shift)
            row[0] = delta;
        model.reset_metrics();
        return model.get_metric(LINV, 0);
    };
    const double over = linv(0.3), under = linv(-0.3), exact = linv(0.0);
    EXPECT_DOUBLE_EQ(over, under);
    EXPECT_NE(exact, over);
}

TEST(TeskoraSurrogateTuner, DesignAndBudget)
{
    TrainingSet ts = lineSet(5);
    struct Case
    {
        const char* definition;
        std::vector<double> firstTrials;
        double chosen;
    };
    const std::vector<Case> cases = {
        // Nothing to spend: the current value is refitted, then built.
        {"TYPE KS BUDGET 0", {5, 5}, 5},
        // No design below 10 trials: the polls start from the current value.
        {"TYPE KS BUDGET 5", {5}, 0.01},
        // Two design rows are the two bounds, then the current value.
        {"TYPE KS BUDGET 20", {0.01, 100, 5}, 0.01},
        // Under a constant metric the penalty (ln of the coefficient)
        // decides: the design's first row, below the lower bound, is
        // projected onto it and stays best.
        {"TYPE KS", {0.01}, 0.01},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.definition);
        std::srand(1);
        NearestModel model(ts, std::string(c.definition) + " METRIC RMSECV");
        ASSERT_TRUE(model.build());
        ASSERT_GE(model.tried.size(), c.firstTrials.size());
        for (size_t k = 0; k < c.firstTrials.size(); ++k)
            EXPECT_DOUBLE_EQ(c.firstTrials[k], model.tried[k]) << k;
        for (double v : model.tried)
            EXPECT_TRUE(std::isfinite(v));
        EXPECT_DOUBLE_EQ(c.chosen, model.get_param().get_kernel_coef());
        // The budget (100 per tuned value) bounds the trials, give or take
        // one poll.
        EXPECT_LE(model.fits, 100 + 2 + 2);
    }
}

TEST(TeskoraSurrogateTuner, FindsTheBestCoefficient)
{
    TrainingSet ts = lineSet(5);
    std::srand(1);
    NearestModel model(ts, "TYPE KS METRIC RMSECV");
    model.validationError = [](double coef) { return std::log(coef / 2.0); };
    ASSERT_TRUE(model.build());
    EXPECT_NEAR(2.0, model.get_param().get_kernel_coef(), 0.02);
    // The model in use is the one fitted with the chosen value.
    EXPECT_DOUBLE_EQ(model.get_param().get_kernel_coef(), model.tried.back());
}

TEST(TeskoraSurrogateTuner, RepeatsAreSkippedAndRunsRepeat)
{
    TrainingSet ts = lineSet(5);
    // Integer degrees collapse the candidates onto seven values: each is
    // fitted once, and the penalty (the degree) picks 0.
    std::srand(1);
    NearestModel model(ts, "TYPE PRS DEGREE OPTIM METRIC RMSECV");
    ASSERT_TRUE(model.build());
    EXPECT_EQ(0, model.get_param().get_degree());
    std::vector<int> trials(model.degrees.begin(),
                            model.degrees.end() - 2); // less the two final fits
    std::vector<int> distinct = trials;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    EXPECT_EQ(trials.size(), distinct.size());
    EXPECT_LE(distinct.size(), 7u);

    // The same seed gives the same trials.
    auto run = [&]
    {
        std::srand(1);
        NearestModel m(ts, "TYPE KS DISTANCE_TYPE OPTIM METRIC RMSECV");
        m.validationError = [](double coef) { return std::log(coef / 2.0); };
        EXPECT_TRUE(m.build());
        return m.tried;
    };
    const std::vector<double> first = run();
    EXPECT_EQ(first, run());
    EXPECT_GT(first.size(), 20u); // two tuned values: 20 design rows
}

TEST(TeskoraSurrogateTuner, ProjectionAndShuffle)
{
    struct Case
    {
        double v, lb, ub;
        param_domain_t domain;
        double projected;
    };
    const std::vector<Case> cases = {
        {-1, 0, 2, PARAM_DOMAIN_CONTINUOUS, 0},
        {2.5, 0, 2, PARAM_DOMAIN_CONTINUOUS, 2},
        {1.25, 0, 2, PARAM_DOMAIN_CONTINUOUS, 1.25},
        {1.5, 0, 6, PARAM_DOMAIN_INTEGER, 2},
        {-0.5, -3, 6, PARAM_DOMAIN_INTEGER, -1},
        {7.4, 0, 6, PARAM_DOMAIN_INTEGER, 6},
        {0.2, 0, 1, PARAM_DOMAIN_BOOL, 1},
        {0, 0, 1, PARAM_DOMAIN_BOOL, 0},
        // Labels wrap by ub - lb: ub + 1 becomes lb + 1.
        {5, 0, 4, PARAM_DOMAIN_CAT, 1},
        {-1, 0, 4, PARAM_DOMAIN_CAT, 3},
        {10, 0, 4, PARAM_DOMAIN_CAT, 2},
        {2.4, 0, 4, PARAM_DOMAIN_CAT, 2},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.v) + " domain " + std::to_string(c.domain));
        EXPECT_EQ(c.projected, tuner_project(c.v, c.lb, c.ub, c.domain));
    }
    EXPECT_EQ("Invalid variable domain!",
              thrownMessage([] { tuner_project(0, 0, 1, PARAM_DOMAIN_MISC); }));

    // Draws in [0, 1): every row from j on; a draw of exactly 1 stays in.
    EXPECT_EQ(3, tuner_shuffle_row(3, 10, 0.0));
    EXPECT_EQ(9, tuner_shuffle_row(3, 10, 0.999));
    EXPECT_EQ(9, tuner_shuffle_row(3, 10, 1.0));
    EXPECT_EQ(9, tuner_shuffle_row(9, 10, 1.0));
}
