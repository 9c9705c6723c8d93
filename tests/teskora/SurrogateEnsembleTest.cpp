#include "teskora/SurrogateEnsemble.hpp"
#include "support/TeskoraTestSupport.hpp"
#include "teskora/Diagnostics.hpp"
#include "teskora/SurrogateCN.hpp"
#include "teskora/SurrogateFactory.hpp"
#include "teskora/SurrogateKS.hpp"
#include "teskora/SurrogateKriging.hpp"
#include "teskora/SurrogateLOWESS.hpp"
#include "teskora/SurrogatePRS.hpp"
#include "teskora/SurrogateRBF.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace TESKORA;
using TeskoraTest::make;
using TeskoraTest::thrownMessage;

namespace
{

// Eight points on a line; output 0 a smooth objective, output 1 a
// constraint.
TrainingSet lineSet()
{
    Matrix X("X", 8, 1), Z("Z", 8, 2);
    for (int i = 0; i < 8; ++i)
    {
        X.set(i, 0, i);
        Z.set(i, 0, (i - 3.0) * (i - 3.0) + 0.3 * i);
        Z.set(i, 1, i - 4.5);
    }
    return TrainingSet(X, Z);
}

using ModelPtr = std::unique_ptr<Surrogate, void (*)(Surrogate*)>;

ModelPtr made(TrainingSet& ts, const std::string& definition)
{
    return ModelPtr(Surrogate_Factory(ts, definition), surrogate_delete);
}

std::unique_ptr<Surrogate_Ensemble> ensembleOf(TrainingSet& ts, const std::string& definition,
                                               const std::vector<std::string>& models)
{
    std::unique_ptr<Surrogate_Ensemble> e(
        new Surrogate_Ensemble(ts, Surrogate_Parameters(definition)));
    for (const auto& m : models)
        e->model_list_add(m);
    return e;
}

} // namespace

TEST(TeskoraFactory, EveryTypeFromItsDefinition)
{
    TrainingSet ts = lineSet();
    struct Case
    {
        const char* definition;
        std::function<bool(Surrogate*)> isExpected;
    };
    const std::vector<Case> cases = {
        {"TYPE PRS", [](Surrogate* s)
         { return dynamic_cast<Surrogate_PRS*>(s) && !dynamic_cast<Surrogate_PRS_EDGE*>(s); }},
        {"TYPE PRS_EDGE",
         [](Surrogate* s) { return dynamic_cast<Surrogate_PRS_EDGE*>(s) != nullptr; }},
        {"TYPE PRS_CAT",
         [](Surrogate* s) { return dynamic_cast<Surrogate_PRS_CAT*>(s) != nullptr; }},
        {"TYPE KS", [](Surrogate* s) { return dynamic_cast<Surrogate_KS*>(s) != nullptr; }},
        {"TYPE CN", [](Surrogate* s) { return dynamic_cast<Surrogate_CN*>(s) != nullptr; }},
        {"TYPE KRIGING",
         [](Surrogate* s) { return dynamic_cast<Surrogate_Kriging*>(s) != nullptr; }},
        {"TYPE RBF", [](Surrogate* s) { return dynamic_cast<Surrogate_RBF*>(s) != nullptr; }},
        {"TYPE LOWESS", [](Surrogate* s) { return dynamic_cast<Surrogate_LOWESS*>(s) != nullptr; }},
        {"TYPE LWR", [](Surrogate* s) { return dynamic_cast<Surrogate_LOWESS*>(s) != nullptr; }},
        {"TYPE ENSEMBLE",
         [](Surrogate* s) { return dynamic_cast<Surrogate_Ensemble*>(s) != nullptr; }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.definition);
        ModelPtr model = made(ts, c.definition);
        EXPECT_TRUE(c.isExpected(model.get()));
        EXPECT_FALSE(model->is_ready());
    }
    EXPECT_EQ(2, made(ts, "TYPE PRS")->get_param().get_degree());
    EXPECT_EQ("Not implemented yet!", thrownMessage([&] { made(ts, "TYPE SVN"); }));

    std::ostringstream out;
    {
        const DiagStreamRedirect redirect(out);
        Matrix X = make("X", {{0}, {1}}), Z = make("Z", {{0}, {1}});
        EXPECT_EQ("Surrogate_factory: constructor from matrices is forbiden.",
                  thrownMessage([&] { Surrogate_Factory(X, Z, "TYPE PRS"); }));
    }
    surrogate_delete(nullptr);
}

