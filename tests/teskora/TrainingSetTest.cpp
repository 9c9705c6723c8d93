#include "teskora/TrainingSet.hpp"
#include "support/TeskoraTestSupport.hpp"
#include "teskora/Diagnostics.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <list>
#include <sstream>
#include <string>
#include <vector>

using TESKORA::Matrix;
using TESKORA::TrainingSet;
using TeskoraTest::expectErrors;
using TeskoraTest::make;
using TeskoraTest::thrownMessage;

namespace
{

const double HUGE_VALUE = std::numeric_limits<double>::max();

// The scaled image of an input row.
Matrix scaledRow(const TrainingSet& ts, const std::vector<double>& x)
{
    Matrix r = make("x", {x});
    ts.X_scale(r);
    return r;
}

} // namespace

TEST(TeskoraTrainingSet, BestFeasibleObjective)
{
    struct Case
    {
        const char* label;
        std::vector<std::vector<double>> Z;
        double fMin;
        int iMin;
    };
    const std::vector<Case> cases = {
        // Point 0 is infeasible, point 2 worse.
        {"infeasible and worse", {{3, 1}, {1, 0}, {2, -1}}, 1.0, 1},
        {"ties keep the first", {{1, 0}, {1, -1}, {2, -1}}, 1.0, 0},
        {"no feasible point", {{1, 1}, {2, 3}, {0, 0.5}}, HUGE_VALUE, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        TrainingSet ts(make("X", {{0}, {1}, {2}}), make("Z", c.Z));
        ts.build();
        EXPECT_EQ(c.fMin, ts.get_f_min());
        EXPECT_EQ(c.iMin, ts.get_i_min());
    }
}

TEST(TeskoraTrainingSet, UndefinedOutputsAreReplacedBySomewhatWorseValues)
{
    struct Case
    {
        double low, high, replacement;
    };
    for (const Case& c : std::vector<Case>{{2, 5, 5.3}, {0.2, 0.5, 0.6}, {-4, -3, 0.1}})
    {
        SCOPED_TRACE(c.replacement);
        TrainingSet ts(make("X", {{0}, {1}, {2}}), make("Z", {{c.low}, {c.high}, {1e20}}));
        ts.build();
        EXPECT_NEAR(c.replacement, ts.Z_unscale(ts.get_Zs(2, 0), 0), 1e-12);
    }
}

TEST(TeskoraTrainingSet, DataCheck)
{
    // An output undefined everywhere passes with 10 points (replaced by 1),
    // not with 11.
    for (int p : {10, 11})
    {
        SCOPED_TRACE(p);
        Matrix X("X", p, 1), Z("Z", p, 2);
        for (int i = 0; i < p; ++i)
        {
            X.set(i, 0, i);
            Z.set(i, 0, i * i);
            Z.set(i, 1, 1e20);
        }
        TrainingSet ts(X, Z);
        std::ostringstream out;
        TESKORA::DiagStreamRedirect redirect(out);
        if (p == 10)
        {
            ts.build();
            EXPECT_TRUE(ts.is_ready());
            EXPECT_EQ("", out.str());
        }
        else
        {
            EXPECT_EQ("TrainingSet::check_singular_data(): incorrect data !",
                      thrownMessage([&] { ts.build(); }));
            EXPECT_EQ("_Z(:,1) has no defined value !\n", out.str());
            EXPECT_FALSE(ts.is_ready());
        }
    }

    std::ostringstream out;
    TESKORA::DiagStreamRedirect redirect(out);
    const double inf = std::numeric_limits<double>::infinity();
    TrainingSet bad(make("X", {{0, inf}, {1e17, 1}}), make("Z", {{1}, {2}}));
    EXPECT_EQ("TrainingSet::check_singular_data(): incorrect data !",
              thrownMessage([&] { bad.build(); }));
    EXPECT_EQ("_X(1,0) = 1e+17\n_X(0,1) = inf\n", out.str());

    TrainingSet empty(Matrix("X", 0, 2), Matrix("Z", 0, 1));
    TrainingSet mismatch(Matrix("X", 2, 2), Matrix("Z", 3, 1));
    // Without an output there is no objective to read: no best point.
    TrainingSet noOutput(make("X", {{0}, {1}}), Matrix("Z", 2, 0));
    noOutput.build();
    EXPECT_EQ(HUGE_VALUE, noOutput.get_f_min());
    expectErrors({
        {"empty", [&] { empty.build(); }, "TrainingSet::build(): empty training set"},
        {"rows differ", [&] { mismatch.build(); }, "TrainingSet::build(): dimension error"},
    });
}

TEST(TeskoraTrainingSet, DistinctPointsAndMeanDistance)
{
    TrainingSet ts(make("X", {{0, 0}, {1, 0}, {0, 3}}), make("Z", {{1}, {2}, {3}}));
    ts.build();
    const double d01 = ts.get_Ds(0, 1), d02 = ts.get_Ds(0, 2), d12 = ts.get_Ds(1, 2);
    EXPECT_EQ(3, ts.get_pvar());
    EXPECT_NEAR((d01 + d02 + d12) / 3, ts.get_Ds_mean(), 1e-14);
    EXPECT_EQ(d01, ts.get_Ds(1, 0));
    EXPECT_EQ(0.0, ts.get_Ds(2, 2));

    // A copy of point 0: the sum runs over the 6 pairs, divided by the 3
    // pairs of distinct points.
    const double copy[] = {0, 0}, z[] = {4};
    ts.add_point(copy, z);
    EXPECT_FALSE(ts.is_ready());
    ts.build();
    EXPECT_EQ(4, ts.get_nb_points());
    EXPECT_EQ(3, ts.get_pvar());
    double sum = 0.0;
    for (int i = 0; i < 4; ++i)
        for (int k = i + 1; k < 4; ++k)
            sum += ts.get_Ds(i, k);
    EXPECT_NEAR(sum / 3, ts.get_Ds_mean(), 1e-14);

    TrainingSet same(make("X", {{1, 2}, {1, 2}, {1, 2}}), make("Z", {{1}, {2}, {3}}));
    same.build();
    EXPECT_EQ(1, same.get_pvar());
    EXPECT_TRUE(std::isnan(same.get_Ds_mean()));
    EXPECT_EQ(0, same.get_nvar());
    // A constant input is only shifted to 0.
    EXPECT_EQ(1, same.get_X_nbdiff(0));
    EXPECT_EQ(0.0, same.get_Xs(1, 0));
    EXPECT_EQ(0.0, same.X_scale(1.0, 0));
}

TEST(TeskoraTrainingSet, TwoValuedOutputIsPredictedAsOneOfItsValues)
{
    TrainingSet ts(make("X", {{0}, {1}, {2}, {3}}), make("Z", {{0, 5}, {1, 6}, {1, 7}, {0, 9}}));
    ts.build();
    EXPECT_EQ(2, ts.get_Z_nbdiff(0));
    const double mean = ts.get_Zs_mean(0);
    EXPECT_EQ(1.0, ts.Z_unscale(mean + 1e-9, 0));
    EXPECT_EQ(0.0, ts.Z_unscale(mean, 0));
    EXPECT_EQ(0.0, ts.Z_unscale(-100.0, 0));
    // Other outputs unscale linearly.
    EXPECT_NEAR(8.0, ts.Z_unscale(ts.Z_scale(8.0, 1), 1), 1e-12);
}

TEST(TeskoraTrainingSet, OutputKinds)
{
    // Output 1 becomes the objective; output 0 a constraint that point 1
    // violates. Blanks at the end change nothing.
    TrainingSet two(make("X", {{0}, {1}}), make("Z", {{-1, 5}, {2, -3}}));
    two.set_bbo_type("CON OBJ   ");
    two.build();
    EXPECT_EQ(TESKORA::CON, two.get_bbo(0));
    EXPECT_EQ(TESKORA::OBJ, two.get_bbo(1));
    EXPECT_EQ(5.0, two.get_f_min());

    TrainingSet a(make("X", {{0}, {1}}), make("Z", {{1, 5}, {2, -3}}));
    TrainingSet b(make("X", {{0}, {1}}), make("Z", {{1, 5}, {2, -3}}));
    TrainingSet c(make("X", {{0}, {1}}), make("Z", {{1, 5}, {2, -3}}));
    TrainingSet d(make("X", {{0}, {1}}), make("Z", {{1, 5}, {2, -3}}));
    TrainingSet e(make("X", {{0}, {1}}), make("Z", {{1, 5}, {2, -3}}));
    expectErrors({
        {"two objectives", [&] { a.set_bbo_type("OBJ O"); },
         "TrainingSet::set_bbo_type: Only one obj is allowed"},
        {"more words than outputs", [&] { b.set_bbo_type("OBJ CON DUM"); },
         "TrainingSet::set_bbo_type: string error (j>_m)"},
        {"unknown word", [&] { c.set_bbo_type("obj cons"); },
         "TrainingSet::set_bbo_type: string error (string cons not recognized)"},
        {"all ignored", [&] { d.set_bbo_type("d dum"); },
         "TrainingSet::set_bbo_type: all outputs are \"DUM\""},
        {"after a build",
         [&]
         {
             e.build();
             e.set_bbo_type("OBJ CON");
         },
         "TrainingSet::set_bbo_type: _bbo must be defined before the first build."},
        {"after a set", [&] { two.set_bbo_type("OBJ CON"); },
         "TrainingSet::set_bbo_type: _bbo must be defined before the first build."},
    });
    // An empty line applies nothing: output 0 stays the objective.
    TrainingSet f(make("X", {{0}, {1}}), make("Z", {{1, 5}, {2, -3}}));
    f.set_bbo_type("");
    f.build();
    EXPECT_EQ(TESKORA::OBJ, f.get_bbo(0));
    EXPECT_EQ(TESKORA::CON, f.get_bbo(1));
}

TEST(TeskoraTrainingSet, DistancesWithZeroAndCategoryOffsets)
{
    TrainingSet ts(make("X", {{0, 1}, {0.5, 1}, {0, 2}, {1, 3}}), make("Z", {{1}, {2}, {3}, {4}}));
    ts.build();
    const Matrix a = scaledRow(ts, {0, 1}), b = scaledRow(ts, {0.5, 1}), c = scaledRow(ts, {0, 2});
    const double ab = Matrix::get_distances_norm2(a, b).get(0, 0);
    const double ac = Matrix::get_distances_norm2(a, c).get(0, 0);
    struct Case
    {
        const char* label;
        TESKORA::distance_t dt;
        const Matrix& x;
        const Matrix& y;
        double expected;
    };
    const std::vector<Case> cases = {
        {"IS0: one point at 0", TESKORA::NORM2_IS0, a, b, std::sqrt(ab * ab + 10000)},
        {"IS0: both at 0", TESKORA::NORM2_IS0, a, c, ac},
        {"CAT: categories differ", TESKORA::NORM2_CAT, a, b, std::sqrt(ab * ab + 10000)},
        {"CAT: same category", TESKORA::NORM2_CAT, a, c, ac},
        {"NORM1", TESKORA::NORM1, a, c, Matrix::get_distances_norm1(a, c).get(0, 0)},
    };
    for (const auto& k : cases)
    {
        SCOPED_TRACE(k.label);
        const Matrix D = ts.get_distances(k.x, k.y, k.dt);
        EXPECT_EQ("D", D.get_name());
        EXPECT_NEAR(k.expected, D.get(0, 0), 1e-12);
    }
    EXPECT_EQ("Undefined type",
              thrownMessage([&] { ts.get_distances(a, b, static_cast<TESKORA::distance_t>(5)); }));
}

TEST(TeskoraTrainingSet, ClosestPointQueries)
{
    TrainingSet ts(make("X", {{0}, {2}, {2}, {10}}), make("Z", {{1}, {2}, {2}, {3}}));
    ts.build();
    const Matrix onPoint = scaledRow(ts, {2}), halfway = scaledRow(ts, {1}),
                 near0 = scaledRow(ts, {0.5});
    EXPECT_EQ(0.0, ts.get_d1_over_d2(onPoint));
    EXPECT_NEAR(1.0, ts.get_d1_over_d2(halfway), 1e-12);
    // Point 2 is a copy of point 1, so the second distance is to point 3 or 0.
    const Matrix near2 = scaledRow(ts, {2.5});
    EXPECT_NEAR(0.5 / 2.5, ts.get_d1_over_d2(near2), 1e-12);
    EXPECT_NEAR(ts.X_scale(0.5, 0) - ts.X_scale(0.0, 0), ts.get_d1(near0), 1e-12);

    Matrix block("XXs", 2, 1);
    block.set(0, 0, halfway.get(0, 0));
    block.set(1, 0, near2.get(0, 0));
    const Matrix none = ts.get_exclusion_area_penalty(block, 0.0);
    const Matrix inside = ts.get_exclusion_area_penalty(block, 1.0);
    EXPECT_EQ("P", inside.get_name());
    EXPECT_EQ(0.0, none.get(0, 0));
    EXPECT_EQ(0.0, none.get(1, 0));
    EXPECT_EQ(0.0, inside.get(0, 0)); // equidistant: r = 1, not below tc
    EXPECT_NEAR(1e9 - 0.2, inside.get(1, 0), 1e-6);
    const Matrix closest = ts.get_distance_to_closest(block);
    EXPECT_NEAR(ts.get_d1(near2), closest.get(1, 0), 1e-15);

    TrainingSet one(make("X", {{4}}), make("Z", {{1}}));
    one.build();
    EXPECT_EQ(1.0, one.get_d1_over_d2(make("x", {{7}})));

    expectErrors({
        {"two rows d1", [&] { ts.get_d1(Matrix("x", 2, 1)); },
         "TrainingSet::get_d1: XXs must have only one line."},
        {"two rows d1/d2", [&] { ts.get_d1_over_d2(Matrix("x", 2, 1)); },
         "TrainingSet::get_d1_over_d2: XXs must have only one line."},
        // Without these refusals the query reads past the row it is given.
        {"no row", [&] { ts.get_d1(Matrix("x", 0, 1)); },
         "TrainingSet::get_d1: XXs must have only one line."},
        {"short row", [&] { ts.get_d1_over_d2(Matrix("x", 1, 0)); },
         "TrainingSet::TrainingSet(): dimension error"},
    });
}

TEST(TeskoraTrainingSet, GreedySelection)
{
    // Points on a line: 0, 1, 2, ..., 9 (scaled distances keep the order).
    Matrix X("X", 10, 1), Z("Z", 10, 1);
    for (int i = 0; i < 10; ++i)
    {
        X.set(i, 0, i);
        Z.set(i, 0, i);
    }
    TrainingSet ts(X, Z);
    ts.build();
    Matrix Xs = X;
    ts.X_scale(Xs);
    // Without the preference term: imin, the farthest point, then always
    // the point farthest from every chosen one (first index on ties).
    EXPECT_EQ((std::list<int>{2, 9, 5, 0, 7}), ts.select_greedy(Xs, 2, 5, 0.0, TESKORA::NORM2));

    // With a preference for points near imin (lambda0 = 1), lambda decays by
    // 1 % each time the preferred point is already covered: a slower or a
    // faster decay stops at another lambda and picks other points (0.9 or
    // 0.95 give 0, 4, 5, 2, 3; 0.999 gives 0, 4, 2, 3, 5).
    const Matrix six = make("X", {{9, 9}, {1, 6}, {9, 5}, {7, 9}, {4, 1}, {0, 9}});
    EXPECT_EQ((std::list<int>{0, 4, 2, 5, 3}), ts.select_greedy(six, 0, 5, 1.0, TESKORA::NORM2));
    // All ten points cannot be chosen (pS must stay below N).
    std::ostringstream out;
    TESKORA::DiagStreamRedirect redirect(out);
    expectErrors({
        {"pS 2", [&] { ts.select_greedy(Xs, 0, 2, 0.0, TESKORA::NORM2); },
         "TrainingSet::TrainingSet(): wrong value of pS"},
        {"pS N", [&] { ts.select_greedy(Xs, 0, 10, 0.0, TESKORA::NORM2); },
         "TrainingSet::TrainingSet(): wrong value of pS"},
    });
    EXPECT_EQ("pS = 2\npS = 10\n", out.str());

    // Copies run out: with lambda0 = 0 the selection stops short.
    TrainingSet dup(make("X", {{0}, {0}, {1}, {1}}), make("Z", {{1}, {2}, {3}, {4}}));
    dup.build();
    EXPECT_EQ(2u,
              dup.select_greedy(make("X", {{0}, {0}, {1}, {1}}), 0, 3, 0.0, TESKORA::NORM2).size());
}

TEST(TeskoraTrainingSet, RefillsAndAdditions)
{
    TrainingSet ts(make("X", {{0}, {1}}), make("Z", {{-5}, {2}}));
    ts.build();
    EXPECT_EQ(-5.0, ts.get_f_min());

    // Refused additions change nothing.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    expectErrors({
        {"rows differ", [&] { ts.add_points(Matrix("X", 2, 1), Matrix("Z", 1, 1)); },
         "TrainingSet::add_points(): dimension error"},
        {"width", [&] { ts.add_points(Matrix("X", 1, 2), Matrix("Z", 1, 1)); },
         "TrainingSet::add_points(): dimension error"},
        {"NaN input", [&] { ts.add_points(make("X", {{nan}}), make("Z", {{1}})); },
         "TrainingSet::add_points(): Xnew is nan"},
        {"NaN output", [&] { ts.add_points(make("X", {{3}}), make("Z", {{nan}})); },
         "TrainingSet::add_points(): Znew is nan"},
    });
    EXPECT_TRUE(ts.is_ready());
    EXPECT_EQ(2, ts.get_nb_points());

    // Zero new rows still make the set rebuild.
    EXPECT_TRUE(ts.add_points(Matrix("X", 0, 1), Matrix("Z", 0, 1)));
    EXPECT_FALSE(ts.is_ready());
    ts.build();

    EXPECT_FALSE(ts.partial_reset_and_add_points(Matrix("X", 3, 2), Matrix("Z", 3, 1)));
    EXPECT_TRUE(ts.is_ready());
    EXPECT_EQ(2, ts.get_nb_points());
    // A refill forgets the former best point even when it was better.
    EXPECT_TRUE(
        ts.partial_reset_and_add_points(make("X", {{0}, {1}, {2}}), make("Z", {{4}, {3}, {8}})));
    EXPECT_FALSE(ts.is_ready());
    ts.build();
    EXPECT_EQ(3.0, ts.get_f_min());
    EXPECT_EQ(1, ts.get_i_min());
}

