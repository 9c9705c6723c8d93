#ifndef QARNO_PYTHON_PYQARNO_HPP
#define QARNO_PYTHON_PYQARNO_HPP

#include <vector>

#include "Python/PyGuards.hpp"

/// The module's entry point, called by the interpreter at "import
/// libpyqarno": the new module, or none with ImportError set.
PyMODINIT_FUNC PyInit_libpyqarno(void);

namespace PyQarno
{

/// The module object made by `PyInit_libpyqarno`, with one reference that is
/// never given back; null until the module is imported.
extern PyObject* gThisModule;

/// "minimize"(fun, x0, lb, ub, **options): the best objective value and the
/// best point, a new 2-tuple (float, one-dimensional float64 array); none,
/// with a Python exception set, on failure.
PyObject* minimize(PyObject* self, PyObject* args, PyObject* kwargs);

/// The number of doubles of `object`, copied into `values` while its buffer
/// is held (an exporter may free its memory once the buffer is released); 0
/// when the object cannot be read as a one-dimensional array of native
/// doubles (a Python error may then be set, that the caller replaces). When
/// `ndim` is given, it receives the number of dimensions of a buffer of
/// native doubles that is not one-dimensional (a (2, 2) array gives 2, a
/// 0-d array 0), and -1 otherwise.
Py_ssize_t getDoubleBuffer(PyObject* object, std::vector<double>& values, int* ndim = nullptr);

} // namespace PyQarno

#endif
