"""QARNO: derivative-free minimisation of costly blackbox functions."""

from array import array
from typing import Callable, Optional, Tuple, Union

import numpy as np
import numpy.typing as npt

__version__: str

_Vector = npt.NDArray[np.float64]
_Buffer = Union[_Vector, "array[float]", memoryview]
_Value = Union[float, int, np.floating]

def minimize(
    fun: Callable[[_Vector], Union[_Value, Tuple[_Value, ...]]],
    x0: _Buffer,
    lb: Optional[_Buffer],
    ub: Optional[_Buffer],
    /,
    **options: Union[str, int],
) -> Tuple[float, _Vector]:
    """Minimise fun over the box [lb, ub] without derivatives; returns (f, x)."""
    ...
