// One evaluation: f and h from the output, failed outputs, feasibility,
// dominance, the success rules and their process-wide hooks, the status texts.

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <string>

#include "Eval/Eval.hpp"
#include "Math/Double.hpp"
#include "Param/EvalParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Type/BBOutputType.hpp"
#include "Type/EvalStatusType.hpp"
#include "support/EvalSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::makeEval;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::UNDEF;

namespace
{

const double EPS = Double::DEFAULT_EPSILON;

size_t countLines(const std::string& text)
{
    size_t n = 0;
    for (char c : text)
    {
        n += (c == '\n');
    }
    return n;
}

class EvalTest : public ::testing::Test
{
protected:
    ProcessStateGuard _guard;
};

TEST_F(EvalTest, OutputInterpretedUnderTheTypes)
{
    const struct
    {
        const char* name;
        const char* types;
        const char* raw;
        bool evalOk;
        double f;
        double h;
        EvalStatusType status;
        bool complete;
        size_t errLines; // lines written on standard error
    } cases[] = {
        {"no violation", "OBJ PB", "1 0", true, 1, 0, EvalStatusType::EVAL_OK, true, 0},
        {"violation within epsilon", "OBJ PB", "1 1e-20", true, 1, 0, EvalStatusType::EVAL_OK, true,
         0},
        {"tiny violation counts", "OBJ PB", "1 1e-7", true, 1, EPS, EvalStatusType::EVAL_OK, true,
         0},
        {"squared violation", "OBJ PB", "1 2", true, 1, 4, EvalStatusType::EVAL_OK, true, 0},
        {"sum of squares", "PB OBJ PB PB", "2 5 -1 3", true, 5, 13, EvalStatusType::EVAL_OK, true,
         0},
        {"violated EB", "OBJ EB", "1 0.5", true, 1, INF, EvalStatusType::EVAL_OK, true, 0},
        {"satisfied EB", "OBJ EB PB", "1 -0.5 2", true, 1, 4, EvalStatusType::EVAL_OK, true, 0},
        {"EB stops the sum", "OBJ PB EB", "1 2 1", true, 1, INF, EvalStatusType::EVAL_OK, true, 0},
        {"square beyond the double range", "OBJ PB", "1 1e200", true, 1, INF,
         EvalStatusType::EVAL_OK, true, 0},
        {"infinite violation", "OBJ PB", "1 inf", true, 1, INF, EvalStatusType::EVAL_OK, true, 0},
        {"unused fields", "OBJ BBO_UNDEFINED CNT_EVAL", "3 x 1", true, 3, 0,
         EvalStatusType::EVAL_OK, true, 0},
        {"objective only", "OBJ", "-2.5", true, -2.5, 0, EvalStatusType::EVAL_OK, true, 0},
        {"evaluation did not run", "OBJ PB", "1 2", false, UNDEF, 0, EvalStatusType::EVAL_FAILED,
         true, 0},
        // An output that does not read is a failed evaluation, never an exception.
        {"constraint nan", "OBJ PB", "1 nan", true, 1, INF, EvalStatusType::EVAL_FAILED, false, 1},
        {"constraint word", "OBJ EB", "1 abc", true, 1, INF, EvalStatusType::EVAL_FAILED, false, 1},
        {"objective nan with constraints", "OBJ PB", "nan 0", true, UNDEF, INF,
         EvalStatusType::EVAL_FAILED, false, 1},
        {"objective word", "OBJ", "oops", true, UNDEF, 0, EvalStatusType::EVAL_FAILED, false, 1},
        {"constraint missing", "OBJ PB PB", "1 2", true, UNDEF, INF, EvalStatusType::EVAL_ERROR,
         false, 4},
        {"objective only, extra field", "OBJ", "1 2", true, UNDEF, 0, EvalStatusType::EVAL_FAILED,
         false, 4},
        {"empty output", "OBJ PB", "", true, UNDEF, INF, EvalStatusType::EVAL_ERROR, false, 4},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        CerrCapture err;
        Eval eval;
        eval.setBBO(c.raw, stringToBBOutputTypeList(c.types), c.evalOk);
        EXPECT_EQ(c.status, eval.getEvalStatus());
        EXPECT_EQ(c.complete, eval.isBBOutputComplete());
        EXPECT_FALSE(eval.toBeRecomputed());
        if (c.f != c.f)
        {
            EXPECT_FALSE(eval.getF().isDefined());
        }
        else
        {
            EXPECT_EQ(c.f, eval.getF().todouble());
        }
        EXPECT_EQ(c.h, eval.getH().todouble());
        EXPECT_EQ(c.errLines, countLines(err.text())) << err.text();
    }
}

TEST_F(EvalTest, BuiltFromTheProblemOutputTypes)
{
    auto evalParams = std::make_shared<EvalParameters>();
    evalParams->setAttributeValue<BBOutputTypeList>("BB_OUTPUT_TYPE",
                                                    {BBOutputType::PB, BBOutputType::OBJ});
    evalParams->checkAndComply(std::make_shared<RunParameters>());
    const Eval ok(evalParams, BBOutput("3 -1", true));
    EXPECT_EQ(EvalStatusType::EVAL_OK, ok.getEvalStatus());
    EXPECT_EQ(-1, ok.getF().todouble());
    EXPECT_EQ(9, ok.getH().todouble());
    EXPECT_TRUE(ok.isBBOutputComplete());
    EXPECT_FALSE(ok.toBeRecomputed());

    const Eval notRun(evalParams, BBOutput("3 -1", false));
    EXPECT_EQ(EvalStatusType::EVAL_FAILED, notRun.getEvalStatus());
    EXPECT_FALSE(notRun.getF().isDefined());
}

TEST_F(EvalTest, UnreadableFieldIsNamedOnce)
{
    CerrCapture err;
    Eval eval;
    eval.setBBO("1 2 nan", {BBOutputType::OBJ, BBOutputType::PB, BBOutputType::PB});
    EXPECT_EQ("Warning: Evaluation failed: output 3 (PB) is not a number: \"nan\" in raw output: "
              "1 2 nan\n",
              err.text());
}

TEST_F(EvalTest, RecomputeChecksTheFieldCountFirst)
{
    Eval eval;
    eval.setBBO("1 2", {BBOutputType::OBJ, BBOutputType::PB});
    const struct
    {
        const char* types;
        double h;
    } cases[] = {
        {"OBJ", 4},         // f and h stay as they were
        {"OBJ PB PB", INF}, // a stale h would look like a usable constraint value
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.types);
        Eval e = eval;
        CerrCapture err;
        e.setBBOutputAndRecompute(BBOutput("5 6", true), stringToBBOutputTypeList(c.types));
        EXPECT_EQ(EvalStatusType::EVAL_ERROR, e.getEvalStatus());
        EXPECT_EQ(1, e.getF().todouble());
        EXPECT_EQ(c.h, e.getH().todouble());
        EXPECT_FALSE(e.isBBOutputComplete());
        EXPECT_FALSE(e.toBeRecomputed());
        EXPECT_EQ(2u, countLines(err.text())); // the size message, once
    }

