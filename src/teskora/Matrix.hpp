#ifndef TESKORA_MATRIX_HPP
#define TESKORA_MATRIX_HPP

#include <cassert>
#include <list>
#include <ostream>
#include <string>
#include <vector>

namespace TESKORA
{

// Kind of per-column norm computed by Matrix::col_norm.
// Fixed underlying type: any int is a valid value, and unknown kinds give 0.
enum norm_t : int
{
    NORM_0 = 0,
    NORM_1 = 1,
    NORM_2 = 2,
    NORM_INF = 3
};

// Domain of one tunable model parameter, for the poll directions of the
// parameter optimiser.
enum param_domain_t
{
    PARAM_DOMAIN_CONTINUOUS = 0,
    PARAM_DOMAIN_INTEGER = 1,
    PARAM_DOMAIN_BOOL = 2,
    PARAM_DOMAIN_CAT = 3,
    PARAM_DOMAIN_MISC = 4
};

// Named dense matrix of doubles with value semantics. Entries live in one
// contiguous row-major block so that whole-matrix loops stay cache friendly.
class Matrix
{
private:
    std::string _name;
    int _nbRows;
    int _nbCols;
    std::vector<double> _X;

    double& at(int i, int j) { return _X[static_cast<size_t>(i) * _nbCols + j]; }
    double at(int i, int j) const { return _X[static_cast<size_t>(i) * _nbCols + j]; }
    // Refuses negative sizes the way a raw array allocation would.
    static size_t checked_size(int nbRows, int nbCols);

public:
    Matrix();
    explicit Matrix(double v);
    Matrix(const std::string& name, int nbRows, int nbCols);
    Matrix(const std::string& name, int nbRows, int nbCols, double** data);
    Matrix(const Matrix&);
    // Reads the text form from a file; the name comes from the file.
    explicit Matrix(const std::string& file);
    Matrix& operator=(const Matrix&);
    virtual ~Matrix();

    static Matrix ones(int nbRows, int nbCols);
    static Matrix identity(int n);
    static Matrix col_vector(const double* v, int n);
    static Matrix row_vector(const double* v, int n);

    int get_nb_rows() const { return _nbRows; }
    int get_nb_cols() const { return _nbCols; }
    const std::string& get_name() const { return _name; }
    void set_name(const std::string& name) { _name = name; }

    double get(int i, int j) const
    {
        assert(i >= 0 && i < _nbRows && j >= 0 && j < _nbCols);
        return at(i, j);
    }
    void set(int i, int j, double v)
    {
        assert(i >= 0 && i < _nbRows && j >= 0 && j < _nbCols);
        at(i, j) = v;
    }
    double get(int k) const;
    double operator[](int k) const { return get(k); }
    double& operator[](int k);

    // Editing in place; none of these renames the matrix.
    void add_row(const double* row);
    void add_rows(int k);
    void add_rows(const Matrix& B);
    void remove_rows(int k);
    void add_cols(int k);
    void add_cols(const Matrix& B);
    void set_row(const Matrix& r, int i);
    void set_col(const Matrix& c, int j);
    void set_row(double v, int i);
    void set_col(double v, int j);
    void multiply_row(double v, int i);
    void multiply_col(double v, int j);
    void swap(int i1, int j1, int i2, int j2);
    void swap_rows(int i1, int i2);

    // Selections.
    Matrix get_row(int i) const;
    Matrix get_col(int j) const;
    Matrix get_rows(int i1, int i2) const;
    Matrix get_cols(int j1, int j2) const;
    Matrix get_rows(const std::list<int>& I) const;
    Matrix get_cols(const std::list<int>& J) const;
    // Rows come from the second list, columns from the first.
    Matrix get(const std::list<int>& a, const std::list<int>& b) const;
    Matrix transpose() const;

    // Element-wise operations on two matrices.
    static Matrix add(const Matrix& A, const Matrix& B);
    static Matrix sub(const Matrix& A, const Matrix& B);
    static Matrix hadamard_product(const Matrix& A, const Matrix& B);
    static Matrix max(const Matrix& A, const Matrix& B);
    static Matrix min(const Matrix& A, const Matrix& B);
    static Matrix add_fill(const Matrix& A, const Matrix& B);

    // Element-wise operations on one matrix.
    static Matrix hadamard_square(const Matrix& A);
    static Matrix hadamard_sqrt(const Matrix& A);
    static Matrix hadamard_power(const Matrix& A, double e);
    void hadamard_square();
    void hadamard_inverse();
    void hadamard_sqrt();
    void add(const Matrix& B);
    void sub(const Matrix& B);
    void fill(double v);
    void replace_nan(double v);
    void normalize_cols();
    void set_random(double a, double b, bool integer);

