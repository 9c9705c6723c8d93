#include "Algos/Step.hpp"

#include <exception>
#include <iostream>
#include <unistd.h>
#include <utility>

#include "Algos/Algorithm.hpp"
#include "Algos/SignalHandlerGuard.hpp"
#include "Algos/StepException.hpp"
#include "Algos/UserTerminateException.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/AllStopReasons.hpp"
#include "Util/Exception.hpp"
#include "Util/SignalRecord.hpp"

namespace QARNO_4_0_0
{

bool Step::_userInterrupt = false;
bool Step::_userTerminate = false;
Step::StepEndCallback Step::_cbIterationEnd = Step::defaultStepEnd;
Step::StepEndCallback Step::_cbMegaIterationEnd = Step::defaultStepEnd;
Step::HotRestartCallback Step::_cbHotRestart = Step::defaultHotRestart;
std::sig_atomic_t Step::_sigintHandled = 0;
bool Step::_terminationHandled = false;

// ---------------------------------------------------------------------------
// Construction
// ---------------------------------------------------------------------------

Step::Step() : _parentStep(nullptr), _name("Main Step"), _stopReasons(), _runParams(), _pbParams()
{
    init();
}

Step::Step(const Step* parentStep)
    : _parentStep(parentStep), _name("Child step"), _stopReasons(), _runParams(), _pbParams()
{
    if (nullptr == parentStep)
    {
        QARNO_THROW(Exception, "Parent step is NULL. This constructor is for child steps having a "
                               "parent only.");
    }
    _stopReasons = parentStep->_stopReasons;
    _runParams = parentStep->_runParams;
    _pbParams = parentStep->_pbParams;
    init();
}

Step::Step(const Step* parentStep, std::shared_ptr<AllStopReasons> stopReasons,
           const std::shared_ptr<RunParameters>& runParams,
           const std::shared_ptr<PbParameters>& pbParams)
    : _parentStep(parentStep), _name("Step"), _stopReasons(std::move(stopReasons)),
      _runParams(runParams), _pbParams(pbParams)
{
    if (nullptr == _stopReasons)
    {
        QARNO_THROW(Exception, "StopReason is NULL. Must be provided for this child step.");
    }
    init();
}

void Step::init()
{
    if (nullptr == _parentStep)
    {
        return;
    }
    if (nullptr == _runParams)
    {
        _runParams = _parentStep->_runParams;
    }
    if (nullptr == _pbParams)
    {
        _pbParams = _parentStep->_pbParams;
    }
}

Step::~Step()
{
    // A destructor runs during stack unwinding too: a failing flush must not
    // end the process.
    try
    {
        OutputQueue::getInstance()->flush();
    }
    catch (const std::exception& e)
    {
        std::cerr << "Warning: output lost at the end of step " << _name << ": " << e.what()
                  << std::endl;
    }
    catch (...)
    {
        std::cerr << "Warning: output lost at the end of step " << _name << std::endl;
    }
}

// ---------------------------------------------------------------------------
// Life cycle
// ---------------------------------------------------------------------------

void Step::start()
{
    defaultStart();
    startImp();
}

bool Step::run()
{
    return runImp();
}

void Step::end()
{
    endImp();
    defaultEnd();
}

void Step::defaultStart()
{
    // Every step start is a point where a recorded interrupt takes effect.
    handlePendingInterrupts();
    if (nullptr != _stopReasons && !_stopReasons->checkTerminate())
    {
        _stopReasons->setStarted();
    }
    // Every step of every iteration starts here: its line is built only
    // where it is shown.
    if (OutputQueue::getInstance()->goodLevel(OutputLevel::LEVEL_INFO))
    {
        AddOutputInfo("Start step " + getName(), true, false);
    }
}

void Step::defaultEnd()
{
    const auto& queue = OutputQueue::getInstance();
    if (queue->goodLevel(OutputLevel::LEVEL_INFO))
    {
        AddOutputInfo("End step " + getName(), false, true);
    }
    queue->flush();
}

// ---------------------------------------------------------------------------
// Names and ancestors
// ---------------------------------------------------------------------------

template <typename PRED> const Step* Step::findAncestor(PRED wanted) const
{
    for (const Step* s = _parentStep; nullptr != s; s = s->_parentStep)
    {
        if (wanted(*s))
        {
            return s;
        }
        if (s->isAnAlgorithm())
        {
            return nullptr;
        }
    }
    return nullptr;
}

const Step* Step::nearestAlgorithmStep() const
{
    if (isAnAlgorithm())
    {
        return this;
    }
    return findAncestor([](const Step& s) { return s.isAnAlgorithm(); });
}

const Step* Step::rootAlgorithmStep() const
{
    const Step* root = nearestAlgorithmStep();
    if (nullptr == root)
    {
        return nullptr;
    }
    for (const Step* s = root->_parentStep; nullptr != s; s = s->_parentStep)
    {
        if (s->isAnAlgorithm())
        {
            root = s;
        }
    }
    return root;
}

const Algorithm* Step::getRootAlgorithm() const
{
    // Only an Algorithm answers isAnAlgorithm() (its answer is final).
    return static_cast<const Algorithm*>(rootAlgorithmStep());
}

std::string Step::getAlgoName() const
{
    const Step* algo = nearestAlgorithmStep();
    return (nullptr == algo) ? std::string() : algo->getName() + " ";
}

std::shared_ptr<MeshBase> Step::getIterationMesh() const
{
    const Step* iteration = findAncestor([](const Step& s) { return s.isAnIteration(); });
    return (nullptr == iteration) ? nullptr : iteration->ownIterationMesh();
}

std::shared_ptr<EvalPoint> Step::getIterationFrameCenter() const
{
    const Step* iteration = findAncestor([](const Step& s) { return s.isAnIteration(); });
    return (nullptr == iteration) ? nullptr : iteration->ownFrameCenter();
}

std::shared_ptr<Barrier> Step::getMegaIterationBarrier() const
{
    if (isAnAlgorithm() || isAMegaIteration())
    {
        return ownMegaIterationBarrier();
    }
    const Step* mega = findAncestor([](const Step& s) { return s.isAMegaIteration(); });
    return (nullptr == mega) ? nullptr : mega->ownMegaIterationBarrier();
}

void Step::verifyParentNotNull() const
{
    if (nullptr == _parentStep)
    {
        QARNO_THROW(Exception, "Parent step for \"" + getName() + "\" should not be NULL");
    }
}

void Step::verifyGenerateAllPointsBeforeEval(const std::string& method, bool expected) const
{
    if (nullptr == _runParams)
    {
        // Reading the parameter needs the run parameters: report instead of
        // dereferencing nothing.
        throw StepException(
            QARNO_SOURCE_FILE, __LINE__,
            "Error: " + method +
                " needs the run parameters to check GENERATE_ALL_POINTS_BEFORE_EVAL",
            this);
    }
    const bool value = _runParams->getGenerateAllPointsBeforeEval();
    if (value != expected)
    {
        QARNO_THROW(StepException,
                    "Error: " + method + " should only be called if " +
                        " parameter GENERATE_ALL_POINTS_BEFORE_EVAL is " +
                        (expected ? "true" : "false"),
                    this);
    }
}

// ---------------------------------------------------------------------------
// Algorithm comments
// ---------------------------------------------------------------------------

std::string Step::getAlgoComment() const
{
    const Step* root = rootAlgorithmStep();
    // An algorithm that keeps no comment of its own must not forward to itself.
    return (nullptr == root || root == this) ? std::string() : root->getAlgoComment();
}

void Step::setAlgoComment(const std::string& comment, bool force) const
{
    const Step* root = rootAlgorithmStep();
    if (nullptr != root && root != this)
    {
        root->setAlgoComment(comment, force);
    }
}

void Step::resetPreviousAlgoComment(bool force) const
{
    const Step* root = rootAlgorithmStep();
    if (nullptr != root && root != this)
    {
        root->resetPreviousAlgoComment(force);
    }
}

// ---------------------------------------------------------------------------
// Output
// ---------------------------------------------------------------------------

void Step::AddOutputInfo(OutputInfo outputInfo) const
{
    OutputQueue::Add(std::move(outputInfo));
}

void Step::AddOutputInfo(const std::string& msg, bool isBlockStart, bool isBlockEnd) const
{
    const auto& queue = OutputQueue::getInstance();
    if (queue->goodLevel(OutputLevel::LEVEL_INFO))
    {
        queue->add(OutputInfo(getName(), msg, OutputLevel::LEVEL_INFO, isBlockStart, isBlockEnd));
    }
}

void Step::AddOutputInfo(const std::string& msg, OutputLevel level) const
{
    const auto& queue = OutputQueue::getInstance();
    if (queue->goodLevel(level))
    {
        queue->add(OutputInfo(getName(), msg, level));
    }
}

void Step::AddOutputError(const std::string& msg) const
{
    AddOutputInfo(msg, OutputLevel::LEVEL_ERROR);
}

void Step::AddOutputVeryHigh(const std::string& msg) const
{
    AddOutputInfo(msg, OutputLevel::LEVEL_VERY_HIGH);
}

void Step::AddOutputWarning(const std::string& msg) const
{
    AddOutputInfo(msg, OutputLevel::LEVEL_WARNING);
}

void Step::AddOutputHigh(const std::string& msg) const
{
    AddOutputInfo(msg, OutputLevel::LEVEL_HIGH);
}

void Step::AddOutputDebug(const std::string& msg) const
{
    AddOutputInfo(msg, OutputLevel::LEVEL_DEBUG);
}

// ---------------------------------------------------------------------------
// Callbacks
// ---------------------------------------------------------------------------

void Step::addCallback(const CallbackType& callbackType, const StepEndCallback& callback)
{
    switch (callbackType)
    {
    case CallbackType::ITERATION_END:
        _cbIterationEnd = callback;
        break;
    case CallbackType::MEGA_ITERATION_END:
        _cbMegaIterationEnd = callback;
        break;
    default:
        break;
    }
}

void Step::addCallback(const CallbackType& callbackType, const HotRestartCallback& callback)
{
    if (CallbackType::HOT_RESTART == callbackType)
    {
        _cbHotRestart = callback;
    }
}

void Step::runCallback(CallbackType callbackType, const Step& step, bool& stop)
{
    switch (callbackType)
    {
    case CallbackType::ITERATION_END:
        _cbIterationEnd(step, stop);
        break;
    case CallbackType::MEGA_ITERATION_END:
        _cbMegaIterationEnd(step, stop);
        break;
    default:
        break;
    }
}

void Step::runCallback(CallbackType callbackType, std::vector<std::string>& paramLines)
{
    if (CallbackType::HOT_RESTART == callbackType)
    {
        _cbHotRestart(paramLines);
    }
}

void Step::defaultStepEnd(const Step& /*step*/, bool& stop)
{
    stop = false;
}

void Step::defaultHotRestart(std::vector<std::string>& /*paramLines*/) {}

void Step::resetCallbacks()
{
    _cbIterationEnd = defaultStepEnd;
    _cbMegaIterationEnd = defaultStepEnd;
    _cbHotRestart = defaultHotRestart;
}

// ---------------------------------------------------------------------------
// User interrupts
// ---------------------------------------------------------------------------

void Step::userInterrupt(int /*signalValue*/)
{
    // Only this write happens in the signal context; everything else waits
    // for handlePendingInterrupts.
    SignalRecord::addInterrupt();
}

void Step::terminationSignal(int signalValue)
{
    SignalRecord::setTermination(signalValue);
}

void Step::debugSegFault(int signalValue)
{
    static const char text[] = "Caught seg fault in thread 0\n";
    // write(2), sigaction(2) and raise(3) are async-signal-safe; the output
    // queue and exceptions are not.
    const ssize_t written = ::write(STDERR_FILENO, text, sizeof(text) - 1);
    (void)written;
    // The handler that was there before the run gets the fault too (the
    // default one ends the process): the signal raised here waits until
    // this handler returns, and a real fault occurs again anyway.
    SignalHandlerGuard::restorePreviousSegFaultHandler();
    std::raise(signalValue);
}

void Step::handlePendingInterrupts()
{
    const int termination = SignalRecord::getTermination();
    if (0 != termination && !_terminationHandled)
    {
        // Asked to end by the system or the session: the run winds down at
        // once, without a dialog, and still writes its reports.
        _terminationHandled = true;
        std::cout << std::endl
                  << "QARNO caught signal " << SignalRecord::signalName(termination) << "."
                  << std::endl;
        std::cout << "Terminate QARNO." << std::endl;
        AllStopReasons::_baseStopReason.set(BaseStopType::CTRL_C);
        _userTerminate = true;
    }

    while (_sigintHandled < SignalRecord::getInterrupts())
    {
        ++_sigintHandled;
        std::cout << std::endl << "QARNO caught User interruption." << std::endl;
        if (!_userInterrupt)
        {
            std::cout << "Please wait..." << std::endl;
            AllStopReasons::_baseStopReason.set(BaseStopType::CTRL_C);
            _userInterrupt = true;
        }
        else
        {
            std::cout << "Terminate QARNO." << std::endl;
            _userTerminate = true;
            // Interrupts recorded after this one belong to the same stop.
            _sigintHandled = SignalRecord::getInterrupts();
            QARNO_THROW(UserTerminateException, "User termination");
        }
    }
}

void Step::resetInterruptState()
{
    _userInterrupt = false;
    _userTerminate = false;
    SignalRecord::reset();
    _sigintHandled = 0;
    _terminationHandled = false;
}

void Step::hotRestartOnUserInterrupt()
{
    hotRestartBeginHelper();
    hotRestartEndHelper();
}

void Step::hotRestartBeginHelper()
{
    if (nullptr != _runParams &&
        !_runParams->getAttributeValue<bool>("HOT_RESTART_ON_USER_INTERRUPT"))
    {
        _userTerminate = true;
        AllStopReasons::_baseStopReason.set(BaseStopType::CTRL_C);
    }
}

void Step::hotRestartEndHelper()
{
    if (nullptr != _parentStep)
    {
        // The chain climbs to the main step, whose own work is the dialog.
        const_cast<Step*>(_parentStep)->hotRestartOnUserInterrupt();
    }
    if (!_userTerminate && _userInterrupt)
    {
        _userInterrupt = false;
        AllStopReasons::_baseStopReason.set(BaseStopType::STARTED);
    }
}

// ---------------------------------------------------------------------------
// Diagnostics
// ---------------------------------------------------------------------------

void Step::debugShowCallStack() const
{
    std::vector<const Step*> chain;
    for (const Step* s = this; nullptr != s; s = s->_parentStep)
    {
        chain.push_back(s);
    }
    std::cout << "Call stack:" << std::endl;
    std::string indent;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    {
        std::cout << indent << (*it)->getName() << std::endl;
        indent += "  ";
    }
    std::cout << std::endl;
}

} // namespace QARNO_4_0_0
