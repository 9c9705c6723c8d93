#include "support/MadsSupport.hpp"

#include <iostream>
#include <utility>

#include "Algos/AlgoStopReasons.hpp"
#include "Algos/EvcInterface.hpp"
#include "Algos/MainStep.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/ArrayOfPoint.hpp"
#include "Math/Point.hpp"
#include "Output/OutputQueue.hpp"
#include "Type/BBOutputType.hpp"
#include "Util/AllStopReasons.hpp"
#include "support/StepSupport.hpp"
#include "support/TestSupport.hpp"

namespace QarnoTest
{

using namespace QARNO_4_0_0;

namespace
{
std::string pointText(const std::vector<double>& x)
{
    std::string text = "(";
    for (double v : x)
    {
        text += " " + Double(v).tostring();
    }
    return text + " )";
}
} // namespace

#ifndef QARNO_EXE
#define QARNO_EXE "qarno"
#endif

const std::string& qarnoExe()
{
    static const std::string path = QARNO_EXE;
    return path;
}

std::shared_ptr<AllParameters> makeMadsParameters(size_t n, const std::string& bbOutputType,
                                                  const std::vector<std::vector<double>>& x0s,
                                                  const std::vector<std::string>& lines)
{
    auto params = std::make_shared<AllParameters>();
    params->set_DIMENSION(n);
    params->set_BB_OUTPUT_TYPE(stringToBBOutputTypeList(bbOutputType));
    params->set_DISPLAY_DEGREE(2);
    params->set_ADD_SEED_TO_FILE_NAMES(false);
    for (const auto& x0 : x0s)
    {
        params->readParamLine("X0 " + pointText(x0));
    }
    for (const auto& line : lines)
    {
        params->readParamLine(line);
    }
    return params;
}

std::shared_ptr<FunctionEvaluator>
shiftedQuadratic(const std::vector<double>& shift, const std::string& bbOutputType,
                 const std::function<double(const EvalPoint&)>& constraint)
{
    const BBOutputTypeList types = stringToBBOutputTypeList(bbOutputType);
    const size_t nbCons = types.size() - 1;
    return std::make_shared<FunctionEvaluator>(types,
                                               [shift, nbCons, constraint](const EvalPoint& x)
                                               {
                                                   double f = 0;
                                                   for (size_t i = 0; i < x.size(); ++i)
                                                   {
                                                       const double d = x[i].todouble() - shift[i];
                                                       f += d * d;
                                                   }
                                                   std::string line = Double(f).tostring();
                                                   for (size_t j = 0; j < nbCons; ++j)
                                                   {
                                                       line +=
                                                           " " + Double(constraint(x)).tostring();
                                                   }
                                                   return line;
                                               });
}

MadsRunResult runMadsMainStep(const std::shared_ptr<AllParameters>& params,
                              const std::shared_ptr<Evaluator>& evaluator, CatchErrors catchErrors,
                              const std::function<void()>& onError)
{
    MadsRunResult result;
    StreamCapture out(std::cout);
    const auto caught = [&](const std::function<void()>& op, CatchErrors where)
    {
        if (catchErrors != where)
        {
            op();
            return;
        }
        try
        {
            op();
        }
        catch (const std::exception& e)
        {
            result.error = e.what();
            if (onError)
            {
                onError();
            }
        }
    };
    {
        MainStep mainStep;
        mainStep.setAllParameters(params);
        mainStep.setEvaluator(evaluator);
        caught(
            [&]
            {
                mainStep.start();
                caught([&] { result.runResult = mainStep.run(); }, CatchErrors::RUN);
                for (const auto& algo : mainStep.getAlgos())
                {
                    result.algos.push_back(algo->getName());
                    result.stopReasons.push_back(
                        algo->getAllStopReasons()->getStopReasonAsString());
                }
                if (!result.stopReasons.empty())
                {
                    result.stopReason = result.stopReasons.back();
                }
                mainStep.end();
            },
            CatchErrors::ALL);
    }
    OutputQueue::getInstance()->flush();
    result.out = out.text();
    if (const auto& evc = EvcInterface::getEvaluatorControl())
    {
        result.bbEval = evc->getBbEval();
    }

    std::vector<EvalPoint> best;
    const size_t n = static_cast<size_t>(params->get_dimension());
    if (CacheBase::hasInstance() &&
        CacheBase::getInstance()->findBestFeas(best, Point(n), EvalType::BB, nullptr) > 0)
    {
        for (size_t i = 0; i < best[0].size(); ++i)
        {
            result.bestFeas.push_back(best[0][i].todouble());
        }
        result.bestF = best[0].getF(EvalType::BB).todouble();
    }
    return result;
}

std::shared_ptr<AllParameters>
checkedMadsParameters(size_t n, const std::vector<std::string>& lines,
                      const std::function<void(PbParameters&)>& prepare)
{
    bool hasX0 = false;
    for (const auto& line : lines)
    {
        hasX0 = hasX0 || 0 == line.rfind("X0", 0);
    }
    auto params =
        makeMadsParameters(n, "OBJ PB",
                           hasX0 ? std::vector<std::vector<double>>()
                                 : std::vector<std::vector<double>>{std::vector<double>(n, 1.0)},
                           lines);
    params->checkAndComply();
    if (prepare)
    {
        prepare(*params->get_pb_params());
        params->get_pb_params()->checkAndComply();
    }
    return params;
}

MadsUnderTest::MadsUnderTest(size_t n, const std::vector<std::string>& lines,
                             const std::function<void(PbParameters&)>& prepare)
    : params(checkedMadsParameters(n, lines, prepare)),
      root(std::make_unique<RecordingStep>("Main"))
{
    mads = std::make_unique<Mads>(root.get(), std::make_shared<AlgoStopReasons<MadsStopType>>(),
                                  params->get_run_params(), params->get_pb_params());
}

MadsUnderTest::~MadsUnderTest() = default;

std::function<void(PbParameters&)> setX0s(const std::vector<std::vector<double>>& x0s)
{
    return [x0s](PbParameters& pb)
    {
        ArrayOfPoint points;
        for (const auto& x0 : x0s)
        {
            points.push_back(Point(makeArray(x0)));
        }
        pb.setAttributeValue("X0", points);
    };
}

EvalPoint makeMadsPoint(const std::vector<double>& coords, double f, double c,
                        const std::vector<double>& from)
{
    EvalPoint point(Point(makeArray(coords)));
    const BBOutputTypeList types = {BBOutputType::OBJ, BBOutputType::PB};
    point.setBBO(Double(f).tostring() + " " + Double(c).tostring(), types, EvalType::BB, true);
    point.recomputeFH(types);
    point.setNumberEval(1);
    if (!from.empty())
    {
        point.setPointFrom(std::make_shared<Point>(makeArray(from)));
    }
    return point;
}

} // namespace QarnoTest
