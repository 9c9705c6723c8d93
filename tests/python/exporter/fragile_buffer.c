/* A buffer exporter whose memory lives only while a view is held: each view
 * gets a fresh copy of the values, which is overwritten and freed when the
 * view is released. A reader that keeps the pointer past the release reads
 * garbage (or freed memory) instead of the values. */
#define PY_SSIZE_T_CLEAN
#include <Python.h>
#include <stdlib.h>
#include <string.h>

typedef struct
{
    PyObject_HEAD double* values;
    Py_ssize_t n;
    Py_ssize_t shape[1];
} Fragile;

static int fragile_init(Fragile* self, PyObject* args, PyObject* kwds)
{
    PyObject* seq = NULL;
    (void)kwds;
    if (!PyArg_ParseTuple(args, "O", &seq))
    {
        return -1;
    }
    PyObject* fast = PySequence_Fast(seq, "a sequence of numbers is expected");
    if (fast == NULL)
    {
        return -1;
    }
    self->n = PySequence_Fast_GET_SIZE(fast);
    self->values = (double*)malloc(sizeof(double) * (size_t)(self->n > 0 ? self->n : 1));
    for (Py_ssize_t i = 0; i < self->n; ++i)
    {
        self->values[i] = PyFloat_AsDouble(PySequence_Fast_GET_ITEM(fast, i));
    }
    Py_DECREF(fast);
    return PyErr_Occurred() ? -1 : 0;
}

static void fragile_dealloc(Fragile* self)
{
    free(self->values);
    Py_TYPE(self)->tp_free((PyObject*)self);
}

static int fragile_getbuffer(Fragile* self, Py_buffer* view, int flags)
{
    double* copy = (double*)malloc(sizeof(double) * (size_t)(self->n > 0 ? self->n : 1));
    memcpy(copy, self->values, sizeof(double) * (size_t)self->n);
    self->shape[0] = self->n;
    view->buf = copy;
    view->obj = (PyObject*)self;
    Py_INCREF(self);
    view->len = self->n * (Py_ssize_t)sizeof(double);
    view->readonly = 1;
    view->itemsize = sizeof(double);
    view->format = (flags & PyBUF_FORMAT) ? "d" : NULL;
    view->ndim = 1;
    view->shape = (flags & PyBUF_ND) ? self->shape : NULL;
    view->strides = NULL;
    view->suboffsets = NULL;
    view->internal = NULL;
    return 0;
}

static void fragile_releasebuffer(Fragile* self, Py_buffer* view)
{
    double* copy = (double*)view->buf;
    (void)self;
    for (Py_ssize_t i = 0; i < view->len / (Py_ssize_t)sizeof(double); ++i)
    {
        copy[i] = 12345.0;
    }
    free(copy);
}

static PyBufferProcs fragile_as_buffer = {
    (getbufferproc)fragile_getbuffer,
    (releasebufferproc)fragile_releasebuffer,
};

static PyTypeObject FragileType = {
    PyVarObject_HEAD_INIT(NULL, 0).tp_name = "fragile_buffer.Fragile",
    .tp_basicsize = sizeof(Fragile),
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_new = PyType_GenericNew,
    .tp_init = (initproc)fragile_init,
    .tp_dealloc = (destructor)fragile_dealloc,
    .tp_as_buffer = &fragile_as_buffer,
};

static struct PyModuleDef fragile_module = {
    PyModuleDef_HEAD_INIT, "fragile_buffer", NULL, -1, NULL,
};

PyMODINIT_FUNC PyInit_fragile_buffer(void)
{
    if (PyType_Ready(&FragileType) < 0)
    {
        return NULL;
    }
    PyObject* m = PyModule_Create(&fragile_module);
    if (m == NULL)
    {
        return NULL;
    }
    Py_INCREF(&FragileType);
    PyModule_AddObject(m, "Fragile", (PyObject*)&FragileType);
    return m;
}
