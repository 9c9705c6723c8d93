// Evaluates one point with the test blackbox executable, through the
// temporary input file that the evaluator makes in DIR, then returns from main
// without cleaning up: what is left after the process ended shows what the
// library removes at unload.
//
//     tmp_files_at_exit DIR
//
// Prints the blackbox output of the point.

#include <cstdio>
#include <vector>

#include "Eval/Evaluator.hpp"
#include "Math/Double.hpp"
#include "support/EvaluatorSupport.hpp"

int main(int argc, char** argv)
{
    using namespace QARNO_4_0_0;
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: tmp_files_at_exit DIR\n");
        return 2;
    }
    Evaluator::initializeTmpFiles(argv[1]);
    Evaluator evaluator(QarnoTest::makeEvalParams(QarnoTest::testBBCommand("normal"), "OBJ PB"),
                        EvalType::BB, EvalXDefined::USE_BB_EXE);
    auto block = QarnoTest::makeBlockInProgress({{1, 2}});
    std::vector<bool> countEval;
    evaluator.eval_block(block, Double(1.0), countEval);
    std::printf("%s\n", block[0]->getBBO(EvalType::BB).c_str());
    return 0;
}
