#include "Algos/Initialization.hpp"

#include "Eval/Barrier.hpp"
#include "Output/OutputQueue.hpp"

namespace QARNO_4_0_0
{

Initialization::Initialization(const Step* parentStep) : Step(parentStep)
{
    init();
}

Initialization::~Initialization()
{
    try
    {
        OutputQueue::getInstance()->flush();
    }
    catch (...)
    {
        // A faulty queue must not end the process from a destructor; the
        // records stay queued for the next flush.
    }
}

void Initialization::init()
{
    setName(getAlgoName() + "Initialization");
    verifyParentNotNull();
}

} // namespace QARNO_4_0_0
