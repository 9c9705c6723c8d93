#include "support/SSDSupport.hpp"

#include "Algos/Mads/Mads.hpp"
#include "Algos/SSDMads/SSDMadsMegaIteration.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Math/Point.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Type/DirectionType.hpp"

namespace QarnoTest
{

using namespace QARNO_4_0_0;

void recordSSDMegaIterations(std::vector<SSDMegaIterationRecord>& records)
{
    Step::addCallback(
        CallbackType::MEGA_ITERATION_END,
        Step::StepEndCallback(
            [&records](const Step& step, bool&)
            {
                const auto* mega = dynamic_cast<const SSDMadsMegaIteration*>(&step);
                if (nullptr == mega)
                {
                    return; // the mega-iterations of the sub-problems
                }
                SSDMegaIterationRecord record;
                record.k = mega->getK();
                record.success = mega->getSuccessType();
                for (const auto& mads : mega->getMadsList())
                {
                    SSDSubproblemRecord sub;
                    // The parameters of the Mads are those of its sub-space.
                    const Point& fixed = SubproblemManager::getSubFixedVariable(mads.get());
                    for (size_t i = 0; i < fixed.size(); ++i)
                    {
                        if (!fixed[i].isDefined())
                        {
                            sub.freeVariables.insert(i);
                        }
                    }
                    sub.pollster =
                        DirectionType::SINGLE ==
                            mads->getPbParams()->getAttributeValue<DirectionType>(
                                "DIRECTION_TYPE") &&
                        1 == mads->getRunParams()->getAttributeValue<size_t>("MAX_ITERATIONS");
                    sub.ran = nullptr != mads->getMegaIteration();
                    record.subproblems.push_back(sub);
                }
                records.push_back(record);
            }));
}

} // namespace QarnoTest
