#ifndef QARNO_PYTHON_NUMPYAPI_HPP
#define QARNO_PYTHON_NUMPYAPI_HPP

// NumPy's native array API, through one table pointer shared by the
// module's sources. The source that imports the table (the module's entry
// point) defines QARNO_IMPORT_NUMPY_API before including this header; the
// pointer is null until then.
#include "Python/PyGuards.hpp"

#define PY_ARRAY_UNIQUE_SYMBOL QARNO_PyArray_API
#ifndef QARNO_IMPORT_NUMPY_API
#define NO_IMPORT_ARRAY
#endif
#include <numpy/arrayobject.h>

#endif
