#include "teskora/SurrogateLOWESS.hpp"
#include "support/TeskoraTestSupport.hpp"
#include "teskora/Diagnostics.hpp"
#include "teskora/Kernel.hpp"
#include "teskora/Utils.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

using namespace TESKORA;
using TeskoraTest::Function;
using TeskoraTest::make;
using TeskoraTest::Point;
using TeskoraTest::predictAt;
using TeskoraTest::rowsOf;
using TeskoraTest::sampled;
using TeskoraTest::thrownMessage;
using TeskoraTest::valuesOf;

namespace
{

// p scattered points in [-2, 2]^n (a low-discrepancy sequence); every input
// takes p distinct values and no quadratic relation holds between inputs.
std::vector<Point> scattered(int p, int n, int first = 0)
{
    const double step[] = {0.6180339887498949, 0.7548776662466927, 0.5698402909980532,
                           0.4301597090019468};
    std::vector<Point> points;
    for (int i = first; i < first + p; ++i)
    {
        Point x(static_cast<size_t>(n));
        for (int k = 0; k < n; ++k)
        {
            const double t = (i + 1) * step[k % 4] + 0.1 * k;
            x[k] = 4.0 * (t - std::floor(t)) - 2.0;
        }
        points.push_back(x);
    }
    return points;
}

std::string shownQ(const Surrogate& model)
{
    std::ostringstream out;
    model.display_private(out);
    return out.str();
}

// Sees how the local systems were solved.
class Probe : public Surrogate_LOWESS
{
public:
    using Surrogate_LOWESS::Surrogate_LOWESS;
    long choleskys() const { return _nb_cholesky; }
    long refinements() const { return _nb_refinements; }
};

} // namespace

TEST(TeskoraLOWESS, BasisFollowsDegreeAndDistinctPoints)
{
    // Three inputs with more than two values each: 10, 7 or 4 regressors
    // need more distinct points than that.
    struct Case
    {
        int inputs, points, degree;
        const char* q;
    };
    for (const Case& c : std::vector<Case>{{3, 11, 2, "q: 10\n"},
                                           {3, 10, 2, "q: 7\n"},
                                           {3, 8, 2, "q: 7\n"},
                                           {3, 7, 2, "q: 4\n"},
                                           {3, 5, 2, "q: 4\n"},
                                           {3, 4, 2, "q: 1\n"},
                                           {3, 11, 1, "q: 4\n"},
                                           {3, 11, 0, "q: 1\n"},
                                           {1, 5, 2, "q: 3\n"}})
    {
        SCOPED_TRACE(std::to_string(c.inputs) + " inputs, " + std::to_string(c.points) +
                     " points, degree " + std::to_string(c.degree));
        TrainingSet ts =
            sampled(scattered(c.points, c.inputs), [](const Point& x) { return Point{x[0]}; });
        const std::string definition =
            "TYPE LOWESS KERNEL_COEF 1 DEGREE " + std::to_string(c.degree);
        Surrogate_LOWESS model(ts, Surrogate_Parameters(definition));
        ASSERT_TRUE(model.build());
        EXPECT_EQ(c.q, shownQ(model));
    }

    // A binary input counts among the linear terms but not the squares.
    std::vector<Point> points = scattered(8, 2);
    for (size_t i = 0; i < points.size(); ++i)
        points[i][1] = static_cast<double>(i % 2);
    TrainingSet binary = sampled(points, [](const Point& x) { return Point{x[0]}; });
    Surrogate_LOWESS model(binary, Surrogate_Parameters("TYPE LOWESS KERNEL_COEF 1"));
    ASSERT_TRUE(model.build());
    EXPECT_EQ("q: 4\n", shownQ(model));
}

TEST(TeskoraLOWESS, WorkArraysFollowEachBuild)
{
    auto f = [](const Point& x) {
        return Point{1 + x[0] * x[1] - x[2] * x[2] + 0.5 * x[1], x[2] - x[0]};
    };
    TrainingSet ts = sampled(scattered(4, 3), f);
    Surrogate_LOWESS model(ts, Surrogate_Parameters("TYPE LOWESS KERNEL_COEF 0.3 RIDGE 0"));
    ASSERT_TRUE(model.build());
    EXPECT_EQ("q: 1\n", shownQ(model));
    predictAt(model, {0.1, 0.2, 0.3});

    // Grown to 12 points the full quadratic fits, and reproduces f.
    const std::vector<Point> more = scattered(8, 3, 4);
    ASSERT_TRUE(ts.add_points(rowsOf(more), rowsOf(valuesOf(more, f))));
    ASSERT_TRUE(model.build());
    EXPECT_EQ("q: 10\n", shownQ(model));
    for (const Point& x : {Point{0.1, 0.2, 0.3}, Point{-1.5, 0.7, 1.9}})
    {
        const Point z = predictAt(model, x);
        EXPECT_NEAR(f(x)[0], z[0], 1e-8);
        EXPECT_NEAR(f(x)[1], z[1], 1e-8);
    }
}

