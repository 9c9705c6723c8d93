#include "Algos/ModelConstraintViolation.hpp"

#include <charconv>
#include <cmath>
#include <iostream>

#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

void computeModelConstraintViolation(const ArrayOfDouble& bbo, const BBOutputTypeList& bbot,
                                     Double& h, const std::string& caller)
{
    h = 0.0;
    if (bbo.size() != bbot.size())
    {
        const std::string msg = caller + "::evalH() called with an invalid bbo argument";
        std::cerr << msg << std::endl;
        QARNO_THROW(Exception, msg);
    }

    const double eps = Double::getEpsilon();
    double sum = 0.0;
    bool overflow = false;
    for (size_t j = 0; j < bbo.size(); ++j)
    {
        const Double& value = bbo[j];
        if (!value.isDefined() || !isConstraint(bbot[j]))
        {
            continue;
        }
        const double v = value.todouble();
        // A prediction that is no number cannot be shown to satisfy its
        // constraint; the comparisons below would pass it as satisfied.
        if (std::isnan(v))
        {
            h = INF;
            return;
        }
        if (v > eps)
        {
            if (BBOutputType::EB == bbot[j])
            {
                h = INF;
                return;
            }
            sum += v * v;
            overflow = overflow || !std::isfinite(sum);
        }
    }
    if (overflow)
    {
        // Squares of huge predictions overflow although their norm may not;
        // an infinite norm is the library's infinity, the largest double.
        double norm = 0.0;
        for (size_t j = 0; j < bbo.size(); ++j)
        {
            if (BBOutputType::PB == bbot[j] && bbo[j].isDefined() && bbo[j].todouble() > eps)
            {
                norm = std::hypot(norm, bbo[j].todouble());
            }
        }
        h = std::isfinite(norm) ? norm : INF;
        return;
    }
    h = Double(sum).sqrt();
}

std::string modelValueText(double v)
{
    // Room for the 309 integer digits of the largest double.
    char buf[400];
    const std::to_chars_result res =
        std::to_chars(buf, buf + sizeof(buf), v, std::chars_format::fixed, 6);
    return std::string(buf, res.ptr);
}

} // namespace QARNO_4_0_0
