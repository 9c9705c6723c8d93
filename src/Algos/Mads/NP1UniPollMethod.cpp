#include "Algos/Mads/NP1UniPollMethod.hpp"

#include <cmath>
#include <utility>
#include <vector>

namespace QARNO_4_0_0
{

NP1UniPollMethod::NP1UniPollMethod(const Step* parentStep) : PollMethodBase(parentStep)
{
    init();
}

NP1UniPollMethod::~NP1UniPollMethod() = default;

void NP1UniPollMethod::init()
{
    setName("N+1 Uniform Poll Method");
    verifyParentNotNull();
}

void NP1UniPollMethod::generateUnitPollDirections(std::list<Direction>& directions, size_t n) const
{
    directions.clear();
    std::vector<Direction> rows = householderRows(n, false);

    const double dn = static_cast<double>(n);
    const double sqrtN = std::sqrt(dn);
    const double sqrtN1 = std::sqrt(dn + 1.0);

    // s = H_0 + ... + H_{n-1}, summed in index order.
    std::vector<double> s(n, 0.0);
    for (size_t i = 0; i < n; ++i)
    {
        for (size_t j = 0; j < n; ++j)
        {
            s[j] += rows[i][j].todouble();
        }
    }
    Direction u0(n);
    std::vector<double> t(n);
    const double u0Factor = -1.0 / sqrtN;
    const double tFactor = (sqrtN1 - 1.0) / sqrtN;
    for (size_t j = 0; j < n; ++j)
    {
        const double u0j = s[j] * u0Factor;
        u0[j] = u0j;
        t[j] = u0j * tFactor;
    }
    directions.push_back(std::move(u0));

    const double invSqrtN = 1.0 / sqrtN;
    for (size_t i = 0; i < n; ++i)
    {
        Direction& u = rows[i];
        for (size_t j = 0; j < n; ++j)
        {
            u[j] = (u[j].todouble() * sqrtN1 + t[j]) * invSqrtN;
        }
        directions.push_back(std::move(u));
    }
}

} // namespace QARNO_4_0_0