TEST(TeskoraEnsemble, Presets)
{
    TrainingSet ts = lineSet();
    struct Case
    {
        const char* preset;
        int size;
    };
    for (const Case& c : std::vector<Case>{{"DEFAULT", 18},
                                           {"default", 18},
                                           {"KS", 7},
                                           {"PRS", 6},
                                           {"IS0", 30},
                                           {"CAT", 30},
                                           {"SUPER1", 4},
                                           {"SMALL", 3},
                                           {"NONE", 0}})
    {
        SCOPED_TRACE(c.preset);
        Surrogate_Ensemble e(ts,
                             Surrogate_Parameters(std::string("TYPE ENSEMBLE PRESET ") + c.preset));
        EXPECT_EQ(c.size, e.get_nb_models());
        EXPECT_EQ(c.size, e.get_param().get_weight().get_nb_rows());
    }

    Surrogate_Ensemble e(ts, Surrogate_Parameters("TYPE ENSEMBLE"));
    std::ostringstream listed;
    e.model_list_display(listed);
    const std::string text = listed.str();
    EXPECT_EQ(0u, text.find("model list (_kmax=18):\n  Model 0: TYPE PRS DEGREE 1 RIDGE 0\n"
                            "  Model 1: TYPE PRS DEGREE 1 RIDGE 0.001\n"));
    EXPECT_NE(
        std::string::npos,
        text.find("  Model 6: TYPE KS KERNEL_TYPE D1 KERNEL_SHAPE 0.1 DISTANCE_TYPE NORM2\n"));
    EXPECT_NE(std::string::npos, text.find("  Model 17: TYPE CN DISTANCE_TYPE NORM2\n"));
    EXPECT_DOUBLE_EQ(1.0 / 18, e.get_param().get_weight().get(17, 1));

    Surrogate_Ensemble none(ts, Surrogate_Parameters("TYPE ENSEMBLE PRESET NONE"));
    std::ostringstream empty;
    none.model_list_display(empty);
    EXPECT_EQ("model list (_kmax=0):\nmodel list is empty\n", empty.str());
    EXPECT_FALSE(none.build());

    EXPECT_EQ(
        "Surrogate_Ensemble::model_list_preset: unrecognized preset \"foo\"",
        thrownMessage(
            [&] { Surrogate_Ensemble bad(ts, Surrogate_Parameters("TYPE ENSEMBLE PRESET foo")); }));
    EXPECT_EQ("Surrogate_Ensemble::set_weight_vector (const int k): k out of range",
              thrownMessage([&] { e.is_ready(18); }));
}

