#include "teskora/SurrogateParameters.hpp"
#include "support/TeskoraTestSupport.hpp"
#include "teskora/Diagnostics.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

using namespace TESKORA;
using TeskoraTest::expectEntries;
using TeskoraTest::make;
using TeskoraTest::thrownMessage;

TEST(TeskoraSurrogateParameters, DefaultsAndTunedCounts)
{
    struct Case
    {
        const char* definition;
        int tuned;
        const char* full;
        const char* label;
    };
    const std::vector<Case> cases = {
        {"TYPE PRS", 0, "TYPE PRS DEGREE 2 RIDGE 0.001", "PRS 2 R 0.001"},
        {"type prs degree 3", 0, "TYPE PRS DEGREE 3 RIDGE 0.001", "PRS 3 R 0.001"},
        {"TYPE PRS RIDGE 0", 0, "TYPE PRS DEGREE 2 RIDGE 0", "PRS 2"},
        {"TYPE PRS DEGREE abc", 0, "TYPE PRS DEGREE 0 RIDGE 0.001", "PRS 0 R 0.001"},
        {"TYPE KS", 1, "TYPE KS KERNEL_TYPE D1 KERNEL_SHAPE 5 DISTANCE_TYPE NORM2", "KS 5"},
        {"TYPE KS KERNEL_COEF 3 KERNEL D2 DISTANCE NORM1", 0,
         "TYPE KS KERNEL_TYPE D2 KERNEL_SHAPE 3 DISTANCE_TYPE NORM1", "KS 3 D2 NORM1"},
        {"TYPE CN", 0, "TYPE CN DISTANCE_TYPE NORM2", "CN"},
        {"TYPE KRIGING", 3, "TYPE KRIGING DISTANCE_TYPE NORM2", "KRIGING"},
        {"TYPE RBF", 0,
         "TYPE RBF PRESET I KERNEL_TYPE I2 KERNEL_SHAPE 1 DISTANCE_TYPE NORM2 RIDGE 0.001",
         "RBF 1 I2 0.001 I"},
        {"TYPE RBF KERNEL_TYPE D1", 1,
         "TYPE RBF PRESET I KERNEL_TYPE D1 KERNEL_SHAPE 1 DISTANCE_TYPE NORM2 RIDGE 0.001",
         "RBF 1 0.001 I"},
        {"TYPE RBF KERNEL_TYPE I1", 0,
         "TYPE RBF PRESET I KERNEL_TYPE I1 KERNEL_SHAPE 1 DISTANCE_TYPE NORM2 RIDGE 0.001",
         "RBF 1 I1 0.001 I"},
        {"TYPE RBF KERNEL_TYPE OPTIM", 2,
         "TYPE RBF PRESET I KERNEL_TYPE I2 KERNEL_SHAPE 1 DISTANCE_TYPE NORM2 RIDGE 0.001",
         "RBF 1 I2 0.001 I"},
        {"TYPE LWR", 1,
         "TYPE LOWESS DEGREE 2 KERNEL_TYPE D1 KERNEL_SHAPE 1 DISTANCE_TYPE NORM2 RIDGE 0.001",
         "LOWESS 1 R 0.001 DGN"},
        {"TYPE LOWESS DEGREE 1 RIDGE 0 KERNEL_COEF 2 KERNEL D3 DISTANCE NORMINF PRESET RE", 0,
         "TYPE LOWESS DEGREE 1 KERNEL_TYPE D3 KERNEL_SHAPE 2 DISTANCE_TYPE NORMINF RIDGE 0",
         "LOWESS 2 NORMINF D3 Degree 1 RE"},
        {"TYPE ENSEMBLE", 0,
         "TYPE ENSEMBLE METRIC_TYPE AOECV WEIGHT_TYPE SELECT PRESET DEFAULT DISTANCE_TYPE NORM2",
         "ENSEMBLE AOECV SELECT"},
        {"TYPE ENSEMBLE WEIGHT_TYPE OPTIM PRESET SUPER1 METRIC RMSE", 0,
         "TYPE ENSEMBLE METRIC_TYPE RMSE WEIGHT_TYPE OPTIM PRESET SUPER1 DISTANCE_TYPE NORM2",
         "ENSEMBLE RMSE OPTIM SUPER1"},
        {"TYPE PRS MODEL_TYPE PRS DEGREE 1 DEGREE 4", 0, "TYPE PRS DEGREE 4 RIDGE 0.001",
         "PRS 4 R 0.001"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.definition);
        const Surrogate_Parameters p(c.definition);
        EXPECT_EQ(c.tuned, p.get_nb_parameter_optimization());
        EXPECT_EQ(c.full, p.get_string());
        EXPECT_EQ(c.label, p.get_short_string());
        EXPECT_EQ("NULL", p.get_output());
        EXPECT_EQ(100, p.get_budget());
        // The full string reads back as the same model with every value fixed.
        const Surrogate_Parameters again(p.get_string());
        EXPECT_EQ(p.get_string(), again.get_string());
    }
    // Reading a field's tuning marker keeps its default as the start.
    const Surrogate_Parameters rbf("TYPE RBF KERNEL_TYPE I1");
    EXPECT_EQ(1.0, rbf.get_kernel_coef());
    const Surrogate_Parameters out("TYPE CN OUTPUT_FILE model.txt BUDGET 7 METRIC oecv");
    EXPECT_EQ("model.txt", out.get_output());
    EXPECT_EQ(7, out.get_budget());
    EXPECT_EQ(OECV, out.get_metric_type());
    EXPECT_EQ(OPTIM, Surrogate_Parameters("TYPE ENSEMBLE WEIGHT_TYPE OPTIM").get_weight_type());
}

