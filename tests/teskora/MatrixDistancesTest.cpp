#include "support/TeskoraTestSupport.hpp"
#include "teskora/Diagnostics.hpp"
#include "teskora/Matrix.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

using TESKORA::Matrix;
using TeskoraTest::expectEntries;
using TeskoraTest::expectErrors;
using TeskoraTest::make;

TEST(TeskoraMatrixDistances, ThreeNorms)
{
    const Matrix A = make("A", {{0, 0}, {1, 1}});
    const Matrix B = make("B", {{1, 0}});
    const Matrix O = make("O", {{0, 0}});
    const Matrix P = make("P", {{3, 4}});
    struct Case
    {
        const char* label;
        Matrix D;
        std::vector<std::vector<double>> entries;
    };
    const std::vector<Case> cases = {
        {"norm1", Matrix::get_distances_norm1(A, B), {{1}, {1}}},
        {"norm2", Matrix::get_distances_norm2(A, B), {{1}, {1}}},
        {"norminf", Matrix::get_distances_norminf(A, B), {{1}, {1}}},
        {"norm1 (3,4)", Matrix::get_distances_norm1(O, P), {{7}}},
        {"norm2 (3,4)", Matrix::get_distances_norm2(O, P), {{5}}},
        {"norminf (3,4)", Matrix::get_distances_norminf(O, P), {{4}}},
        {"norminf without columns",
         Matrix::get_distances_norminf(Matrix("E", 2, 0), Matrix("F", 1, 0)),
         {{0}, {0}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        EXPECT_EQ("D", c.D.get_name());
        expectEntries(c.D, c.entries);
    }
    const Matrix A23("A", 2, 3), B22("B", 2, 2);
    expectErrors({
        {"norm1", [&] { Matrix::get_distances_norm1(A23, B22); },
         "get_distances_norm2: dimension error"},
        {"norm2", [&] { Matrix::get_distances_norm2(A23, B22); },
         "get_distances_norm2: dimension error"},
        {"norminf", [&] { Matrix::get_distances_norminf(A23, B22); },
         "get_distances_norm2: dimension error"},
    });
}

TEST(TeskoraMatrixDistances, Ranks)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case
    {
        const char* label;
        Matrix v;
        std::string name;
        std::vector<std::vector<double>> ranks;
    };
    const std::vector<Case> cases = {
        {"row", make("v", {{3, 1, 2}}), "R", {{2, 0, 1}}},
        {"ties in order of position", make("v", {{5, 5, 1}}), "R", {{1, 2, 0}}},
        {"column", make("v", {{2}, {1}}), "R'", {{1}, {0}}},
        {"single entry", make("v", {{7}}), "R", {{0}}},
        // Entries that cannot be ordered come last, in order of position,
        // so the ranks stay a permutation.
        {"NaN and infinity last", make("v", {{nan, 2, inf, -1, nan}}), "R", {{2, 1, 3, 0, 4}}},
        {"no entry", Matrix("v", 1, 0), "R", {{}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        const Matrix R = c.v.rank();
        EXPECT_EQ(c.name, R.get_name());
        expectEntries(R, c.ranks);
    }
    expectErrors({{"2 x 2", [] { Matrix("M", 2, 2).rank(); }, "Matrix::rank: dimension error"}});
}

namespace
{

Matrix pollDirections(const std::vector<TESKORA::param_domain_t>& domain,
                      const std::vector<double>& scales, double pollSize)
{
    Matrix scaling("scaling", 1, static_cast<int>(scales.size()));
    for (size_t k = 0; k < scales.size(); ++k)
        scaling.set(0, static_cast<int>(k), scales[k]);
    return Matrix::get_poll_directions(scaling, domain.data(), pollSize);
}

} // namespace

TEST(TeskoraMatrixDistances, PollDirectionsOfDiscreteAndSingleParameters)
{
    using TESKORA::PARAM_DOMAIN_CONTINUOUS;
    using TESKORA::PARAM_DOMAIN_INTEGER;
    std::srand(3);
    const Matrix integers =
        pollDirections({PARAM_DOMAIN_INTEGER, PARAM_DOMAIN_INTEGER}, {1, 1}, 0.5);
    EXPECT_EQ("POLL-DIR", integers.get_name());
    expectEntries(integers, {{-1, 0}, {1, 0}, {0, 1}, {0, -1}});

    const Matrix one = pollDirections({PARAM_DOMAIN_CONTINUOUS}, {1}, 1.0);
    expectEntries(one, {{-1}, {1}});

    const Matrix none = pollDirections({}, {}, 1.0);
    EXPECT_EQ("POLL-DIR", none.get_name());
    EXPECT_EQ(0, none.get_nb_rows());
    EXPECT_EQ(0, none.get_nb_cols());
}

TEST(TeskoraMatrixDistances, PollDirectionsLieOnTheMeshAndRepeatFromTheSameState)
{
    using namespace TESKORA;
    const std::vector<param_domain_t> domain = {PARAM_DOMAIN_CONTINUOUS, PARAM_DOMAIN_CAT,
                                                PARAM_DOMAIN_CONTINUOUS, PARAM_DOMAIN_BOOL};
    const std::vector<double> scales = {1.0, 3.0, 0.5, 1.0};
    struct Case
    {
        double pollSize, delta;
        int ratio;
    };
    for (const Case& c : std::vector<Case>{{0.25, 0.0625, 4}, {4.0, 4.0, 1}})
    {
        SCOPED_TRACE(c.pollSize);
        std::srand(11);
        const Matrix R = pollDirections(domain, scales, c.pollSize);
        std::srand(11);
        const Matrix again = pollDirections(domain, scales, c.pollSize);
        ASSERT_EQ(8, R.get_nb_rows());
        for (int row = 0; row < 8; ++row)
        {
            SCOPED_TRACE(row);
            double largestSteps = 0.0;
            for (int l : {0, 2})
            {
                // Every continuous component is a whole number of mesh steps.
                const double steps = R.get(row, l) / (c.delta * scales[l]);
                EXPECT_NEAR(std::round(steps), steps, 1e-9);
                largestSteps = std::max(largestSteps, std::fabs(steps));
            }
            EXPECT_NEAR(c.ratio, largestSteps, 1e-9);
            // Pairs of opposite directions.
            for (int m = 0; m < 4; ++m)
                EXPECT_EQ(R.get(row - row % 2, m), -R.get(row - row % 2 + 1, m));
            for (int m = 0; m < 4; ++m)
                EXPECT_EQ(R.get(row, m), again.get(row, m));
        }
        // Continuous parameters first (rows 0-3), then the categorical
        // one with a jump of 1 to 3 categories, then the boolean (index 3,
        // odd: +1).
        EXPECT_EQ(0.0, R.get(0, 1));
        EXPECT_GE(std::fabs(R.get(4, 1)), 1.0);
        EXPECT_LE(std::fabs(R.get(4, 1)), 3.0);
        EXPECT_EQ(1.0, R.get(6, 3));
    }
}
