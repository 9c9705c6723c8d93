#include "teskora/SurrogateRBF.hpp"

#include "teskora/Diagnostics.hpp"
#include "teskora/Exception.hpp"
#include "teskora/Utils.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace TESKORA
{

namespace
{

// The largest residual of the interpolation conditions, relative to the
// outputs (scaled), that still counts as interpolating.
const double INTERPOLATION_TOLERANCE = 1e-9;

// LU factors of the square matrix A with partial pivoting, in place: row r
// of A ends as row perm[r] of the original, the unit lower factor below the
// diagonal, the upper one on and above it. False for a singular matrix.
bool lu_factor(Matrix& A, std::vector<int>& perm)
{
    const int n = A.get_nb_rows();
    perm.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        perm[i] = i;
    for (int i = 0; i < n; ++i)
    {
        int r = i;
        double best = -1.0;
        for (int j = i; j < n; ++j)
        {
            const double v = std::fabs(A.get(j, i));
            if (v > best)
            {
                best = v;
                r = j;
            }
        }
        if (!(best > 0.0) || !std::isfinite(best))
            return false;
        if (r != i)
        {
            A.swap_rows(r, i);
            std::swap(perm[r], perm[i]);
        }
        const double pivot = A.get(i, i);
        for (int j = i + 1; j < n; ++j)
        {
            const double f = A.get(j, i) / pivot;
            A.set(j, i, f);
            if (f != 0.0)
                for (int k = i + 1; k < n; ++k)
                    A.set(j, k, A.get(j, k) - f * A.get(i, k));
        }
    }
    return true;
}

// Solves A X = B from the factors of lu_factor.
Matrix lu_solve(const Matrix& LU, const std::vector<int>& perm, const Matrix& B)
{
    const int n = LU.get_nb_rows();
    const int m = B.get_nb_cols();
    Matrix X("X", n, m);
    for (int r = 0; r < n; ++r)
        for (int j = 0; j < m; ++j)
            X.set(r, j, B.get(perm[r], j));
    for (int j = 0; j < m; ++j)
    {
        for (int r = 1; r < n; ++r)
        {
            double x = X.get(r, j);
            for (int k = 0; k < r; ++k)
                x -= LU.get(r, k) * X.get(k, j);
            X.set(r, j, x);
        }
        for (int r = n - 1; r >= 0; --r)
        {
            double x = X.get(r, j);
            for (int k = r + 1; k < n; ++k)
                x -= LU.get(r, k) * X.get(k, j);
            X.set(r, j, x / LU.get(r, r));
        }
    }
    return X;
}

// Solves L L' X = B, L a lower Cholesky factor.
Matrix cholesky_solve_factored(const Matrix& L, const Matrix& B)
{
    const int n = L.get_nb_rows();
    const int m = B.get_nb_cols();
    Matrix X = B;
    for (int j = 0; j < m; ++j)
    {
        for (int r = 0; r < n; ++r)
        {
            double x = X.get(r, j);
            for (int k = 0; k < r; ++k)
                x -= L.get(r, k) * X.get(k, j);
            X.set(r, j, x / L.get(r, r));
        }
        for (int r = n - 1; r >= 0; --r)
        {
            double x = X.get(r, j);
            for (int k = r + 1; k < n; ++k)
                x -= L.get(k, r) * X.get(k, j);
            X.set(r, j, x / L.get(r, r));
        }
    }
    return X;
}

} // namespace

Surrogate_RBF::Surrogate_RBF(TrainingSet& trainingset, Surrogate_Parameters param)
    : Surrogate(trainingset, param), _q(-1), _qrbf(-1), _qprs(-1), _H("H", 0, 0), _HtH("HtH", 0, 0),
      _HtZ("HtZ", 0, 0), _Ai("Ai", 0, 0), _ALPHA("alpha", 0, 0), _centers({-1}),
      _variant(Variant::I), _basis_valid(false), _basis_kernel(D1), _basis_coef(0.0),
      _basis_distance(NORM2), _Ai_valid(false)
{
}

int Surrogate_RBF::tail_size(int dmin, int nvar)
{
    switch (dmin)
    {
    case -1:
        return 0;
    case 0:
        return 1;
    case 1:
        return nvar + 1;
    default:
        diag_stream() << "dmin = " << dmin << "\n";
        TESKORA_THROW("dmin out of range.");
    }
}

Surrogate_RBF::Variant Surrogate_RBF::variant_of(const std::string& preset)
{
    const bool o = string_find(preset, "O") || string_find(preset, "0");
    const bool r = string_find(preset, "R");
    const bool i = string_find(preset, "I");
    if (o + r + i != 1)
        TESKORA_THROW("RBF preset must contain either \"O\", \"R\" or \"I\", exclusively.");
    return o ? Variant::O : (r ? Variant::R : Variant::I);
}

bool Surrogate_RBF::init_private()
{
    const int pvar = _trainingset.get_pvar();
    if (pvar <= 2)
        return false;
    _variant = variant_of(_param.get_preset());

    // New points: every cached product of the previous points is stale.
    _Xs = get_matrix_Xs();
    _Zs = get_matrix_Zs();
    _basis_valid = false;
    _Ai_valid = false;
    _varying.clear();
    for (int k = 0; k < _n; ++k)
        if (_trainingset.get_X_nbdiff(k) > 1)
            _varying.push_back(k);
    _centers = {-1};

    const int nvar = _trainingset.get_nvar();
    switch (_variant)
    {
    case Variant::I:
        _qrbf = std::min(100 * nvar, pvar / 2);
        if (_qrbf <= 2)
            return false;
        _centers = _trainingset.select_greedy(_Xs, _trainingset.get_i_min(), _qrbf, 1.0,
                                              _param.get_distance_type());
        // The selection stops short of the count asked for when the
        // remaining points all crowd around chosen ones: the basis is what
        // it returned.
        _qrbf = static_cast<int>(_centers.size());
        if (_qrbf <= 2)
            return false;
        _qprs = nvar + 1;
        break;
    case Variant::O:
        _qrbf = _p;
        _qprs = tail_size(kernel_dmin(_param.get_kernel_type()), nvar);
        break;
    case Variant::R:
        _qrbf = _p;
        _qprs = nvar + 1;
        break;
    }
    _q = _qrbf + _qprs;
    return _variant != Variant::O || interpolation_fits(pvar);
}

bool Surrogate_RBF::interpolation_fits(int pvar) const
{
    // Every point is a centre and the tail adds side conditions, so the
    // square system has p + qprs rows: it is regular when the points are
    // distinct and outnumber the tail terms (a point set that leaves the
    // tail degenerate shows as a singular factor).
    return _p == pvar && _qprs <= pvar;
}

Matrix Surrogate_RBF::design(const Matrix& D, const Matrix& X, bool with_side_conditions) const
{
    const kernel_t kt = _param.get_kernel_type();
    const double ks = _param.get_kernel_coef();
    const int rows = X.get_nb_rows();
    const int nc = D.get_nb_cols();
    const int tail = std::max(_qprs, 0);
    Matrix H("H", rows, nc + tail);
    for (int i = 0; i < rows; ++i)
        for (int c = 0; c < nc; ++c)
            H.set(i, c, kernel(kt, ks, D.get(i, c)));
    if (tail == 0)
        return H;
    const int linear = std::min(tail - 1, static_cast<int>(_varying.size()));
    for (int i = 0; i < rows; ++i)
    {
        for (int t = 0; t < linear; ++t)
            H.set(i, nc + t, X.get(i, _varying[t]));
        H.set(i, nc + tail - 1, 1.0);
    }
    if (with_side_conditions)
    {
        Matrix S("L'", tail, rows + tail);
        for (int t = 0; t < tail; ++t)
            for (int i = 0; i < rows; ++i)
                S.set(t, i, H.get(i, nc + t));
        H.add_rows(S);
    }
    return H;
}

Matrix Surrogate_RBF::compute_design_matrix(const Matrix& XXs, bool with_side_conditions)
{
    const Matrix C = _Xs.get_rows(_centers);
    return design(_trainingset.get_distances(XXs, C, _param.get_distance_type()), XXs,
                  with_side_conditions);
}

bool Surrogate_RBF::build_private()
{
    _ready = false;
    const kernel_t kt = _param.get_kernel_type();
    const double ks = _param.get_kernel_coef();
    const distance_t dt = _param.get_distance_type();

    if (_variant == Variant::O)
    {
        // The tail the current kernel needs: the tuner may have changed the
        // kernel since the build sized the model.
        _qprs = tail_size(kernel_dmin(kt), _trainingset.get_nvar());
        _q = _qrbf + _qprs;
        if (!interpolation_fits(_trainingset.get_pvar()))
            return false;
    }

    // The basis depends on kernel, coefficient and distance only, never on
    // the ridge.
    const bool reuse =
        _basis_valid && kt == _basis_kernel && ks == _basis_coef && dt == _basis_distance;
    if (!reuse)
    {
        _basis_valid = false;
        _Ai_valid = false;
        const Matrix& D = get_training_distances(dt);
        if (_variant == Variant::I)
            _H = design(D.get_cols(_centers), _Xs, false);
        else
            _H = design(D, _Xs, _variant == Variant::O);
        _H.set_name("H");
        if (_variant == Variant::O)
        {
            // Interpolation: the side conditions have zero right-hand side.
            _factor = _H;
            Matrix rhs("rhs", _q, _m);
            for (int i = 0; i < _p; ++i)
                for (int j = 0; j < _m; ++j)
                    rhs.set(i, j, _Zs.get(i, j));
            if (!lu_factor(_factor, _perm) || !solve_interpolation(rhs))
            {
                _ALPHA = Matrix("alpha", _q, _m);
                _ALPHA.fill(NAN);
            }
        }
        else
        {
            _HtH = Matrix::transposeA_product(_H, _H);
            _HtH.set_name("HtH");
            _HtZ = Matrix::transposeA_product(_H, _Zs);
            _HtZ.set_name("HtZ");
        }
        _basis_kernel = kt;
        _basis_coef = ks;
        _basis_distance = dt;
        _basis_valid = true;
    }

    if (_variant != Variant::O)
    {
        const std::string& preset = _param.get_preset();
        int nridge = _qrbf;
        if (string_find(preset, "1"))
            nridge = _q;
        else if (string_find(preset, "2"))
            nridge = _q - 1;
        Matrix A = _HtH;
        const double ridge = _param.get_ridge();
        for (int i = 0; i < nridge; ++i)
            A.set(i, i, A.get(i, i) + ridge);
        _factor = A.cholesky();
        _Ai_valid = false;
        _ALPHA = cholesky_solve_factored(_factor, _HtZ);
    }
    _ALPHA.set_name("alpha");
    if (_ALPHA.has_nan())
        return false;
    _ready = true;
    return true;
}

bool Surrogate_RBF::solve_interpolation(const Matrix& rhs)
{
    // One step of refinement on the residual, then the residual itself:
    // a nearly flat kernel (a small coefficient) makes the system so ill
    // conditioned that the solution no longer reproduces the outputs, and
    // such a model is no interpolant. It is refused, so that the tuner
    // passes over it.
    _ALPHA = lu_solve(_factor, _perm, rhs);
    const Matrix residual = Matrix::sub(rhs, Matrix::product(_H, _ALPHA));
    _ALPHA.add(lu_solve(_factor, _perm, residual));
    const Matrix left = Matrix::sub(rhs, Matrix::product(_H, _ALPHA));
    double size = 1.0;
    for (int i = 0; i < rhs.get_nb_rows(); ++i)
        for (int j = 0; j < rhs.get_nb_cols(); ++j)
            size = std::max(size, std::fabs(rhs.get(i, j)));
    for (int i = 0; i < left.get_nb_rows(); ++i)
        for (int j = 0; j < left.get_nb_cols(); ++j)
            if (!(std::fabs(left.get(i, j)) <= INTERPOLATION_TOLERANCE * size))
                return false;
    return true;
}

const Matrix& Surrogate_RBF::system_inverse()
{
    if (!_Ai_valid)
    {
        if (_variant == Variant::O)
        {
            _Ai = lu_solve(_factor, _perm, Matrix::identity(_factor.get_nb_rows()));
        }
        else
        {
            const Matrix Li = Matrix::tril_inverse(_factor);
            _Ai = Matrix::transposeA_product(Li, Li);
        }
        _Ai.set_name("Ai");
        _Ai_valid = true;
    }
    return _Ai;
}

void Surrogate_RBF::predict_private(const Matrix& XXs, Matrix* ZZs)
{
    check_ready(__FILE__, "predict_private", __LINE__);
    *ZZs = Matrix::product(compute_design_matrix(XXs, false), _ALPHA);
}

Matrix* Surrogate_RBF::get_matrix_Zvs()
{
    check_ready(__FILE__, "get_matrix_Zvs", __LINE__);
    if (_Zvs)
        return _Zvs;
    const Matrix& Ai = system_inverse();
    Matrix Zvs = _Zs;
    if (_variant == Variant::O)
    {
        // The interpolant without point i misses it by alpha_i / Ai(i, i).
        for (int i = 0; i < _p; ++i)
            for (int j = 0; j < _m; ++j)
                Zvs.set(i, j, _Zs.get(i, j) - _ALPHA.get(i, j) / Ai.get(i, i));
    }
    else
    {
        Zvs = Matrix::sub(_Zs, Matrix::get_matrix_dPiPZs(Ai, _H, _Zs, _ALPHA));
    }
    Zvs.replace_nan(DBL_MAX);
    Zvs.set_name("Zvs");
    _Zvs = new Matrix(Zvs);
    return _Zvs;
}

void Surrogate_RBF::display_private(std::ostream& out) const
{
    out << "_q: " << _q << "\n";
    out << "_qrbf: " << _qrbf << "\n";
    out << "_qprs: " << _qprs << "\n";
    out << "_kernel_coef: " << _param.get_kernel_coef() << "\n";
    out << "_ridge: " << _param.get_ridge() << "\n";
}

} // namespace TESKORA
