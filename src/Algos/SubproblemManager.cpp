#include "Algos/SubproblemManager.hpp"

#include <iostream>
#include <string>

#include "Algos/Algorithm.hpp"
#include "Algos/Step.hpp"
#include "Algos/StepException.hpp"

namespace QARNO_4_0_0
{

std::map<const Algorithm*, const Subproblem> SubproblemManager::_map;

void SubproblemManager::reset()
{
    if (!_map.empty())
    {
        std::cerr << "Warning: SubproblemManager::clear() called on non-empty SubproblemManager"
                  << std::endl;
    }
    _map.clear();
}

void SubproblemManager::clear()
{
    _map.clear();
}

void SubproblemManager::addSubproblem(const Algorithm* algo, const Subproblem& subproblem)
{
    if (nullptr == algo)
    {
        QARNO_THROW(StepException,
                    "Error: SubproblemManager: could not add subproblem for a NULL "
                    "Algorithm",
                    nullptr);
    }
    if (!_map.emplace(algo, subproblem).second)
    {
        QARNO_THROW(StepException,
                    "Error: SubproblemManager: could not add subproblem for Algorithm " +
                        algo->getName(),
                    algo);
    }
}

void SubproblemManager::removeSubproblem(const Algorithm* algo)
{
    if (0 == _map.erase(algo))
    {
        const std::string name = (nullptr == algo) ? std::string("NULL") : algo->getName();
        QARNO_THROW(StepException,
                    "Warning: SubproblemManager could not remove subproblem for "
                    "Algorithm " +
                        name,
                    algo);
    }
}

const Subproblem& SubproblemManager::getSubproblem(const Step* step)
{
    if (nullptr == step)
    {
        QARNO_THROW(StepException, "Algorithm not found for a NULL step", nullptr);
    }
    const Algorithm* algo = nullptr;
    for (const Step* s = step; nullptr != s && nullptr == algo; s = s->getParentStep())
    {
        if (s->isAnAlgorithm())
        {
            algo = static_cast<const Algorithm*>(s);
        }
    }
    if (nullptr == algo)
    {
        QARNO_THROW(StepException, "Algorithm not found for step " + step->getName(), step);
    }
    const auto it = _map.find(algo);
    if (it == _map.end())
    {
        std::cerr << "Error: Subproblem not found for Algorithm " << algo->getName() << std::endl;
        throw StepException(
            QARNO_SOURCE_FILE, __LINE__,
            "SubproblemManager could not get Subproblem for step " + step->getName(), step);
    }
    return it->second;
}

const Point& SubproblemManager::getSubFixedVariable(const Step* step)
{
    return getSubproblem(step).getFixedVariable();
}

} // namespace QARNO_4_0_0
