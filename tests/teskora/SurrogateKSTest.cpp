#include "teskora/SurrogateKS.hpp"
#include "support/TeskoraTestSupport.hpp"
#include "teskora/Diagnostics.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

using namespace TESKORA;
using TeskoraTest::make;
using TeskoraTest::thrownMessage;

namespace
{

// Inputs 0, 1, 3, 7 with outputs 10, 20, 40, 80 (scaled distances are the
// user distances times one factor).
TrainingSet fourPoints()
{
    return TrainingSet(make("X", {{0}, {1}, {3}, {7}}), make("Z", {{10}, {20}, {40}, {80}}));
}

double predictAt(Surrogate& model, double x)
{
    Matrix ZZ;
    model.predict(make("XX", {{x}}), &ZZ);
    return ZZ.get(0, 0);
}

// The D1-weighted mean of the outputs seen from x, skipping point `skip`.
double weightedMean(const TrainingSet& ts, double ks, double x, int skip)
{
    const std::vector<double> xs = {0, 1, 3, 7}, zs = {10, 20, 40, 80};
    const double factor = ts.X_scale(1.0, 0) - ts.X_scale(0.0, 0);
    double w = 0, v = 0;
    for (int k = 0; k < 4; ++k)
    {
        if (k == skip)
            continue;
        const double r = ks * factor * std::fabs(x - xs[k]);
        const double phi = std::exp(-3.141592654 * r * r);
        w += phi;
        v += phi * zs[k];
    }
    return v / w;
}

} // namespace

TEST(TeskoraKS, RelativeCoefficientAndLeaveOneOut)
{
    TrainingSet ts = fourPoints();
    Surrogate_KS model(ts, Surrogate_Parameters("TYPE KS KERNEL_COEF 5"));
    ASSERT_TRUE(model.build());
    // The coefficient is divided by the mean distance between points.
    const double ks = 5.0 / ts.get_Ds_mean();
    for (double x : {0.0, 0.4, 2.0, 5.5})
    {
        SCOPED_TRACE(x);
        EXPECT_NEAR(weightedMean(ts, ks, x, -1), predictAt(model, x), 1e-9);
    }
    const Matrix Zh = model.get_matrix_Zh();
    const Matrix Zv = model.get_matrix_Zv();
    const std::vector<double> xs = {0, 1, 3, 7};
    for (int i = 0; i < 4; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_NEAR(weightedMean(ts, ks, xs[i], -1), Zh.get(i, 0), 1e-9);
        EXPECT_NEAR(weightedMean(ts, ks, xs[i], i), Zv.get(i, 0), 1e-9);
    }
    std::ostringstream out;
    model.display_private(out);
    EXPECT_EQ("(No special members)\n", out.str());
}

TEST(TeskoraKS, VanishingWeights)
{
    TrainingSet ts = fourPoints();
    struct Case
    {
        const char* kernel;
        double x;
        const char* outcome; // a value, or the message
    };
    // Far from every point a compact kernel (D4, D5, D7) has no weight, and D1
    // underflows; D1, D4, D5 answer with the nearest point.
    const std::vector<Case> cases = {
        {"D4", 100, "80"},
        {"D5", -100, "10"},
        {"D1", 1e6, "80"},
        {"D7", 100, "Surrogate_KS::predict_private: Unacceptable kernel type"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.kernel);
        Surrogate_KS model(
            ts, Surrogate_Parameters(std::string("TYPE KS KERNEL_COEF 3 KERNEL_TYPE ") + c.kernel));
        ASSERT_TRUE(model.build());
        std::string outcome;
        const std::string message = thrownMessage(
            [&]
            {
                std::ostringstream v;
                v << predictAt(model, c.x);
                outcome = v.str();
            });
        EXPECT_EQ(c.outcome, message == "no exception" ? outcome : message);
    }

    // A compact kernel narrower than the gaps: each point sees only itself,
    // so its in-sample value is its own output, and its left-out value the
    // nearest other point's (D4), or an error (D7).
    Surrogate_KS narrow(ts, Surrogate_Parameters("TYPE KS KERNEL_COEF 50 KERNEL_TYPE D4"));
    ASSERT_TRUE(narrow.build());
    TeskoraTest::expectEntries(narrow.get_matrix_Zh(), {{10}, {20}, {40}, {80}});
    TeskoraTest::expectEntries(narrow.get_matrix_Zv(), {{20}, {10}, {20}, {40}});
    Surrogate_KS strict(ts, Surrogate_Parameters("TYPE KS KERNEL_COEF 50 KERNEL_TYPE D7"));
    ASSERT_TRUE(strict.build());
    EXPECT_EQ("Surrogate_KS::predict_private: Unacceptable kernel type",
              thrownMessage([&] { strict.get_matrix_Zvs(); }));
}

TEST(TeskoraKS, TooFewDistinctPointsFailTheBuild)
{
    // Identical points have no mean distance: no model rather than NaN
    // predictions everywhere.
    TrainingSet same(make("X", {{1, 2}, {1, 2}, {1, 2}}), make("Z", {{1}, {2}, {3}}));
    Surrogate_KS model(same, Surrogate_Parameters("TYPE KS KERNEL_COEF 1"));
    EXPECT_FALSE(model.build());
    EXPECT_FALSE(model.is_ready());

    // The tuned default coefficient builds on a usable set.
    TrainingSet ts = fourPoints();
    std::srand(1);
    Surrogate_KS tuned(ts, Surrogate_Parameters("TYPE KS"));
    EXPECT_TRUE(tuned.build());
    EXPECT_TRUE(std::isfinite(predictAt(tuned, 2.0)));
}
