"""Minimise x1 + x2 on the unit disc, a constraint under the progressive
barrier ("OBJ PB"). The solution is x = (-1/sqrt(2), -1/sqrt(2)), f = -sqrt(2).

Run: python3 examples/constrained.py
"""
import numpy as np

import libpyqarno


def blackbox(x):
    # One value per entry of BB_OUTPUT_TYPE: the objective, then the
    # constraint, feasible when <= 0.
    return (x[0] + x[1], x[0] ** 2 + x[1] ** 2 - 1.0)


x0 = np.array([1.5, 1.5])  # infeasible: the barrier leads the run into the disc

f, x = libpyqarno.minimize(blackbox, x0, None, None,
                           BB_OUTPUT_TYPE="OBJ PB", MAX_BB_EVAL=1000)

print("constrained problem: min x1 + x2 subject to x1^2 + x2^2 <= 1")
print("  best f =", f, "(optimum", -np.sqrt(2.0), ")")
print("  best x =", x)
print("  constraint at x =", x[0] ** 2 + x[1] ** 2 - 1.0)
