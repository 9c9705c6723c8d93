#include "support/TeskoraTestSupport.hpp"
#include "teskora/Diagnostics.hpp"
#include "teskora/SurrogateCN.hpp"
#include "teskora/SurrogateEnsemble.hpp"
#include "teskora/SurrogateFactory.hpp"
#include "teskora/SurrogatePRS.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace TESKORA;
using TeskoraTest::expectEntries;
using TeskoraTest::make;
using TeskoraTest::Point;
using TeskoraTest::sampled;
using TeskoraTest::thrownMessage;

namespace
{

// Points of a small irregular grid in two inputs.
std::vector<Point> grid2(int a, int b)
{
    std::vector<Point> points;
    for (int i = 0; i < a; ++i)
        for (int j = 0; j < b; ++j)
            points.push_back({i * 0.7 - 1.0 + 0.05 * j, j * 1.3 - 2.0 + 0.11 * i * i});
    return points;
}

double predictOne(Surrogate& model, const Point& x, int j = 0)
{
    return TeskoraTest::predictAt(model, x)[j];
}

} // namespace

TEST(TeskoraPRS, MonomialCountsAndOrder)
{
    struct Case
    {
        int n, d, count;
    };
    for (const Case& c : std::vector<Case>{{2, 2, 6},
                                           {3, 2, 10},
                                           {3, 3, 20},
                                           {6, 2, 28},
                                           {10, 2, 66},
                                           {4, 0, 1},
                                           {0, 3, 1},
                                           {20, 2, 231},
                                           {1000, 6, INT_MAX}})
    {
        SCOPED_TRACE(std::to_string(c.n) + " " + std::to_string(c.d));
        EXPECT_EQ(c.count, Surrogate_PRS::get_nb_PRS_monomes(c.n, c.d));
        if (c.count < 100)
        {
            EXPECT_EQ(c.count, Surrogate_PRS::get_PRS_monomes(c.n, c.d).get_nb_rows());
        }
    }
    // 1, x1, x2, x1^2, x2^2, x1^3, x2^3, x1 x2, x1^2 x2, x1 x2^2
    expectEntries(Surrogate_PRS::get_PRS_monomes(2, 3),
                  {{0, 0}, {1, 0}, {0, 1}, {2, 0}, {0, 2}, {3, 0}, {0, 3}, {1, 1}, {2, 1}, {1, 2}});
    expectEntries(Surrogate_PRS::get_PRS_monomes(3, 2), {{0, 0, 0},
                                                         {1, 0, 0},
                                                         {0, 1, 0},
                                                         {0, 0, 1},
                                                         {2, 0, 0},
                                                         {0, 2, 0},
                                                         {0, 0, 2},
                                                         {1, 1, 0},
                                                         {1, 0, 1},
                                                         {0, 1, 1}});
    EXPECT_EQ("Monomes", Surrogate_PRS::get_PRS_monomes(2, 2).get_name());
}

TEST(TeskoraPRS, FitsAQuadraticExactly)
{
    // A constant middle input takes no part; the last input keeps its own
    // values.
    auto f = [](const Point& x) {
        return Point{1 + x[0] - 2 * x[2] * x[2] + 0.5 * x[0] * x[2], x[0] - x[2]};
    };
    std::vector<Point> points;
    for (const Point& q : grid2(4, 4))
        points.push_back({q[0], 5.0, q[1]});
    TrainingSet ts = sampled(points, f);
    Surrogate_PRS model(ts, Surrogate_Parameters("TYPE PRS RIDGE 0"));
    ASSERT_TRUE(model.build());
    for (const Point& x : {Point{0.3, 5, -0.4}, Point{-2, 5, 3}, Point{1.5, 5, 0.25}})
    {
        EXPECT_NEAR(f(x)[0], predictOne(model, x, 0), 1e-9);
        EXPECT_NEAR(f(x)[1], predictOne(model, x, 1), 1e-9);
    }
    std::ostringstream out;
    model.display_private(out);
    EXPECT_EQ("q: 6\n", out.str());
    // In-sample and leave-one-out values of an exact model are exact.
    EXPECT_NEAR(0.0, model.get_metric(RMSE, 0), 1e-9);
    EXPECT_NEAR(0.0, model.get_metric(RMSECV, 0), 1e-9);
}

