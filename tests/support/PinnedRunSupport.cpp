#include "support/PinnedRunSupport.hpp"

#include <charconv>
#include <cstring>

#include "Type/BBOutputType.hpp"

namespace QarnoTest
{

using QARNO_4_0_0::EvalPoint;

std::string fullText(double v)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof(buf), v);
    return std::string(buf, res.ptr);
}

std::uint64_t sequenceDigest(const std::vector<std::vector<double>>& points)
{
    std::uint64_t hash = 1469598103934665603ULL;
    for (const auto& point : points)
    {
        for (double v : point)
        {
            std::uint64_t bits = 0;
            std::memcpy(&bits, &v, sizeof(bits));
            for (int b = 0; b < 8; ++b)
            {
                hash ^= (bits >> (8 * b)) & 0xffU;
                hash *= 1099511628211ULL;
            }
        }
    }
    return hash;
}

double rosenbrock(const EvalPoint& x)
{
    double f = 0;
    for (size_t i = 0; i + 1 < x.size(); ++i)
    {
        const double a = x[i].todouble();
        const double b = x[i + 1].todouble();
        f += 100 * (b - a * a) * (b - a * a) + (1 - a) * (1 - a);
    }
    return f;
}

double shiftedSphere(const EvalPoint& x)
{
    double f = 0;
    for (size_t i = 0; i < x.size(); ++i)
    {
        const double d = x[i].todouble() - 0.1 * static_cast<double>(i + 1);
        f += d * d;
    }
    return f;
}

double slope(const EvalPoint& x)
{
    double f = 0;
    for (size_t i = 0; i < x.size(); ++i)
    {
        f -= (1.0 + static_cast<double>(i)) * x[i].todouble();
    }
    return f;
}

std::shared_ptr<FunctionEvaluator> pinnedEvaluator(const std::string& outputs,
                                                   double (*objective)(const EvalPoint&))
{
    const QARNO_4_0_0::BBOutputTypeList types = QARNO_4_0_0::stringToBBOutputTypeList(outputs);
    const bool constrained = types.size() > 1;
    return std::make_shared<FunctionEvaluator>(types,
                                               [objective, constrained](const EvalPoint& x)
                                               {
                                                   std::string line = fullText(objective(x));
                                                   if (constrained)
                                                   {
                                                       double sum = 0;
                                                       for (size_t i = 0; i < x.size(); ++i)
                                                       {
                                                           sum += x[i].todouble();
                                                       }
                                                       line += " " + fullText(1 - sum);
                                                   }
                                                   return line;
                                               });
}

} // namespace QarnoTest