TEST(TeskoraSurrogateParameters, RefusalsAndTheirLines)
{
    struct Case
    {
        const char* definition;
        const char* message;
        const char* lines;
    };
    const std::vector<Case> cases = {
        {"DEGREE 2", "No field \"TYPE\" found.", "model_description: DEGREE 2\n"},
        {"MODEL_TYPE PRS", "No field \"TYPE\" found.", "model_description: MODEL_TYPE PRS\n"},
        {"TYPE", "Unrecognised string \"TYPE\" ( TYPE )", ""},
        {"TYPE PRS MODEL_TYPE KS", "Unconsistent model type!",
         "model_description: TYPE PRS MODEL_TYPE KS\n"},
        {"TYPE PRS KERNEL_COEF 2", "Unauthorized field \"KERNEL_COEF\" in a model of type PRS",
         "model_description: TYPE PRS KERNEL_COEF 2\n"},
        {"TYPE PRS DEGREE", "Missing content for field \"DEGREE\"", ""},
        {"TYPE PRS BUDGET OPTIM", "Field \"BUDGET\" cannot be optimized.",
         "model_description: TYPE PRS BUDGET OPTIM\n"},
        {"TYPE PRS COLOUR 2", "Field not recognized: \"COLOUR\"", "Field: COLOUR\n"},
        {"TYPE RBF KERNEL_TYPE i1", "str_to_kernel_type: unrecognised string \"i1\"", ""},
        {"TYPE LOWESS PRESET dgn", "preset not recognized",
         "LOWESS preset : dgn\nPossible values: D, DEN, DGN, RE, RG, REN, RGN.\n"},
        {"TYPE LOWESS DEGREE 3", "degree for LOWESS model must be 0, 1 or 2", ""},
        {"TYPE LOWESS KERNEL_TYPE I1", "kernel_type must be decreasing", ""},
        {"TYPE KS KERNEL_COEF 0", "kernel_coef must be > 0", ""},
        {"TYPE PRS DEGREE -1", "degree must be >= 0", ""},
        {"TYPE RBF RIDGE -1", "ridge must be >= 0", ""},
        // NaN compares false with everything: it must not slip through the
        // sign tests, nor may an infinity.
        {"TYPE KS KERNEL_COEF nan", "kernel_coef must be a finite number", ""},
        {"TYPE KS KERNEL_COEF inf", "kernel_coef must be a finite number", ""},
        {"TYPE RBF KERNEL_TYPE D1 KERNEL_COEF nan", "kernel_coef must be a finite number", ""},
        {"TYPE LOWESS KERNEL_COEF nan", "kernel_coef must be a finite number", ""},
        {"TYPE LOWESS KERNEL_COEF -1", "kernel_coef must be > 0", ""},
        {"TYPE PRS RIDGE nan", "ridge must be a finite number", ""},
        {"TYPE PRS_CAT RIDGE -inf", "ridge must be a finite number", ""},
        {"TYPE RBF RIDGE nan", "ridge must be a finite number", ""},
        {"TYPE LOWESS RIDGE inf", "ridge must be a finite number", ""},
        {"TYPE KRIGING RIDGE nan", "ridge must be a finite number", ""},
        {"TYPE KRIGING RIDGE -1", "ridge must be >= 0", ""},
        // The tuner's trial count must fit its int: kriging tunes three
        // values, and a number past the int range is no budget at all.
        {"TYPE KRIGING BUDGET 1000000000",
         "budget out of range: BUDGET (1000000000) times the number of tuned values (3) is beyond "
         "2147483647 trials",
         ""},
        {"TYPE KS BUDGET 3000000000", "budget out of range: BUDGET 3000000000 is not an int", ""},
        {"TYPE KS BUDGET -3000000000", "budget out of range: BUDGET -3000000000 is not an int", ""},
        {"TYPE ENSEMBLE WEIGHT_TYPE OPTIMIZE", "Unrecognised string \"OPTIMIZE\" ( OPTIMIZE )", ""},
        {"TYPE SVN", "Not implemented yet!", ""},
        {"TYPE LINEAR", "Not implemented yet!", ""},
        {"TYPE TGP", "Not implemented yet!", ""},
        {"TYPE DYNATREE", "Undefined type", ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.definition);
        std::ostringstream lines;
        const DiagStreamRedirect redirect(lines);
        const std::string message = thrownMessage([&] { Surrogate_Parameters p(c.definition); });
        EXPECT_EQ(c.message, message);
        EXPECT_EQ(c.lines, lines.str());
    }
    std::ostringstream lines;
    const DiagStreamRedirect redirect(lines);
    EXPECT_EQ("Undefined field",
              thrownMessage([] { Surrogate_Parameters::authorized_optim("COLOUR"); }));
    EXPECT_EQ("Field : COLOUR\n", lines.str());
}

