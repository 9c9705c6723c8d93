#include "teskora/Matrix.hpp"

#include "teskora/Exception.hpp"
#include "teskora/Utils.hpp"

#include <cmath>
#include <limits>
#include <set>

namespace TESKORA
{

namespace
{

bool sameSize(const Matrix& A, const Matrix& B)
{
    return A.get_nb_rows() == B.get_nb_rows() && A.get_nb_cols() == B.get_nb_cols();
}

const double HUGE_VALUE = std::numeric_limits<double>::max();

} // namespace

// ---------------------------------------------------------------- scalar operators

Matrix operator*(const Matrix& A, double v)
{
    Matrix R(dtos(v) + "*" + A.get_name(), A.get_nb_rows(), A.get_nb_cols());
    for (int i = 0; i < A.get_nb_rows(); ++i)
        for (int j = 0; j < A.get_nb_cols(); ++j)
            R.set(i, j, A.get(i, j) * v);
    return R;
}

Matrix operator*(double v, const Matrix& A)
{
    return A * v;
}

Matrix operator+(const Matrix& A, double v)
{
    Matrix R(dtos(v) + "+" + A.get_name(), A.get_nb_rows(), A.get_nb_cols());
    for (int i = 0; i < A.get_nb_rows(); ++i)
        for (int j = 0; j < A.get_nb_cols(); ++j)
            R.set(i, j, A.get(i, j) + v);
    return R;
}

Matrix operator+(double v, const Matrix& A)
{
    return A + v;
}

Matrix operator-(const Matrix& A, double v)
{
    return A + (-v);
}

Matrix operator-(const Matrix& A)
{
    Matrix R = A * (-1.0);
    R.set_name("(-" + A.get_name() + ")");
    return R;
}

Matrix operator-(double v, const Matrix& A)
{
    return (-A) + v;
}

Matrix operator/(const Matrix& A, double v)
{
    if (v == 0.0)
        TESKORA_THROW("Matrix::operator /: divide by 0");
    return A * (1.0 / v);
}

Matrix operator+(const Matrix& A, const Matrix& B)
{
    return Matrix::add(A, B);
}

Matrix operator-(const Matrix& A, const Matrix& B)
{
    return Matrix::sub(A, B);
}

// ---------------------------------------------------------------- two matrices

#define TESKORA_ENTRYWISE(NAME, MESSAGE, EXPR)                                                     \
    if (!sameSize(A, B))                                                                           \
        TESKORA_THROW(MESSAGE);                                                                    \
    Matrix R(NAME, A.get_nb_rows(), A.get_nb_cols());                                              \
    for (int i = 0; i < A.get_nb_rows(); ++i)                                                      \
        for (int j = 0; j < A.get_nb_cols(); ++j)                                                  \
        {                                                                                          \
            const double a = A.get(i, j);                                                          \
            const double b = B.get(i, j);                                                          \
            R.set(i, j, EXPR);                                                                     \
        }                                                                                          \
    return R;

Matrix Matrix::add(const Matrix& A, const Matrix& B){
    TESKORA_ENTRYWISE(A._name + "+" + B._name, "Matrix::add(A,B): dimension error", a + b)}

Matrix Matrix::sub(const Matrix& A, const Matrix& B){
    TESKORA_ENTRYWISE(A._name + "-" + B._name, "Matrix::sub(A,B): dimension error", a - b)}

Matrix Matrix::hadamard_product(const Matrix& A, const Matrix& B){
    TESKORA_ENTRYWISE(A._name + ".*" + B._name, "Matrix::hadamard_product(A,B): dimension error",
                      a* b)}

Matrix Matrix::max(const Matrix& A, const Matrix& B){
    TESKORA_ENTRYWISE("max(" + A._name + ";" + B._name + ")", "Matrix::max(A,B): dimension error",
                      (b > a) ? b : a)}

Matrix Matrix::min(const Matrix& A, const Matrix& B){
    TESKORA_ENTRYWISE("min(" + A._name + ";" + B._name + ")", "Matrix::min(A,B): dimension error",
                      (b < a) ? b : a)}

#undef TESKORA_ENTRYWISE

Matrix Matrix::add_fill(const Matrix& A, const Matrix& B)
{
    Matrix R(A._name + "+" + B._name, std::max(A._nbRows, B._nbRows),
             std::max(A._nbCols, B._nbCols));
    for (int i = 0; i < A._nbRows; ++i)
        for (int j = 0; j < A._nbCols; ++j)
            R.at(i, j) = A.at(i, j);
    for (int i = 0; i < B._nbRows; ++i)
        for (int j = 0; j < B._nbCols; ++j)
            R.at(i, j) += B.at(i, j);
    return R;
}

// ---------------------------------------------------------------- one matrix

Matrix Matrix::hadamard_square(const Matrix& A)
{
    Matrix R(A);
    R.hadamard_square();
    return R;
}

Matrix Matrix::hadamard_sqrt(const Matrix& A)
{
    Matrix R(A);
    R.hadamard_sqrt();
    return R;
}

Matrix Matrix::hadamard_power(const Matrix& A, double e)
{
    if (e == 1.0)
        return A;
    Matrix R(A);
    for (double& x : R._X)
        x = std::pow(x, e);
    R._name = "pow(" + A._name + "," + dtos(e) + ")";
    return R;
}

void Matrix::hadamard_square()
{
    for (double& x : _X)
        x = x * x;
    _name = "(" + _name + ").^2";
}

void Matrix::hadamard_inverse()
{
    for (double& x : _X)
        x = 1.0 / x;
    _name = "(" + _name + ").^-1";
}

void Matrix::hadamard_sqrt()
{
    for (double& x : _X)
        x = std::sqrt(std::fabs(x));
    _name = "sqrt(" + _name + ")";
}

void Matrix::add(const Matrix& B)
{
    if (!sameSize(*this, B))
        TESKORA_THROW("Matrix::add(B): dimension error");
    for (size_t k = 0; k < _X.size(); ++k)
        _X[k] += B._X[k];
}

void Matrix::sub(const Matrix& B)
{
    if (!sameSize(*this, B))
        TESKORA_THROW("Matrix::sub(B): dimension error");
    for (size_t k = 0; k < _X.size(); ++k)
        _X[k] -= B._X[k];
}

void Matrix::fill(double v)
{
    for (double& x : _X)
        x = v;
}

void Matrix::replace_nan(double v)
{
    for (double& x : _X)
        if (std::isnan(x))
            x = v;
}

void Matrix::normalize_cols()
{
    for (int j = 0; j < _nbCols; ++j)
    {
        double s = 0.0;
        for (int i = 0; i < _nbRows; ++i)
            s += at(i, j);
        if (s != 0.0)
        {
            for (int i = 0; i < _nbRows; ++i)
                at(i, j) /= s;
        }
        else
        {
            // Integer quotient on purpose: an all-zero weight column stays zero
            // (unless single-row) so that the ensemble's weight test rejects it.
            const double v = static_cast<double>(1 / _nbRows);
            for (int i = 0; i < _nbRows; ++i)
                at(i, j) = v;
        }
    }
}

void Matrix::set_random(double a, double b, bool integer)
{
    // Row by row, so a given generator state always fills the same entries.
    for (double& x : _X)
    {
        x = a + (b - a) * uniform_rand();
        if (integer)
            x = static_cast<double>(TESKORA::round(x));
    }
}

// ---------------------------------------------------------------- reductions

double Matrix::sum() const
{
    double s = 0.0;
    for (double x : _X)
        s += x;
    return s;
}

double Matrix::mean() const
{
    return sum() / (_nbRows * _nbCols);
}

double Matrix::normsquare() const
{
    double s = 0.0;
    for (double x : _X)
        s += x * x;
    return s;
}

double Matrix::norm() const
{
    return std::sqrt(normsquare());
}

double Matrix::rmse() const
{
    return std::sqrt(normsquare() / (_nbRows * _nbCols));
}

double Matrix::trace() const
{
    double s = 0.0;
    for (int i = 0; i < std::min(_nbRows, _nbCols); ++i)
        s += at(i, i);
    return s;
}

double Matrix::min() const
{
    double m = HUGE_VALUE;
    for (double x : _X)
        if (x < m)
            m = x;
    return m;
}

double Matrix::max() const
{
    double m = -HUGE_VALUE;
    for (double x : _X)
        if (x > m)
            m = x;
    return m;
}

int Matrix::count() const
{
    int c = 0;
    for (double x : _X)
        if (std::fabs(x) > 1e-13)
            ++c;
    return c;
}

int Matrix::get_min_index() const
{
    double m = HUGE_VALUE;
    int k = 0;
    for (int j = 0; j < _nbCols; ++j)
        for (int i = 0; i < _nbRows; ++i)
            if (at(i, j) < m)
            {
                m = at(i, j);
                k = j * _nbRows + i;
            }
    return k;
}

int Matrix::get_max_index() const
{
    double m = -HUGE_VALUE;
    int k = 0;
    for (int j = 0; j < _nbCols; ++j)
        for (int i = 0; i < _nbRows; ++i)
            if (at(i, j) > m)
            {
                m = at(i, j);
                k = j * _nbRows + i;
            }
    return k;
}

int Matrix::get_min_index_row(int i) const
{
    double m = HUGE_VALUE;
    int k = 0;
    for (int j = 0; j < _nbCols; ++j)
        if (get(i, j) < m)
        {
            m = get(i, j);
            k = j;
        }
    return k;
}

int Matrix::get_min_index_col(int j) const
{
    double m = HUGE_VALUE;
    int k = 0;
    for (int i = 0; i < _nbRows; ++i)
        if (get(i, j) < m)
        {
            m = get(i, j);
            k = i;
        }
    return k;
}

bool Matrix::has_nan() const
{
    for (double x : _X)
        if (std::isnan(x))
            return true;
    return false;
}

bool Matrix::has_inf() const
{
    for (double x : _X)
        if (std::fabs(x) > HUGE_VALUE)
            return true;
    return false;
}

bool Matrix::is_sym() const
{
    if (_nbRows != _nbCols)
        return false;
    for (int i = 0; i < _nbRows; ++i)
        for (int j = i + 1; j < _nbCols; ++j)
            if (!(at(i, j) == at(j, i)))
                return false;
    return true;
}

int Matrix::get_nb_diff_values(int j) const
{
    std::set<double> values;
    for (int i = 0; i < _nbRows; ++i)
        values.insert(get(i, j));
    return static_cast<int>(values.size());
}

void Matrix::get_fix_columns(std::list<int>& J) const
{
    J.clear();
    for (int j = 0; j < _nbCols; ++j)
        if (get_nb_diff_values(j) == 1)
            J.push_back(j);
}

int Matrix::find_row(const Matrix& r) const
{
    if (_nbRows == 0)
        return -1;
    if (r._nbRows != 1 || r._nbCols != _nbCols)
        TESKORA_THROW("find_row: dimension error");
    for (int i = 0; i < _nbRows; ++i)
    {
        bool equal = true;
        for (int j = 0; j < _nbCols && equal; ++j)
            equal = (at(i, j) == r.at(0, j));
        if (equal)
            return i;
    }
    return -1;
}

Matrix Matrix::sum(int direction) const
{
    if (direction == 1)
    {
        Matrix S("S", 1, _nbCols);
        for (int i = 0; i < _nbRows; ++i)
            for (int j = 0; j < _nbCols; ++j)
                S.at(0, j) += at(i, j);
        return S;
    }
    if (direction == 2)
    {
        Matrix S("S", _nbRows, 1);
        for (int i = 0; i < _nbRows; ++i)
            for (int j = 0; j < _nbCols; ++j)
                S.at(i, 0) += at(i, j);
        return S;
    }
    TESKORA_THROW("Matrix::sum(direction): direction must be 1 or 2");
}

Matrix Matrix::col_norm(norm_t t) const
{
    Matrix N("Norm", 1, _nbCols);
    for (int j = 0; j < _nbCols; ++j)
    {
        double v = 0.0;
        switch (t)
        {
        case NORM_0:
            for (int i = 0; i < _nbRows; ++i)
                if (std::fabs(at(i, j)) < 1e-13)
                    v += 1.0;
            v /= _nbRows;
            break;
        case NORM_1:
            for (int i = 0; i < _nbRows; ++i)
                v += std::fabs(at(i, j));
            v /= _nbRows;
            break;
        case NORM_2:
            for (int i = 0; i < _nbRows; ++i)
                v += at(i, j) * at(i, j);
            v = std::sqrt(v / _nbRows);
            break;
        case NORM_INF:
            for (int i = 0; i < _nbRows; ++i)
                if (std::fabs(at(i, j)) > v)
                    v = std::fabs(at(i, j));
            break;
        default:
            v = 0.0;
        }
        N.at(0, j) = v;
    }
    return N;
}

Matrix Matrix::diag() const
{
    const std::string name = "diag(" + _name + ")";
    if (_nbRows == _nbCols)
    {
        Matrix D(name, _nbRows, 1);
        for (int i = 0; i < _nbRows; ++i)
            D.at(i, 0) = at(i, i);
        return D;
    }
    if (_nbRows == 1 || _nbCols == 1)
    {
        const int k = std::max(_nbRows, _nbCols);
        Matrix D(name, k, k);
        for (int i = 0; i < k; ++i)
            D.at(i, i) = _X[i];
        return D;
    }
    TESKORA_THROW("Matrix::diag(): dimension error");
}

Matrix Matrix::diag_inverse() const
{
    Matrix D("diag(" + _name + ")^-1", _nbCols, _nbRows);
    for (int i = 0; i < std::min(_nbRows, _nbCols); ++i)
        D.at(i, i) = 1.0 / at(i, i);
    return D;
}

} // namespace TESKORA
