#include "teskora/SurrogatePRS.hpp"

#include "teskora/Exception.hpp"
#include "teskora/Utils.hpp"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <vector>

namespace TESKORA
{

namespace
{

// The largest normal matrix PRS_CAT builds, in entries (a basis of 4096).
const long long MAX_CAT_ENTRIES = 1LL << 24;

// Appends to rows every exponent vector of n entries summing to t with
// exactly c non-zero entries, in ascending colexicographic order: the last
// variable's exponent varies slowest.
void appendCompositions(int n, int t, int c, std::vector<int>& e, int k, int left,
                        std::vector<std::vector<int>>& rows)
{
    if (k == 0)
    {
        e[0] = left;
        int nonZero = 0;
        for (int v : e)
            nonZero += (v != 0);
        if (nonZero == c)
            rows.push_back(e);
        return;
    }
    for (int v = 0; v <= left; ++v)
    {
        e[k] = v;
        appendCompositions(n, t, c, e, k - 1, left - v, rows);
    }
}

} // namespace

// ---------------------------------------------------------------- PRS

Surrogate_PRS::Surrogate_PRS(TrainingSet& trainingset, Surrogate_Parameters param)
    : Surrogate(trainingset, param), _q(0), _M("M", 0, 0), _H("H", 0, 0), _Ai("Ai", 0, 0),
      _alpha("alpha", 0, 0)
{
}

int Surrogate_PRS::get_nb_PRS_monomes(int n, int d)
{
    // Wide arithmetic: C(n + d, d) overflows an int long before the build
    // limits apply, and a wrapped count could pass them.
    long long z = 1;
    long long b = n;
    for (int i = 1; i <= d; ++i)
    {
        z += b;
        if (z > INT_MAX)
            return INT_MAX;
        b = b * (n + i) / (i + 1);
    }
    return static_cast<int>(z);
}

Matrix Surrogate_PRS::get_PRS_monomes(int n, int d)
{
    std::vector<std::vector<int>> rows;
    rows.push_back(std::vector<int>(static_cast<size_t>(std::max(n, 0)), 0));
    std::vector<int> e(static_cast<size_t>(std::max(n, 0)), 0);
    for (int c = 1; c <= std::min(n, d); ++c)
        for (int t = c; t <= d; ++t)
            appendCompositions(n, t, c, e, n - 1, t, rows);
    Matrix M("Monomes", static_cast<int>(rows.size()), n);
    for (int i = 0; i < M.get_nb_rows(); ++i)
        for (int j = 0; j < n; ++j)
            M.set(i, j, rows[i][j]);
    return M;
}

Matrix Surrogate_PRS::compute_design_matrix(const Matrix& M, const Matrix& Xs)
{
    const int p = Xs.get_nb_rows();
    const int n = Xs.get_nb_cols();
    Matrix H("H", p, M.get_nb_rows());
    // The exponents address the varying inputs only.
    std::vector<int> varying;
    for (int k = 0; k < n; ++k)
        if (_trainingset.get_X_nbdiff(k) > 1)
            varying.push_back(k);
    for (int i = 0; i < M.get_nb_rows(); ++i)
        for (int r = 0; r < p; ++r)
        {
            double h = 1.0;
            for (size_t jj = 0; jj < varying.size() && static_cast<int>(jj) < M.get_nb_cols(); ++jj)
            {
                const double e = M.get(i, static_cast<int>(jj));
                if (e > 0)
                    h *= std::pow(Xs.get(r, varying[jj]), e);
            }
            H.set(r, i, h);
        }
    return H;
}

bool Surrogate_PRS::compute_alpha()
{
    const Matrix Ht = _H.transpose();
    const Matrix& Zs = get_matrix_Zs();
    const double ridge = _param.get_ridge();
    Matrix A = Matrix::product(Ht, _H);
    if (ridge > 0)
        for (int i = 0; i < _q; ++i)
            A.set(i, i, A.get(i, i) + ridge);
    _Ai = A.cholesky_inverse();
    _alpha = Matrix::product(_Ai, Matrix::product(Ht, Zs));
    _alpha.set_name("alpha");
    return !_alpha.has_nan();
}

bool Surrogate_PRS::accept_basis(int q, int maxBasis)
{
    _q = q;
    if (q > maxBasis)
        return false;
    // Without ridge the fit needs more distinct points than basis functions.
    return !(q > _trainingset.get_pvar() - 1 && _param.get_ridge() == 0.0);
}

bool Surrogate_PRS::fit(const Matrix& M)
{
    _M = M;
    _M.set_name("M");
    _H = compute_design_matrix(_M, get_matrix_Xs());
    if (!compute_alpha())
        return false;
    _ready = true;
    return true;
}

bool Surrogate_PRS::build_private()
{
    const int nvar = _trainingset.get_nvar();
    const int degree = _param.get_degree();
    return accept_basis(get_nb_PRS_monomes(nvar, degree), 200) &&
           fit(get_PRS_monomes(nvar, degree));
}

void Surrogate_PRS::predict_private(const Matrix& XXs, Matrix* ZZs)
{
    check_ready(__FILE__, "predict_private", __LINE__);
    *ZZs = Matrix::product(compute_design_matrix(_M, XXs), _alpha);
}

Matrix* Surrogate_PRS::get_matrix_Zvs()
{
    check_ready(__FILE__, "get_matrix_Zvs", __LINE__);
    if (!_Zvs)
    {
        const Matrix& Zs = get_matrix_Zs();
        // Leave-one-out residuals row by row from the fit's coefficients.
        _Zvs = new Matrix(Matrix::sub(Zs, Matrix::get_matrix_dPiPZs(_Ai, _H, Zs, _alpha)));
        _Zvs->replace_nan(DBL_MAX);
        _Zvs->set_name("Zvs");
    }
    return _Zvs;
}

void Surrogate_PRS::display_private(std::ostream& out) const
{
    out << "q: " << _q << std::endl;
}

// ---------------------------------------------------------------- PRS_EDGE

Surrogate_PRS_EDGE::Surrogate_PRS_EDGE(TrainingSet& trainingset, Surrogate_Parameters param)
    : Surrogate_PRS(trainingset, param)
{
}

bool Surrogate_PRS_EDGE::build_private()
{
    const int nvar = _trainingset.get_nvar();
    const int degree = _param.get_degree();
    const long long q = static_cast<long long>(get_nb_PRS_monomes(nvar, degree)) + nvar;
    return accept_basis(static_cast<int>(std::min<long long>(q, INT_MAX)), 200) &&
           fit(get_PRS_monomes(nvar, degree));
}

Matrix Surrogate_PRS_EDGE::compute_design_matrix(const Matrix& M, const Matrix& Xs)
{
    Matrix H = Surrogate_PRS::compute_design_matrix(M, Xs);
    const int p = Xs.get_nb_rows();
    std::vector<int> varying;
    for (int k = 0; k < Xs.get_nb_cols(); ++k)
        if (_trainingset.get_X_nbdiff(k) > 1)
            varying.push_back(k);
    Matrix He("He", p, static_cast<int>(varying.size()));
    for (size_t j = 0; j < varying.size(); ++j)
    {
        const int k = varying[j];
        const double zero = _trainingset.X_scale(0.0, k);
        for (int r = 0; r < p; ++r)
            He.set(r, static_cast<int>(j), Xs.get(r, k) == zero ? 1.0 : 0.0);
    }
    H.add_cols(He);
    return H;
}

void Surrogate_PRS_EDGE::display_private(std::ostream& out) const
{
    out << "q: " << _q << std::endl;
}

// ---------------------------------------------------------------- PRS_CAT

Surrogate_PRS_CAT::Surrogate_PRS_CAT(TrainingSet& trainingset, Surrogate_Parameters param)
    : Surrogate_PRS(trainingset, param), _nb_cat(0)
{
    // The category is input 0: without inputs there is nothing to read.
    if (_n < 1)
        TESKORA_THROW("Surrogate_PRS_CAT: no input variable (the category is input 0)");
}

bool Surrogate_PRS_CAT::init_private()
{
    _cat.clear();
    for (int a = 0; a < _p; ++a)
        _cat.insert(_trainingset.get_Xs(a, 0));
    _nb_cat = static_cast<int>(_cat.size());
    return true;
}

bool Surrogate_PRS_CAT::build_private()
{
    const int nv = _trainingset.get_nvar() - 1;
    // No varying input at all: there is no category to split on.
    if (nv < 0)
        return false;
    const int degree = _param.get_degree();
    const int q1 = get_nb_PRS_monomes(nv, degree);
    if (q1 > 100)
    {
        _q = q1 * _nb_cat;
        return false;
    }
    const long long q = static_cast<long long>(q1) * _nb_cat;
    if (!accept_basis(static_cast<int>(std::min<long long>(q, INT_MAX)), INT_MAX))
        return false;
    // A ridge makes any basis solvable, but one function per category and
    // monomial grows with the categories: an input that is not categorical
    // makes every point its own category, and the dense q x q normal matrix
    // outgrows time and memory. The basis may not outnumber the distinct
    // points, nor the normal matrix exceed MAX_CAT_ENTRIES entries (128 MiB).
    const int pvar = _trainingset.get_pvar();
    const bool beyondPoints = q > pvar;
    const bool beyondMemory = q * q > MAX_CAT_ENTRIES;
    // A tuned degree too high for these points is a failed trial.
    if (_tuning && (beyondPoints || beyondMemory))
        return false;
    if (beyondPoints)
        TESKORA_THROW("Surrogate_PRS_CAT: the basis (" + itos(_q) + " functions for " +
                      itos(_nb_cat) + " categories) exceeds the number of distinct points (" +
                      itos(pvar) + ")");
    if (beyondMemory)
        TESKORA_THROW("Surrogate_PRS_CAT: the basis (" + itos(_q) +
                      " functions) exceeds the memory bound of " +
                      itos(static_cast<int>(MAX_CAT_ENTRIES)) + " entries of its normal matrix");
    // The category input always gets exponent 0.
    Matrix M("M", q1, 1);
    M.add_cols(get_PRS_monomes(nv, degree));
    return fit(M);
}

Matrix Surrogate_PRS_CAT::compute_design_matrix(const Matrix& M, const Matrix& Xs)
{
    const Matrix H0 = Surrogate_PRS::compute_design_matrix(M, Xs);
    const int p = Xs.get_nb_rows();
    const int q1 = H0.get_nb_cols();
    Matrix H("H", p, q1 * static_cast<int>(_cat.size()));
    int block = 0;
    for (double c : _cat)
    {
        for (int r = 0; r < p; ++r)
        {
            const double isCat = (Xs.get(r, 0) == c) ? 1.0 : 0.0;
            for (int j = 0; j < q1; ++j)
                H.set(r, block * q1 + j, isCat * H0.get(r, j));
        }
        ++block;
    }
    return H;
}

void Surrogate_PRS_CAT::display_private(std::ostream& out) const
{
    out << "q: " << _q << std::endl;
    out << "nb_cat: " << _nb_cat << std::endl;
}

} // namespace TESKORA