TEST(TeskoraSurrogateParameters, Display)
{
    struct Case
    {
        const char* definition;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"TYPE PRS", "Type: PRS\nDegree: 2\nRidge: 0.001\nDistance_type: NORM2\n"},
        {"TYPE KS KERNEL D2", "Type: KS\nKernel type: 1\nKernel coef: 5\nDistance_type: NORM2\n"},
        {"TYPE RBF",
         "Type: RBF\nKernel type: 9\nKernel coef: 1\nDistance_type: NORM2\nridge: 0.001\n"},
        {"TYPE LOWESS", "Type: LOWESS\nKernel coef: 1\nDistance_type: NORM2\ndegree: 2\nridge: "
                        "0.001\nPreset: DGN\n"},
        {"TYPE ENSEMBLE",
         "Type: ENSEMBLE\nMetric type: AOECV\nWeight type: SELECT\nPreset: DEFAULT\n"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.definition);
        std::ostringstream out;
        Surrogate_Parameters(c.definition).display(out);
        EXPECT_EQ(c.text, out.str());
    }
    std::ostringstream kriging;
    Surrogate_Parameters("TYPE KRIGING").display(kriging);
    EXPECT_EQ(0u, kriging.str().find("Type: KRIGING\nCovariance coefs: \nRidge: 1e-16\n"));
}

TEST(TeskoraSurrogateParameters, KrigingVectorBoundsAndPenalty)
{
    Surrogate_Parameters p("TYPE KRIGING");
    expectEntries(p.get_x(), {{1e-16, 2, 1}});
    EXPECT_EQ("X", p.get_x().get_name());
    Matrix lb("lb", 1, 3), ub("ub", 1, 3);
    param_domain_t domain[3];
    bool logscale[3];
    std::ostringstream lines;
    {
        const DiagStreamRedirect redirect(lines);
        p.get_x_bounds(&lb, &ub, domain, logscale);
        EXPECT_TRUE(p.check_x());
    }
    EXPECT_EQ("", lines.str());
    expectEntries(lb, {{1e-16, 0.5, 0.001}});
    expectEntries(ub, {{0.1, 3, 1}});
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(PARAM_DOMAIN_CONTINUOUS, domain[i]);
    EXPECT_TRUE(logscale[0]);
    EXPECT_FALSE(logscale[1]);
    EXPECT_TRUE(logscale[2]);
    EXPECT_NEAR(-38.84, p.get_x_penalty(), 0.005);

    // The covariance grows by copies of the mean pair.
    p.update_covariance_coef(3);
    expectEntries(p.get_covariance_coef(), {{2, 1, 2, 1, 2, 1}});
    EXPECT_EQ("v < v0", thrownMessage([&] { p.update_covariance_coef(0); }));
    // With no pair to copy there is no mean to append.
    Surrogate_Parameters none("TYPE KRIGING");
    none.update_covariance_coef(1);
    EXPECT_EQ(2, none.get_covariance_coef().get_nb_cols());
    EXPECT_EQ("No covariance pair to extend",
              thrownMessage([] { Surrogate_Parameters("TYPE PRS").update_covariance_coef(1); }));
    p.check();
    EXPECT_EQ(7, p.get_nb_parameter_optimization());

    // A value out of its bounds is reported entry by entry.
    p.set_x(make("X", {{0.5, 2, 1, 2, 1, 2, 1}}));
    {
        const DiagStreamRedirect redirect(lines);
        EXPECT_EQ("Invalid X!", thrownMessage([&] { p.check_x(); }));
    }
    EXPECT_EQ("X[0] > upper bound\n", lines.str());

    // With nothing tuned: an empty row and no bounds written.
    Surrogate_Parameters prs("TYPE PRS");
    EXPECT_EQ(0, prs.get_x().get_nb_cols());
    EXPECT_EQ(1, prs.get_x().get_nb_rows());
    EXPECT_TRUE(prs.check_x());
    EXPECT_EQ(0.0, prs.get_x_penalty());
    EXPECT_EQ("Pointers are NULL.",
              thrownMessage([&] { prs.get_x_bounds(nullptr, &ub, domain, logscale); }));
}

