#include "support/EvaluatorSupport.hpp"

#include <cstdlib>
#include <sstream>
#include <utility>

#include "Math/Point.hpp"
#include "Type/BBOutputType.hpp"
#include "support/TestSupport.hpp"

namespace QarnoTest
{

using namespace QARNO_4_0_0;

const std::string& testBBExe()
{
    static const std::string path = QARNO_TEST_BB_EXE;
    return path;
}

const std::string& testFrontEnd()
{
    static const std::string path = QARNO_TEST_FRONTEND;
    return path;
}

std::string shellWord(const std::string& text)
{
    std::string word = "'";
    for (char c : text)
    {
        word += ('\'' == c) ? std::string("'\\''") : std::string(1, c);
    }
    return word + "'";
}

std::string testBBCommand(const std::string& mode)
{
    return "$" + shellWord(testBBExe()) + " " + mode;
}

std::shared_ptr<EvalParameters> makeEvalParams(const std::string& bbExe,
                                               const std::string& bbOutputType)
{
    auto params = std::make_shared<EvalParameters>();
    params->setAttributeValue<std::string>("BB_EXE", bbExe);
    params->setAttributeValue<BBOutputTypeList>("BB_OUTPUT_TYPE",
                                                stringToBBOutputTypeList(bbOutputType));
    // Not given through a parameter line: the check keeps BB_EXE as it is.
    params->checkAndComply(nullptr);
    return params;
}

std::vector<std::shared_ptr<EvalPoint>>
makeBlockInProgress(const std::vector<std::vector<double>>& coords, EvalType evalType)
{
    std::vector<std::shared_ptr<EvalPoint>> block;
    for (const auto& c : coords)
    {
        auto point = std::make_shared<EvalPoint>(Point(makeArray(c)));
        point->updateTag();
        point->setEvalStatus(EvalStatusType::EVAL_IN_PROGRESS, evalType);
        block.push_back(point);
    }
    return block;
}

ScopedEnv::ScopedEnv(std::string name, const std::optional<std::string>& value)
    : _name(std::move(name))
{
    if (const char* previous = std::getenv(_name.c_str()))
    {
        _previous = previous;
    }
    if (value)
    {
        ::setenv(_name.c_str(), value->c_str(), 1);
    }
    else
    {
        ::unsetenv(_name.c_str());
    }
}

ScopedEnv::~ScopedEnv()
{
    if (_previous)
    {
        ::setenv(_name.c_str(), _previous->c_str(), 1);
    }
    else
    {
        ::unsetenv(_name.c_str());
    }
}

} // namespace QarnoTest