TEST(TeskoraLOWESS, RegressorsAndTheirCut)
{
    // Each case: the function, whether the basis holds it exactly.
    struct Case
    {
        const char* label;
        Function f;
        bool exact;
    };
    auto check = [](Surrogate& model, const std::vector<Case>& cases, const std::vector<Point>& at,
                    TrainingSet& ts, const std::vector<Point>& points)
    {
        for (const Case& c : cases)
        {
            SCOPED_TRACE(c.label);
            ASSERT_TRUE(
                ts.partial_reset_and_add_points(rowsOf(points), rowsOf(valuesOf(points, c.f))));
            ASSERT_TRUE(model.build());
            double worst = 0;
            for (const Point& x : at)
                worst = std::max(worst, std::fabs(c.f(x)[0] - predictAt(model, x)[0]));
            if (c.exact)
                EXPECT_LT(worst, 1e-7);
            else
                EXPECT_GT(worst, 1e-3);
        }
    };
    auto one = [](const Point&) { return Point{0}; };

    // Level 20 on two inputs: linear, squares and the product.
    {
        const std::vector<Point> points = scattered(12, 2);
        TrainingSet ts = sampled(points, one);
        Surrogate_LOWESS model(ts, Surrogate_Parameters("TYPE LOWESS KERNEL_COEF 0.5 RIDGE 0"));
        check(model,
              {{"full quadratic",
                [](const Point& x) {
                    return Point{1 + x[0] - 2 * x[1] + x[0] * x[0] - 3 * x[0] * x[1] +
                                 0.5 * x[1] * x[1]};
                },
                true}},
              {{0.3, -0.4}, {2.5, 1.0}, {-1, 1}}, ts, points);
        EXPECT_EQ("q: 6\n", shownQ(model));
    }
    // Level 15 (six distinct points): squares but no product.
    {
        const std::vector<Point> points = scattered(6, 2);
        TrainingSet ts = sampled(points, one);
        Surrogate_LOWESS model(ts, Surrogate_Parameters("TYPE LOWESS KERNEL_COEF 0.5 RIDGE 0"));
        check(model,
              {{"squares",
                [](const Point& x) { return Point{1 + x[0] + x[0] * x[0] - x[1] * x[1]}; }, true},
               {"product", [](const Point& x) { return Point{x[0] * x[1]}; }, false}},
              {{0.3, -0.4}, {1.5, 1.0}}, ts, points);
        EXPECT_EQ("q: 5\n", shownQ(model));
    }
    // A constant middle input takes a linear place (its column only meets
    // the ridge) and pushes the last square, that of x1, past the cut.
    {
        std::vector<Point> points;
        for (const Point& x : scattered(12, 2))
            points.push_back({x[0], 5.0, x[1]});
        TrainingSet ts = sampled(points, one);
        Surrogate_LOWESS model(ts, Surrogate_Parameters("TYPE LOWESS KERNEL_COEF 0.5 RIDGE 1e-12"));
        check(model,
              {{"x0 square and product",
                [](const Point& x) { return Point{x[0] * x[0] + x[0] * x[2] + x[2]}; }, true},
               {"x1 square", [](const Point& x) { return Point{x[2] * x[2]}; }, false}},
              {{0.3, 5, -0.4}, {1.5, 5, 1.0}}, ts, points);
        EXPECT_EQ("q: 6\n", shownQ(model));
    }
}