    Eval e = eval;
    e.setBBOutputAndRecompute(BBOutput("5 -1", true), {BBOutputType::OBJ, BBOutputType::PB});
    EXPECT_EQ(EvalStatusType::EVAL_OK, e.getEvalStatus());
    EXPECT_EQ(5, e.getF().todouble());
    EXPECT_EQ(0, e.getH().todouble());
}

TEST_F(EvalTest, StaleValuesWarn)
{
    Eval eval;
    eval.setBBO("1 2", {BBOutputType::OBJ, BBOutputType::PB});
    eval.setBBOutput(BBOutput("7 0", true));
    EXPECT_TRUE(eval.toBeRecomputed());
    EXPECT_EQ(EvalStatusType::EVAL_OK, eval.getEvalStatus());
    CerrCapture err;
    EXPECT_EQ(1, eval.getF().todouble()); // the stale value
    EXPECT_EQ(4, eval.getH().todouble());
    EXPECT_FALSE(eval.isFeasible());
    EXPECT_EQ("Warning: Eval::getF() called on an Eval that needs to be recomputed.\n"
              "Warning: Eval::getH() called on an Eval that needs to be recomputed.\n"
              "Warning: Eval::isFeasible() called on an Eval that needs to be recomputed.\n",
              err.text());

    // An empty type list stores the output and only marks it stale.
    Eval fresh;
    fresh.setBBO("3", {});
    EXPECT_TRUE(fresh.toBeRecomputed());
    EXPECT_EQ("3", fresh.getBBO());
}

TEST_F(EvalTest, FeasibilityAndTheValueSetters)
{
    const struct
    {
        double h;
        bool feasible;
    } cases[] = {{0, true}, {EPS / 2, true}, {EPS, false}, {-EPS / 2, true}, {INF, false}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.h);
        EXPECT_EQ(c.feasible, makeEval(1, c.h).isFeasible());
    }

    Eval eval = makeEval(1, 0);
    EXPECT_EQ("Error: Trying to set a negative h (-1)", messageOf([&] { eval.setH(-1.0); }));
    EXPECT_EQ(0, eval.getH().todouble());
    EXPECT_THROW(eval.setH(Double()), Double::NotDefined);

    eval.setF(Double());
    EXPECT_EQ(EvalStatusType::EVAL_FAILED, eval.getEvalStatus());
    eval.setF(2.0);
    EXPECT_EQ(EvalStatusType::EVAL_OK, eval.getEvalStatus());
}

