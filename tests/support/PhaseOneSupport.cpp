#include "support/PhaseOneSupport.hpp"

#include <fstream>
#include <sstream>

#include "Algos/Algorithm.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/MainStep.hpp"
#include "Eval/Eval.hpp"
#include "Eval/EvalPoint.hpp"
#include "Eval/EvalQueuePoint.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/Double.hpp"
#include "Output/OutputDirectToFile.hpp"
#include "Output/OutputQueue.hpp"
#include "Util/AllStopReasons.hpp"
#include "support/TestProblems.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;

namespace QarnoTest
{

PhaseOneRules currentPhaseOneRules()
{
    const BBOutputTypeList types = {BBOutputType::OBJ, BBOutputType::EB};
    PhaseOneRules rules;

    Eval violated;
    violated.setBBO("0 5", types, true);
    rules.hCountsEBAsPB = Eval::_computeH(violated, types).isDefined() &&
                          Eval::_computeH(violated, types) < Double(INF);

    // A feasible candidate worse in f than a feasible reference: a failure
    // by default, a success when only h counts.
    Eval worse;
    worse.setBBO("5 -1", types, true);
    worse.setH(0);
    Eval better;
    better.setBBO("1 -1", types, true);
    better.setH(0);
    rules.evalSuccessOnHAlone =
        SuccessType::FULL_SUCCESS == Eval::_computeSuccessType(&worse, &better, Double(INF));

    const auto& evc = EvcInterface::getEvaluatorControl();
    if (nullptr != evc)
    {
        auto candidate = std::make_shared<EvalPoint>(Point(1, Double(0)));
        candidate->setBBO("5 -1", types, EvalType::BB, true);
        candidate->setH(0);
        auto reference = std::make_shared<EvalPoint>(Point(1, Double(1)));
        reference->setBBO("1 -1", types, EvalType::BB, true);
        reference->setH(0);
        rules.queueSuccessOnHAlone =
            SuccessType::FULL_SUCCESS ==
            evc->getMainThreadInfo(-1).getComputeSuccessType()(candidate, reference, Double(INF));
    }
    rules.solutionFileOff =
        OutputDirectToFile::hasInstance() && !OutputDirectToFile::getInstance()->_writeSolutionFile;
    return rules;
}

std::string fileContent(const std::string& fileName)
{
    std::ifstream in(fileName);
    std::ostringstream text;
    text << in.rdbuf();
    return in ? text.str() : std::string();
}

std::shared_ptr<FunctionEvaluator>
halfPlaneEB(std::vector<PhaseOneEvalRecord>& records, const std::string& solutionFile,
            const std::function<double(const std::vector<double>&)>& constraint)
{
    const BBOutputTypeList types = {BBOutputType::OBJ, BBOutputType::EB};
    return std::make_shared<FunctionEvaluator>(
        types,
        [&records, solutionFile, constraint](const EvalPoint& point)
        {
            PhaseOneEvalRecord record;
            for (size_t i = 0; i < point.size(); ++i)
            {
                record.x.push_back(point[i].todouble());
            }
            if (const auto* queued = dynamic_cast<const EvalQueuePoint*>(&point))
            {
                record.comment = queued->getComment();
                record.inPhaseOne = queued->getInPhaseOne();
            }
            record.rules = currentPhaseOneRules();
            record.solutionFile = fileContent(solutionFile);
            const auto values = testProblem("halfplane")(record.x);
            const double f = values[0];
            const double c = constraint ? constraint(record.x) : values[1];
            records.push_back(record);
            return Double(f).tostring() + " " + Double(c).tostring();
        });
}

PhaseOneRunResult runPhaseOneMainStep(const std::shared_ptr<AllParameters>& params,
                                      const std::shared_ptr<Evaluator>& evaluator)
{
    PhaseOneRules rules;
    PhaseOneRunResult result;
    static_cast<MadsRunResult&>(result) = runMadsMainStep(
        params, evaluator, CatchErrors::RUN, [&rules] { rules = currentPhaseOneRules(); });
    result.rulesAfterError = rules;
    return result;
}

} // namespace QarnoTest
