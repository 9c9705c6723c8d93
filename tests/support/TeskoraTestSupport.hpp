#ifndef QARNO_TESTS_SUPPORT_TESKORATESTSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_TESKORATESTSUPPORT_HPP

// Helpers shared by the surrogate library's tests.

#include "teskora/Exception.hpp"
#include "teskora/Matrix.hpp"
#include "teskora/Surrogate.hpp"
#include "teskora/TrainingSet.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace TeskoraTest
{

// A named matrix from its rows.
inline TESKORA::Matrix make(const std::string& name, const std::vector<std::vector<double>>& rows)
{
    const int nbRows = static_cast<int>(rows.size());
    const int nbCols = nbRows ? static_cast<int>(rows[0].size()) : 0;
    TESKORA::Matrix M(name, nbRows, nbCols);
    for (int i = 0; i < nbRows; ++i)
        for (int j = 0; j < nbCols; ++j)
            M.set(i, j, rows[i][j]);
    return M;
}

// The message part of "file:line (message)".
inline std::string messageOf(const TESKORA::Exception& e)
{
    const std::string text = e.what();
    const size_t open = text.find(" (");
    if (open == std::string::npos || text.back() != ')')
        return "<bad format: " + text + ">";
    return text.substr(open + 2, text.size() - open - 3);
}

// The message of the library exception thrown by f, or "no exception".
inline std::string thrownMessage(const std::function<void()>& f)
{
    try
    {
        f();
    }
    catch (const TESKORA::Exception& e)
    {
        return messageOf(e);
    }
    return "no exception";
}

struct ErrorCase
{
    const char* label;
    std::function<void()> action;
    const char* message;
};

inline void expectErrors(const std::vector<ErrorCase>& cases)
{
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.message, thrownMessage(c.action));
    }
}

// Every entry of M equals the given rows (to the last few ulps).
inline void expectEntries(const TESKORA::Matrix& M, const std::vector<std::vector<double>>& rows)
{
    ASSERT_EQ(static_cast<int>(rows.size()), M.get_nb_rows());
    for (int i = 0; i < M.get_nb_rows(); ++i)
    {
        ASSERT_EQ(static_cast<int>(rows[i].size()), M.get_nb_cols());
        for (int j = 0; j < M.get_nb_cols(); ++j)
            EXPECT_DOUBLE_EQ(rows[i][j], M.get(i, j)) << "at (" << i << "," << j << ")";
    }
}

using Point = std::vector<double>;
using Function = std::function<Point(const Point&)>;

// One row per point.
inline TESKORA::Matrix rowsOf(const std::vector<Point>& points, const std::string& name = "M")
{
    const int cols = points.empty() ? 0 : static_cast<int>(points[0].size());
    TESKORA::Matrix M(name, static_cast<int>(points.size()), cols);
    for (size_t i = 0; i < points.size(); ++i)
        for (size_t k = 0; k < points[i].size(); ++k)
            M.set(static_cast<int>(i), static_cast<int>(k), points[i][k]);
    return M;
}

// The outputs of f at the points.
inline std::vector<Point> valuesOf(const std::vector<Point>& points, const Function& f)
{
    std::vector<Point> values;
    for (const Point& x : points)
        values.push_back(f(x));
    return values;
}

// A training set of the given points with the outputs of f.
inline TESKORA::TrainingSet sampled(const std::vector<Point>& points, const Function& f)
{
    return TESKORA::TrainingSet(rowsOf(points, "X"), rowsOf(valuesOf(points, f), "Z"));
}

// The model's prediction at x, in user units.
inline Point predictAt(TESKORA::Surrogate& model, const Point& x)
{
    TESKORA::Matrix ZZ;
    model.predict(rowsOf({x}, "XX"), &ZZ);
    Point z;
    for (int j = 0; j < ZZ.get_nb_cols(); ++j)
        z.push_back(ZZ.get(0, j));
    return z;
}

} // namespace TeskoraTest

#endif
