#include "teskora/Kernel.hpp"
#include "support/TeskoraTestSupport.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace TESKORA;
using TeskoraTest::expectErrors;

TEST(TeskoraKernel, Values)
{
    struct Case
    {
        kernel_t kt;
        double ks, r, value;
    };
    const std::vector<Case> cases = {
        // At distance 0 every decreasing kernel is 1.
        {D1, 2.0, 0.0, 1.0},
        {D2, 2.0, 0.0, 1.0},
        {D3, 2.0, 0.0, 1.0},
        {D4, 2.0, 0.0, 1.0},
        {D5, 2.0, 0.0, 1.0},
        {D6, 2.0, 0.0, 1.0},
        {D7, 2.0, 0.0, 1.0},
        {I0, 2.0, 0.0, 1.0},
        {I1, 2.0, 0.0, 0.0},
        {I2, 2.0, 0.0, 0.0},
        {I3, 2.0, 0.0, 0.0},
        {I4, 2.0, 0.0, 0.0},
        // Bounded supports.
        {D4, 1.0, 15.0 / 16.0, 0.0},
        {D4, 1.0, 2.0, 0.0},
        {D5, 1.0, 140.0 / 162.0, 0.0},
        {D5, 1.0, 1.0, 0.0},
        {D7, 1.0, 0.5, 0.75},
        {D7, 1.0, 1.0, 0.0},
        {D7, 1.0, 3.0, 0.0},
        {D6, 1.0, 1.0, std::exp(-2.0)},
        {D1, 1.0, 1.0, std::exp(-3.141592654)},
        {D2, 0.5, 2.0, 1.0 / (1.0 + 9.869604403666765)},
        {D3, 1.0, 1.0, 1.0 / std::sqrt(53.015)},
        // Away from x = ks r = 0 and 1, where a wrong power of x still
        // gives the right value.
        {D1, 1.3, 0.5, std::exp(-3.141592654 * 0.65 * 0.65)},
        {D1, 0.5, 3.0, std::exp(-3.141592654 * 2.25)},
        {D2, 2.0, 0.2, 1.0 / (1.0 + 9.869604403666765 * 0.16)},
        {D3, 1.0, 0.3, 1.0 / std::sqrt(1.0 + 52.015 * 0.09)},
        {D4, 1.0, 0.5, std::pow(1.0 - std::pow(0.5 * 16 / 15, 2), 2)},
        {D5, 1.0, 0.5, std::pow(1.0 - std::pow(0.5 * 162 / 140, 3), 3)},
        {D6, 0.25, 1.0, std::exp(-1.0)},
        {I0, 2.0, 1.5, std::sqrt(10.0)},
        // The I kernels ignore ks.
        {I1, 7.0, 3.0, 3.0},
        {I2, 7.0, 2.0, 4.0 * std::log(2.0)},
        {I3, 7.0, 2.0, 8.0},
        {I4, 7.0, 2.0, 16.0 * std::log(2.0)},
        {I0, 1.0, 1.0, std::sqrt(2.0)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(kernel_type_to_str(c.kt) + " ks=" + std::to_string(c.ks) +
                     " r=" + std::to_string(c.r));
        EXPECT_DOUBLE_EQ(c.value, kernel(c.kt, c.ks, c.r));
    }

    Matrix R("R", 1, 2);
    R.set(0, 0, 0.0);
    R.set(0, 1, 0.5);
    const Matrix K = kernel(D7, 1.0, R);
    EXPECT_EQ("R", K.get_name());
    EXPECT_DOUBLE_EQ(0.75, K.get(0, 1));
    EXPECT_EQ(0.5, R.get(0, 1)); // the argument is a copy
}

TEST(TeskoraKernel, ParsersAndProperties)
{
    struct Parse
    {
        const char* text;
        kernel_t kt;
    };
    for (const Parse& p : std::vector<Parse>{{"D1", D1},
                                             {"GAUSSIAN", D1},
                                             {"BI-QUADRATIC", D4},
                                             {"TRI_CUBIC", D5},
                                             {"EPA", D7},
                                             {"MULTI_QUADRATIC", I0},
                                             {"PHS4", I4}})
    {
        SCOPED_TRACE(p.text);
        EXPECT_EQ(p.kt, str_to_kernel_type(p.text));
    }
    EXPECT_EQ(I3, int_to_kernel_type(10));
    EXPECT_EQ(-1, kernel_dmin(D3));
    EXPECT_EQ(0, kernel_dmin(I0));
    EXPECT_EQ(0, kernel_dmin(I1));
    EXPECT_EQ(1, kernel_dmin(I2));
    EXPECT_TRUE(kernel_has_parameter(I0));
    EXPECT_FALSE(kernel_has_parameter(I1));
    EXPECT_TRUE(kernel_is_decreasing(D7));
    EXPECT_FALSE(kernel_is_decreasing(I0));

    const kernel_t bad = static_cast<kernel_t>(12);
    expectErrors({
        {"lower case gaussian", [] { str_to_kernel_type("gaussian"); },
         "str_to_kernel_type: unrecognised string \"gaussian\""},
        {"lower case d1", [] { str_to_kernel_type("d1"); },
         "str_to_kernel_type: unrecognised string \"d1\""},
        {"int 11", [] { int_to_kernel_type(11); }, "int_to_kernel_type: invalid integer 11"},
        {"int -1", [] { int_to_kernel_type(-1); }, "int_to_kernel_type: invalid integer -1"},
        {"to_str", [=] { kernel_type_to_str(bad); }, "kernel_type_to_str: undefined kernel type"},
        {"decreasing", [=] { kernel_is_decreasing(bad); },
         "kernel_is_decreasing: undefined kernel type"},
        {"parameter", [=] { kernel_has_parameter(bad); },
         "kernel_has_parameter: undefined kernel type"},
        {"dmin", [=] { kernel_dmin(bad); }, "kernel_dmin: undefined kernel type"},
        {"kernel", [=] { kernel(bad, 1.0, 1.0); }, "kernel: undefined kernel type"},
    });
}

TEST(TeskoraMetric, ClassesAndTexts)
{
    EXPECT_EQ(RMSECV, str_to_metric_type("press"));
    EXPECT_EQ(RMSECV, str_to_metric_type("PrEsS"));
    EXPECT_EQ(AOECV, str_to_metric_type("aoecv"));
    EXPECT_EQ(NORM_INF, metric_type_to_norm_type(EMAXCV));
    EXPECT_EQ(NORM_2, metric_type_to_norm_type(ARMSECV));
    EXPECT_TRUE(one_metric_value_per_bbo(LINV));
    EXPECT_FALSE(one_metric_value_per_bbo(EFIOE));
    EXPECT_TRUE(metric_uses_cv(EFIOECV));
    EXPECT_FALSE(metric_uses_cv(LINV));

    struct Convert
    {
        metric_t from, to;
    };
    for (const Convert& c : std::vector<Convert>{{EMAX, AOECV},
                                                 {EMAXCV, AOECV},
                                                 {OECV, AOECV},
                                                 {LINV, AOECV},
                                                 {RMSE, ARMSE},
                                                 {RMSECV, ARMSECV},
                                                 {OE, AOE},
                                                 {ARMSE, ARMSE},
                                                 {ARMSECV, ARMSECV},
                                                 {AOE, AOE},
                                                 {AOECV, AOECV},
                                                 {EFIOE, EFIOE},
                                                 {EFIOECV, EFIOECV}})
    {
        SCOPED_TRACE(metric_type_to_str(c.from));
        EXPECT_EQ(c.to, metric_convert_single_obj(c.from));
    }

    const metric_t bad = static_cast<metric_t>(13);
    expectErrors({
        {"no norm for OE", [] { metric_type_to_norm_type(OE); },
         "This metric does not have an associated norm"},
        {"unknown text", [] { str_to_metric_type("rms"); }, "Unrecognised string \"rms\" ( RMS )"},
        {"to_str", [=] { metric_type_to_str(bad); }, "Undefined metric"},
        {"per bbo", [=] { one_metric_value_per_bbo(bad); }, "Undefined metric"},
        {"uses cv", [=] { metric_uses_cv(bad); }, "Undefined metric"},
        {"single obj", [=] { metric_convert_single_obj(bad); }, "Undefined metric"},
    });
}
