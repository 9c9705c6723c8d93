#include "Python/NumpyApi.hpp"

#include "Python/PyCallback.hpp"

#include "Param/EvalParameters.hpp"
#include "Type/BBOutputType.hpp"
#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

namespace
{

/// The argument of the objective: a new float64 array of `dim` values.
/// Empty, with the Python error set, when the allocation fails. It is passed
/// without an argument tuple (one object less to make and collect per call).
PyQarno::PyRef newArgument(npy_intp dim)
{
    return PyQarno::PyRef(PyArray_SimpleNew(1, &dim, NPY_DOUBLE));
}

} // namespace

PyCallback::PyCallback(const std::shared_ptr<EvalParameters>& evalParams, PyObject* callable)
    : Evaluator(evalParams, EvalType::BB, EvalXDefined::UNDEFINED),
      _callable(PyQarno::PyRef::borrowed(callable)),
      _bbOutputType(evalParams->getAttributeValue<BBOutputTypeList>("BB_OUTPUT_TYPE")),
      _pendingError()
{
}

PyCallback::~PyCallback()
{
    if (!Py_IsInitialized())
    {
        // The interpreter is gone (the process is ending): its objects went
        // with it.
        _callable.release();
        _pendingError.abandon();
        return;
    }
    PyQarno::GilEnsure gil;
    _callable.reset();
    _pendingError.clear();
}

bool PyCallback::restorePendingError() const
{
    return _pendingError.restore();
}

bool PyCallback::resultToValues(PyObject* result, std::vector<double>& values)
{
    values.clear();
    if (!PyTuple_Check(result))
    {
        const double value = PyFloat_AsDouble(result);
        if (-1.0 == value && nullptr != PyErr_Occurred())
        {
            return false;
        }
        values.push_back(value);
        return true;
    }
    const Py_ssize_t size = PyTuple_GET_SIZE(result);
    for (Py_ssize_t i = 0; i < size; ++i)
    {
        const double value = PyFloat_AsDouble(PyTuple_GET_ITEM(result, i));
        if (-1.0 == value && nullptr != PyErr_Occurred())
        {
            return false;
        }
        values.push_back(value);
    }
    return true;
}

std::vector<bool> PyCallback::eval_block(std::vector<std::shared_ptr<EvalPoint>>& block,
                                         const Double& /*hMax*/, std::vector<bool>& countEval) const
{
    std::vector<bool> evalOk(block.size(), false);
    countEval.resize(block.size(), false);
    if (block.empty())
    {
        return evalOk;
    }
    PyQarno::GilEnsure gil;

    for (size_t i = 0; i < block.size(); ++i)
    {
        EvalPoint& point = *block[i];
        const auto dim = static_cast<npy_intp>(point.size());
        // A new array for every point: the objective may keep the one it
        // got, or change it, without touching another point.
        PyQarno::PyRef argument = newArgument(dim);
        if (!argument)
        {
            if (nullptr == PyErr_Occurred())
            {
                PyErr_NoMemory();
            }
            _pendingError.fetch();
            QARNO_THROW(Exception, "No memory for the argument of the objective function");
        }
        auto* data =
            static_cast<double*>(PyArray_DATA(reinterpret_cast<PyArrayObject*>(argument.get())));
        for (npy_intp k = 0; k < dim; ++k)
        {
            data[k] = point[static_cast<size_t>(k)].todouble();
        }

        PyQarno::PyRef result(PyObject_CallOneArg(_callable.get(), argument.get()));
        const bool ok = result && resultToValues(result.get(), _values);
        result.reset();

        if (ok)
        {
            point.setBBO(_values, _bbOutputType, _evalType, true);
            evalOk[i] = true;
        }
        else if (nullptr != PyErr_Occurred())
        {
            if (!PyErr_ExceptionMatches(PyExc_Exception))
            {
                // KeyboardInterrupt, SystemExit and the like ask the program
                // to stop: they end the run and reach the caller of
                // minimize, where they are raised again.
                _pendingError.fetch();
                QARNO_THROW(Exception,
                            "The objective function raised an exception that ends the run");
            }
            // Printed without keeping it in sys.last_traceback: that would
            // hold the objective's frame, and its array, until the next error.
            PyErr_PrintEx(0);
        }
        countEval[i] = true;
    }
    return evalOk;
}

} // namespace QARNO_4_0_0