TEST(TeskoraTrainingSet, RefusalsAndDisplay)
{
    TrainingSet ts(make("X", {{0}, {2}}), make("Z", {{1}, {3}}));
    std::ostringstream out;
    TESKORA::DiagStreamRedirect redirect(out);
    EXPECT_EQ("TrainingSet::check_ready(): TrainingSet not ready. Use method TrainingSet::build()",
              thrownMessage([&] { ts.get_f_min(); }));
    EXPECT_EQ("TrainingSet::check_ready(): TrainingSet not ready. Use method TrainingSet::build()",
              thrownMessage([&] { ts.check_ready("file.cpp", "predict", 12); }));
    EXPECT_EQ("TrainingSet: NOT READY!\nTrainingSet: NOT READY! (file.cpp::predict:12)\n",
              out.str());

    out.str("");
    EXPECT_EQ("TrainingSet: copy constructor forbiden.",
              thrownMessage([&] { TrainingSet copy(ts); }));
    TrainingSet other(make("X", {{1}}), make("Z", {{1}}));
    EXPECT_EQ("TrainingSet: operator \"=\" forbiden.", thrownMessage([&] { other = ts; }));
    const std::string info = out.str();
    EXPECT_EQ(0u, info.find("   ## ## TrainingSet::info  0x")) << info;
    EXPECT_NE(std::string::npos, info.find(" 0 2\n")) << info;

    ts.build();
    std::ostringstream shown;
    ts.display(shown);
    const std::string underscores(83, '_'), hyphens(84, '-');
    const std::string header =
        "Dim|type|nbdiff|       mean        std|         lb         ub|         a          b|\n"
        "---|----|------|----------------------|----------------------|---------------------|\n";
    EXPECT_EQ("Number of points, p=   2  (2)\n"
              "Input dimension,  n=   1  (1)\n"
              "Output dimension, m=   1  (1)\n"
              "X (Input matrix):\n" +
                  underscores + "\n" + header +
                  "  0|  NA|     2|          1    1.41421|          0          2|  0.707107  "
                  "-0.707107|\n" +
                  hyphens +
                  "\n\n"
                  "Z (Input matrix):\n" +
                  underscores + "\n" + header +
                  "  0| OBJ|     2|          2    1.41421|          1          3|  0.707107   "
                  "-1.41421|\n" +
                  hyphens +
                  "\n\n"
                  "fs_min: -0.707107\n"
                  "f_min:  1\n\n",
              shown.str());
}
