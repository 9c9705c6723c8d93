#include "teskora/SurrogateLOWESS.hpp"

#include "teskora/Diagnostics.hpp"
#include "teskora/Exception.hpp"
#include "teskora/Kernel.hpp"
#include "teskora/Utils.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>
#include <vector>

namespace TESKORA
{

namespace
{

// Weights at or below this count as zero.
const double WEIGHT_EPS = 1e-13;

// How distances become kernel arguments.
enum class Preset
{
    D,
    DEN,
    DGN,
    RE,
    RG,
    REN,
    RGN
};

Preset read_preset(const std::string& s)
{
    static const struct
    {
        const char* text;
        Preset preset;
    } presets[] = {{"D", Preset::D},    {"DEN", Preset::DEN}, {"DGN", Preset::DGN},
                   {"RE", Preset::RE},  {"RG", Preset::RG},   {"REN", Preset::REN},
                   {"RGN", Preset::RGN}};
    for (const auto& p : presets)
        if (s == p.text)
            return p.preset;
    TESKORA_THROW("preset not recognized");
}

// A distance over a scale. A point at distance 0 stays at 0 even when the
// scale itself is 0 (the prediction point coincides with the reference
// neighbour): 0/0 would make every weight NaN and silently turn the local
// fit into an unweighted global one.
double scaled(double d, double scale)
{
    return d == 0.0 ? 0.0 : d / scale;
}

} // namespace

Surrogate_LOWESS::Surrogate_LOWESS(TrainingSet& trainingset, Surrogate_Parameters param)
    : Surrogate(trainingset, param), _q(0), _basis_level(0), _ZZsi("ZZsi", 0, 0), _nb_cholesky(0),
      _nb_refinements(0)
{
}

Surrogate_LOWESS::~Surrogate_LOWESS()
{
    delete_matrices();
}

void Surrogate_LOWESS::delete_matrices()
{
    _U.clear();
    _W.clear();
    _A.clear();
    _B.clear();
    _x.clear();
    _active.clear();
    _r.clear();
    _s.clear();
    _t.clear();
    _xq.clear();
}

// ---------------------------------------------------------------- build

void Surrogate_LOWESS::choose_basis()
{
    const long long pvar = _trainingset.get_pvar();
    const long long a = _trainingset.get_X_nbdiff1();
    const long long b = _trainingset.get_X_nbdiff2();
    const int degree = _param.get_degree();
    if (b * (b + 1) / 2 + a + 1 < pvar && degree > 1)
    {
        _q = static_cast<int>(b * (b + 1) / 2 + a + 1);
        _basis_level = 20;
    }
    else if (1 + a + b < pvar && degree > 1)
    {
        _q = static_cast<int>(1 + a + b);
        _basis_level = 15;
    }
    else if (a + 1 < pvar && degree > 0)
    {
        _q = static_cast<int>(a + 1);
        _basis_level = 10;
    }
    else
    {
        _q = 1;
        _basis_level = 0;
    }
}

void Surrogate_LOWESS::size_basis_arrays()
{
    const size_t q = static_cast<size_t>(_q);
    _U.assign(static_cast<size_t>(_p) * q, 0.0);
    _A.assign(q * q, 0.0);
    _B.assign(q * static_cast<size_t>(_m), 0.0);
    _x.assign(q, 0.0);
    _r.assign(q, 0.0);
    _s.assign(q, 0.0);
    _t.assign(q, 0.0);
}

bool Surrogate_LOWESS::init_private()
{
    if (_trainingset.get_pvar() <= 1)
        return false;
    choose_basis();
    delete_matrices();
    _Xs = get_matrix_Xs();
    _Zs = get_matrix_Zs();
    _W.assign(static_cast<size_t>(_p), 0.0);
    _active.assign(static_cast<size_t>(_n), false);
    for (int k = 0; k < _n; ++k)
        _active[k] = _trainingset.get_X_nbdiff(k) > 1;
    _ZZsi = Matrix("ZZsi", 1, _m);
    _d = Matrix("d", 1, _p);
    _xq.assign(static_cast<size_t>(_n), 0.0);
    size_basis_arrays();
    return true;
}

bool Surrogate_LOWESS::build_private()
{
    if (_p <= 1)
        return false;
    if (static_cast<int>(_W.size()) != _p && !init_private())
        return false;
    // The tuner changes DEGREE between fits: the basis follows the record,
    // or every degree would be scored with the basis of the first one.
    const int q = _q;
    choose_basis();
    if (_q != q)
        size_basis_arrays();
    _ready = true;
    return true;
}

// ---------------------------------------------------------------- predictions

void Surrogate_LOWESS::compute_moments(const double* d2, int p, double P, double& mean, double& var)
{
    double sum = 0.0;
    for (int a = 0; a < p; ++a)
        sum += d2[a];
    mean = sum / P;
    double dev = 0.0;
    for (int a = 0; a < p; ++a)
        dev += (d2[a] - mean) * (d2[a] - mean);
    var = dev / P;
    if (var == 0.0 && mean >= 0.0)
        var = 1e-13;
    if (mean < 0.0 || var < 0.0)
    {
        diag_stream() << "mean: " << mean << std::endl << "var: " << var << std::endl;
        TESKORA_THROW("Error on computation of mean and var");
    }
}

void Surrogate_LOWESS::predict_private_single(Matrix XXs, int iex)
{
    if (XXs.get_nb_rows() != 1)
        TESKORA_THROW("predict_private_single : XXs must have only one row.");
    if (!_ready)
        check_ready(__FILE__, "predict_private_single", __LINE__);
    if (iex < -1 || iex >= _p)
        TESKORA_THROW("predict_private_single : index out of range.");
    _d = _trainingset.get_distances(XXs, _Xs, _param.get_distance_type());
    for (int k = 0; k < _n; ++k)
        _xq[k] = XXs.get(0, k);
    local_fit(iex);
}

void Surrogate_LOWESS::local_fit(int iex)
{
    const int p = _p;
    const int q = _q;
    const int m = _m;
    const double P = (iex != -1) ? p - 1.0 : static_cast<double>(p);
    const Preset preset = read_preset(_param.get_preset());
    const kernel_t kt = _param.get_kernel_type();
    const double ks = _param.get_kernel_coef();

    // In cross-validation the left-out point is not among the points of
    // the fit: every statistic of the distances (moments, ranks, counts) is
    // taken over the others, as a refit without the point would take it.
    // Its own distance is 0 and would drag the moments and the ranks.
    const int used = (iex != -1) ? p - 1 : p;
    const auto counts = [iex](int a) { return a != iex; };

    // Gamma fit of the squared distances (shape ka, scale kb).
    int k = 0;
    for (int a = 0; a < p; ++a)
        if (counts(a))
            _W[k++] = _d.get(0, a) * _d.get(0, a);
    double mean = 0.0;
    double var = 0.0;
    compute_moments(_W.data(), used, P, mean, var);
    const double ka = mean * mean / var;
    const double kb = var / mean;

    // Order ranks of the distances among the points of the fit (0 for the
    // nearest, ties in index order); the left-out point gets none.
    const auto ranks = [&]()
    {
        std::vector<double> rank(static_cast<size_t>(p), 0.0);
        if (iex == -1)
        {
            const Matrix R = _d.rank();
            for (int a = 0; a < p; ++a)
                rank[a] = R.get(0, a);
            return rank;
        }
        Matrix others("d", 1, used);
        int c = 0;
        for (int a = 0; a < p; ++a)
            if (counts(a))
                others.set(0, c++, _d.get(0, a));
        const Matrix R = others.rank();
        c = 0;
        for (int a = 0; a < p; ++a)
            if (counts(a))
                rank[a] = R.get(0, c++);
        return rank;
    };

    // Kernel arguments.
    switch (preset)
    {
    case Preset::D:
        for (int a = 0; a < p; ++a)
            _W[a] = _d.get(0, a);
        break;
    case Preset::DEN:
    {
        // Half the distance of the q-th nearest point.
        const std::vector<double> rank = ranks();
        double dk = 0.0;
        for (int a = 0; a < p; ++a)
            if (counts(a) && rank[a] == q - 1)
                dk = _d.get(0, a);
        for (int a = 0; a < p; ++a)
            _W[a] = scaled(_d.get(0, a), 2.0 * dk);
        break;
    }
    case Preset::DGN:
    {
        const double scale = std::sqrt(gammacdfinv(q / P, ka, kb));
        for (int a = 0; a < p; ++a)
            _W[a] = scaled(_d.get(0, a), scale);
        break;
    }
    case Preset::RE:
    case Preset::REN:
    {
        const std::vector<double> rank = ranks();
        // With a single point of the fit every rank is 0.
        const double f = (preset == Preset::REN && used > 1) ? 1.0 / (used - 1) : 1.0;
        for (int a = 0; a < p; ++a)
            _W[a] = rank[a] * f;
        break;
    }
    case Preset::RG:
    case Preset::RGN:
    {
        const double f = (preset == Preset::RG) ? used - 1.0 : 1.0;
        for (int a = 0; a < p; ++a)
            _W[a] = gammacdf(_d.get(0, a) * _d.get(0, a), ka, kb) * f;
        break;
    }
    }

    // Weights, without the left-out point, normalised to sum 1.
    double S = 0.0;
    for (int a = 0; a < p; ++a)
    {
        _W[a] = kernel(kt, ks, _W[a]);
        S += _W[a];
    }
    if (iex != -1)
    {
        S -= _W[iex];
        _W[iex] = 0.0;
    }
    if (S > WEIGHT_EPS)
    {
        for (int a = 0; a < p; ++a)
            _W[a] /= S;
    }
    else
    {
        std::fill(_W.begin(), _W.end(), 1.0);
    }

    // Regressor rows, centred on the prediction point.
    for (int a = 0; a < p; ++a)
    {
        double* u = &_U[static_cast<size_t>(a) * q];
        u[0] = 1.0;
        int c = 1;
        if (_W[a] > WEIGHT_EPS)
        {
            if (_basis_level >= 10)
                for (int k = 0; k < _n && c < q; ++k)
                    u[c++] = _Xs.get(a, k) - _xq[k];
            if (_basis_level >= 15)
                for (int k = 0; k < _n && c < q; ++k)
                {
                    if (!_active[k])
                        continue;
                    const double dk = _Xs.get(a, k) - _xq[k];
                    u[c++] = dk * dk;
                    if (_basis_level >= 20)
                        for (int k2 = k + 1; k2 < _n && c < q; ++k2)
                            if (_active[k2])
                                u[c++] = dk * (_Xs.get(a, k2) - _xq[k2]);
                }
        }
        for (; c < q; ++c)
            u[c] = 0.0;
    }

    // Weighted normal equations.
    std::fill(_A.begin(), _A.end(), 0.0);
    std::fill(_B.begin(), _B.end(), 0.0);
    for (int a = 0; a < p; ++a)
    {
        const double w = _W[a];
        if (w <= WEIGHT_EPS)
            continue;
        const double* u = &_U[static_cast<size_t>(a) * q];
        for (int r = 0; r < q; ++r)
        {
            double* Ar = &_A[static_cast<size_t>(r) * q];
            for (int c = r; c < q; ++c)
                Ar[c] += u[r] * u[c] * w;
            double* Br = &_B[static_cast<size_t>(r) * m];
            for (int j = 0; j < m; ++j)
                Br[j] += _Zs.get(a, j) * u[r] * w;
        }
    }
    for (int r = 0; r < q; ++r)
        for (int c = r + 1; c < q; ++c)
            _A[static_cast<size_t>(c) * q + r] = _A[static_cast<size_t>(r) * q + c];
    const double ridge = _param.get_ridge();
    for (int r = 1; r < q; ++r)
        _A[static_cast<size_t>(r) * q + r] += ridge;

    solve_first_column();

    bool defined = true;
    for (int r = 0; r < q; ++r)
        defined = defined && isdef(_x[r]);
    if (!defined)
    {
        // A singular local system: the outputs of the nearest point. In
        // cross-validation that is the nearest other point, never the
        // left-out one itself, whose distance is 0.
        int nearest = -1;
        double best = DBL_MAX;
        for (int a = 0; a < p; ++a)
            if (a != iex && _d.get(0, a) < best)
            {
                best = _d.get(0, a);
                nearest = a;
            }
        if (nearest < 0)
            nearest = (iex == 0) ? 1 : 0;
        for (int j = 0; j < m; ++j)
            _ZZsi.set(0, j, _Zs.get(nearest, j));
        return;
    }
    for (int j = 0; j < m; ++j)
    {
        double z = 0.0;
        for (int r = 0; r < q; ++r)
            z += _B[static_cast<size_t>(r) * m + j] * _x[r];
        _ZZsi.set(0, j, z);
    }
}

void Surrogate_LOWESS::solve_first_column()
{
    const int q = _q;
    // r := e1 - A x
    double rr = 0.0;
    for (int i = 0; i < q; ++i)
    {
        const double* Ai = &_A[static_cast<size_t>(i) * q];
        double v = (i == 0) ? 1.0 : 0.0;
        for (int k = 0; k < q; ++k)
            v -= Ai[k] * _x[k];
        _r[i] = v;
        rr += v * v;
    }

    // A residual that is not a number (the previous system was singular)
    // must start afresh too, or every later prediction inherits the NaN.
    if (!(std::sqrt(rr) < 1e-4))
    {
        Matrix A("A", q, q);
        for (int i = 0; i < q; ++i)
            for (int k = 0; k < q; ++k)
                A.set(i, k, _A[static_cast<size_t>(i) * q + k]);
        Matrix b("b", q, 1);
        b.set(0, 0, 1.0);
        const Matrix x = Matrix::cholesky_solve(A, b);
        for (int i = 0; i < q; ++i)
            _x[i] = x.get(i, 0);
        ++_nb_cholesky;
        return;
    }

    // Close enough: a few conjugate-gradient rounds from the previous
    // solution instead of a fresh factorisation.
    ++_nb_refinements;
    if (!(rr > 1e-12))
        return;
    _s = _r;
    for (int round = 0; round < 100; ++round)
    {
        double st = 0.0;
        for (int i = 0; i < q; ++i)
        {
            const double* Ai = &_A[static_cast<size_t>(i) * q];
            double v = 0.0;
            for (int k = 0; k < q; ++k)
                v += Ai[k] * _s[k];
            _t[i] = v;
            st += _s[i] * v;
        }
        const double gamma = rr / st;
        double rrNew = 0.0;
        for (int i = 0; i < q; ++i)
        {
            _x[i] += gamma * _s[i];
            _r[i] -= gamma * _t[i];
            rrNew += _r[i] * _r[i];
        }
        if (rrNew <= 1e-12)
            break;
        const double beta = rrNew / rr;
        for (int i = 0; i < q; ++i)
            _s[i] = _r[i] + beta * _s[i];
        rr = rrNew;
    }
}

void Surrogate_LOWESS::predict_private(const Matrix& XXs, Matrix* ZZs)
{
    check_ready(__FILE__, "predict_private", __LINE__);
    const int rows = XXs.get_nb_rows();
    if (rows > 1)
    {
        if (ZZs->get_nb_rows() != rows || ZZs->get_nb_cols() != _m)
            *ZZs = Matrix("ZZs", rows, _m);
        for (int i = 0; i < rows; ++i)
        {
            predict_private_single(XXs.get_row(i), -1);
            for (int j = 0; j < _m; ++j)
                ZZs->set(i, j, _ZZsi.get(0, j));
        }
    }
    else
    {
        predict_private_single(XXs, -1);
        *ZZs = _ZZsi;
    }
}

Matrix* Surrogate_LOWESS::get_matrix_Zvs()
{
    check_ready(__FILE__, "get_matrix_Zvs", __LINE__);
    if (!_Zvs)
    {
        std::unique_ptr<Matrix> Zvs(new Matrix("Zvs", _p, _m));
        // The distances between training points are computed once per fit.
        const Matrix& D = get_training_distances(_param.get_distance_type());
        for (int a = 0; a < _p; ++a)
        {
            for (int b = 0; b < _p; ++b)
                _d.set(0, b, D.get(a, b));
            for (int k = 0; k < _n; ++k)
                _xq[k] = _Xs.get(a, k);
            local_fit(a);
            for (int j = 0; j < _m; ++j)
                Zvs->set(a, j, _ZZsi.get(0, j));
        }
        _Zvs = Zvs.release();
    }
    return _Zvs;
}

void Surrogate_LOWESS::display_private(std::ostream& out) const
{
    out << "q: " << _q << std::endl;
}

} // namespace TESKORA