TEST(TeskoraPRS, LeaveOneOutValuesEqualRefits)
{
    auto f = [](const Point& x)
    { return Point{std::sin(x[0]) + x[1] * x[1] * x[1] - x[0] * x[1]}; };
    const std::vector<Point> points = grid2(3, 4);
    TrainingSet ts = sampled(points, f);
    Surrogate_PRS model(ts, Surrogate_Parameters("TYPE PRS RIDGE 0"));
    ASSERT_TRUE(model.build());
    const Matrix Zv = model.get_matrix_Zv();
    for (size_t a = 0; a < points.size(); ++a)
    {
        SCOPED_TRACE(a);
        std::vector<Point> others = points;
        others.erase(others.begin() + static_cast<long>(a));
        TrainingSet without = sampled(others, f);
        Surrogate_PRS refit(without, Surrogate_Parameters("TYPE PRS RIDGE 0"));
        ASSERT_TRUE(refit.build());
        EXPECT_NEAR(predictOne(refit, points[a]), Zv.get(static_cast<int>(a), 0), 1e-8);
    }
}

TEST(TeskoraPRS, BuildLimits)
{
    auto f = [](const Point& x)
    {
        double s = 0;
        for (double v : x)
            s += v * v;
        return Point{s};
    };
    // One input, degree 2: three basis functions need four distinct points
    // without ridge.
    struct Case
    {
        const char* definition;
        int points;
        bool builds;
    };
    for (const Case& c : std::vector<Case>{{"TYPE PRS RIDGE 0", 3, false},
                                           {"TYPE PRS RIDGE 0", 4, true},
                                           {"TYPE PRS", 3, true},
                                           {"TYPE PRS_EDGE RIDGE 0", 4, false},
                                           {"TYPE PRS_EDGE RIDGE 0", 5, true}})
    {
        SCOPED_TRACE(std::string(c.definition) + " " + std::to_string(c.points));
        std::vector<Point> points;
        for (int i = 0; i < c.points; ++i)
            points.push_back({i * 0.5 - 0.5}); // 0 among them, for the edge indicator
        TrainingSet ts = sampled(points, f);
        Surrogate_Parameters param(c.definition);
        std::unique_ptr<Surrogate> model;
        if (param.get_type() == PRS)
            model.reset(new Surrogate_PRS(ts, param));
        else
            model.reset(new Surrogate_PRS_EDGE(ts, param));
        EXPECT_EQ(c.builds, model->build());
    }

    // Quadratic in 19 inputs: 210 basis functions, too many; in 18 inputs
    // 190, which a ridge lets build on few points.
    for (int n : {19, 18})
    {
        SCOPED_TRACE(n);
        std::vector<Point> points;
        for (int i = 0; i < 25; ++i)
        {
            Point x(static_cast<size_t>(n));
            for (int k = 0; k < n; ++k)
                x[k] = std::sin(1.0 + i * 7 + k * 3);
            points.push_back(x);
        }
        TrainingSet ts = sampled(points, f);
        Surrogate_PRS model(ts, Surrogate_Parameters("TYPE PRS"));
        EXPECT_EQ(n == 18, model.build());
    }

    TrainingSet ts = sampled({{0}, {1}}, f);
    Surrogate_PRS model(ts, Surrogate_Parameters("TYPE PRS"));
    std::ostringstream out;
    const DiagStreamRedirect redirect(out);
    Matrix ZZ;
    EXPECT_EQ("check_ready(): Not ready!",
              thrownMessage([&] { model.predict(make("XX", {{0.5}}), &ZZ); }));
}

