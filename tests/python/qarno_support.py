"""Objectives and helpers shared by the tests of libpyqarno."""

import numpy as np


class Recorder:
    """An objective that keeps a copy of every point it is called with."""

    def __init__(self, function):
        self.function = function
        self.points = []

    def __call__(self, x):
        self.points.append(np.array(x, copy=True))
        return self.function(x)

    @property
    def calls(self):
        return len(self.points)

    def sequence(self):
        return [tuple(p) for p in self.points]


def sphere(center):
    """sum((x - center)^2), a plain float."""
    center = np.asarray(center, dtype=float)

    def f(x):
        return float(((x - center) ** 2).sum())

    return f


def library_message(error):
    """The message of a library exception's text, without the location
    "QARNO::Exception thrown (file, line) "."""
    text = str(error)
    assert text.startswith("QARNO::Exception thrown ("), text
    return text.split(") ", 1)[1]


def on_granularity(x, granularity=1e-7):
    """Every coordinate is a multiple of the granularity."""
    q = np.asarray(x) / granularity
    return bool(np.all(np.abs(q - np.round(q)) < 1e-6))
