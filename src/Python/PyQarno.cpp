#define QARNO_IMPORT_NUMPY_API
#include "Python/NumpyApi.hpp"

#include "Python/PyQarno.hpp"

#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "Algos/EvcInterface.hpp"
#include "Algos/MainStep.hpp"
#include "Algos/ProcessState.hpp"
#include "Algos/Step.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/EvalPoint.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/ArrayOfDouble.hpp"
#include "Math/Grid.hpp"
#include "Math/Point.hpp"
#include "Output/OutputDirectToFile.hpp"
#include "Param/AllParameters.hpp"
#include "Param/DisplayParameters.hpp"
#include "Python/PyCallback.hpp"
#include "Type/BBOutputType.hpp"
#include "Util/Exception.hpp"
#include "Util/SignalRecord.hpp"
#include "Util/TextConstants.hpp"
#include "Util/Utils.hpp"
#include "Util/WriteFailures.hpp"

using QARNO_4_0_0::AllParameters;
using QARNO_4_0_0::ArrayOfDouble;
using QARNO_4_0_0::CacheBase;
using QARNO_4_0_0::Double;
using QARNO_4_0_0::EvalPoint;
using QARNO_4_0_0::EvalType;
using QARNO_4_0_0::EvcInterface;
using QARNO_4_0_0::Grid;
using QARNO_4_0_0::MainStep;
using QARNO_4_0_0::Point;
using QARNO_4_0_0::PyCallback;
using QARNO_4_0_0::Step;

namespace PyQarno
{

namespace
{

/// The granularity that every run uses: the starting point is placed on it.
constexpr double GRANULARITY = 1e-7;

/// A Python error is set: the call returns none with it.
struct PythonErrorSet
{
};

[[noreturn]] void raise(PyObject* type, const std::string& message)
{
    PyErr_SetString(type, message.c_str());
    throw PythonErrorSet();
}

/// Python's repr of a float: "1.0", "inf", "-0.5".
std::string reprOf(double value)
{
    char* text = PyOS_double_to_string(value, 'r', 0, Py_DTSF_ADD_DOT_0, nullptr);
    if (nullptr == text)
    {
        throw PythonErrorSet();
    }
    std::string result(text);
    PyMem_Free(text);
    return result;
}

// ---------------------------------------------------------------------------
// One run at a time
// ---------------------------------------------------------------------------

/// The cache, the evaluation queue, the output queue and the interrupt
/// flags serve the whole process: a second run while one is under way (from
/// another thread, or from inside the objective) would corrupt them.
std::atomic<bool> gRunUnderWay{false};

class RunUnderWayGuard
{
public:
    RunUnderWayGuard() : _owner(!gRunUnderWay.exchange(true)) {}
    ~RunUnderWayGuard()
    {
        if (_owner)
        {
            gRunUnderWay.store(false);
        }
    }
    RunUnderWayGuard(const RunUnderWayGuard&) = delete;
    RunUnderWayGuard& operator=(const RunUnderWayGuard&) = delete;