TEST_F(EvalTest, Dominance)
{
    const struct
    {
        double f1, h1, f2, h2;
        bool dominates;
    } cases[] = {
        {1, 0, 2, 0, true},      {2, 0, 1, 0, false},   {1, 0, 1 + EPS / 2, 0, false},
        {1, 0, 5, 1, false},     {5, 1, 1, 0, false}, // feasible and infeasible never compare
        {1, 1, 2, 2, true},      {1, 2, 1, 2, false}, // equal f and h
        {1, 1, 1, 2, true},      {1, 2, 2, 1, false},   {2, 1, 1, 2, false},
        {1, INF, 2, INF, false}, {0, INF, 5, 3, false}, // an EB violation dominates nothing
        {5, 3, 6, INF, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << c.f1 << "," << c.h1 << " vs " << c.f2 << "," << c.h2);
        const Eval e1 = makeEval(c.f1, c.h1);
        const Eval e2 = makeEval(c.f2, c.h2);
        EXPECT_EQ(c.dominates, e1.dominates(e2));
        EXPECT_EQ(c.dominates, e1 < e2);
    }
}

TEST_F(EvalTest, Equality)
{
    EXPECT_TRUE(makeEval(1, 2) == makeEval(1 + EPS / 2, 2));
    EXPECT_FALSE(makeEval(1, 2) == makeEval(1, 3));
    Eval undefinedF = makeEval(1, 0);
    undefinedF.setF(Double());
    EXPECT_TRUE(undefinedF == undefinedF);
    EXPECT_FALSE(undefinedF == makeEval(1, 0));
    // Status and output are not compared.
    Eval other = makeEval(1, 0);
    other.setEvalStatus(EvalStatusType::EVAL_ERROR);
    EXPECT_TRUE(other == makeEval(1, 0));
}

TEST_F(EvalTest, DefaultSuccessRule)
{
    const double NONE = UNDEF; // no reference
    const struct
    {
        const char* name;
        double f1, h1, f2, h2, hMax;
        SuccessType expected;
    } cases[] = {
        {"feasible improves", 1, 0, 2, 0, INF, SuccessType::FULL_SUCCESS},
        {"feasible does not improve", 2, 0, 2, 0, INF, SuccessType::FAILURE},
        {"feasible against infeasible", 1, 0, 5, 1, INF, SuccessType::NOT_EVALUATED},
        {"infeasible against feasible", 1, 1, 5, 0, INF, SuccessType::NOT_EVALUATED},
        {"dominating infeasible", 1, 1, 2, 2, INF, SuccessType::FULL_SUCCESS},
        {"h improves, f worsens", 5, 1, 3, 2, 10, SuccessType::PARTIAL_SUCCESS},
        {"h improves, f worsens, above hMax", 5, 1, 3, 2, 0.5, SuccessType::FAILURE},
        {"f improves, h worsens", 3, 2, 5, 1, 10, SuccessType::FAILURE},
        {"same f and h", 3, 2, 3, 2, 10, SuccessType::FAILURE},
        {"no reference, within hMax", 3, 2, NONE, NONE, 2, SuccessType::FULL_SUCCESS},
        {"no reference, above hMax", 3, 2 + 2 * EPS, NONE, NONE, 2, SuccessType::FAILURE},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        const Eval e1 = makeEval(c.f1, c.h1);
        const Eval e2 = makeEval(c.f2 == c.f2 ? c.f2 : 0, c.h2 == c.h2 ? c.h2 : 0);
        const Eval* reference = (c.f2 == c.f2) ? &e2 : nullptr;
        EXPECT_EQ(c.expected, Eval::defaultComputeSuccessType(&e1, reference, c.hMax));
    }
    EXPECT_EQ(SuccessType::NOT_EVALUATED, Eval::defaultComputeSuccessType(nullptr, nullptr, INF));
}

