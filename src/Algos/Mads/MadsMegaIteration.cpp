#include "Algos/Mads/MadsMegaIteration.hpp"

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <limits>
#include <string>
#include <utility>

#include "Algos/Mads/Mads.hpp"
#include "Algos/Mads/MadsIteration.hpp"
#include "Algos/Mads/MadsUpdate.hpp"
#include "Algos/Mads/MegaSearchPoll.hpp"
#include "Algos/MeshBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvalPoint.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/RunParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/Exception.hpp"
#include "Util/StreamUtils.hpp"

namespace QARNO_4_0_0
{

namespace
{

bool shown(OutputLevel level)
{
    return OutputQueue::getInstance()->goodLevel(level);
}
} // namespace

MadsMegaIteration::MadsMegaIteration(const Step* parentStep, size_t k,
                                     std::shared_ptr<Barrier> barrier,
                                     std::shared_ptr<MeshBase> mesh, SuccessType success)
    : MegaIteration(parentStep, k, std::move(barrier), success), _mainMesh(std::move(mesh))
{
    init();
}

MadsMegaIteration::~MadsMegaIteration() = default;

void MadsMegaIteration::init() {}

bool MadsMegaIteration::updateMeshAndGoOn()
{
    {
        MadsUpdate update(this);
        update.start();
        update.run();
        update.end();
    }

    _megaIterationSuccess = SuccessType::NOT_EVALUATED;

    _mainMesh->checkMeshForStopping(_stopReasons);
    if (shown(OutputLevel::LEVEL_DEBUG))
    {
        AddOutputDebug("Mesh Stop Reason: " + _stopReasons->getStopReasonAsString());
    }
    return !_stopReasons->checkTerminate();
}

void MadsMegaIteration::startImp()
{
    if (!updateMeshAndGoOn())
    {
        return;
    }

    const std::vector<EvalPoint> xFeas = _barrier->getAllXFeas();
    const std::vector<EvalPoint> xInf = _barrier->getAllXInf();
    size_t maxXFeas = xFeas.size();
    size_t maxXInf = xInf.size();
    computeMaxXFeasXInf(maxXFeas, maxXInf);

    size_t k = _k;
    for (size_t i = 0; i < maxXFeas; ++i)
    {
        _iterList.push_back(std::make_shared<MadsIteration>(
            this, std::make_shared<EvalPoint>(xFeas[i]), k++, _mainMesh));
    }
    for (size_t i = 0; i < maxXInf; ++i)
    {
        _iterList.push_back(std::make_shared<MadsIteration>(
            this, std::make_shared<EvalPoint>(xInf[i]), k++, _mainMesh));
    }

    if (shown(OutputLevel::LEVEL_INFO))
    {
        const size_t nbIter = _iterList.size();
        AddOutputInfo(getName() + " has " + std::to_string(nbIter) + " iteration" +
                          (nbIter >= 2 ? "s" : "") + ".",
                      OutputLevel::LEVEL_INFO);
    }
    if (shown(OutputLevel::LEVEL_DEBUG))
    {
        AddOutputDebug("Iterations generated:");
        for (const auto& iteration : _iterList)
        {
            const auto madsIteration = std::dynamic_pointer_cast<MadsIteration>(iteration);
            if (nullptr == madsIteration)
            {
                QARNO_THROW(Exception, "Invalid shared pointer cast");
            }
            const auto frameCenter = madsIteration->getFrameCenter();
            const auto& pointFrom = frameCenter->getPointFrom();
            const auto mesh = madsIteration->getMesh();
            AddOutputDebug(madsIteration->getName());
            AddOutputDebug("Frame center: " + frameCenter->display(ArrayOfDouble()));
            AddOutputDebug("Previous frame center: " + (nullptr == pointFrom
                                                            ? std::string("NULL")
                                                            : pointFrom->display(ArrayOfDouble())));
            AddOutputDebug("Mesh size:  " + mesh->getdeltaMeshSize().display(ArrayOfDouble()));
            AddOutputDebug("Frame size: " + mesh->getDeltaFrameSize().display(ArrayOfDouble()));
        }
    }
}

bool MadsMegaIteration::runImp()
{
    if (_stopReasons->checkTerminate())
    {
        if (shown(OutputLevel::LEVEL_DEBUG))
        {
            AddOutputDebug("MegaIteration: stopReason = " + _stopReasons->getStopReasonAsString());
        }
        return false;
    }
    if (_iterList.empty())
    {
        QARNO_THROW(Exception, "No iterations to run");
    }

    if (!_runParams->getAttributeValue<bool>("GENERATE_ALL_POINTS_BEFORE_EVAL"))
    {
        SuccessType best = SuccessType::NOT_EVALUATED;
        bool successful = false;
        for (const auto& iteration : _iterList)
        {
            Mads* mads = nullptr;
            for (const Step* s = getParentStep(); nullptr != s; s = s->getParentStep())
            {
                if (const auto* found = dynamic_cast<const Mads*>(s))
                {
                    // The algorithm owns this step and is not const itself:
                    // only the path through the tree is.
                    mads = const_cast<Mads*>(found);
                    break;
                }
                if (s->isAnAlgorithm())
                {
                    break;
                }
            }
            if (nullptr == mads)
            {
                QARNO_THROW(Exception, "Mads MegaIteration without Mads ancestor");
            }

            if (_stopReasons->checkTerminate() || successful || mads->terminate(iteration->getK()))
            {
                break;
            }

            const auto madsIteration = std::dynamic_pointer_cast<MadsIteration>(iteration);
            if (nullptr == madsIteration)
            {
                QARNO_THROW(Exception, "Invalid shared pointer cast");
            }

            madsIteration->start();
            successful = madsIteration->run();
            best = std::max(best, madsIteration->getSuccessType());
            madsIteration->end();

            if (successful && shown(OutputLevel::LEVEL_DEBUG))
            {
                AddOutputDebug(getName() + ": new success " +
                               enumStr(madsIteration->getSuccessType()));
            }
            if (_stopReasons->checkTerminate() && shown(OutputLevel::LEVEL_DEBUG))
            {
                AddOutputDebug(getName() +
                               " stop reason set to: " + _stopReasons->getStopReasonAsString());
            }
            ++_nbIterRun;

            Step::handlePendingInterrupts();
            if (Step::_userInterrupt)
            {
                hotRestartOnUserInterrupt();
            }
        }
        _megaIterationSuccess = best;
        return best >= SuccessType::PARTIAL_SUCCESS;
    }

    // All the points of search and poll of every iteration, evaluated as
    // one block.
    MegaSearchPoll megaSearchPoll(this);
    megaSearchPoll.start();
    const bool evaluatedWithSuccess = megaSearchPoll.run();
    megaSearchPoll.end();

    SuccessType best = SuccessType::NOT_EVALUATED;
    bool result = false;
    if (evaluatedWithSuccess)
    {
        best = _megaIterationSuccess;
        if (shown(OutputLevel::LEVEL_DEBUG))
        {
            AddOutputDebug(getName() + ": new success " + enumStr(best) +
                           " stopReason = " + _stopReasons->getStopReasonAsString());
        }
        result = (best >= SuccessType::PARTIAL_SUCCESS);
    }
    // Every iteration of the list took part: the next k follows them all.
    _k += _iterList.size();

    _megaIterationSuccess = best;
    return result;
}

void MadsMegaIteration::read(std::istream& is)
{
    // Without a barrier the error text has no line end here.
    readTokens(is, false);
}

bool MadsMegaIteration::readOwnToken(const std::string& token, std::istream& is)
{
    if ("MAIN_MESH" != token)
    {
        return false;
    }
    if (nullptr == _mainMesh)
    {
        std::cerr << "Error: Reading a mesh onto a NULL pointer";
    }
    else
    {
        is >> *_mainMesh;
    }
    return true;
}

void MadsMegaIteration::display(std::ostream& os) const
{
    os << "MAIN_MESH " << std::endl;
    if (nullptr != _mainMesh)
    {
        os << *_mainMesh;
    }
    MegaIteration::display(os);
}

std::ostream& operator<<(std::ostream& os, const MadsMegaIteration& megaIteration)
{
    megaIteration.display(os);
    return os;
}

std::istream& operator>>(std::istream& is, MadsMegaIteration& megaIteration)
{
    megaIteration.read(is);
    return is;
}

} // namespace QARNO_4_0_0