    bool owner() const { return _owner; }

private:
    bool _owner;
};

/// The evaluation queue of the process outlives the call: it must not keep
/// the objective (and the Python objects it holds) after the run, however
/// the run ended.
class EvaluatorDetachGuard
{
public:
    EvaluatorDetachGuard() = default;
    ~EvaluatorDetachGuard()
    {
        try
        {
            const auto& evc = EvcInterface::getEvaluatorControl();
            if (nullptr != evc)
            {
                evc->setEvaluator(nullptr);
            }
        }
        catch (...)
        {
            // A queue without main thread holds no evaluator for it.
        }
    }
    EvaluatorDetachGuard(const EvaluatorDetachGuard&) = delete;
    EvaluatorDetachGuard& operator=(const EvaluatorDetachGuard&) = delete;
};

// ---------------------------------------------------------------------------
// Arguments
// ---------------------------------------------------------------------------

/// The format of a buffer of native doubles: "d" with an optional native
/// byte-order mark. Any other format (a field named d, swapped bytes) is
/// not read as doubles.
bool isNativeDoubleFormat(const char* format)
{
    if (nullptr == format)
    {
        return false;
    }
    if (0 == std::strcmp(format, "d") || 0 == std::strcmp(format, "@d") ||
        0 == std::strcmp(format, "=d"))
    {
        return true;
    }
#if PY_LITTLE_ENDIAN
    return 0 == std::strcmp(format, "<d");
#else
    return 0 == std::strcmp(format, ">d") || 0 == std::strcmp(format, "!d");
#endif
}

/// The values of a convertible object, copied while the object is held. An
/// array of doubles of another dimension than one is refused with
/// ValueError naming `what`.
bool readDoubles(PyObject* object, const char* what, std::vector<double>& values)
{
    int ndim = -1;
    const Py_ssize_t count = getDoubleBuffer(object, values, &ndim);
    if (ndim >= 0)
    {
        PyErr_Clear();
        raise(PyExc_ValueError, std::string(what) + " must be a one-dimensional array, got " +
                                    std::to_string(ndim) + " dimensions");
    }
    return count > 0;
}

/// A bound array, None or of x0's length; -inf below and +inf above mean
/// no bound, NaN and the other infinities are refused.
bool readBounds(PyObject* object, size_t n, bool lower, std::vector<double>& values)
{
    if (Py_None == object)
    {
        return false;
    }
    const char* which = lower ? "lower" : "upper";
    if (!readDoubles(object, lower ? "the lower bounds" : "the upper bounds", values))
    {
        raise(PyExc_TypeError, "unable to convert bounds array");
    }
    if (values.size() != n)
    {
        PyErr_Format(PyExc_ValueError, "length of initial (%zd) and %s bounds (%zd) do not match",
                     static_cast<Py_ssize_t>(n), which, static_cast<Py_ssize_t>(values.size()));
        throw PythonErrorSet();
    }
    for (size_t i = 0; i < n; ++i)
    {
        if (std::isnan(values[i]))
        {
            raise(PyExc_ValueError,
                  "element " + std::to_string(i) + " of the " + which + " bounds is NaN");
        }
        if (std::isinf(values[i]) && (values[i] > 0) == lower)
        {
            raise(PyExc_ValueError, "element " + std::to_string(i) + " of the " + which +
                                        " bounds is " + (lower ? "+inf" : "-inf"));
        }
    }
    return true;
}

/// Infinite bounds are no bounds.
ArrayOfDouble boundsArray(const std::vector<double>& values)
{
    ArrayOfDouble bounds(values.size());
    for (size_t i = 0; i < values.size(); ++i)
    {
        if (std::isfinite(values[i]))
        {
            bounds[i] = values[i];
        }
    }
    return bounds;
}

/// The point of the granularity's grid nearest to x; for an x within the
/// bounds, the nearest one within the bounds. An x that no grid point can
/// replace is kept as it is, for the parameter checks to report.
double onGranularity(double x, double lb, double ub)
{
    if (!std::isfinite(x / GRANULARITY))
    {
        return x;
    }
    // The grid's own doubles: the starting point is the same point as the
    // one the run would make for these coordinates.
    const Grid grid{Double(GRANULARITY)};
    double r = grid.nearest(x);
    if (x < lb || x > ub)
    {
        return r;
    }
    if (r < lb)
    {
        r = grid.ceil(lb);
    }
    else if (r > ub)
    {
        r = grid.floor(ub);
    }
    return (r >= lb && r <= ub && std::isfinite(r)) ? r : x;
}

/// The text of an option value; TypeError `message` when it is no str.
std::string optionText(PyObject* value, const std::string& message)
{
    if (!PyUnicode_Check(value))
    {
        raise(PyExc_TypeError, message);
    }
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(value, &size);
    if (nullptr == text)
    {
        throw PythonErrorSet();
    }
    return std::string(text, static_cast<size_t>(size));
}

size_t optionSize(PyObject* value)
{
    const size_t count = PyLong_AsSize_t(value);
    if (static_cast<size_t>(-1) == count && nullptr != PyErr_Occurred())
    {
        throw PythonErrorSet();
    }
    return count;
}

int optionInt(PyObject* value)
{
    const long number = PyLong_AsLong(value);
    if (-1 == number && nullptr != PyErr_Occurred())
    {
        throw PythonErrorSet();
    }
    // A seed that an int cannot hold is refused, as the interpreter refuses
    // it for any C int, rather than cut to another seed.
    if (number > std::numeric_limits<int>::max())
    {
        raise(PyExc_OverflowError, "signed integer is greater than maximum");
    }
    if (number < std::numeric_limits<int>::min())
    {
        raise(PyExc_OverflowError, "signed integer is less than minimum");
    }
    return static_cast<int>(number);
}

/// The options given as keywords, in the dictionary's order, then the
/// module's defaults for what was not given.
void readOptions(PyObject* kwargs, AllParameters& params, size_t n)
{
    bool hasBBOutputType = false;
    bool hasDisplayDegree = false;
    bool hasDisplayAllEval = false;
    bool hasDimension = false;

    if (nullptr != kwargs)
    {
        PyObject* key = nullptr;
        PyObject* value = nullptr;
        Py_ssize_t pos = 0;
        while (PyDict_Next(kwargs, &pos, &key, &value))
        {
            const char* keyText = PyUnicode_AsUTF8(key);
            if (nullptr == keyText)
            {
                throw PythonErrorSet();
            }
            const std::string name(keyText);
            if ("MAX_BB_EVAL" == name)
            {
                const size_t maxBbEval = optionSize(value);
                params.setAttributeValue<size_t>("MAX_BB_EVAL", maxBbEval);
                if (nullptr == PyDict_GetItemString(kwargs, "MAX_EVAL"))
                {
                    // Beyond what a count holds, no limit: a wrapped product
                    // would be a small limit.
                    constexpr size_t noLimit = std::numeric_limits<size_t>::max();
                    params.setAttributeValue<size_t>(
                        "MAX_EVAL", (maxBbEval > noLimit / 100) ? noLimit : 100 * maxBbEval);
                }
            }
            else if ("MAX_EVAL" == name)
            {
                params.setAttributeValue<size_t>("MAX_EVAL", optionSize(value));
            }
            else if ("BB_OUTPUT_TYPE" == name)
            {
                const std::string text =
                    optionText(value, "BB_OUTPUT_TYPE value field should be string");
                params.set_BB_OUTPUT_TYPE(QARNO_4_0_0::stringToBBOutputTypeList(text));
                hasBBOutputType = true;
            }
            else if ("SEED" == name)
            {
                if (PyUnicode_Check(value))
                {
                    params.readParamLine("SEED " + optionText(value, ""));
                }
                else
                {
                    params.set_SEED(optionInt(value));
                }
            }
            else
            {
                const std::string text =
                    optionText(value, "string expected for value of '" + name + "'");
                params.readParamLine(name + " " + text);
                // The library reads keywords in any case: a default must not
                // replace what "display_degree" or "bb_output_type" set.
                const std::string keyword = QARNO_4_0_0::upperCopy(name);
                hasBBOutputType = hasBBOutputType || "BB_OUTPUT_TYPE" == keyword;
                hasDisplayDegree = hasDisplayDegree || "DISPLAY_DEGREE" == keyword;
                hasDisplayAllEval = hasDisplayAllEval || "DISPLAY_ALL_EVAL" == keyword;
                hasDimension = hasDimension || "DIMENSION" == keyword;
            }
        }
    }

    if (!hasBBOutputType)
    {
        params.set_BB_OUTPUT_TYPE(QARNO_4_0_0::stringToBBOutputTypeList("OBJ"));
    }
    if (!hasDisplayDegree)
    {
        params.set_DISPLAY_DEGREE(0);
    }
    if (!hasDisplayAllEval)
    {
        params.set_DISPLAY_ALL_EVAL(false);
    }
    if (!hasDimension)
    {
        params.set_DIMENSION(n);
    }
    // Whatever the options said.
    params.set_GRANULARITY(ArrayOfDouble(n, Double(GRANULARITY)));
}

/// The run's parameters from the arguments and options.
std::shared_ptr<AllParameters> makeParameters(PyObject* args, PyObject* kwargs)
{
    auto params = std::make_shared<AllParameters>();

    PyObject* fun = PyTuple_GET_ITEM(args, 0);
    if (!PyCallable_Check(fun))
    {
        raise(PyExc_TypeError, "objective function is not callable");
    }

    std::vector<double> x0;
    if (!readDoubles(PyTuple_GET_ITEM(args, 1), "x0", x0))
    {
        raise(PyExc_TypeError, "unable to convert parameter array");
    }
    const size_t n = x0.size();
    for (size_t i = 0; i < n; ++i)
    {
        if (std::isnan(x0[i]))
        {
            raise(PyExc_ValueError, "element " + std::to_string(i) + " of x0 is NaN");
        }
        if (std::isinf(x0[i]))
        {
            raise(PyExc_ValueError, "element " + std::to_string(i) + " of x0 is infinite");
        }
    }

    std::vector<double> lb;
    std::vector<double> ub;
    const bool hasLb = readBounds(PyTuple_GET_ITEM(args, 2), n, true, lb);
    const bool hasUb = readBounds(PyTuple_GET_ITEM(args, 3), n, false, ub);
    if (hasLb && hasUb)
    {
        for (size_t i = 0; i < n; ++i)
        {
            if (ub[i] <= lb[i])
            {
                raise(PyExc_ValueError, "for element " + std::to_string(i) + ", upper bound (" +
                                            reprOf(ub[i]) + ") is smaller than lower bound (" +
                                            reprOf(lb[i]) + ")");
            }
        }
    }

    // The dimension first: options that are arrays given as text ("X0",
    // "FIXED_VARIABLE", "INITIAL_FRAME_SIZE", ...) are read with it.
    params->set_DIMENSION(n);

    Point start(n);
    const double inf = std::numeric_limits<double>::infinity();
    for (size_t i = 0; i < n; ++i)
    {
        start[i] = onGranularity(x0[i], hasLb ? lb[i] : -inf, hasUb ? ub[i] : inf);
    }
    params->set_X0(start);
    if (hasLb)
    {
        params->set_LOWER_BOUND(boundsArray(lb));
    }
    if (hasUb)
    {
        params->set_UPPER_BOUND(boundsArray(ub));
    }

    readOptions(kwargs, *params, n);
    params->checkAndComply();
    return params;
}

/// (f, x) of the best feasible point of the cache; none, with the error
/// set, when there is none: "no feasible point" after a successful run,
/// "QARNO run failed" after one that failed.
PyRef bestFeasibleResult(bool runSucceeded)
{
    std::vector<EvalPoint> best;
    CacheBase::getInstance()->findBestFeas(best, Point(), EvalType::BB, nullptr);
    if (best.empty())
    {
        PyErr_SetString(PyExc_RuntimeError,
                        runSucceeded ? "no feasible point" : "QARNO run failed");
        return PyRef();
    }

    const EvalPoint& point = best[0];
    // The library holds an infinite objective as the largest double: the
    // caller gets back the infinity the objective returned.
    double fValue = point.getF(EvalType::BB).todouble();
    if (std::fabs(fValue) == std::numeric_limits<double>::max())
    {
        fValue = std::copysign(std::numeric_limits<double>::infinity(), fValue);
    }
    PyRef f(PyFloat_FromDouble(fValue));
    if (!f)
    {
        return PyRef();
    }
    npy_intp n = static_cast<npy_intp>(point.size());
    PyRef x(PyArray_SimpleNew(1, &n, NPY_DOUBLE));
    if (!x)
    {
        return PyRef();
    }
    auto* data = static_cast<double*>(PyArray_DATA(reinterpret_cast<PyArrayObject*>(x.get())));
    for (npy_intp i = 0; i < n; ++i)
    {
        data[i] = point[static_cast<size_t>(i)].todouble();
    }
    return PyRef(PyTuple_Pack(2, f.get(), x.get()));
}

/// The Python exception for the C++ exception being handled.
void raiseForCurrentException(const PyCallback* callback)
{
    try
    {
        throw;
    }
    catch (const PythonErrorSet&)
    {
        return;
    }
    catch (...)
    {
        // Handled below.
    }

    // What ended the run from inside the objective is raised again as it was.
    if (nullptr != callback && callback->restorePendingError())
    {
        return;
    }
    if (Step::_userTerminate)
    {
        PyErr_SetNone(PyExc_KeyboardInterrupt);
        return;
    }
    try
    {
        throw;
    }
    catch (const QARNO_4_0_0::Exception& e)
    {
        PyErr_SetString(PyExc_RuntimeError, e.what());
    }
    catch (const std::bad_alloc&)
    {
        PyErr_NoMemory();
    }
    catch (const std::exception& e)
    {
        PyErr_Format(PyExc_RuntimeError, "[C++] %s", e.what());
    }
    catch (...)
    {
        PyErr_SetString(PyExc_RuntimeError, "Unknown C++ exception");
    }
}

// ---------------------------------------------------------------------------
// Files of the calls
// ---------------------------------------------------------------------------

/// The history file of the last call whose run opened one (empty when that
/// run set none). Every call starts from a fresh writer, which forgets it: a
/// call on the same file would truncate that run's history, and is refused
/// as a second run of the library on it is.
std::string gEarlierHistoryFile;

void checkHistoryFileFree(const AllParameters& params)
{
    QARNO_4_0_0::OutputDirectToFile::checkHistoryFileFree(
        params.get_display_params()->getAttributeValue<std::string>("HISTORY_FILE"),
        gEarlierHistoryFile);
}

void rememberHistoryFile()
{
    using QARNO_4_0_0::OutputDirectToFile;
    if (OutputDirectToFile::hasInstance() && OutputDirectToFile::hasBeenInitialized())
    {
        gEarlierHistoryFile = OutputDirectToFile::getInstance()->getHistoryFile();
    }
}

/// A RuntimeWarning for every file the run could not write. False when a
/// warning was turned into an exception, which is then set.
bool warnWriteFailures()
{
    for (const auto& fileName : QARNO_4_0_0::WriteFailures::files())
    {
        const std::string message = "QARNO could not write the file " + fileName;
        if (PyErr_WarnEx(PyExc_RuntimeWarning, message.c_str(), 1) < 0)
        {
            return false;
        }
    }
    return true;
}

/// The run of one call, once the guard is taken.
PyObject* minimizeRun(PyObject* args, PyObject* kwargs)
{
    // Nothing of an earlier call (options, interrupts, rules, cache,
    // evaluation queue, random generator) reaches this one.
    QARNO_4_0_0::resetProcessState();

    std::shared_ptr<PyCallback> callback;
    PyRef result;
    try
    {
        const auto params = makeParameters(args, kwargs);
        checkHistoryFileFree(*params);

        MainStep mainStep(params);
        callback =
            std::make_shared<PyCallback>(params->get_eval_params(), PyTuple_GET_ITEM(args, 0));
        mainStep.setEvaluator(callback);

        bool runSucceeded = false;
        {
            GilRelease withoutLock;
            EvaluatorDetachGuard detach;
            mainStep.start();
            runSucceeded = mainStep.run();
            mainStep.end();
            // An interrupt received after the last test of the loops still
            // interrupts the call.
            Step::handlePendingInterrupts();
        }

        if (0 != QARNO_4_0_0::SignalRecord::getTermination())
        {
            // The run ended on SIGTERM or SIGHUP, which the end of the run
            // raised again: the program's own handler decides now. When it
            // raises nothing, the best point found so far is the result.
            if (0 == PyErr_CheckSignals())
            {
                result = bestFeasibleResult(runSucceeded);
            }
        }
        else if (Step::_userInterrupt || Step::_userTerminate)
        {
            PyErr_SetNone(PyExc_KeyboardInterrupt);
        }
        else
        {
            result = bestFeasibleResult(runSucceeded);
        }
    }
    catch (...)
    {
        result.reset();
        raiseForCurrentException(callback.get());
    }
    rememberHistoryFile();
    // Also with the result: the files are incomplete, the result stands.
    if (nullptr == PyErr_Occurred() && !warnWriteFailures())
    {
        result.reset();
    }

    if (!result && nullptr == PyErr_Occurred())
    {
        PyErr_SetString(PyExc_RuntimeError, "QARNO run failed");
    }
    return result.release();
}

// ---------------------------------------------------------------------------
// Module definition
// ---------------------------------------------------------------------------

const char* const MINIMIZE_DOC =
    "minimize(fun, x0, lb, ub, /, **options) -> (f, x)\n"
    "--\n"
    "\n"
    "Minimise fun over the box [lb, ub] without derivatives (MADS on a granular\n"
    "mesh, constraints by the extreme and progressive barriers).\n"
    "\n"
    "fun(x)   called with a new one-dimensional float64 array per point; returns a\n"
    "         number, or a tuple with one number per word of BB_OUTPUT_TYPE. A call\n"
    "         that raises or returns anything else is a failed evaluation: the error\n"
    "         is printed and the run goes on. inf and nan are allowed.\n"
    "x0       starting point, a one-dimensional float64 buffer (NumPy array,\n"
    "         array.array('d')), not empty; gives the dimension n.\n"
    "lb, ub   one-dimensional float64 buffers of length n, or None; an infinite\n"
    "         bound means no bound; ub[i] > lb[i].\n"
    "options  library parameters by keyword, values as text as on a parameter line\n"
    "         (DISPLAY_DEGREE=\"2\", DIRECTION_TYPE=\"N+1 UNI\"), except MAX_BB_EVAL and\n"
    "         MAX_EVAL (integers) and SEED (integer or text); 'qarno -h' lists them.\n"
    "         Defaults: BB_OUTPUT_TYPE \"OBJ\", DISPLAY_DEGREE 0, GRANULARITY 1e-7 on\n"
    "         every variable (points lie exactly on that grid, within the bounds).\n"
    "         MAX_BB_EVAL bounds the calls of fun (0: no limit); without it a run\n"
    "         ends when its mesh is at its finest.\n"
    "\n"
    "Returns (f, x): the objective value and the coordinates (float64 array) of\n"
    "the best feasible point evaluated; f == fun(x). Every call starts afresh and\n"
    "is reproducible for a given SEED. The interpreter lock is released during\n"
    "the run and taken back for each call of fun.\n"
    "\n"
    "Raises TypeError (wrong arguments, x0 or a bound not a float64 buffer, an\n"
    "option of the wrong type), ValueError (an array not one-dimensional, lengths\n"
    "that differ, ub[i] <= lb[i], NaN in x0 or a bound, an infinite x0),\n"
    "OverflowError (an integer option out of range), RuntimeError (a parameter the\n"
    "library refuses, no feasible point, a failed run, a second run while one is\n"
    "under way), KeyboardInterrupt (Ctrl-C: the run stops cleanly first).";

const char* const MODULE_DOC =
    "QARNO: derivative-free minimisation of costly blackbox functions.\n"
    "\n"
    "One function, minimize(fun, x0, lb, ub, **options); see its help. The\n"
    "program 'qarno' runs the same library from a parameter file.";

/// Runs once per module object: adds what the module holds besides its
/// function.
int execModule(PyObject* module)
{
    return PyModule_AddStringConstant(module, "__version__", QARNO_4_0_0::VERSION_TEXT);
}

PyMethodDef gMethods[] = {
    {"minimize", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(minimize)),
     METH_VARARGS | METH_KEYWORDS, MINIMIZE_DOC},
    {nullptr, nullptr, 0, nullptr}};

PyModuleDef_Slot gSlots[] = {{Py_mod_exec, reinterpret_cast<void*>(execModule)}, {0, nullptr}};

// No module state: every run's state is its own, and the module holds no
// object of its own.
PyModuleDef gModuleDef = {
    PyModuleDef_HEAD_INIT,
    "libpyqarno", // m_name
    MODULE_DOC,   // m_doc
    0,            // m_size
    gMethods,     // m_methods
    gSlots,       // m_slots
    nullptr,      // m_traverse
    nullptr,      // m_clear
    nullptr       // m_free
};

} // namespace