TEST_F(EvalTest, PhaseOneRuleAndTheHooks)
{
    const Eval feasible = makeEval(100, 0);
    const Eval lowH = makeEval(9, 1);
    const Eval highH = makeEval(1, 2);
    const struct
    {
        const char* name;
        const Eval* e1;
        const Eval* e2;
        SuccessType expected;
    } cases[] = {
        {"no candidate", nullptr, &lowH, SuccessType::NOT_EVALUATED},
        {"no reference", &highH, nullptr, SuccessType::FULL_SUCCESS},
        {"feasible whatever f", &feasible, &lowH, SuccessType::FULL_SUCCESS},
        {"lower h whatever f", &lowH, &highH, SuccessType::FULL_SUCCESS},
        {"higher h", &highH, &lowH, SuccessType::FAILURE},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, Eval::computeSuccessTypePhaseOne(c.e1, c.e2, 0.0));
    }

    // Phase one swaps the hooks; one call puts the defaults back.
    EXPECT_FALSE(Eval::compEvalFindBest(feasible, highH)); // not comparable by default
    const BBOutput out("1 2", true);
    Eval eb;
    eb.setBBO(out.getBBO(), {BBOutputType::OBJ, BBOutputType::EB});
    EXPECT_EQ(INF, eb.getH().todouble());

    Eval::_computeH = Eval::computeHPB;
    Eval::_computeSuccessType = Eval::computeSuccessTypePhaseOne;
    EXPECT_TRUE(Eval::compEvalFindBest(feasible, highH));
    eb.setBBO(out.getBBO(), {BBOutputType::OBJ, BBOutputType::EB});
    EXPECT_EQ(4, eb.getH().todouble());

    Eval::resetComputeRules();
    EXPECT_FALSE(Eval::compEvalFindBest(feasible, highH));
    eb.setBBO(out.getBBO(), {BBOutputType::OBJ, BBOutputType::EB});
    EXPECT_EQ(INF, eb.getH().todouble());

    EXPECT_EQ("H component must be computed from BB output that is a constraint",
              messageOf([] { Eval::defaultComputeHComponent(BBOutputType::OBJ, 0, 1.0); }));
}

TEST_F(EvalTest, StatusesThatMayBeEvaluatedAgainOrCached)
{
    const struct
    {
        EvalStatusType status;
        bool reEvaluate;
        bool cacheFile;
    } cases[] = {
        {EvalStatusType::EVAL_NOT_STARTED, true, false},
        {EvalStatusType::EVAL_FAILED, false, true},
        {EvalStatusType::EVAL_ERROR, true, true},
        {EvalStatusType::EVAL_USER_REJECTED, true, true},
        {EvalStatusType::EVAL_CONS_H_OVER, true, true},
        {EvalStatusType::EVAL_OK, true, true},
        {EvalStatusType::EVAL_IN_PROGRESS, false, false},
        {EvalStatusType::EVAL_WAIT, false, false},
        {EvalStatusType::EVAL_STATUS_UNDEFINED, false, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(enumStr(c.status));
        Eval eval;
        eval.setEvalStatus(c.status);
        EXPECT_EQ(c.reEvaluate, eval.canBeReEvaluated());
        EXPECT_EQ(c.cacheFile, eval.goodForCacheFile());
    }
}

TEST_F(EvalTest, Display)
{
    EXPECT_EQ("Evaluation OK\t f = 1.5\t h = 0", makeEval(1.5, 0).display());
    EXPECT_EQ("Undefined evaluation status\t Undefined f\t h = inf", Eval().display());
}

TEST(EvalStatusType, TextForms)
{
    // Every name reads back as its own status.
    for (int i = 0; i <= 8; ++i)
    {
        const auto status = static_cast<EvalStatusType>(i);
        std::ostringstream out;
        out << status;
        std::istringstream in(out.str());
        EvalStatusType read = EvalStatusType::EVAL_WAIT;
        in >> read;
        EXPECT_EQ(status, read) << out.str();
    }

    // A word that is no status name (case counts) stays in the stream.
    std::istringstream in("  eval_ok ( 1 )");
    EvalStatusType status = EvalStatusType::EVAL_WAIT;
    in >> status;
    EXPECT_EQ(EvalStatusType::EVAL_WAIT, status);
    std::string word;
    in >> word;
    EXPECT_EQ("eval_ok", word);

    const auto bad = static_cast<EvalStatusType>(9);
    CerrCapture err;
    std::ostringstream out;
    out << bad;
    EXPECT_EQ("", out.str());
    EXPECT_EQ("Warning: Unknown eval status type\n", err.text());
    EXPECT_EQ("Unrecognized evaluation status", messageOf([&] { enumStr(bad); }));
    EXPECT_EQ("Evaluation rejected by user (may be submitted again)",
              enumStr(EvalStatusType::EVAL_USER_REJECTED));
}

} // namespace