TEST(TeskoraLOWESS, PresetsTransformDistancesIntoKernelArguments)
{
    // Degree 0: the prediction is the kernel-weighted mean of the outputs,
    // so it shows the kernel arguments of each preset. Scaled inputs are
    // symmetric about 0, so the point 0 lies exactly as far from -1 as from
    // 1 (and from -3 as from 3): ties rank in index order.
    const std::vector<double> xs = {-3, -1, 1, 3}, zs = {10, 20, 40, 80};
    TrainingSet ts(make("X", {{-3}, {-1}, {1}, {3}}), make("Z", {{10}, {20}, {40}, {80}}));
    ts.build();
    const double scale = ts.X_scale(1.0, 0) - ts.X_scale(0.0, 0);
    const double ks = 0.5;
    const int p = 4;

    auto expected = [&](const std::string& preset, double x)
    {
        std::vector<double> d(p), rank(p), arg(p);
        double mean = 0, var = 0;
        for (int a = 0; a < p; ++a)
        {
            d[a] = scale * std::fabs(x - xs[a]);
            mean += d[a] * d[a] / p;
        }
        for (int a = 0; a < p; ++a)
        {
            var += (d[a] * d[a] - mean) * (d[a] * d[a] - mean) / p;
            rank[a] = 0;
            for (int b = 0; b < p; ++b)
                rank[a] += (d[b] < d[a] || (d[b] == d[a] && b < a)) ? 1 : 0;
        }
        const double ka = mean * mean / var, kb = var / mean;
        const double nearest = *std::min_element(d.begin(), d.end());
        for (int a = 0; a < p; ++a)
        {
            if (preset == "D")
                arg[a] = d[a];
            else if (preset == "DEN") // q = 1: half the nearest distance
                arg[a] = d[a] == 0 ? 0 : d[a] / (2 * nearest);
            else if (preset == "DGN")
                arg[a] = d[a] / std::sqrt(gammacdfinv(1.0 / p, ka, kb));
            else if (preset == "RE")
                arg[a] = rank[a];
            else if (preset == "REN")
                arg[a] = rank[a] / (p - 1);
            else if (preset == "RG")
                arg[a] = gammacdf(d[a] * d[a], ka, kb) * (p - 1);
            else
                arg[a] = gammacdf(d[a] * d[a], ka, kb);
        }
        double w = 0, v = 0;
        for (int a = 0; a < p; ++a)
        {
            const double phi = kernel(D1, ks, arg[a]);
            w += phi;
            v += phi * zs[a];
        }
        return v / w;
    };

    for (const char* preset : {"D", "DEN", "DGN", "RE", "REN", "RG", "RGN"})
    {
        const std::string definition =
            std::string("TYPE LOWESS DEGREE 0 KERNEL_COEF 0.5 PRESET ") + preset;
        Surrogate_LOWESS model(ts, Surrogate_Parameters(definition));
        ASSERT_TRUE(model.build());
        for (double x : {0.0, 0.4, 2.5, 1.0, 8.0})
        {
            SCOPED_TRACE(std::string(preset) + " at " + std::to_string(x));
            const double z = predictAt(model, {x})[0];
            EXPECT_TRUE(std::isfinite(z));
            EXPECT_NEAR(expected(preset, x), z, 1e-9);
        }
    }

    // At a training point the half-nearest-distance normaliser is 0: that
    // point keeps the argument 0 and alone carries weight.
    Surrogate_LOWESS den(ts,
                         Surrogate_Parameters("TYPE LOWESS DEGREE 0 KERNEL_COEF 0.5 PRESET DEN"));
    ASSERT_TRUE(den.build());
    EXPECT_NEAR(40.0, predictAt(den, {1.0})[0], 1e-12);
    // Ranks ignore how far the neighbours are, only their order.
    Surrogate_LOWESS re(ts, Surrogate_Parameters("TYPE LOWESS DEGREE 0 KERNEL_COEF 0.5 PRESET RE"));
    ASSERT_TRUE(re.build());
    EXPECT_DOUBLE_EQ(predictAt(re, {0.9})[0], predictAt(re, {0.2})[0]);
}

TEST(TeskoraLOWESS, ReproducesLinearFunctionsWithEveryPreset)
{
    auto f = [](const Point& x) { return Point{3 + 2 * x[0] - x[1], x[0] - 4 * x[1]}; };
    const std::vector<Point> points = scattered(16, 2);
    TrainingSet ts = sampled(points, f);
    for (const char* preset : {"D", "DEN", "DGN", "RE", "REN", "RG", "RGN"})
        for (int degree : {1, 2})
        {
            SCOPED_TRACE(std::string(preset) + " degree " + std::to_string(degree));
            Surrogate_LOWESS model(
                ts,
                Surrogate_Parameters("TYPE LOWESS KERNEL_COEF 0.1 RIDGE 0 PRESET " +
                                     std::string(preset) + " DEGREE " + std::to_string(degree)));
            ASSERT_TRUE(model.build());
            for (const Point& x : {Point{0.2, -0.3}, Point{4, 5}, points[3]})
            {
                const Point z = predictAt(model, x);
                EXPECT_NEAR(f(x)[0], z[0], 1e-8);
                EXPECT_NEAR(f(x)[1], z[1], 1e-8);
            }
            // Leave-one-out fits of a linear function are exact too.
            EXPECT_NEAR(0.0, model.get_metric(RMSECV, 0), 1e-8);
            EXPECT_NEAR(0.0, model.get_metric(RMSECV, 1), 1e-8);
        }
}

