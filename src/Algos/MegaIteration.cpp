#include "Algos/MegaIteration.hpp"

#include <cstdint>
#include <iostream>
#include <limits>
#include <string>
#include <utility>

#include "Algos/StepException.hpp"
#include "Eval/Barrier.hpp"
#include "Param/RunParameters.hpp"
#include "Util/StreamUtils.hpp"

namespace QARNO_4_0_0
{

MegaIteration::MegaIteration(const Step* parentStep, size_t k, std::shared_ptr<Barrier> barrier,
                             SuccessType success)
    : Step(parentStep), _iterList(), _barrier(std::move(barrier)), _k(k), _nbIterRun(0),
      _megaIterationSuccess(success)
{
    init();
}

MegaIteration::~MegaIteration() = default;

void MegaIteration::init()
{
    setName(getAlgoName() + "MegaIteration " + std::to_string(_k));
    verifyParentNotNull();
    if (nullptr == _barrier)
    {
        QARNO_THROW(StepException, "MegaIteration constructor: barrier must not be NULL.", this);
    }
}

size_t MegaIteration::getNextK() const
{
    return (_nbIterRun > 0) ? _k + _nbIterRun : _k + 1;
}

void MegaIteration::computeMaxXFeasXInf(size_t& maxXFeas, size_t& maxXInf) const
{
    if (nullptr == _runParams)
    {
        QARNO_THROW(StepException,
                    "Error: " + getName() +
                        " needs the run parameters to read"
                        " MAX_ITERATION_PER_MEGAITERATION",
                    this);
    }
    const auto maxIter = _runParams->getAttributeValue<size_t>("MAX_ITERATION_PER_MEGAITERATION");
    // Compared without adding, so that budgets near the size_t limit cannot wrap.
    if (maxXFeas <= maxIter && maxXInf <= maxIter - maxXFeas)
    {
        return;
    }
    const size_t half = maxIter / 2;
    if (maxXFeas <= half)
    {
        maxXInf = maxIter - maxXFeas;
    }
    else if (maxXInf < half)
    {
        maxXFeas = maxIter - maxXInf;
    }
    else
    {
        maxXInf = half;
        maxXFeas = maxIter - half;
    }
}

void MegaIteration::endImp()
{
    runStepEndCallback(*this, CallbackType::MEGA_ITERATION_END);
    _iterList.clear();
}

void MegaIteration::read(std::istream& is)
{
    readTokens(is, true);
}

void MegaIteration::readTokens(std::istream& is, bool nullBarrierLineEnd)
{
    std::uint64_t k = 0;
    std::string token;
    while (readWord(is, token))
    {
        if ("ITERATION_COUNT" == token)
        {
            // A sign or an overflow fails the read rather than wrapping.
            if (!readUnsigned(is, k, std::numeric_limits<size_t>::max()))
            {
                break;
            }
        }
        else if ("BARRIER" == token)
        {
            if (nullptr == _barrier)
            {
                std::cerr << "Error: Reading a Barrier onto a NULL pointer";
                if (nullBarrierLineEnd)
                {
                    std::cerr << std::endl;
                }
            }
            else
            {
                is >> *_barrier;
            }
        }
        else if (!readOwnToken(token, is))
        {
            putBackWord(is, token);
            break;
        }
    }
    _k = static_cast<size_t>(k);
}

void MegaIteration::display(std::ostream& os) const
{
    os << "ITERATION_COUNT " << _k << std::endl;
    os << "BARRIER " << std::endl;
    if (nullptr != _barrier)
    {
        os << *_barrier;
    }
}

std::ostream& operator<<(std::ostream& os, const MegaIteration& megaIteration)
{
    megaIteration.display(os);
    return os;
}

std::istream& operator>>(std::istream& is, MegaIteration& megaIteration)
{
    megaIteration.read(is);
    return is;
}

} // namespace QARNO_4_0_0