TEST(TeskoraSurrogateParameters, VectorOrderAndDomains)
{
    // Every scalar block tuned: degree, ridge, kernel coefficient, kernel
    // type, distance type, in that order.
    Surrogate_Parameters p("TYPE LOWESS DEGREE OPTIM RIDGE OPTIM KERNEL_COEF OPTIM KERNEL_TYPE "
                           "OPTIM DISTANCE_TYPE OPTIM");
    ASSERT_EQ(5, p.get_nb_parameter_optimization());
    expectEntries(p.get_x(), {{2, 0.001, 1, 0, 0}});
    Matrix lb("lb", 1, 5), ub("ub", 1, 5);
    param_domain_t domain[5];
    bool logscale[5];
    p.get_x_bounds(&lb, &ub, domain, logscale);
    expectEntries(lb, {{0, 1e-16, 0.01, 0, 0}});
    expectEntries(ub, {{2, 0.1, 100, 5, 4}});
    const std::vector<param_domain_t> domains = {PARAM_DOMAIN_INTEGER, PARAM_DOMAIN_CONTINUOUS,
                                                 PARAM_DOMAIN_CONTINUOUS, PARAM_DOMAIN_CAT,
                                                 PARAM_DOMAIN_CAT};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(domains[i], domain[i]) << i;

    p.set_x(make("X", {{1.9, 0.01, 3, 2.6, 1}}));
    EXPECT_EQ(1, p.get_degree());
    EXPECT_EQ(D3, p.get_kernel_type());
    EXPECT_EQ(NORM1, p.get_distance_type());
    EXPECT_NEAR(1 + std::log(0.01) + std::log(3.0) + 1, p.get_x_penalty(), 1e-12);
    // A distance type of 5 does not exist.
    EXPECT_NE("no exception", thrownMessage([&] { p.set_x(make("X", {{1, 0.01, 3, 2, 5}})); }));

    {
        Surrogate_Parameters prs("TYPE PRS DEGREE OPTIM");
        Matrix l("lb", 1, 1), u("ub", 1, 1);
        param_domain_t d[1];
        bool s[1];
        prs.get_x_bounds(&l, &u, d, s);
        EXPECT_EQ(6.0, u.get(0, 0));
    }

    // RBF kernel types range up to I3; 10.7 truncates to I3.
    Surrogate_Parameters rbf("TYPE RBF KERNEL_TYPE OPTIM");
    ASSERT_EQ(2, rbf.get_nb_parameter_optimization());
    rbf.set_x(make("X", {{2, 10.7}}));
    EXPECT_EQ(I3, rbf.get_kernel_type());

    std::ostringstream shown;
    p.display_x(shown);
    EXPECT_EQ("Parameter set {\n    Dimension(X) 5\n    Degree 1     Ridge 0.01     Kernel_coef 3 "
              "    Kernel_type D3 (2)     Distance_type NORM1 (1) }\n",
              shown.str());
}

TEST(TeskoraSurrogateParameters, TunedEnsembleWeightsAreNormalised)
{
    Surrogate_Parameters p("TYPE ENSEMBLE WEIGHT_TYPE OPTIM");
    p.set_weight(make("WEIGHT", {{0.5}, {0.5}}));
    p.check();
    ASSERT_EQ(2, p.get_nb_parameter_optimization());
    p.set_x(make("X", {{1, 3}}));
    expectEntries(p.get_weight(), {{0.25}, {0.75}});
    EXPECT_DOUBLE_EQ(0.25 * 0.25 + 0.75 * 0.75, p.get_x_penalty());
    std::ostringstream shown;
    p.display_x(shown);
    EXPECT_EQ(
        "Parameter set {\n    Dimension(X) 2\n    Weight [ 0.25 \n                 0.75  ]\n}\n",
        shown.str());
    // A vector of the wrong length is refused.
    std::ostringstream lines;
    const DiagStreamRedirect redirect(lines);
    EXPECT_EQ("Unconcistency in the value of k.",
              thrownMessage([&] { p.set_x(make("X", {{1}})); }));
}