TEST(TeskoraLOWESS, CrossValidationLeavesThePointOut)
{
    const std::vector<double> xs = {0, 1, 3, 7}, zs = {10, 20, 40, 80};
    TrainingSet ts(make("X", {{0}, {1}, {3}, {7}}), make("Z", {{10}, {20}, {40}, {80}}));
    ts.build();
    const double scale = ts.X_scale(1.0, 0) - ts.X_scale(0.0, 0);

    // Degree 0, raw distances: the weighted mean of the other points.
    Surrogate_LOWESS model(ts,
                           Surrogate_Parameters("TYPE LOWESS DEGREE 0 PRESET D KERNEL_COEF 0.7"));
    ASSERT_TRUE(model.build());
    const Matrix Zv = model.get_matrix_Zv();
    for (int a = 0; a < 4; ++a)
    {
        double w = 0, v = 0;
        for (int b = 0; b < 4; ++b)
            if (b != a)
            {
                const double phi = kernel(D1, 0.7, scale * std::fabs(xs[a] - xs[b]));
                w += phi;
                v += phi * zs[b];
            }
        EXPECT_NEAR(v / w, Zv.get(a, 0), 1e-9) << "point " << a;
    }

    // No other point within the kernel's support: every weight, the point's
    // own included, becomes 1.
    const std::string compact =
        "TYPE LOWESS DEGREE 0 PRESET D KERNEL_TYPE D4 KERNEL_COEF " + dtos(2.0 / scale);
    Surrogate_LOWESS narrow(ts, Surrogate_Parameters(compact));
    ASSERT_TRUE(narrow.build());
    const Matrix Zn = narrow.get_matrix_Zv();
    for (int a = 0; a < 4; ++a)
        EXPECT_NEAR(37.5, Zn.get(a, 0), 1e-12) << "point " << a;

    // DGN with q = p - 1 in cross-validation: the quantile is the largest
    // double and every argument practically 0, an unweighted linear fit.
    TrainingSet three(make("X", {{0}, {1}, {3}}), make("Z", {{1}, {3}, {7}}));
    Surrogate_LOWESS dgn(three, Surrogate_Parameters("TYPE LOWESS DEGREE 1 RIDGE 0 KERNEL_COEF 1"));
    ASSERT_TRUE(dgn.build());
    EXPECT_EQ("q: 2\n", shownQ(dgn));
    const Matrix Zv3 = dgn.get_matrix_Zv();
    const double line[] = {1, 3, 7};
    for (int a = 0; a < 3; ++a)
        EXPECT_NEAR(line[a], Zv3.get(a, 0), 1e-9) << "point " << a;
}

TEST(TeskoraLOWESS, CrossValidationEqualsRefitsWithoutThePointForEveryPreset)
{
    // One input and no ridge: the presets that normalise the distances
    // (by a quantile, a gamma law or ranks) give the same fit whatever the
    // input's scale, so a model built on the other points, with its own
    // scaling, must predict point a exactly as the cross-validation does.
    // The left-out point's own zero distance has no place in the moments,
    // the ranks or the counts.
    // No two distances from one point tie: a tie is ranked by rounding.
    const std::vector<double> xs = {0.591,  2.2341, 2.4664, 1.3922, 0.1045, -0.1423,
                                    1.1186, 3.2131, 4.836,  5.0392, 3.9489, 2.6703};
    auto f = [](double x) { return std::sin(2 * x) + 0.3 * x * x; };
    std::vector<Point> points;
    for (double x : xs)
        points.push_back({x});
    const Function g = [&](const Point& x) { return Point{f(x[0])}; };
    TrainingSet ts = sampled(points, g);
    for (const char* preset : {"DEN", "DGN", "RE", "REN", "RG", "RGN"})
        for (const char* kernel : {"D1", "D4"})
        {
            SCOPED_TRACE(std::string(preset) + " " + kernel);
            const std::string definition =
                std::string("TYPE LOWESS DEGREE 1 RIDGE 0 KERNEL_COEF 0.8 PRESET ") + preset +
                " KERNEL_TYPE " + kernel;
            Surrogate_LOWESS model(ts, Surrogate_Parameters(definition));
            ASSERT_TRUE(model.build());
            const Matrix Zv = model.get_matrix_Zv();
            for (size_t a = 0; a < points.size(); ++a)
            {
                std::vector<Point> others = points;
                others.erase(others.begin() + static_cast<long>(a));
                TrainingSet without = sampled(others, g);
                Surrogate_LOWESS refit(without, Surrogate_Parameters(definition));
                ASSERT_TRUE(refit.build());
                EXPECT_NEAR(predictAt(refit, points[a])[0], Zv.get(static_cast<int>(a), 0), 1e-7)
                    << "point " << a;
            }
        }
}

