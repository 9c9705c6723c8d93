"""Minimise the Rosenbrock function within the box [-2, 2] x [-2, 2].
The solution is x = (1, 1), f = 0.

Run: python3 examples/bounded.py
"""
import numpy as np

import libpyqarno

calls = 0


def rosenbrock(x):
    # x is a one-dimensional float64 array; the module refills the same array
    # for the next point, so copy it to keep it.
    global calls
    calls += 1
    return 100.0 * (x[1] - x[0] ** 2) ** 2 + (1.0 - x[0]) ** 2


x0 = np.array([-1.5, 1.0])
lb = np.array([-2.0, -2.0])
ub = np.array([2.0, 2.0])

f, x = libpyqarno.minimize(rosenbrock, x0, lb, ub, MAX_BB_EVAL=1000)

print("bounded problem: Rosenbrock in [-2, 2] x [-2, 2], from x0 =", x0)
print("  best f =", f)
print("  best x =", x)
print("  objective calls:", calls)
