#include "teskora/Matrix.hpp"

#include "teskora/Exception.hpp"

#include <new>

namespace TESKORA
{

namespace
{

} // namespace

size_t Matrix::checked_size(int nbRows, int nbCols)
{
    if (nbRows < 0 || nbCols < 0)
    {
        throw std::bad_array_new_length();
    }
    return static_cast<size_t>(nbRows) * static_cast<size_t>(nbCols);
}

Matrix::Matrix() : _name(""), _nbRows(0), _nbCols(0) {}

Matrix::Matrix(double v) : _name("double"), _nbRows(1), _nbCols(1), _X(1, v) {}

Matrix::Matrix(const std::string& name, int nbRows, int nbCols)
    : _name(name), _nbRows(nbRows), _nbCols(nbCols), _X(checked_size(nbRows, nbCols), 0.0)
{
}

Matrix::Matrix(const std::string& name, int nbRows, int nbCols, double** data)
    : Matrix(name, nbRows, nbCols)
{
    for (int i = 0; i < _nbRows; ++i)
        for (int j = 0; j < _nbCols; ++j)
            at(i, j) = data[i][j];
}

Matrix::Matrix(const Matrix&) = default;

Matrix& Matrix::operator=(const Matrix& B)
{
    // std::vector keeps its buffer when the sizes match, as required.
    if (this != &B)
    {
        _name = B._name;
        _nbRows = B._nbRows;
        _nbCols = B._nbCols;
        _X = B._X;
    }
    return *this;
}

Matrix::~Matrix() = default;

Matrix Matrix::ones(int nbRows, int nbCols)
{
    Matrix M("Ones", nbRows, nbCols);
    M.fill(1.0);
    return M;
}

Matrix Matrix::identity(int n)
{
    Matrix M("I", n, n);
    for (int i = 0; i < n; ++i)
        M.at(i, i) = 1.0;
    return M;
}

Matrix Matrix::col_vector(const double* v, int n)
{
    if (!v)
        TESKORA_THROW("Matrix::column_vector: v is null");
    Matrix M("V", n, 1);
    for (int i = 0; i < n; ++i)
        M.at(i, 0) = v[i];
    return M;
}

Matrix Matrix::row_vector(const double* v, int n)
{
    if (!v)
        TESKORA_THROW("Matrix::column_vector: v is null");
    Matrix M("V", 1, n);
    for (int j = 0; j < n; ++j)
        M.at(0, j) = v[j];
    return M;
}

double Matrix::get(int k) const
{
    if (_nbRows == 1)
        return get(0, k);
    if (_nbCols == 1)
        return get(k, 0);
    TESKORA_THROW("Matrix::[k]: the matrix is not a vector");
}

double& Matrix::operator[](int k)
{
    if (_nbRows == 1)
    {
        assert(k >= 0 && k < _nbCols);
        return at(0, k);
    }
    if (_nbCols == 1)
    {
        assert(k >= 0 && k < _nbRows);
        return at(k, 0);
    }
    TESKORA_THROW("Matrix::[k]: the matrix is not a vector");
}

// ---------------------------------------------------------------- editing

void Matrix::add_row(const double* row)
{
    _X.insert(_X.end(), row, row + _nbCols);
    ++_nbRows;
}

void Matrix::add_rows(int k)
{
    _X.resize(checked_size(_nbRows + k, _nbCols), 0.0);
    _nbRows += k;
}

void Matrix::add_rows(const Matrix& B)
{
    if (B._nbCols != _nbCols)
        TESKORA_THROW("Matrix::add_rows(): bad dimensions");
    _X.insert(_X.end(), B._X.begin(), B._X.end());
    _nbRows += B._nbRows;
}

void Matrix::remove_rows(int k)
{
    _X.resize(checked_size(_nbRows - k, _nbCols));
    _nbRows -= k;
}

void Matrix::add_cols(int k)
{
    const int newCols = _nbCols + k;
    std::vector<double> X(checked_size(_nbRows, newCols), 0.0);
    for (int i = 0; i < _nbRows; ++i)
        for (int j = 0; j < _nbCols; ++j)
            X[static_cast<size_t>(i) * newCols + j] = at(i, j);
    _X.swap(X);
    _nbCols = newCols;
}

void Matrix::add_cols(const Matrix& B)
{
    if (B._nbRows != _nbRows)
        TESKORA_THROW("Matrix::add_cols(): bad dimensions");
    const int oldCols = _nbCols;
    add_cols(B._nbCols);
    for (int i = 0; i < _nbRows; ++i)
        for (int j = 0; j < B._nbCols; ++j)
            at(i, oldCols + j) = B.at(i, j);
}

void Matrix::set_row(const Matrix& r, int i)
{
    for (int j = 0; j < _nbCols; ++j)
        set(i, j, r.get(0, j));
}

void Matrix::set_col(const Matrix& c, int j)
{
    for (int i = 0; i < _nbRows; ++i)
        set(i, j, c.get(i, 0));
}

void Matrix::set_row(double v, int i)
{
    for (int j = 0; j < _nbCols; ++j)
        set(i, j, v);
}

void Matrix::set_col(double v, int j)
{
    for (int i = 0; i < _nbRows; ++i)
        set(i, j, v);
}

void Matrix::multiply_row(double v, int i)
{
    for (int j = 0; j < _nbCols; ++j)
        set(i, j, get(i, j) * v);
}

void Matrix::multiply_col(double v, int j)
{
    for (int i = 0; i < _nbRows; ++i)
        set(i, j, get(i, j) * v);
}

void Matrix::swap(int i1, int j1, int i2, int j2)
{
    const double t = get(i1, j1);
    set(i1, j1, get(i2, j2));
    set(i2, j2, t);
}

void Matrix::swap_rows(int i1, int i2)
{
    for (int j = 0; j < _nbCols; ++j)
        swap(i1, j, i2, j);
}

// ---------------------------------------------------------------- selections

Matrix Matrix::get_row(int i) const
{
    Matrix R(_name + "(i,:)", 1, _nbCols);
    for (int j = 0; j < _nbCols; ++j)
        R.at(0, j) = get(i, j);
    return R;
}

Matrix Matrix::get_col(int j) const
{
    Matrix C(_name + "(:,j)", _nbRows, 1);
    for (int i = 0; i < _nbRows; ++i)
        C.at(i, 0) = get(i, j);
    return C;
}

Matrix Matrix::get_rows(int i1, int i2) const
{
    if (i1 < 0 || i1 >= i2 || i2 > _nbRows)
        TESKORA_THROW("Matrix::get_rows: bad index");
    Matrix R(_name + "(i1:i2-1,:)", i2 - i1, _nbCols);
    for (int i = i1; i < i2; ++i)
        for (int j = 0; j < _nbCols; ++j)
            R.at(i - i1, j) = at(i, j);
    return R;
}

Matrix Matrix::get_cols(int j1, int j2) const
{
    if (j1 < 0 || j1 >= j2 || j2 > _nbCols)
        TESKORA_THROW("Matrix::get_cols: bad index");
    Matrix C(_name + "(:,i1:i2-1)", _nbRows, j2 - j1);
    for (int i = 0; i < _nbRows; ++i)
        for (int j = j1; j < j2; ++j)
            C.at(i, j - j1) = at(i, j);
    return C;
}

Matrix Matrix::get_rows(const std::list<int>& I) const
{
    if (I.size() == 1 && I.front() == -1)
        return *this;
    for (int i : I)
        if (i < 0 || i >= _nbRows)
            TESKORA_THROW("Matrix::get_rows: bad index");
    Matrix R(_name + "_get_rows", static_cast<int>(I.size()), _nbCols);
    int k = 0;
    for (int i : I)
    {
        for (int j = 0; j < _nbCols; ++j)
            R.at(k, j) = at(i, j);
        ++k;
    }
    return R;
}

Matrix Matrix::get_cols(const std::list<int>& J) const
{
    if (J.size() == 1 && J.front() == -1)
        return *this;
    // The column form shares the row form's message.
    for (int j : J)
        if (j < 0 || j >= _nbCols)
            TESKORA_THROW("Matrix::get_rows: bad index");
    Matrix C(_name + "_get_cols", _nbRows, static_cast<int>(J.size()));
    int k = 0;
    for (int j : J)
    {
        for (int i = 0; i < _nbRows; ++i)
            C.at(i, k) = at(i, j);
        ++k;
    }
    return C;
}

Matrix Matrix::get(const std::list<int>& a, const std::list<int>& b) const
{
    return get_rows(b).get_cols(a);
}

Matrix Matrix::transpose() const
{
    Matrix T(_name + "'", _nbCols, _nbRows);
    for (int i = 0; i < _nbRows; ++i)
        for (int j = 0; j < _nbCols; ++j)
            T.at(j, i) = at(i, j);
    return T;
}

} // namespace TESKORA