TEST(TeskoraLOWESS, NearestPointFallbackOnSingularSystems)
{
    // Ten points on a line, a compact kernel reaching 1.5 units: a point
    // with a single neighbour in reach gets a singular linear system.
    auto f = [](const Point& x) { return Point{2 * x[0] + 1}; };
    std::vector<Point> points;
    for (int i = 0; i < 10; ++i)
        points.push_back({static_cast<double>(i)});
    TrainingSet ts = sampled(points, f);
    ts.build();
    const double scale = ts.X_scale(1.0, 0) - ts.X_scale(0.0, 0);
    const std::string definition =
        "TYPE LOWESS DEGREE 1 RIDGE 0 PRESET D KERNEL_TYPE D4 KERNEL_COEF " +
        dtos(15.0 / (16.0 * 1.5 * scale));

    Probe model(ts, Surrogate_Parameters(definition));
    ASSERT_TRUE(model.build());
    EXPECT_EQ("q: 2\n", shownQ(model));
    // Only point 0 in reach: its outputs.
    EXPECT_NEAR(1.0, predictAt(model, {-1.2})[0], 1e-12);
    // The singular system left an undefined solution behind; the next
    // point starts afresh instead of inheriting it, and fits exactly.
    const long before = model.choleskys();
    EXPECT_NEAR(9.6, predictAt(model, {4.3})[0], 1e-9);
    EXPECT_EQ(before + 1, model.choleskys());

    // Leaving point 0 out, only point 1 is in reach: the fallback takes the
    // nearest other point, never the left-out one. Inner points fit exactly.
    const Matrix Zv = model.get_matrix_Zv();
    EXPECT_NEAR(3.0, Zv.get(0, 0), 1e-12);
    EXPECT_NEAR(17.0, Zv.get(9, 0), 1e-12);
    for (int a = 1; a < 9; ++a)
        EXPECT_NEAR(2.0 * a + 1, Zv.get(a, 0), 1e-9) << "point " << a;
}

TEST(TeskoraLOWESS, WarmStartedSolves)
{
    auto f = [](const Point& x) { return Point{std::sin(x[0]) + x[1] * x[1]}; };
    const std::vector<Point> points = scattered(14, 2);
    TrainingSet ts = sampled(points, f);
    const Surrogate_Parameters param("TYPE LOWESS KERNEL_COEF 0.8");
    Probe model(ts, param);
    ASSERT_TRUE(model.build());
    auto fresh = [&](const Point& x)
    {
        Surrogate_LOWESS other(ts, param);
        EXPECT_TRUE(other.build());
        return predictAt(other, x)[0];
    };

    // Starting from zeros: a factorisation.
    const double z0 = predictAt(model, {0.3, 0.4})[0];
    EXPECT_EQ(1, model.choleskys());
    EXPECT_EQ(0, model.refinements());
    // The same point again: the previous solution already solves it.
    EXPECT_EQ(z0, predictAt(model, {0.3, 0.4})[0]);
    EXPECT_EQ(1, model.choleskys());
    EXPECT_EQ(1, model.refinements());
    // A nearby point refines the previous solution.
    EXPECT_NEAR(fresh({0.3 + 1e-7, 0.4}), predictAt(model, {0.3 + 1e-7, 0.4})[0], 1e-5);
    EXPECT_EQ(1, model.choleskys());
    EXPECT_EQ(2, model.refinements());
    // A point far away needs a new factorisation.
    EXPECT_NEAR(fresh({-1.5, 1.2}), predictAt(model, {-1.5, 1.2})[0], 1e-12);
    EXPECT_EQ(2, model.choleskys());

    // A new build restarts from zeros.
    const std::vector<Point> more = scattered(1, 2, 20);
    ASSERT_TRUE(ts.add_points(rowsOf(more), rowsOf(valuesOf(more, f))));
    ASSERT_TRUE(model.build());
    predictAt(model, {-1.5, 1.2});
    EXPECT_EQ(3, model.choleskys());
    EXPECT_EQ(2, model.refinements());
}

