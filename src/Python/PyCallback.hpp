#ifndef QARNO_PYTHON_PYCALLBACK_HPP
#define QARNO_PYTHON_PYCALLBACK_HPP

#include "Python/PyGuards.hpp"

#include <memory>
#include <string>
#include <vector>

#include "Eval/Evaluator.hpp"
#include "Type/BBOutputType.hpp"

namespace QARNO_4_0_0
{

/// Evaluates points with a Python callable: for each point of a block, one
/// call with the coordinates as a one-dimensional float64 NumPy array; the
/// number (or tuple of numbers, one per BB_OUTPUT_TYPE entry) it returns
/// becomes the point's output line.
///
/// The run goes on without the interpreter lock; each block takes it for
/// its calls. Every call gets a new array: one that the objective keeps or
/// changes never becomes another point.
///
/// A call that raises, or whose result is not a number or a tuple of
/// numbers, is a failed evaluation: the Python error is printed on
/// sys.stderr and the run goes on. Errors that ask the program to stop
/// (KeyboardInterrupt, SystemExit, any BaseException that is not an
/// Exception) and a failed allocation of the argument array end the run
/// instead: the error is kept (`restorePendingError`) and the block throws.
class PyCallback : public Evaluator
{
public:
    /// The caller holds the interpreter lock; the callable gets a new
    /// reference. The parameters must be checked.
    PyCallback(const std::shared_ptr<EvalParameters>& evalParams, PyObject* callable);
    /// Runs with or without the lock held by the calling thread.
    ~PyCallback() override;

    std::vector<bool> eval_block(std::vector<std::shared_ptr<EvalPoint>>& block, const Double& hMax,
                                 std::vector<bool>& countEval) const override;

    /// Raises again the error that ended the run, if any; false when there
    /// is none. The caller holds the lock.
    bool restorePendingError() const;

private:
    /// The objective's result as numbers, handed to the point as they are
    /// (its output line holds them in round-trip text); false, with a
    /// Python error set, when it is neither a number nor a tuple of numbers.
    static bool resultToValues(PyObject* result, std::vector<double>& values);

    PyQarno::PyRef _callable;
    /// BB_OUTPUT_TYPE of the run, read once: the checked parameters of a
    /// call do not change while it runs.
    BBOutputTypeList _bbOutputType;
    /// The error that ended the run (see the class comment).
    mutable PyQarno::PyErrorHolder _pendingError;
    /// The values of the point being evaluated, kept between calls so that
    /// they are not allocated again for every point.
    mutable std::vector<double> _values;
};

} // namespace QARNO_4_0_0

#endif
