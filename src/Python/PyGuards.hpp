#ifndef QARNO_PYTHON_PYGUARDS_HPP
#define QARNO_PYTHON_PYGUARDS_HPP

// Python.h comes before any standard header, as the interpreter's build
// settings require.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace PyQarno
{

/// One owned reference to a Python object, dropped when the holder dies or
/// is reset: no exit path of a function keeps a reference it took. The
/// interpreter lock must be held wherever the reference is dropped.
class PyRef
{
public:
    PyRef() noexcept = default;
    /// Takes over a new reference (or nothing, for a failed call).
    explicit PyRef(PyObject* owned) noexcept : _object(owned) {}
    ~PyRef() { Py_XDECREF(_object); }

    PyRef(PyRef&& other) noexcept : _object(other.release()) {}
    PyRef& operator=(PyRef&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    PyRef(const PyRef&) = delete;
    PyRef& operator=(const PyRef&) = delete;

    /// A new reference to a borrowed object.
    static PyRef borrowed(PyObject* object) noexcept
    {
        Py_XINCREF(object);
        return PyRef(object);
    }

    PyObject* get() const noexcept { return _object; }
    explicit operator bool() const noexcept { return nullptr != _object; }

    /// Hands the reference over to the caller (a function that steals it).
    PyObject* release() noexcept
    {
        PyObject* object = _object;
        _object = nullptr;
        return object;
    }

    /// The object is set before the old one is dropped: dropping may run
    /// Python code that looks at this holder again.
    void reset(PyObject* owned = nullptr) noexcept
    {
        PyObject* old = _object;
        _object = owned;
        Py_XDECREF(old);
    }

private:
    PyObject* _object = nullptr;
};

/// The interpreter lock for the calling thread, whether or not it held it
/// already, for the guard's lifetime.
class GilEnsure
{
public:
    GilEnsure() noexcept : _state(PyGILState_Ensure()) {}
    ~GilEnsure() { PyGILState_Release(_state); }
    GilEnsure(const GilEnsure&) = delete;
    GilEnsure& operator=(const GilEnsure&) = delete;

private:
    PyGILState_STATE _state;
};

/// Lets other Python threads run while the calling thread, which holds the
/// interpreter lock, works without it; the lock is back when the guard
/// dies, also when it dies by an exception.
class GilRelease
{
public:
    GilRelease() noexcept : _saved(PyEval_SaveThread()) {}
    ~GilRelease() { PyEval_RestoreThread(_saved); }
    GilRelease(const GilRelease&) = delete;
    GilRelease& operator=(const GilRelease&) = delete;

private:
    PyThreadState* _saved;
};

/// A Python error taken out of the interpreter's error indicator, to be
/// raised again later from the thread's outermost call. Needs the lock.
class PyErrorHolder
{
public:
    /// Takes the pending error; nothing when none is pending.
    void fetch() noexcept
    {
#if PY_VERSION_HEX >= 0x030C0000
        _error.reset(PyErr_GetRaisedException());
#else
        PyObject* type = nullptr;
        PyObject* value = nullptr;
        PyObject* traceback = nullptr;
        PyErr_Fetch(&type, &value, &traceback);
        _error.reset(type);
        _value.reset(value);
        _traceback.reset(traceback);
#endif
    }

    bool holdsError() const noexcept
    {
        return static_cast<bool>(_error);
    }

    /// Gives the error back to the error indicator; false when none is held.
    bool restore() noexcept
    {
        if (!_error)
        {
            return false;
        }
#if PY_VERSION_HEX >= 0x030C0000
        PyErr_SetRaisedException(_error.release());
#else
        PyErr_Restore(_error.release(), _value.release(), _traceback.release());
#endif
        return true;
    }

    void clear() noexcept
    {
        _error.reset();
        _value.reset();
        _traceback.reset();
    }

    /// Forgets the references without dropping them: for an interpreter
    /// that is gone.
    void abandon() noexcept
    {
        _error.release();
        _value.release();
        _traceback.release();
    }

private:
    /// The exception (from 3.12), else its type with the two below.
    PyRef _error;
    PyRef _value;
    PyRef _traceback;
};

} // namespace PyQarno

#endif
