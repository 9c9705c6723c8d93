#ifndef QARNO_PYTHON_PYCALLBACK_HPP
#define QARNO_PYTHON_PYCALLBACK_HPP

#include "Python/PyGuards.hpp"

#include <memory>
#include <string>
#include <vector>

#include "Eval/Evaluator.hpp"

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
    /// reference.
    PyCallback(const std::shared_ptr<EvalParameters>& evalParams, PyObject* callable);
    /// Runs with or without the lock held by the calling thread.
    ~PyCallback() override;

    std::vector<bool> eval_block(std::vector<std::shared_ptr<EvalPoint>>& block, const Double& hMax,
                                 std::vector<bool>& countEval) const override;

    /// Raises again the error that ended the run, if any; false when there
    /// is none. The caller holds the lock.
    bool restorePendingError() const;

    /// The output line of one returned value: the shortest text that reads
    /// back as the same double, locale-free; "inf", "-inf" and "nan" for
    /// the non-finite values.
    static void appendValue(std::string& line, double value);

private:
    /// The objective's result as an output line; false, with a Python error
    /// set, when it is neither a number nor a tuple of numbers.
    static bool resultToLine(PyObject* result, std::string& line);

    PyQarno::PyRef _callable;
    /// The error that ended the run (see the class comment).
    mutable PyQarno::PyErrorHolder _pendingError;
};

} // namespace QARNO_4_0_0

#endif
