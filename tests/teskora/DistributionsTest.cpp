#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/TeskoraTestSupport.hpp"
#include "teskora/Exception.hpp"
#include "teskora/Utils.hpp"

namespace
{

// P(n, x) for a whole shape n: 1 - exp(-x) * sum_{k<n} x^k / k!.
double wholeShapeGammaCdf(int n, double x)
{
    double term = 1.0, sum = 0.0;
    for (int k = 0; k < n; ++k)
    {
        sum += term;
        term *= x / (k + 1);
    }
    return 1.0 - std::exp(-x) * sum;
}

} // namespace

TEST(TeskoraDistributions, NormalCdfSymmetryAndValues)
{
    EXPECT_EQ(0.5, TESKORA::normcdf(0.0));
    EXPECT_EQ(0.5, TESKORA::normcdf(5e-14));
    for (double x : {1e-12, 0.1, 0.5, 1.0, 1.96, 3.0, 6.0})
    {
        SCOPED_TRACE(x);
        EXPECT_NEAR(1.0, TESKORA::normcdf(x) + TESKORA::normcdf(-x), 1e-15);
        EXPECT_NEAR(0.5 * std::erfc(-x / std::sqrt(2.0)), TESKORA::normcdf(x), 1e-7);
    }
    EXPECT_NEAR(0.398942280401, TESKORA::normpdf(0.0), 1e-15);
    EXPECT_DOUBLE_EQ(TESKORA::normpdf(1.0) / 2, TESKORA::normpdf(3.0, 1.0, 2.0));
    EXPECT_DOUBLE_EQ(TESKORA::normcdf(1.0), TESKORA::normcdf(3.0, 1.0, 2.0));

    // A deviation of zero turns the distribution function into a step at mu.
    EXPECT_NEAR(0.0, TESKORA::normcdf(-1e-11, 0, 0), 1e-12);
    EXPECT_NEAR(1.0, TESKORA::normcdf(1e-11, 0, 0), 1e-12);
}

TEST(TeskoraDistributions, ExpectedImprovement)
{
    struct Case
    {
        double fh, fmin;
    };
    for (const Case& c : std::vector<Case>{{1.0, 3.0}, {3.0, 1.0}, {2.0, 2.0}})
    {
        SCOPED_TRACE(std::to_string(c.fh) + " " + std::to_string(c.fmin));
        EXPECT_NEAR(std::max(c.fmin - c.fh, 0.0), TESKORA::normei(c.fh, 0.0, c.fmin), 1e-12);
        EXPECT_GE(TESKORA::normei(c.fh, 0.7, c.fmin), std::max(c.fmin - c.fh, 0.0));
    }
    // At fh = f_min the improvement is sigma times the density at 0.
    EXPECT_NEAR(2.0 * 0.398942280401, TESKORA::normei(1.0, 2.0, 1.0), 1e-12);
}

TEST(TeskoraDistributions, GammaValues)
{
    EXPECT_NEAR(1.0 - std::exp(-0.5), TESKORA::gammacdf(0.5, 1, 1), 1e-9);
    EXPECT_EQ(0.0, TESKORA::gammacdf(0.0, 2, 1));
    EXPECT_EQ(0.0, TESKORA::gammacdf(-1.0, 2, 1));
    EXPECT_EQ(0.0, TESKORA::lower_incomplete_gamma(1.0, 0.0));

    // Both sides of x = a + 1, where the evaluation changes method; the series
    // stops at a relative term of 1e-9.
    struct Case
    {
        int a;
        double x;
    };
    for (const Case& c : std::vector<Case>{{1, 0.5},
                                           {1, 1.99},
                                           {1, 2.01},
                                           {1, 30},
                                           {3, 0.1},
                                           {3, 3.99},
                                           {3, 4.01},
                                           {3, 20},
                                           {10, 5},
                                           {10, 10.99},
                                           {10, 11.01},
                                           {10, 25},
                                           {50, 45},
                                           {50, 60}})
    {
        SCOPED_TRACE(std::to_string(c.a) + " " + std::to_string(c.x));
        EXPECT_NEAR(wholeShapeGammaCdf(c.a, c.x), TESKORA::lower_incomplete_gamma(c.x, c.a), 1e-9);
        // The scale divides x.
        EXPECT_NEAR(wholeShapeGammaCdf(c.a, c.x), TESKORA::gammacdf(4 * c.x, c.a, 4), 1e-9);
    }
    // Non-whole shape: P(1/2, x) = erf(sqrt(x)).
    for (double x : {0.2, 1.4, 1.6, 9.0})
    {
        SCOPED_TRACE(x);
        EXPECT_NEAR(std::erf(std::sqrt(x)), TESKORA::lower_incomplete_gamma(x, 0.5), 1e-10);
    }
}