TEST(TeskoraPRS, EdgeIndicatorsAndCategories)
{
    // A jump where the input sits exactly at 0.
    auto jump = [](const Point& x) { return Point{x[0] * x[0] + (x[0] == 0.0 ? 5.0 : 0.0)}; };
    TrainingSet edges = sampled({{-2}, {-1}, {0}, {0.5}, {1.5}, {3}}, jump);
    Surrogate_PRS_EDGE edge(edges, Surrogate_Parameters("TYPE PRS_EDGE RIDGE 0"));
    ASSERT_TRUE(edge.build());
    EXPECT_NEAR(5.0, predictOne(edge, {0.0}), 1e-9);
    EXPECT_NEAR(0.01, predictOne(edge, {0.1}), 1e-9);
    EXPECT_NEAR(4.0, predictOne(edge, {-2}), 1e-9);

    // One linear function per category of input 0.
    auto cat = [](const Point& x) { return Point{x[0] == 0 ? x[1] : 2 * x[1] + 3}; };
    TrainingSet cats = sampled({{0, 0}, {0, 1}, {0, 2}, {1, 0}, {1, 1}, {1, 3}}, cat);
    Surrogate_PRS_CAT model(cats, Surrogate_Parameters("TYPE PRS_CAT DEGREE 1 RIDGE 0"));
    ASSERT_TRUE(model.build());
    EXPECT_NEAR(0.5, predictOne(model, {0, 0.5}), 1e-9);
    EXPECT_NEAR(4.0, predictOne(model, {1, 0.5}), 1e-9);
    // An unseen category has a zero design row: the outputs' mean.
    const double mean = (0 + 1 + 2 + 3 + 5 + 9) / 6.0;
    EXPECT_NEAR(mean, predictOne(model, {0.5, 1}), 1e-9);
    std::ostringstream out;
    model.display_private(out);
    EXPECT_EQ("q: 4\nnb_cat: 2\n", out.str());

    // Without any varying input there is no category to split on.
    TrainingSet constant =
        sampled({{1, 2}, {1, 2}, {1, 2}}, [](const Point&) { return Point{1.0}; });
    Surrogate_PRS_CAT none(constant, Surrogate_Parameters("TYPE PRS_CAT DEGREE 1"));
    EXPECT_FALSE(none.build());
}

TEST(TeskoraPRS, CategoriesNeedAnInputAndABasisThePointsCarry)
{
    std::ostringstream out;
    const DiagStreamRedirect redirect(out);

    // The category is input 0: without any input there is none to read.
    TrainingSet empty(Matrix("X", 5, 0), make("Z", {{1}, {2}, {3}, {4}, {5}}));
    for (const char* definition : {"TYPE PRS_CAT", "TYPE ENSEMBLE PRESET CAT"})
    {
        SCOPED_TRACE(definition);
        EXPECT_EQ("Surrogate_PRS_CAT: no input variable (the category is input 0)",
                  thrownMessage(
                      [&]
                      {
                          std::unique_ptr<Surrogate, void (*)(Surrogate*)> model(
                              Surrogate_Factory(empty, definition), surrogate_delete);
                          model->build();
                      }));
    }

    // A continuous input 0 makes every point its own category: with a
    // ridge the basis would grow to q1 functions per point. Refused.
    std::vector<Point> points;
    for (int i = 0; i < 60; ++i)
        points.push_back({std::sin(0.7 * i), std::cos(1.3 * i), std::sin(2.9 * i + 1), 0.01 * i});
    TrainingSet continuous =
        sampled(points, [](const Point& x) { return Point{x[0] + x[1] * x[2] - x[3]}; });
    Surrogate_PRS_CAT model(continuous, Surrogate_Parameters("TYPE PRS_CAT"));
    EXPECT_EQ("Surrogate_PRS_CAT: the basis (600 functions for 60 categories) exceeds the number "
              "of distinct points "
              "(60)",
              thrownMessage([&] { model.build(); }));
    EXPECT_FALSE(model.is_ready());
    // Without ridge it is simply too few points, as for every PRS.
    Surrogate_PRS_CAT noRidge(continuous, Surrogate_Parameters("TYPE PRS_CAT RIDGE 0"));
    EXPECT_FALSE(noRidge.build());

    // In an ensemble the member that refuses stays out; the others build.
    Surrogate_Ensemble ensemble(continuous, Surrogate_Parameters("TYPE ENSEMBLE PRESET CAT"));
    ASSERT_TRUE(ensemble.build());
    EXPECT_FALSE(ensemble.is_ready(0));
    EXPECT_FALSE(ensemble.is_ready(1));
    EXPECT_TRUE(ensemble.is_ready(2));

    // Categories that repeat: a basis within the distinct points builds
    // with a ridge even when it leaves fewer points than functions per
    // category.
    std::vector<Point> grouped;
    for (int i = 0; i < 12; ++i)
        grouped.push_back({static_cast<double>(i % 3), std::sin(1.1 * i), std::cos(0.4 * i)});
    TrainingSet cats = sampled(grouped, [](const Point& x) { return Point{x[0] * x[1] + x[2]}; });
    Surrogate_PRS_CAT fits(cats, Surrogate_Parameters("TYPE PRS_CAT DEGREE 1"));
    EXPECT_TRUE(fits.build());
    Surrogate_PRS_CAT tooMany(cats, Surrogate_Parameters("TYPE PRS_CAT DEGREE 2"));
    EXPECT_EQ("Surrogate_PRS_CAT: the basis (18 functions for 3 categories) exceeds the number of "
              "distinct points (12)",
              thrownMessage([&] { tooMany.build(); }));
    // Enough points for any basis, but a normal matrix beyond the memory
    // bound: 2100 categories of two points each, a linear polynomial per
    // category, 4200 functions (4096 at most).
    std::vector<Point> many;
    for (int i = 0; i < 4200; ++i)
        many.push_back({static_cast<double>(i / 2), std::sin(0.37 * i)});
    TrainingSet large = sampled(many, [](const Point& x) { return Point{x[1]}; });
    Surrogate_PRS_CAT huge(large, Surrogate_Parameters("TYPE PRS_CAT DEGREE 1"));
    EXPECT_EQ("Surrogate_PRS_CAT: the basis (4200 functions) exceeds the memory bound of 16777216 "
              "entries of its "
              "normal matrix",
              thrownMessage([&] { huge.build(); }));

    // A tuned degree: the degrees the points cannot carry are failed
    // trials, and the tuning settles on one they can.
    Surrogate_PRS_CAT tuned(cats, Surrogate_Parameters("TYPE PRS_CAT DEGREE OPTIM BUDGET 10"));
    ASSERT_TRUE(tuned.build());
    EXPECT_LE(tuned.get_param().get_degree(), 1);
}

