#ifndef QARNO_TESTS_SUPPORT_TESTPROBLEMS_HPP
#define QARNO_TESTS_SUPPORT_TESTPROBLEMS_HPP

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "support/EvcSupport.hpp"

namespace QarnoTest
{

/// One problem of the table that the C++ and the Python tests share
/// (support/problems.txt, which says what each function is).
struct TestProblem
{
    std::string name;
    /// The function's family: sphere, rosenbrock, ellipsoid, quadratic3,
    /// halfplane, disk.
    std::string function;
    /// BB_OUTPUT_TYPE: "OBJ", or "OBJ EB" with one constraint.
    std::string outputs;
    size_t n = 0;
    /// Empty when the problem has no bounds.
    std::vector<double> lower;
    std::vector<double> upper;
    std::vector<double> x0;
    std::vector<double> minimiser;
    double minimum = 0;
    /// f(x0), as the table gives it.
    double fAtX0 = 0;

    /// The outputs at x: f, then the constraint when there is one.
    std::vector<double> operator()(const std::vector<double>& x) const;
    /// The objective at x.
    double f(const std::vector<double>& x) const { return (*this)(x)[0]; }
    /// The problem's blackbox: its outputs in full precision, each point
    /// recorded.
    std::shared_ptr<FunctionEvaluator> evaluator() const;
};

/// Every problem of the table, in its order (read once).
const std::vector<TestProblem>& testProblems();

/// The problem of that name; throws std::out_of_range for an unknown one.
const TestProblem& testProblem(const std::string& name);

/// The table's text form of a point, "( x1 x2 ... )", for parameter lines.
std::string pointLine(const std::vector<double>& x);

} // namespace QarnoTest

#endif
