#include "teskora/Matrix.hpp"
#include "support/TeskoraTestSupport.hpp"
#include "support/TestSupport.hpp"
#include "teskora/Diagnostics.hpp"
#include "teskora/Exception.hpp"
#include "teskora/Utils.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <limits>
#include <list>
#include <new>
#include <sstream>
#include <string>
#include <vector>

using TESKORA::Matrix;
using TeskoraTest::ErrorCase;
using TeskoraTest::expectEntries;
using TeskoraTest::expectErrors;
using TeskoraTest::make;
using TeskoraTest::messageOf;

namespace
{

/// One row of the tables of matrix results: the result, its name and its
/// entries.
struct NamedResult
{
    const char* label;
    Matrix result;
    const char* name;
    std::vector<std::vector<double>> entries;
};

} // namespace

TEST(TeskoraMatrix, ConstructionAndBuilders)
{
    Matrix empty;
    EXPECT_EQ(0, empty.get_nb_rows());
    EXPECT_EQ(0, empty.get_nb_cols());
    EXPECT_EQ("", empty.get_name());

    Matrix d(2.5);
    EXPECT_EQ("double", d.get_name());
    expectEntries(d, {{2.5}});
    EXPECT_DOUBLE_EQ(2.5, d[0]);

    double r0[] = {1, 2};
    double r1[] = {3, 4};
    double* data[] = {r0, r1};
    Matrix fromData("D", 2, 2, data);
    expectEntries(fromData, {{1, 2}, {3, 4}});

    struct Built
    {
        const char* label;
        Matrix M;
        const char* name;
        std::vector<std::vector<double>> entries;
    };
    const double v[] = {7, 8};
    const std::vector<Built> built = {
        {"ones", Matrix::ones(2, 1), "Ones", {{1}, {1}}},
        {"identity", Matrix::identity(2), "I", {{1, 0}, {0, 1}}},
        {"col_vector", Matrix::col_vector(v, 2), "V", {{7}, {8}}},
        {"row_vector", Matrix::row_vector(v, 2), "V", {{7, 8}}},
    };
    for (const auto& b : built)
    {
        SCOPED_TRACE(b.label);
        EXPECT_EQ(b.name, b.M.get_name());
        expectEntries(b.M, b.entries);
    }

    EXPECT_THROW(Matrix("N", -1, 2), std::bad_array_new_length);
}

TEST(TeskoraMatrix, CopyAndAssignmentAreDeep)
{
    Matrix A = make("A", {{1, 2, 3}, {4, 5, 6}});
    Matrix B(A);
    B.set(0, 0, 9);
    EXPECT_DOUBLE_EQ(1, A.get(0, 0));
    EXPECT_EQ("A", B.get_name());

    Matrix same("T", 2, 3);
    same = A;
    EXPECT_EQ("A", same.get_name());
    expectEntries(same, {{1, 2, 3}, {4, 5, 6}});

    Matrix other("T", 3, 2);
    other = A;
    EXPECT_EQ(2, other.get_nb_rows());
    EXPECT_EQ(3, other.get_nb_cols());
    expectEntries(other, {{1, 2, 3}, {4, 5, 6}});

    Matrix& self = A;
    A = self;
    expectEntries(A, {{1, 2, 3}, {4, 5, 6}});
}

TEST(TeskoraMatrix, EditingKeepsNameAndShapes)
{
    Matrix X("X", 0, 3);
    X.add_rows(make("R", {{1, 2, 3}}));
    EXPECT_EQ("X", X.get_name());
    expectEntries(X, {{1, 2, 3}});

    Matrix wide("W", 0, 3);
    wide.add_cols(Matrix("Z", 0, 2));
    EXPECT_EQ(0, wide.get_nb_rows());
    EXPECT_EQ(5, wide.get_nb_cols());

    Matrix M = make("M", {{1, 2}, {3, 4}});
    const double row[] = {5, 6};
    M.add_row(row);
    M.add_rows(1);
    expectEntries(M, {{1, 2}, {3, 4}, {5, 6}, {0, 0}});
    M.remove_rows(2);
    M.add_cols(make("C", {{7}, {8}}));
    M.add_cols(1);
    expectEntries(M, {{1, 2, 7, 0}, {3, 4, 8, 0}});
    M.set_row(make("r", {{9, 9, 9, 9, 99}}), 0);
    M.set_col(-1.0, 3);
    M.multiply_col(10, 0);
    M.multiply_row(2, 1);
    expectEntries(M, {{90, 9, 9, -1}, {60, 8, 16, -2}});
    M.swap(0, 0, 1, 3);
    M.swap_rows(0, 1);
    M.set_col(make("c", {{1}, {2}, {3}}), 1);
    M.set_row(0.5, 0);
    expectEntries(M, {{0.5, 0.5, 0.5, 0.5}, {-2, 2, 9, -1}});
    EXPECT_EQ("M", M.get_name());
}