namespace
{

/// A buffer view of an object, released when it goes out of scope: every
/// read of its memory happens while it is held, since an exporter may free
/// or move that memory once the view is given back.
class BufferView
{
public:
    BufferView(PyObject* object, int flags) : _held(0 == PyObject_GetBuffer(object, &_view, flags))
    {
    }
    ~BufferView()
    {
        if (_held)
        {
            PyBuffer_Release(&_view);
        }
    }
    BufferView(const BufferView&) = delete;
    BufferView& operator=(const BufferView&) = delete;

    bool held() const { return _held; }
    const Py_buffer& get() const { return _view; }

private:
    Py_buffer _view{};
    bool _held;
};

/// `count` doubles from the start of a held view's memory.
Py_ssize_t copyDoubles(const Py_buffer& view, Py_ssize_t count, std::vector<double>& values)
{
    const auto* first = static_cast<const double*>(view.buf);
    values.assign(first, first + count);
    return count;
}

} // namespace

Py_ssize_t getDoubleBuffer(PyObject* object, std::vector<double>& values, int* ndim)
{
    values.clear();
    if (nullptr != ndim)
    {
        *ndim = -1;
    }
    if (PyUnicode_Check(object) || PyBytes_Check(object))
    {
        return 0;
    }

    const Py_ssize_t doubleSize = static_cast<Py_ssize_t>(sizeof(double));
    if (PyObject_CheckBuffer(object))
    {
        // With its shape: without it, a (2, 2) array reads as 4 values and a
        // 0-d array as 1.
        const BufferView shaped(object, PyBUF_ND | PyBUF_FORMAT);
        if (shaped.held())
        {
            const Py_buffer& view = shaped.get();
            if (!isNativeDoubleFormat(view.format) || view.itemsize != doubleSize)
            {
                return 0;
            }
            if (1 != view.ndim)
            {
                if (nullptr != ndim)
                {
                    *ndim = view.ndim;
                }
                return 0;
            }
            if (nullptr == view.buf)
            {
                return 0;
            }
            const Py_ssize_t count =
                (nullptr != view.shape) ? view.shape[0] : view.len / view.itemsize;
            // Never more values than the buffer holds.
            if (count <= 0 || count > view.len / view.itemsize)
            {
                return 0;
            }
            return copyDoubles(view, count, values);
        }
        PyErr_Clear();
    }

    // Plain buffer of a sequence type.
    PyTypeObject* type = Py_TYPE(object);
    if (nullptr == type->tp_as_sequence || nullptr == type->tp_as_buffer ||
        nullptr == type->tp_as_buffer->bf_getbuffer)
    {
        return 0;
    }
    const BufferView plain(object, PyBUF_WRITABLE);
    if (!plain.held())
    {
        return 0;
    }
    const Py_buffer& view = plain.get();
    if (nullptr == view.buf)
    {
        return 0;
    }
    const Py_ssize_t count = view.len / doubleSize;

    PyRef typecode(PyObject_GetAttrString(object, "typecode"));
    if (typecode)
    {
        const char* text =
            PyUnicode_Check(typecode.get()) ? PyUnicode_AsUTF8(typecode.get()) : nullptr;
        if (nullptr != text && 'd' == text[0] && count > 0)
        {
            return copyDoubles(view, count, values);
        }
        return 0;
    }

    const Py_ssize_t length =
        (nullptr != type->tp_as_sequence->sq_length) ? PySequence_Size(object) : -1;
    if ((length > 0 && view.len / length == doubleSize) || (doubleSize == view.len))
    {
        PyErr_Clear();
        return copyDoubles(view, count, values);
    }
    return 0;
}

