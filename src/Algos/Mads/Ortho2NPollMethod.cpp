#include "Algos/Mads/Ortho2NPollMethod.hpp"

#include <utility>
#include <vector>

namespace QARNO_4_0_0
{

Ortho2NPollMethod::Ortho2NPollMethod(const Step* parentStep) : PollMethodBase(parentStep)
{
    init();
}

Ortho2NPollMethod::~Ortho2NPollMethod() = default;

void Ortho2NPollMethod::init()
{
    setName("Ortho 2N Poll Method");
    verifyParentNotNull();
}

void Ortho2NPollMethod::generateUnitPollDirections(std::list<Direction>& directions, size_t n) const
{
    directions.clear();
    // The list takes the rows over pairwise, H_i followed by -H_i.
    std::vector<Direction> rows = householderRows(n);
    for (size_t i = 0; i < n; ++i)
    {
        directions.push_back(std::move(rows[i]));
        directions.push_back(std::move(rows[i + n]));
    }
}

void Ortho2NPollMethod::forEachUnitPollDirection(
    size_t n, const std::function<void(const Direction&, bool)>& take) const
{
    // The same draws and the same numbers as householderRows, in the order
    // of generateUnitPollDirections: H_i, then -H_i.
    Direction v(n);
    Direction::computeDirOnUnitSphere(v);
    const double s = v.squaredL2Norm().todouble();
    Direction row(n);
    for (size_t i = 0; i < n; ++i)
    {
        Direction::householderRow(v, s, i, row);
        take(row, false);
        for (size_t j = 0; j < n; ++j)
        {
            row[j] = -row[j].todouble();
        }
        take(row, true);
    }
}

} // namespace QARNO_4_0_0