TEST(TeskoraDistributions, GammaFarInTheTailIsOneNotZeroOrNaN)
{
    // Summed as a power series these values lose everything: the prefactor
    // exp(a ln x - x) underflows to 0 (or the terms overflow, giving NaN).
    struct Case
    {
        double x, a;
    };
    for (const Case& c : std::vector<Case>{{800, 1}, {2000, 3}, {1e6, 1}, {1e9, 2.5}, {1e300, 1}})
    {
        SCOPED_TRACE(std::to_string(c.x) + " " + std::to_string(c.a));
        EXPECT_NEAR(1.0, TESKORA::gammacdf(c.x, c.a, 1), 1e-12);
    }
    // The quantile of a law of tiny scale runs the bisection over points far
    // in that tail.
    EXPECT_NEAR(1e-3 * std::log(2.0), TESKORA::gammacdfinv(0.5, 1, 1e-3), 1e-9);
}

TEST(TeskoraDistributions, GammaQuantile)
{
    EXPECT_NEAR(std::log(2.0), TESKORA::gammacdfinv(0.5, 1, 1), 1e-9);
    EXPECT_NEAR(-std::log(0.1) * 3, TESKORA::gammacdfinv(0.9, 1, 3), 1e-8);
    EXPECT_EQ(0.0, TESKORA::gammacdfinv(0.0, 2, 1));
    EXPECT_EQ(std::numeric_limits<double>::max(), TESKORA::gammacdfinv(1.0, 2, 1));
    // The bracket never grows past 2048, whatever the true quantile.
    const double capped = TESKORA::gammacdfinv(0.999999999, 1, 1000);
    EXPECT_GT(capped, 2047.0);
    EXPECT_LE(capped, 2048.0);
}

TEST(TeskoraDistributions, ErrorTexts)
{
    struct Case
    {
        const char* name;
        std::function<void()> call;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"normpdf sigma 0", [] { TESKORA::normpdf(0, 0, 0); },
         "Surrogate_Utils::normpdf: sigma is NULL"},
        {"normpdf sigma tiny", [] { TESKORA::normpdf(0, 0, 1e-14); },
         "Surrogate_Utils::normpdf: sigma is NULL"},
        {"normcdf sigma -1", [] { TESKORA::normcdf(0, 0, -1); },
         "Surrogate_Utils::normcdf: sigma is <0"},
        {"normei sigma -1", [] { TESKORA::normei(0, -1, 0); },
         "Surrogate_Utils::normei: sigma is <0"},
        {"gammacdf a 0", [] { TESKORA::gammacdf(1, 0, 1); },
         "Surrogate_Utils::gammacdf: a or b is <0"},
        {"gammacdf b -1", [] { TESKORA::gammacdf(1, 1, -1); },
         "Surrogate_Utils::gammacdf: a or b is <0"},
        {"gammacdfinv b 0", [] { TESKORA::gammacdfinv(0.5, 1, 0); },
         "Surrogate_Utils::gammacdfinv: a or b is <=0"},
        // The shape is checked before the probability.
        {"gammacdfinv a 0 f 2", [] { TESKORA::gammacdfinv(2, 0, 1); },
         "Surrogate_Utils::gammacdfinv: a or b is <=0"},
        {"gammacdfinv f 1.5", [] { TESKORA::gammacdfinv(1.5, 1, 1); },
         "Surrogate_Utils::gammacdfinv: f<0 or f>1"},
        {"gammacdfinv f -0.1", [] { TESKORA::gammacdfinv(-0.1, 1, 1); },
         "Surrogate_Utils::gammacdfinv: f<0 or f>1"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.message, TeskoraTest::thrownMessage(c.call));
    }
    EXPECT_NO_THROW(TESKORA::normcdf(0, 0, -5e-14));
    EXPECT_NO_THROW(TESKORA::normei(0, -5e-14, 1));
}

TEST(TeskoraDistributions, QuickNormalDrawsAreRoughlyStandard)
{
    std::srand(20261210);
    const int n = 20000;
    double sum = 0.0, sumSq = 0.0, maxAbs = 0.0;
    for (int i = 0; i < n; ++i)
    {
        const double v = TESKORA::quick_norm_rand();
        sum += v;
        sumSq += v * v;
        maxAbs = std::max(maxAbs, std::fabs(v));
    }
    const double mean = sum / n;
    EXPECT_NEAR(0.0, mean, 0.05);
    EXPECT_NEAR(1.0, sumSq / n - mean * mean, 0.05);
    EXPECT_LE(maxAbs, 8.49);

    std::srand(7);
    const double u = TESKORA::uniform_rand();
    std::srand(7);
    EXPECT_EQ(std::rand() / 2147483647.0, u);
}
