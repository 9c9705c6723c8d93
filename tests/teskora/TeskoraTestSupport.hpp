#ifndef TESKORA_TEST_SUPPORT_HPP
#define TESKORA_TEST_SUPPORT_HPP

// Helpers shared by the surrogate library's tests.

#include "teskora/Exception.hpp"
#include "teskora/Matrix.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace TeskoraTest {

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
    try {
        f();
    } catch (const TESKORA::Exception& e) {
        return messageOf(e);
    }
    return "no exception";
}

struct ErrorCase {
    const char* label;
    std::function<void()> action;
    const char* message;
};

inline void expectErrors(const std::vector<ErrorCase>& cases)
{
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.message, thrownMessage(c.action));
    }
}

// Every entry of M equals the given rows (to the last few ulps).
inline void expectEntries(const TESKORA::Matrix& M, const std::vector<std::vector<double>>& rows)
{
    ASSERT_EQ(static_cast<int>(rows.size()), M.get_nb_rows());
    for (int i = 0; i < M.get_nb_rows(); ++i) {
        ASSERT_EQ(static_cast<int>(rows[i].size()), M.get_nb_cols());
        for (int j = 0; j < M.get_nb_cols(); ++j)
            EXPECT_DOUBLE_EQ(rows[i][j], M.get(i, j)) << "at (" << i << "," << j << ")";
    }
}

} // namespace TeskoraTest

#endif