TEST(TeskoraMatrix, SelectionsAndNames)
{
    const Matrix A = make("A", {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
    const std::vector<NamedResult> cases = {
        {"get_row", A.get_row(2), "A(i,:)", {{7, 8, 9}}},
        {"get_col", A.get_col(1), "A(:,j)", {{2}, {5}, {8}}},
        {"get_rows range", A.get_rows(1, 3), "A(i1:i2-1,:)", {{4, 5, 6}, {7, 8, 9}}},
        {"get_rows full", A.get_rows(0, 3), "A(i1:i2-1,:)", {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}},
        {"get_cols range", A.get_cols(0, 1), "A(:,i1:i2-1)", {{1}, {4}, {7}}},
        {"get_rows all", A.get_rows(std::list<int>{-1}), "A", {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}},
        {"get_cols all", A.get_cols(std::list<int>{-1}), "A", {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}},
        {"get_rows list",
         A.get_rows(std::list<int>{2, 0, 2}),
         "A_get_rows",
         {{7, 8, 9}, {1, 2, 3}, {7, 8, 9}}},
        {"get_cols list", A.get_cols(std::list<int>{2, 1}), "A_get_cols", {{3, 2}, {6, 5}, {9, 8}}},
        // Rows from the second list, columns from the first.
        {"get(a,b)",
         A.get(std::list<int>{0, 2}, std::list<int>{1}),
         "A_get_rows_get_cols",
         {{4, 6}}},
        {"transpose", A.transpose(), "A'", {{1, 4, 7}, {2, 5, 8}, {3, 6, 9}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.name, c.result.get_name());
        expectEntries(c.result, c.entries);
    }

    const Matrix none = A.get_rows(std::list<int>{});
    EXPECT_EQ(0, none.get_nb_rows());
    EXPECT_EQ(3, none.get_nb_cols());
    EXPECT_EQ("A_get_rows", none.get_name());
}

TEST(TeskoraMatrix, RefusalsCarryTheirTexts)
{
    Matrix A = make("A", {{1, 2}, {3, 4}});
    Matrix row = make("R", {{1, 2, 3}});
    const std::vector<ErrorCase> cases = {
        {"col_vector null", [] { Matrix::col_vector(nullptr, 2); },
         "Matrix::column_vector: v is null"},
        {"row_vector null", [] { Matrix::row_vector(nullptr, 2); },
         "Matrix::column_vector: v is null"},
        {"[] on 2x2", [&] { A[0] = 1; }, "Matrix::[k]: the matrix is not a vector"},
        {"const [] on 2x2", [&] { static_cast<const Matrix&>(A)[1]; },
         "Matrix::[k]: the matrix is not a vector"},
        {"get(k) on 2x2", [&] { A.get(0); }, "Matrix::[k]: the matrix is not a vector"},
        {"add_rows on 0x0", [&] { Matrix("X", 0, 0).add_rows(row); },
         "Matrix::add_rows(): bad dimensions"},
        {"add_cols rows differ", [&] { A.add_cols(row); }, "Matrix::add_cols(): bad dimensions"},
        {"get_rows empty range", [&] { A.get_rows(1, 1); }, "Matrix::get_rows: bad index"},
        {"get_rows past end", [&] { A.get_rows(0, 3); }, "Matrix::get_rows: bad index"},
        {"get_rows negative", [&] { A.get_rows(-1, 1); }, "Matrix::get_rows: bad index"},
        {"get_cols reversed", [&] { A.get_cols(2, 1); }, "Matrix::get_cols: bad index"},
        {"get_rows {-1,0}",
         [&] {
             A.get_rows(std::list<int>{-1, 0});
         },
         "Matrix::get_rows: bad index"},
        {"get_rows {2}", [&] { A.get_rows(std::list<int>{2}); }, "Matrix::get_rows: bad index"},
        {"get_cols {5} uses row text", [&] { A.get_cols(std::list<int>{5}); },
         "Matrix::get_rows: bad index"},
    };
    expectErrors(cases);
    // Refusals come before any change.
    expectEntries(A, {{1, 2}, {3, 4}});
}

TEST(TeskoraMatrix, VectorAccessByShape)
{
    Matrix col = make("c", {{1}, {2}});
    Matrix rowv = make("r", {{3, 4}});
    col[1] = 5;
    rowv[0] = 6;
    EXPECT_DOUBLE_EQ(5, col.get(1));
    EXPECT_DOUBLE_EQ(6, rowv.get(0, 0));
    EXPECT_DOUBLE_EQ(4, rowv[1]);
}

TEST(TeskoraMatrix, ResultNames)
{
    const Matrix A = make("A", {{1, -4}, {2, 3}});
    const Matrix B = make("B", {{1, 1}, {1, 1}});
    const std::vector<NamedResult> cases = {
        {"A*2", A * 2.0, "2*A", {{2, -8}, {4, 6}}},
        {"2*A", 2.0 * A, "2*A", {{2, -8}, {4, 6}}},
        {"A/4", A / 4.0, "0.25*A", {{0.25, -1}, {0.5, 0.75}}},
        {"A/3", A / 3.0, "0.333333*A", {{1 / 3.0, -4 / 3.0}, {2 / 3.0, 1}}},
        {"A+1", A + 1.0, "1+A", {{2, -3}, {3, 4}}},
        {"A-1", A - 1.0, "-1+A", {{0, -5}, {1, 2}}},
        {"-A", -A, "(-A)", {{-1, 4}, {-2, -3}}},
        {"1-A", 1.0 - A, "1+(-A)", {{0, 5}, {-1, -2}}},
        {"A+B", A + B, "A+B", {{2, -3}, {3, 4}}},
        {"A-B", A - B, "A-B", {{0, -5}, {1, 2}}},
        {"hadamard_product", Matrix::hadamard_product(A, B * 2.0), "A.*2*B", {{2, -8}, {4, 6}}},
        {"max", Matrix::max(A, B), "max(A;B)", {{1, 1}, {2, 3}}},
        {"min", Matrix::min(A, B), "min(A;B)", {{1, -4}, {1, 1}}},
        {"hadamard_square", Matrix::hadamard_square(A), "(A).^2", {{1, 16}, {4, 9}}},
        {"hadamard_sqrt",
         Matrix::hadamard_sqrt(A),
         "sqrt(A)",
         {{1, 2}, {std::sqrt(2.0), std::sqrt(3.0)}}},
        {"pow 2", Matrix::hadamard_power(A, 2), "pow(A,2)", {{1, 16}, {4, 9}}},
        {"pow 1", Matrix::hadamard_power(A, 1), "A", {{1, -4}, {2, 3}}},
        {"transpose", A.transpose(), "A'", {{1, 2}, {-4, 3}}},
        {"add_fill",
         Matrix::add_fill(make("P", {{1}, {2}}), make("Q", {{10, 20, 30}})),
         "P+Q",
         {{11, 20, 30}, {2, 0, 0}}},
        {"diag of square", A.diag(), "diag(A)", {{1}, {3}}},
        {"diag of row",
         make("v", {{1, 2, 3}}).diag(),
         "diag(v)",
         {{1, 0, 0}, {0, 2, 0}, {0, 0, 3}}},
        {"diag_inverse",
         make("E", {{2, 9, 9}, {9, 4, 9}}).diag_inverse(),
         "diag(E)^-1",
         {{0.5, 0}, {0, 0.25}, {0, 0}}},
        {"sum 1", A.sum(1), "S", {{3, -1}}},
        {"sum 2", A.sum(2), "S", {{-3}, {5}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.name, c.result.get_name());
        expectEntries(c.result, c.entries);
    }

    Matrix inPlace = make("M", {{2, 4}});
    inPlace.hadamard_square();
    EXPECT_EQ("(M).^2", inPlace.get_name());
    inPlace.hadamard_inverse();
    EXPECT_EQ("((M).^2).^-1", inPlace.get_name());
    expectEntries(inPlace, {{0.25, 1 / 16.0}});
    inPlace.hadamard_sqrt();
    EXPECT_EQ("sqrt(((M).^2).^-1)", inPlace.get_name());
    expectEntries(inPlace, {{0.5, 0.25}});
    inPlace.add(make("O", {{1, 1}}));
    inPlace.sub(make("O", {{0.5, 0.5}}));
    EXPECT_EQ("sqrt(((M).^2).^-1)", inPlace.get_name());
    expectEntries(inPlace, {{1, 0.75}});
}

TEST(TeskoraMatrix, ArithmeticRefusals)
{
    const Matrix A = make("A", {{1, 2}});
    const Matrix C = make("C", {{1}, {2}});
    Matrix M = make("M", {{1, 2}, {3, 4}});
    const std::vector<ErrorCase> cases = {
        {"divide by 0", [&] { A / 0.0; }, "Matrix::operator /: divide by 0"},
        {"add", [&] { Matrix::add(A, C); }, "Matrix::add(A,B): dimension error"},
        {"sub", [&] { A - C; }, "Matrix::sub(A,B): dimension error"},
        {"hadamard_product", [&] { Matrix::hadamard_product(A, C); },
         "Matrix::hadamard_product(A,B): dimension error"},
        {"max", [&] { Matrix::max(A, C); }, "Matrix::max(A,B): dimension error"},
        {"min", [&] { Matrix::min(A, C); }, "Matrix::min(A,B): dimension error"},
        {"add in place", [&] { M.add(A); }, "Matrix::add(B): dimension error"},
        {"sub in place", [&] { M.sub(A); }, "Matrix::sub(B): dimension error"},
        {"sum(3)", [&] { M.sum(3); }, "Matrix::sum(direction): direction must be 1 or 2"},
        {"diag of 2x3", [] { Matrix("R", 2, 3).diag(); }, "Matrix::diag(): dimension error"},
        {"find_row short r", [] { Matrix("R", 2, 3).find_row(Matrix("r", 1, 2)); },
         "find_row: dimension error"},
    };
    expectErrors(cases);
    expectEntries(M, {{1, 2}, {3, 4}});

    // A NaN divisor is not refused.
    EXPECT_TRUE((A / std::nan("")).has_nan());
}

TEST(TeskoraMatrix, NanTiesInMaxAndMin)
{
    const double nan = std::nan("");
    const Matrix withNanA = Matrix::max(make("A", {{nan, 1}}), make("B", {{2, 0}}));
    EXPECT_TRUE(std::isnan(withNanA.get(0, 0)));
    EXPECT_DOUBLE_EQ(1, withNanA.get(0, 1));
    const Matrix withNanB = Matrix::max(make("A", {{3}}), make("B", {{nan}}));
    EXPECT_DOUBLE_EQ(3, withNanB.get(0, 0));
    const Matrix minNanB = Matrix::min(make("A", {{3}}), make("B", {{nan}}));
    EXPECT_DOUBLE_EQ(3, minNanB.get(0, 0));
}

TEST(TeskoraMatrix, ReductionsAndTieRules)
{
    const double nan = std::nan("");
    const double big = std::numeric_limits<double>::max();
    const Matrix A = make("A", {{3, 1}, {2, 1}});
    EXPECT_DOUBLE_EQ(7, A.sum());
    EXPECT_DOUBLE_EQ(1.75, A.mean());
    EXPECT_DOUBLE_EQ(15, A.normsquare());
    EXPECT_DOUBLE_EQ(std::sqrt(15.0), A.norm());
    EXPECT_DOUBLE_EQ(std::sqrt(15.0 / 4), A.rmse());
    EXPECT_DOUBLE_EQ(4, A.trace());
    EXPECT_DOUBLE_EQ(1, A.min());
    EXPECT_DOUBLE_EQ(3, A.max());
    EXPECT_EQ(4, A.count());

    struct IndexCase
    {
        const char* label;
        Matrix M;
        int minIndex;
        int maxIndex;
    };
    const std::vector<IndexCase> indexCases = {
        // Column-major order, first position of the extreme value.
        {"two 1s in column 1", A, 2, 0},
        {"ties across columns", make("T", {{5, 5}, {0, 0}}), 1, 0},
        {"all NaN", make("N", {{nan, nan}}), 0, 0},
        {"NaN passed over", make("N", {{nan, 4}, {nan, -4}}), 3, 2},
        {"start value never beaten", make("H", {{big, big}}), 0, 0},
        {"empty", Matrix(), 0, 0},
    };
    for (const auto& c : indexCases)
    {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.minIndex, c.M.get_min_index());
        EXPECT_EQ(c.maxIndex, c.M.get_max_index());
    }

    const Matrix R = make("R", {{4, 2, 2}, {nan, 7, 7}});
    EXPECT_EQ(1, R.get_min_index_row(0));
    EXPECT_EQ(1, R.get_min_index_row(1));
    EXPECT_EQ(0, R.get_min_index_col(0));
    EXPECT_EQ(0, R.get_min_index_col(2));

    const Matrix empty;
    EXPECT_DOUBLE_EQ(big, empty.min());
    EXPECT_DOUBLE_EQ(-big, empty.max());
    EXPECT_DOUBLE_EQ(0, empty.sum());
    EXPECT_TRUE(std::isnan(empty.mean()));
    EXPECT_TRUE(std::isnan(empty.rmse()));
    EXPECT_DOUBLE_EQ(1, make("M", {{nan, 1}}).min());

    EXPECT_EQ(1, make("c", {{1e-13}, {2e-13}}).count());
}

TEST(TeskoraMatrix, Predicates)
{
    const double nan = std::nan("");
    const double inf = std::numeric_limits<double>::infinity();
    struct Case
    {
        const char* label;
        Matrix M;
        bool hasNan;
        bool hasInf;
        bool isSym;
    };
    const std::vector<Case> cases = {
        {"0x0", Matrix(), false, false, true},
        {"symmetric", make("S", {{1, 2}, {2, 5}}), false, false, true},
        {"not square", Matrix("R", 2, 3), false, false, false},
        {"NaN off diagonal", make("N", {{1, nan}, {nan, 1}}), true, false, false},
        {"NaN on diagonal", make("N", {{nan, 0}, {0, 1}}), true, false, true},
        {"infinite", make("I", {{-inf}}), false, true, true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.hasNan, c.M.has_nan());
        EXPECT_EQ(c.hasInf, c.M.has_inf());
        EXPECT_EQ(c.isSym, c.M.is_sym());
    }
}

TEST(TeskoraMatrix, ColumnTransforms)
{
    struct Case
    {
        const char* label;
        Matrix M;
        std::vector<std::vector<double>> normalized;
    };
    const std::vector<Case> cases = {
        {"ordinary", make("a", {{1}, {3}}), {{0.25}, {0.75}}},
        // Integer quotient: a zero-sum column of several rows becomes all 0.
        {"zero sum", make("b", {{1}, {-1}}), {{0}, {0}}},
        {"zero sum one row", make("c", {{0}}), {{1}}},
    };
    for (auto c : cases)
    {
        SCOPED_TRACE(c.label);
        c.M.normalize_cols();
        expectEntries(c.M, c.normalized);
    }

    struct NormCase
    {
        const char* label;
        TESKORA::norm_t t;
        Matrix M;
        double value;
    };
    const std::vector<NormCase> norms = {
        {"NORM_2", TESKORA::NORM_2, make("o", {{1}, {1}, {1}, {1}}), 1},
        {"NORM_0", TESKORA::NORM_0, make("z", {{0}, {5}}), 0.5},
        {"NORM_1", TESKORA::NORM_1, make("z", {{-1}, {5}}), 3},
        {"NORM_INF skips NaN", TESKORA::NORM_INF, make("z", {{-7}, {std::nan("")}, {5}}), 7},
        {"unknown kind", static_cast<TESKORA::norm_t>(9), make("z", {{-7}}), 0},
    };
    for (const auto& c : norms)
    {
        SCOPED_TRACE(c.label);
        const Matrix N = c.M.col_norm(c.t);
        EXPECT_EQ("Norm", N.get_name());
        expectEntries(N, {{c.value}});
    }

    Matrix F = make("F", {{std::nan(""), 1}});
    F.replace_nan(-3);
    expectEntries(F, {{-3, 1}});
    F.fill(2);
    expectEntries(F, {{2, 2}});
    EXPECT_EQ("F", F.get_name());
}

TEST(TeskoraMatrix, DistinctValuesAndRowSearch)
{
    const Matrix M = make("M", {{0, 1, 4}, {-0.0, 2, 4}, {0, 1, 4}});
    EXPECT_EQ(1, M.get_nb_diff_values(0));
    EXPECT_EQ(2, M.get_nb_diff_values(1));
    std::list<int> J{9};
    M.get_fix_columns(J);
    EXPECT_EQ((std::list<int>{0, 2}), J);
    Matrix("E", 0, 3).get_fix_columns(J);
    EXPECT_TRUE(J.empty());

    struct Case
    {
        const char* label;
        Matrix M;
        Matrix r;
        int index;
    };
    const std::vector<Case> cases = {
        {"first equal row", M, make("r", {{0, 1, 4}}), 0},
        {"-0 equals 0", M, make("r", {{0, 2, 4}}), 1},
        {"no match", M, make("r", {{0, 3, 4}}), -1},
        {"NaN never matches", make("N", {{std::nan("")}}), make("r", {{std::nan("")}}), -1},
        {"no rows, any r", Matrix("E", 0, 3), Matrix("r", 4, 4), -1},
        {"rows without columns", Matrix("W", 2, 0), Matrix("r", 1, 0), 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.index, c.M.find_row(c.r));
    }
}

namespace
{

std::string shown(const Matrix& M, void (Matrix::*show)(std::ostream&) const)
{
    std::ostringstream out;
    (M.*show)(out);
    return out.str();
}

void writeText(const std::string& path, const std::string& text)
{
    std::ofstream out(path.c_str());
    out << text;
}

} // namespace

TEST(TeskoraMatrix, DisplayForms)
{
    const Matrix A = make("A", {{1, 2}, {3, 4}});
    const std::string full = "\nA=[\n"
                             "\t         1 \t         2 ;\n"
                             "\t         3 \t         4 ;\n"
                             "];\n";
    struct Case
    {
        const char* label;
        Matrix M;
        void (Matrix::*show)(std::ostream&) const;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"full 2x2", A, &Matrix::display, full},
        {"short of 2x2 is full", A, &Matrix::display_short, full},
        {"values take the room they need", make("W", {{-3.14159265, 1234567.0, 1e-20}}),
         &Matrix::display, "\nW=[\n\t  -3.14159 \t1.23457e+06 \t     1e-20 ;\n];\n"},
        {"no rows", Matrix("E", 0, 3), &Matrix::display, "\nE=[\n];\n"},
        {"short 2x3", make("S", {{1, 2, 3}, {4, 5, 6}}), &Matrix::display_short,
         "\nS ( 2 x 3 ) =\n[\t         1 ... \t         3\n"
         "    \t         4 ... \t         6]\n"},
        {"short 5x1", make("C", {{1}, {2}, {3}, {4}, {5}}), &Matrix::display_short,
         "\nC ( 5 x 1 ) =\n[\t         1 \t         1\n"
         "\t       ...\t       ...\n"
         "\t         5 \t         5]\n"},
        {"short 3x3", make("T", {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}), &Matrix::display_short,
         "\nT ( 3 x 3 ) =\n[\t         1 ... \t         3\n"
         "\t       ...    \t       ...\n"
         "\t         7 ... \t         9]\n"},
        {"size line", Matrix("X", 3, 4), &Matrix::display_size, "Matrix X : 3 , 4\n"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.text, shown(c.M, c.show));
    }
}

TEST(TeskoraMatrix, WriteReadRoundTrip)
{
    QarnoTest::TempDir dir;
    const Matrix A = make("pow(A,2)", {{1.5, -2e-7}, {1234567.0, 0}, {3, 4}});
    A.write(dir.file("a.txt"));
    const Matrix B(dir.file("a.txt"));
    // The empty first line becomes a leading ";"; the comma of the name is lost.
    EXPECT_EQ(";pow(A 2)", B.get_name());
    expectEntries(B, {{1.5, -2e-7}, {1234570.0, 0}, {3, 4}});

    Matrix("E", 0, 3).write(dir.file("e.txt"));
    const Matrix E(dir.file("e.txt"));
    EXPECT_EQ(0, E.get_nb_rows());
    EXPECT_EQ(0, E.get_nb_cols());
    EXPECT_EQ("", E.get_name());
}

TEST(TeskoraMatrix, ReaderForms)
{
    QarnoTest::TempDir dir;
    writeText(dir.file("plain.txt"), "1 2;3 4\n");
    writeText(dir.file("named.txt"), "B=[1,2;3,4]\n");
    struct Case
    {
        const char* label;
        Matrix M;
        const char* name;
        std::vector<std::vector<double>> entries;
    };
    const std::vector<Case> cases = {
        {"file without name", Matrix::import_data(dir.file("plain.txt")), "MAT", {{1, 2}, {3, 4}}},
        {"file with name", Matrix(dir.file("named.txt")), "B", {{1, 2}, {3, 4}}},
        {"text after last ; dropped", Matrix::string_to_matrix("B=[1,2;3,4]"), "B", {{1, 2}}},
        {"closing ;", Matrix::string_to_matrix("B=[1,2;3,4;]"), "B", {{1, 2}, {3, 4}}},
        {"tabs and line breaks",
         Matrix::string_to_matrix("M [\t1e2\t-5\r\n;;0.5 6\n"),
         "M",
         {{100, -5}, {0.5, 6}}},
        {"row with own count", Matrix::string_to_row(" 7 8  9", 0), "r", {{7, 8, 9}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.name, c.M.get_name());
        expectEntries(c.M, c.entries);
    }
}

TEST(TeskoraMatrix, ReaderRefusals)
{
    QarnoTest::TempDir dir;
    writeText(dir.file("inf.txt"), "\nI=[\n\t       inf \t         1 ;\n];\n");
    const std::string missing = dir.file("missing.txt");
    struct Case
    {
        const char* label;
        std::function<void()> action;
        std::string message;
        std::string diagnostics;
    };
    const std::vector<Case> cases = {
        {"short row", [] { Matrix::string_to_matrix("A=[1 2 3;4 5;]"); },
         "Matrix::string_to_row : cannot read line 4 5",
         "In line \"4 5\"\nFound 2 components\nExpected 3 components\n"},
        {"word that is not a number", [] { Matrix::string_to_row("1 x", 2); },
         "Matrix::string_to_row : cannot read line 1 x",
         "In line \"1 x\"\nFound 1 components\nExpected 2 components\n"},
        {"non-finite values as written", [&] { Matrix m(dir.file("inf.txt")); },
         "Matrix::string_to_row : cannot read line inf 1",
         "In line \"inf 1\"\nFound 0 components\nExpected 2 components\n"},
        {"missing file", [&] { Matrix m(missing); },
         "TESKORA::Matrix::import_data: cannot open file " + missing, ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        std::ostringstream captured;
        TESKORA::DiagStreamRedirect redirect(captured);
        try
        {
            c.action();
            ADD_FAILURE() << "no exception";
        }
        catch (const TESKORA::Exception& e)
        {
            EXPECT_EQ(c.message, messageOf(e));
        }
        EXPECT_EQ(c.diagnostics, captured.str());
    }
}

TEST(TeskoraMatrix, SetRandomFillsRowByRow)
{
    QarnoTest::ProcessStateGuard guard;
    std::srand(7);
    Matrix R("R", 2, 3);
    R.set_random(-2, 5, false);
    EXPECT_EQ("R", R.get_name());
    std::srand(7);
    const double first = -2 + 7 * TESKORA::uniform_rand();
    const double second = -2 + 7 * TESKORA::uniform_rand();
    EXPECT_DOUBLE_EQ(first, R.get(0, 0));
    EXPECT_DOUBLE_EQ(second, R.get(0, 1));

    Matrix I("I", 4, 5);
    I.set_random(-3, 3, true);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 5; ++j)
        {
            SCOPED_TRACE(std::to_string(i) + "," + std::to_string(j));
            EXPECT_EQ(std::floor(I.get(i, j)), I.get(i, j));
            EXPECT_LE(-3, I.get(i, j));
            EXPECT_GE(3, I.get(i, j));
        }
}

#ifndef NDEBUG
TEST(TeskoraMatrixDeathTest, DebugBuildsCheckIndices)
{
    Matrix A = make("A", {{1, 2}, {3, 4}});
    Matrix v = make("v", {{1, 2}});
    EXPECT_DEATH(A.get(2, 0), "");
    EXPECT_DEATH(A.set(0, -1, 1.0), "");
    EXPECT_DEATH(v[2] = 1.0, "");
    EXPECT_DEATH(A.get_row(5), "");
}
#endif
