// Output lines of a blackbox executable as other systems write them: lines
// ending in CR LF, fields separated by tabs or other white space.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "Eval/EvalPoint.hpp"
#include "Eval/Evaluator.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvaluatorSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::makeBlockInProgress;
using QarnoTest::makeEvalParams;
using QarnoTest::ProcessStateGuard;
using QarnoTest::TempDir;
using QarnoTest::writeTextFile;

namespace
{

TEST(EvaluatorLineEnds, EveryWhiteSpaceSeparatesAndCrLfEndsALine)
{
    // Point (1, 2) gets the first line, (12, 1) the second: objective and
    // constraint, feasible and then above hMax = 1.
    const struct
    {
        const char* label;
        const char* printed; // printf format of the two lines
        std::vector<std::string> raw;
    } cases[] = {
        {"CR LF", "3 -9\\r\\n13 2\\r\\n", {"3 -9", "13 2"}},
        {"tabs and CR LF", "3\\t-9\\r\\n13\\t\\t2\\r\\n", {"3\t-9", "13\t\t2"}},
        {"vertical tab and form feed", "\\v3\\f-9\\n13 2 \\n", {"\v3\f-9", "13 2 "}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        TempDir dir;
        const std::string script = dir.file("bb.sh");
        writeTextFile(script, std::string("#!/bin/sh\nprintf '") + c.printed + "'\n");
        ASSERT_EQ(0, ::chmod(script.c_str(), 0700));

        Evaluator::initializeTmpFiles(dir.path());
        Evaluator evaluator(makeEvalParams(script, "OBJ PB"), EvalType::BB,
                            EvalXDefined::USE_BB_EXE);
        auto block = makeBlockInProgress({{1, 2}, {12, 1}});
        std::vector<bool> countEval;
        CerrCapture cerr;
        const auto evalOk = evaluator.eval_block(block, Double(1.0), countEval);

        EXPECT_EQ("", cerr.text());
        EXPECT_EQ((std::vector<bool>{true, true}), evalOk);
        EXPECT_EQ(EvalStatusType::EVAL_OK, block[0]->getEvalStatus(EvalType::BB));
        EXPECT_EQ(EvalStatusType::EVAL_CONS_H_OVER, block[1]->getEvalStatus(EvalType::BB));
        EXPECT_EQ(3.0, block[0]->getF(EvalType::BB).todouble());
        EXPECT_EQ(13.0, block[1]->getF(EvalType::BB).todouble());
        // The CR belongs to the line end: it does not reach the output.
        EXPECT_EQ(c.raw[0], block[0]->getBBO(EvalType::BB));
        EXPECT_EQ(c.raw[1], block[1]->getBBO(EvalType::BB));
        Evaluator::removeTmpFiles();
    }
}

} // namespace