TEST(TeskoraLOWESS, TunedDegreeChangesTheBasis)
{
    // A quadratic: only degree 2 leaves no leave-one-out error. Each trial
    // must fit with its own degree, or all score alike and the penalty
    // picks degree 0.
    std::vector<Point> points;
    for (int i = 0; i < 8; ++i)
        points.push_back({0.7 * i});
    TrainingSet ts = sampled(points, [](const Point& x) { return Point{x[0] * x[0] - 2 * x[0]}; });
    std::vector<double> rmsecv;
    for (int degree : {0, 1, 2})
    {
        const std::string definition =
            "TYPE LOWESS KERNEL_COEF 0.5 RIDGE 0 DEGREE " + std::to_string(degree);
        Surrogate_LOWESS fixed(ts, Surrogate_Parameters(definition));
        ASSERT_TRUE(fixed.build());
        rmsecv.push_back(fixed.get_metric(RMSECV, 0));
    }
    EXPECT_GT(rmsecv[0], 1e-3);
    EXPECT_GT(rmsecv[1], 1e-3);
    EXPECT_LT(rmsecv[2], 1e-8);

    Surrogate_LOWESS tuned(
        ts, Surrogate_Parameters(
                "TYPE LOWESS DEGREE OPTIM KERNEL_COEF 0.5 RIDGE 0 METRIC_TYPE RMSECV"));
    ASSERT_TRUE(tuned.build());
    EXPECT_EQ(2, tuned.get_param().get_degree());
    EXPECT_EQ("q: 3\n", shownQ(tuned));
    EXPECT_LT(tuned.get_metric(RMSECV, 0), 1e-8);
}

TEST(TeskoraLOWESS, Messages)
{
    std::ostringstream out;
    const DiagStreamRedirect redirect(out);
    TrainingSet ts(make("X", {{0}, {1}, {3}}), make("Z", {{1}, {3}, {7}}));
    Surrogate_LOWESS model(ts, Surrogate_Parameters("TYPE LOWESS KERNEL_COEF 1"));
    Matrix ZZ;
    TeskoraTest::expectErrors({
        {"cross-validation before build", [&] { model.get_matrix_Zvs(); },
         "check_ready(): Not ready!"},
        {"prediction before build", [&] { model.predict(make("XX", {{0.5}}), &ZZ); },
         "check_ready(): Not ready!"},
    });
    ASSERT_TRUE(model.build());
    TeskoraTest::expectErrors({
        {"no row", [&] { model.predict(Matrix("XX", 0, 1), &ZZ); },
         "predict_private_single : XXs must have only one row."},
        {"two rows",
         [&] {
             model.predict_private_single(make("XXs", {{0}, {1}}), -1);
         },
         "predict_private_single : XXs must have only one row."},
        {"left-out index", [&] { model.predict_private_single(make("XXs", {{0}}), 3); },
         "predict_private_single : index out of range."},
    });

    // Squared distances cannot be negative; the check stands guard anyway.
    double mean = 0, var = 0;
    const double negative[] = {-1, -3};
    out.str("");
    EXPECT_EQ(
        "Error on computation of mean and var",
        thrownMessage([&] { Surrogate_LOWESS::compute_moments(negative, 2, 2.0, mean, var); }));
    EXPECT_EQ("mean: -2\nvar: 1\n", out.str());
    // Equal distances have no spread: a small variance keeps the gamma fit
    // defined.
    const double equal[] = {4, 4, 4};
    Surrogate_LOWESS::compute_moments(equal, 3, 3.0, mean, var);
    EXPECT_EQ(4.0, mean);
    EXPECT_EQ(1e-13, var);

    // One distinct point: nothing to build on.
    TrainingSet same(make("X", {{2}, {2}, {2}}), make("Z", {{1}, {2}, {3}}));
    Surrogate_LOWESS none(same, Surrogate_Parameters("TYPE LOWESS KERNEL_COEF 1"));
    EXPECT_FALSE(none.build());
    EXPECT_EQ("check_ready(): Not ready!",
              thrownMessage([&] { none.predict(make("XX", {{2}}), &ZZ); }));
}