PyObject* minimize(PyObject* /*self*/, PyObject* args, PyObject* kwargs)
{
    const Py_ssize_t given = PyTuple_GET_SIZE(args);
    if (4 != given)
    {
        PyErr_Format(PyExc_TypeError, "minimize() takes 4 positional arguments but %zd were given",
                     given);
        return nullptr;
    }

    RunUnderWayGuard runGuard;
    if (!runGuard.owner())
    {
        PyErr_SetString(PyExc_RuntimeError,
                        "minimize is already running in this process: runs cannot overlap "
                        "(another thread, or a call from inside the objective function)");
        return nullptr;
    }
    return minimizeRun(args, kwargs);
}

} // namespace PyQarno

PyMODINIT_FUNC PyInit_libpyqarno(void)
{
    if (!Py_IsInitialized())
    {
        Py_Initialize();
    }

    // NumPy's own import code: "numpy._core._multiarray_umath", else the
    // name of NumPy 1, then the checks of the API and ABI versions.
    if (_import_array() < 0)
    {
        PyErr_Print();
        PyErr_SetString(PyExc_ImportError, "numpy._core.multiarray failed to import");
        return nullptr;
    }

    if (nullptr == PyImport_AddModule("numpy"))
    {
        return nullptr;
    }

    // Multi-phase initialisation: the interpreter creates the module from
    // its definition and runs its exec slot.
    return PyModuleDef_Init(&PyQarno::gModuleDef);
}