TEST(TeskoraCN, NearestPointAndValidation)
{
    auto f = [](const Point& x) { return Point{x[0] == 0 ? 10.0 : x[0] == 1 ? 20.0 : 40.0}; };
    TrainingSet ts = sampled({{0}, {1}, {3}}, f);
    Surrogate_CN model(ts, Surrogate_Parameters("TYPE CN"));
    std::ostringstream out;
    {
        const DiagStreamRedirect redirect(out);
        EXPECT_EQ("check_ready(): Not ready!", thrownMessage([&] { model.get_matrix_Zvs(); }));
    }
    ASSERT_TRUE(model.build());
    struct Case
    {
        double x, z;
    };
    // 0.5 lies as near to 0 as to 1: the lower index wins.
    for (const Case& c : std::vector<Case>{{0.4, 10}, {0.5, 10}, {2.5, 40}, {-7, 10}})
    {
        SCOPED_TRACE(c.x);
        EXPECT_DOUBLE_EQ(c.z, predictOne(model, {c.x}));
    }
    expectEntries(model.get_matrix_Zv(), {{20}, {10}, {20}});
    const double scale = ts.X_scale(1.0, 0) - ts.X_scale(0.0, 0);
    expectEntries(*model.get_matrix_Svs(), {{scale}, {scale}, {2 * scale}});
    EXPECT_EQ(0.0, model.get_metric(RMSE, 0));
    EXPECT_EQ(0.0, model.get_metric(EMAX, 0));
    EXPECT_GT(model.get_metric(RMSECV, 0), 0.0);
    std::ostringstream shown;
    model.display_private(shown);
    EXPECT_EQ("(No special members)\n", shown.str());

    // Across categories every distance gains the same amount: the order
    // stays.
    TrainingSet cats =
        sampled({{0, 0}, {0, 1}, {0, 3}}, [](const Point& x) { return Point{x[1]}; });
    Surrogate_CN byCategory(cats, Surrogate_Parameters("TYPE CN DISTANCE_TYPE NORM2_CAT"));
    ASSERT_TRUE(byCategory.build());
    EXPECT_DOUBLE_EQ(3.0, predictOne(byCategory, {1, 2.6}));
}