TEST(TeskoraEnsemble, Weights)
{
    TrainingSet ts = lineSet();
    const std::vector<std::string> pair = {"TYPE PRS DEGREE 1", "TYPE KS KERNEL_COEF 1"};

    // The sub-models' own metric values, measured apart.
    std::vector<double> v;
    for (const auto& d : pair)
    {
        ModelPtr m = made(ts, d + " METRIC_TYPE RMSECV");
        ASSERT_TRUE(m->build());
        v.push_back(m->get_metric(RMSECV, 0));
    }
    ASSERT_NE(v[0], v[1]);

    struct Case
    {
        const char* weightType;
        std::vector<double> expected;
    };
    const double total = v[0] + v[1];
    const double a = 1 / (0.05 * total / 2 + v[0]), b = 1 / (0.05 * total / 2 + v[1]);
    const std::vector<Case> cases = {
        {"SELECT", {v[0] < v[1] ? 1.0 : 0.0, v[0] < v[1] ? 0.0 : 1.0}},
        {"WTA1", {1 - v[0] / total, 1 - v[1] / total}},
        {"WTA3", {a / (a + b), b / (a + b)}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.weightType);
        auto e = ensembleOf(
            ts, std::string("TYPE ENSEMBLE PRESET NONE METRIC RMSECV WEIGHT_TYPE ") + c.weightType,
            pair);
        ASSERT_TRUE(e->build());
        const Matrix& W = e->get_param().get_weight();
        EXPECT_NEAR(c.expected[0], W.get(0, 0), 1e-12);
        EXPECT_NEAR(c.expected[1], W.get(1, 0), 1e-12);
    }

    // Equal metric values share the weight; all-zero values weigh equally.
    for (const char* weightType : {"SELECT", "WTA1", "WTA3"})
    {
        SCOPED_TRACE(weightType);
        auto e = ensembleOf(
            ts, std::string("TYPE ENSEMBLE PRESET NONE METRIC RMSE WEIGHT_TYPE ") + weightType,
            {"TYPE CN", "TYPE CN"});
        ASSERT_TRUE(e->build());
        EXPECT_DOUBLE_EQ(0.5, e->get_param().get_weight().get(0, 0));
        EXPECT_DOUBLE_EQ(0.5, e->get_param().get_weight().get(1, 1));
        std::ostringstream shown;
        e->display_private(shown);
        EXPECT_EQ("kmax: 2\nkready: 2\noutput 8 0: 0 1\noutput 8 1: 0 1\n", shown.str());
    }

    // One usable sub-model is not an ensemble: degree 8 without ridge needs
    // more than eight points.
    auto lonely =
        ensembleOf(ts, "TYPE ENSEMBLE PRESET NONE", {"TYPE PRS DEGREE 8 RIDGE 0", "TYPE CN"});
    EXPECT_FALSE(lonely->build());
    EXPECT_FALSE(lonely->is_ready());
}

TEST(TeskoraEnsemble, MixturePrediction)
{
    TrainingSet ts = lineSet();
    const std::vector<std::string> pair = {"TYPE PRS DEGREE 1", "TYPE CN"};
    auto e = ensembleOf(ts, "TYPE ENSEMBLE PRESET NONE METRIC RMSECV WEIGHT_TYPE WTA1", pair);
    ASSERT_TRUE(e->build());
    const Matrix& W = e->get_param().get_weight();

    const Matrix XX = make("XX", {{2.5}, {6.2}});
    std::vector<Matrix> Z(2), S(2);
    for (int k = 0; k < 2; ++k)
    {
        ModelPtr m = made(ts, pair[k]);
        ASSERT_TRUE(m->build());
        Matrix ei, cdf;
        m->predict(XX, &Z[k], &S[k], &ei, &cdf);
    }
    Matrix ZZ, std, ei, cdf;
    e->predict(XX, &ZZ, &std, &ei, &cdf);
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
        {
            SCOPED_TRACE(std::to_string(i) + "," + std::to_string(j));
            double mean = 0, second = 0;
            for (int k = 0; k < 2; ++k)
            {
                mean += W.get(k, j) * Z[k].get(i, j);
                second += W.get(k, j) *
                          (Z[k].get(i, j) * Z[k].get(i, j) + S[k].get(i, j) * S[k].get(i, j));
            }
            EXPECT_NEAR(mean, ZZ.get(i, j), 1e-9);
            EXPECT_NEAR(std::sqrt(std::fabs(second - mean * mean)), std.get(i, j), 1e-9);
        }
    // Only the objective has an expected improvement.
    EXPECT_EQ(0.0, ei.get(0, 1));

    // Three exact copies: the mixture's in-sample deviation is 0, never the
    // worst value where rounding leaves E[z^2] below E[z]^2.
    auto copies =
        ensembleOf(ts, "TYPE ENSEMBLE PRESET NONE METRIC RMSE", {"TYPE CN", "TYPE CN", "TYPE CN"});
    ASSERT_TRUE(copies->build());
    const Matrix Sh = *copies->get_matrix_Shs();
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 2; ++j)
            EXPECT_LT(Sh.get(i, j), 1e-6) << i << "," << j;
}