    // Reductions.
    double sum() const;
    double mean() const;
    double normsquare() const;
    double norm() const;
    double rmse() const;
    double trace() const;
    double min() const;
    double max() const;
    int count() const;
    int get_min_index() const;
    int get_max_index() const;
    int get_min_index_row(int i) const;
    int get_min_index_col(int j) const;
    bool has_nan() const;
    bool has_inf() const;
    bool is_sym() const;
    int get_nb_diff_values(int j) const;
    void get_fix_columns(std::list<int>& J) const;
    int find_row(const Matrix& r) const;
    Matrix sum(int direction) const;
    Matrix col_norm(norm_t t) const;
    Matrix diag() const;
    Matrix diag_inverse() const;

    // Products (the result is a new matrix; operands are left unchanged).
    static Matrix product(const Matrix& A, const Matrix& B);
    static Matrix product(const Matrix& A1, const Matrix& A2, const Matrix& A3);
    static Matrix product(const Matrix& A1, const Matrix& A2, const Matrix& A3, const Matrix& A4);
    static Matrix transposeA_product(const Matrix& A, const Matrix& B);
    static Matrix diagA_product(const Matrix& A, const Matrix& B);
    static Matrix diagB_product(const Matrix& A, const Matrix& B);
    static Matrix subset_product(const Matrix& A, const Matrix& B, int p1, int p2, int p3);

    // Triangular solves, factorisations and inverses.
    static Matrix triu_solve(const Matrix& U, const Matrix& b);
    static Matrix tril_solve(const Matrix& L, const Matrix& b);
    static Matrix tril_inverse(const Matrix& L);
    Matrix cholesky() const;
    Matrix cholesky_inverse(double* det) const;
    Matrix cholesky_inverse() const;
    static Matrix cholesky_solve(const Matrix& A, const Matrix& b);
    Matrix lu_inverse(double* det) const;
    Matrix lu_inverse() const;
    static Matrix conjugate_solve(const Matrix& A, const Matrix& b, const Matrix& x0, double tol);

    // Projection matrices of a least-squares fit, for leave-one-out values.
    static Matrix get_matrix_P(const Matrix& Ai, const Matrix& H);
    static double get_trace_P(const Matrix& Ai, const Matrix& H);
    static Matrix get_matrix_PZs(const Matrix& Ai, const Matrix& H, const Matrix& Zs);
    static Matrix get_matrix_dPi(const Matrix& Ai, const Matrix& H);
    static Matrix get_matrix_dPiPZs(const Matrix& Ai, const Matrix& H, const Matrix& Zs);
    static Matrix get_matrix_dPiPZs(const Matrix& Ai, const Matrix& H, const Matrix& Zs,
                                    const Matrix& ALPHA);

    // Tables of distances between the rows of A and the rows of B.
    static Matrix get_distances_norm1(const Matrix& A, const Matrix& B);
    static Matrix get_distances_norm2(const Matrix& A, const Matrix& B);
    static Matrix get_distances_norminf(const Matrix& A, const Matrix& B);
    // Order ranks of the entries of a vector.
    Matrix rank() const;
    // Poll directions of the parameter optimiser (2N rows of N columns).
    static Matrix get_poll_directions(const Matrix& scaling, const param_domain_t* domain,
                                      double poll_size);

    // Singular value decomposition A = U diag(w) V'.
    bool SVD_decomposition(std::string& message, double** U, double* w, double** V,
                           int size_limit) const;
    bool SVD_decomposition(std::string& message, Matrix*& U, Matrix*& W, Matrix*& V,
                           int size_limit) const;
    Matrix SVD_inverse() const;

    // Text forms and reader.
    void display(std::ostream& out) const;
    void display_short(std::ostream& out) const;
    void display_size(std::ostream& out) const;
    void write(const std::string& file) const;
    static Matrix import_data(const std::string& file);
    static Matrix string_to_matrix(std::string s);
    static Matrix string_to_row(const std::string& line, int n);
};

Matrix operator*(const Matrix& A, double v);
Matrix operator*(double v, const Matrix& A);
Matrix operator+(const Matrix& A, double v);
Matrix operator+(double v, const Matrix& A);
Matrix operator-(const Matrix& A, double v);
Matrix operator-(const Matrix& A);
Matrix operator-(double v, const Matrix& A);
Matrix operator/(const Matrix& A, double v);
Matrix operator+(const Matrix& A, const Matrix& B);
Matrix operator-(const Matrix& A, const Matrix& B);
Matrix operator*(const Matrix& A, const Matrix& B);

} // namespace TESKORA

#endif
