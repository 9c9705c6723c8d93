#include "support/TestProblems.hpp"

#include <array>
#include <charconv>
#include <fstream>
#include <locale>
#include <sstream>
#include <stdexcept>

#include "Eval/EvalPoint.hpp"
#include "Type/BBOutputType.hpp"

#ifndef QARNO_TEST_PROBLEMS_FILE
#define QARNO_TEST_PROBLEMS_FILE "problems.txt"
#endif

namespace QarnoTest
{

using namespace QARNO_4_0_0;

namespace
{

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (std::string::npos == first)
    {
        return "";
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<double> numbersOf(const std::string& field)
{
    std::vector<double> values;
    if ("-" == trimmed(field))
    {
        return values;
    }
    std::istringstream in(field);
    in.imbue(std::locale::classic());
    double v = 0;
    while (in >> v)
    {
        values.push_back(v);
    }
    if (!in.eof())
    {
        throw std::runtime_error("problems.txt: not a number in \"" + field + "\"");
    }
    return values;
}

double numberOf(const std::string& field)
{
    const auto values = numbersOf(field);
    if (values.size() != 1)
    {
        throw std::runtime_error("problems.txt: one number expected in \"" + field + "\"");
    }
    return values[0];
}

TestProblem problemOf(const std::string& line)
{
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '|');)
    {
        fields.push_back(trimmed(field));
    }
    if (fields.size() != 10)
    {
        throw std::runtime_error("problems.txt: ten columns expected in \"" + line + "\"");
    }
    TestProblem p;
    p.name = fields[0];
    p.function = fields[1];
    p.outputs = fields[2];
    p.n = static_cast<size_t>(numberOf(fields[3]));
    p.lower = numbersOf(fields[4]);
    p.upper = numbersOf(fields[5]);
    p.x0 = numbersOf(fields[6]);
    p.minimiser = numbersOf(fields[7]);
    p.minimum = numberOf(fields[8]);
    p.fAtX0 = numberOf(fields[9]);
    return p;
}

std::vector<TestProblem> readProblems()
{
    std::ifstream in(QARNO_TEST_PROBLEMS_FILE);
    if (!in)
    {
        throw std::runtime_error("cannot read " + std::string(QARNO_TEST_PROBLEMS_FILE));
    }
    std::vector<TestProblem> problems;
    for (std::string line; std::getline(in, line);)
    {
        if (!trimmed(line).empty() && '#' != trimmed(line)[0])
        {
            problems.push_back(problemOf(line));
        }
    }
    return problems;
}

std::string fullText(double v)
{
    std::array<char, 32> text{};
    const auto end = std::to_chars(text.data(), text.data() + text.size(), v);
    return std::string(text.data(), end.ptr);
}

} // namespace

// Every sum runs in index order and every product as written in the table's
// comment: the Python mirror computes the same doubles.
std::vector<double> TestProblem::operator()(const std::vector<double>& x) const
{
    if ("sphere" == function)
    {
        double f = 0;
        for (size_t i = 0; i < x.size(); ++i)
        {
            const double d = x[i] - minimiser[i];
            f += d * d;
        }
        return {f};
    }
    if ("rosenbrock" == function)
    {
        double f = 0;
        for (size_t i = 0; i + 1 < x.size(); ++i)
        {
            const double a = x[i + 1] - x[i] * x[i];
            const double b = 1 - x[i];
            f += 100 * a * a + b * b;
        }
        return {f};
    }
    if ("ellipsoid" == function)
    {
        double f = 0;
        for (size_t i = 0; i < x.size(); ++i)
        {
            f += static_cast<double>(i + 1) * (x[i] - minimiser[i]) * (x[i] - minimiser[i]);
        }
        return {f};
    }
    if ("quadratic3" == function)
    {
        return {x[0] * x[0] + 2 * x[1] * x[1] + 3 * x[2] * x[2] + 0.5 * x[0] * x[1]};
    }
    if ("halfplane" == function)
    {
        const double f = x[0] + x[1];
        return {f, -1.0 - f};
    }
    if ("disk" == function)
    {
        return {x[0], x[0] * x[0] + x[1] * x[1] - 1.0};
    }
    throw std::runtime_error("problems.txt: unknown function " + function);
}

std::shared_ptr<FunctionEvaluator> TestProblem::evaluator() const
{
    const TestProblem problem = *this;
    return std::make_shared<FunctionEvaluator>(stringToBBOutputTypeList(outputs),
                                               [problem](const EvalPoint& point)
                                               {
                                                   std::vector<double> x(point.size());
                                                   for (size_t i = 0; i < point.size(); ++i)
                                                   {
                                                       x[i] = point[i].todouble();
                                                   }
                                                   std::string line;
                                                   for (double v : problem(x))
                                                   {
                                                       line +=
                                                           (line.empty() ? "" : " ") + fullText(v);
                                                   }
                                                   return line;
                                               });
}

const std::vector<TestProblem>& testProblems()
{
    static const std::vector<TestProblem> problems = readProblems();
    return problems;
}

const TestProblem& testProblem(const std::string& name)
{
    for (const auto& p : testProblems())
    {
        if (p.name == name)
        {
            return p;
        }
    }
    throw std::out_of_range("no test problem " + name);
}

std::string pointLine(const std::vector<double>& x)
{
    std::string text = "(";
    for (double v : x)
    {
        text += " " + fullText(v);
    }
    return text + " )";
}

} // namespace QarnoTest
