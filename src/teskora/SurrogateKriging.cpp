#include "teskora/SurrogateKriging.hpp"

#include "teskora/Utils.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace TESKORA
{

namespace
{

// x := L^-1 x for the lower-triangular L, starting at row first (the
// entries above it are taken as 0).
void forward_solve(const Matrix& L, std::vector<double>& x, int first = 0)
{
    const int p = L.get_nb_rows();
    for (int i = first; i < p; ++i)
    {
        double s = x[i];
        for (int k = first; k < i; ++k)
            s -= L.get(i, k) * x[k];
        x[i] = s / L.get(i, i);
    }
}

// x := L'^-1 x for the lower-triangular L.
void backward_solve_transposed(const Matrix& L, std::vector<double>& x)
{
    const int p = L.get_nb_rows();
    for (int i = p - 1; i >= 0; --i)
    {
        double s = x[i];
        for (int k = i + 1; k < p; ++k)
            s -= L.get(k, i) * x[k];
        x[i] = s / L.get(i, i);
    }
}

double squared_norm(const std::vector<double>& x)
{
    double s = 0.0;
    for (double v : x)
        s += v * v;
    return s;
}

// Gives M the shape q x m (zeros) unless it already has it.
void shape(Matrix* M, const char* name, int q, int m)
{
    if (M->get_nb_rows() != q || M->get_nb_cols() != m)
        *M = Matrix(name, q, m);
}

} // namespace

Surrogate_Kriging::Surrogate_Kriging(TrainingSet& trainingset, Surrogate_Parameters param)
    : Surrogate(trainingset, param), _L("L", 0, 0), _alpha("alpha", 0, 0), _beta("beta", 0, 0),
      _var("var", 0, 0), _s0(0.0), _logDetR(0.0)
{
}

bool Surrogate_Kriging::init_private()
{
    return true;
}

void Surrogate_Kriging::correlations(const Matrix& D, bool training, Matrix& R) const
{
    const Matrix& coef = _param.get_covariance_coef();
    const double e = coef.get(0, 0);
    const double s = coef.get(0, 1);
    const double nugget = 1.0 + _param.get_ridge();
    const int q = D.get_nb_rows();
    const int p = D.get_nb_cols();
    if (R.get_nb_rows() != q || R.get_nb_cols() != p)
        R = Matrix("R", q, p);
    // d^e with e = 2 (the default) as the product d d, the square rounded
    // once: pow costs many times more, on p^2 entries at every fit.
    const bool square = (e == 2.0);
    auto correlation = [&](double d) { return std::exp(-s * (square ? d * d : std::pow(d, e))); };
    if (training)
    {
        // The model's own points: a symmetric table (the distance from a to
        // b is computed exactly as the one from b to a), so each pair once.
        for (int i = 0; i < q; ++i)
        {
            R.set(i, i, nugget);
            for (int j = i + 1; j < p; ++j)
            {
                const double r = correlation(D.get(i, j));
                R.set(i, j, r);
                R.set(j, i, r);
            }
        }
    }
    else
    {
        for (int i = 0; i < q; ++i)
            for (int j = 0; j < p; ++j)
            {
                const double d = D.get(i, j);
                R.set(i, j, d == 0.0 ? nugget : correlation(d));
            }
    }
    R.set_name("R");
}

Matrix Surrogate_Kriging::compute_covariance_matrix(const Matrix& XXs)
{
    const Matrix D = _trainingset.get_distances(XXs, get_matrix_Xs(), _param.get_distance_type());
    Matrix R;
    correlations(D, false, R);
    return R;
}

bool Surrogate_Kriging::build_private()
{
    _ready = false;
    const Matrix& coef = _param.get_covariance_coef();
    if (coef.get_nb_rows() < 1 || coef.get_nb_cols() < 2)
        return false;
    const int p = _p;
    const int nvar = _trainingset.get_nvar();
    // The variances divide by p - nvar: no degree of freedom left, no model.
    if (p - nvar <= 0)
        return false;
    const Matrix& Zs = get_matrix_Zs();

    // The distances do not depend on the tuned coefficients: the base keeps
    // them for the whole fit, across the tuner's trials.
    const Matrix& D = get_training_distances(_param.get_distance_type());
    Matrix R;
    correlations(D, true, R);

    // Two coincident points give two equal rows once the nugget vanishes
    // next to 1: R is singular, whatever rounding the factor would show.
    // Otherwise R must be positive definite: a pivot that is not positive
    // means no correlation model, and no variance, fits these points.
    if (1.0 + _param.get_ridge() == 1.0)
        for (int i = 0; i < p; ++i)
            for (int j = i + 1; j < p; ++j)
                if (D.get(i, j) == 0.0)
                    return false;

    _L = R.cholesky();
    _L.set_name("L");
    double logDet = 0.0;
    for (int i = 0; i < p; ++i)
    {
        const double d = _L.get(i, i);
        if (!(d > 0.0) || !std::isfinite(d))
            return false;
        logDet += 2.0 * std::log(d);
    }
    _logDetR = logDet;

    // GLS trend: beta = (1' R^-1 1)^-1 1' R^-1 Zs, with R^-1 applied as
    // L'^-1 L^-1. y1 = L^-1 1, so 1' R^-1 1 = |y1|^2.
    std::vector<double> y1(static_cast<size_t>(p), 1.0);
    forward_solve(_L, y1);
    _s0 = squared_norm(y1);

    _Li_ones = y1;
    _alpha = Matrix("alpha", p, _m);
    _beta = Matrix("beta", 1, _m);
    _var = Matrix("var", 1, _m);
    std::vector<double> y(static_cast<size_t>(p));
    for (int j = 0; j < _m; ++j)
    {
        for (int k = 0; k < p; ++k)
            y[k] = Zs.get(k, j);
        forward_solve(_L, y);
        double t = 0.0;
        for (int k = 0; k < p; ++k)
            t += y1[k] * y[k];
        const double beta = t / _s0;
        // L^-1 (Zs - 1 beta): its square norm is r' R^-1 r of the variance,
        // and one more solve gives the residual weights.
        for (int k = 0; k < p; ++k)
            y[k] -= y1[k] * beta;
        _beta.set(0, j, beta);
        _var.set(0, j, squared_norm(y) / (p - nvar));
        backward_solve_transposed(_L, y);
        for (int k = 0; k < p; ++k)
            _alpha.set(k, j, y[k]);
    }
    _ready = true;
    return true;
}

void Surrogate_Kriging::predict_from(const Matrix& r, Matrix* ZZs) const
{
    *ZZs = Matrix::product(r, _alpha);
    for (int i = 0; i < ZZs->get_nb_rows(); ++i)
        for (int j = 0; j < _m; ++j)
            ZZs->set(i, j, ZZs->get(i, j) + _beta.get(0, j));
}

void Surrogate_Kriging::predict_private(const Matrix& XXs, Matrix* ZZs)
{
    check_ready(__FILE__, "predict_private", __LINE__);
    predict_from(compute_covariance_matrix(XXs), ZZs);
}

void Surrogate_Kriging::predict_private(const Matrix& XXs, Matrix* ZZs, Matrix* std, Matrix* ei,
                                        Matrix* cdf)
{
    check_ready(__FILE__, "predict_private", __LINE__);
    const int q = XXs.get_nb_rows();
    const int p = _p;
    const double fs_min = _trainingset.get_fs_min();

    const Matrix r = compute_covariance_matrix(XXs);
    // ei and cdf are computed from the predictions.
    Matrix ownZZs;
    if (!ZZs && (ei || cdf))
        ZZs = &ownZZs;
    if (ZZs)
        predict_from(r, ZZs);

    Matrix ownStd;
    if (!std)
        std = &ownStd;
    shape(std, "std", q, _m);
    std->fill(-DBL_MAX);

    // The standard deviation of the prediction: the square root of the
    // kriging mean squared error var (1 - r' R^-1 r + (1 - 1' R^-1 r)^2 /
    // (1' R^-1 1)). With y = L^-1 r and y1 = L^-1 1, r' R^-1 r = |y|^2 and
    // 1' R^-1 r = y1 . y. Rounding can leave the factor a hair below 0 at a
    // training point: it is clipped there.
    std::vector<double> y(static_cast<size_t>(p));
    for (int i = 0; i < q; ++i)
    {
        for (int k = 0; k < p; ++k)
            y[k] = r.get(i, k);
        forward_solve(_L, y);
        double ones = 0.0;
        for (int k = 0; k < p; ++k)
            ones += _Li_ones[k] * y[k];
        const double g = 1.0 - ones;
        const double u = std::max(0.0, 1.0 - squared_norm(y) + g * g / _s0);
        for (int j = 0; j < _m; ++j)
            std->set(i, j, std::sqrt(u * _var.get(0, j)));
    }

    if (ei)
    {
        shape(ei, "ei", q, _m);
        ei->fill(-DBL_MAX);
    }
    if (cdf)
    {
        shape(cdf, "cdf", q, _m);
        cdf->fill(-DBL_MAX);
    }
    if (!ei && !cdf)
        return;
    for (int j = 0; j < _m; ++j)
    {
        switch (_trainingset.get_bbo(j))
        {
        case OBJ:
            for (int i = 0; i < q; ++i)
            {
                const double z = ZZs->get(i, j);
                const double s = std->get(i, j);
                if (cdf)
                    cdf->set(i, j, std::max(0.0, normcdf(fs_min, z, s)));
                if (ei)
                    ei->set(i, j, std::max(0.0, normei(z, s, fs_min)));
            }
            break;
        case CON:
            if (cdf)
            {
                const double c0 = _trainingset.Z_scale(0.0, j);
                for (int i = 0; i < q; ++i)
                    cdf->set(i, j, std::max(0.0, normcdf(c0, ZZs->get(i, j), std->get(i, j))));
            }
            break;
        case DUM:
            break;
        }
    }
}

bool Surrogate_Kriging::compute_cv_values()
{
    check_ready(__FILE__, "compute_cv_values", __LINE__);
    if (_Zvs && _Svs)
        return true;
    const int p = _p;

    // Leave-one-out in closed form: with Q = R^-1 - (R^-1 1)(1' R^-1 1)^-1
    // (R^-1 1)', point a's value without it is Zs(a) - (Q Zs)(a) / Q(a, a),
    // and Q Zs is exactly the residual weights alpha. Only the diagonal of Q
    // is needed. Q = L'^-1 P L^-1 with P the projection off y1 = L^-1 1, so
    // Q(a, a) = |P c|^2 for c = L^-1 e_a (zero above row a): projecting
    // first keeps the digits that the difference R^-1(a, a) - (R^-1 1)(a)^2
    // / s0 of two large numbers loses when R is ill-conditioned.
    const std::vector<double>& y1 = _Li_ones;
    // C = L^-1, column a being c: solved for every column at once, row by
    // row, each step a multiple of one row taken from another over the
    // columns a <= k where row k is not 0 (C is lower triangular). Entry
    // (i, a) sees the same operations in the same order as the substitution
    // of column a alone.
    const size_t P = static_cast<size_t>(p);
    std::vector<double> C(P * P, 0.0);
    for (int i = 0; i < p; ++i)
    {
        double* ci = C.data() + i * P;
        ci[i] = 1.0;
        for (int k = 0; k < i; ++k)
        {
            const double f = _L.get(i, k);
            const double* ck = C.data() + k * P;
            for (int a = 0; a <= k; ++a)
                ci[a] -= f * ck[a];
        }
        const double pivot = _L.get(i, i);
        for (int a = 0; a <= i; ++a)
            ci[a] /= pivot;
    }
    // t_a = y1 . c / s0 and Q(a, a) = |c - t_a y1|^2, summed over the rows
    // in increasing order for every column at once.
    std::vector<double> t(P, 0.0), q(P, 0.0), dQ(P);
    for (int k = 0; k < p; ++k)
    {
        const double* ck = C.data() + k * P;
        for (int a = 0; a <= k; ++a)
            t[a] += y1[k] * ck[a];
    }
    for (int a = 0; a < p; ++a)
        t[a] /= _s0;
    for (int k = 0; k < p; ++k)
    {
        const double* ck = C.data() + k * P;
        for (int a = 0; a < p; ++a)
        {
            const double d = ck[a] - t[a] * y1[k];
            q[a] += d * d;
        }
    }
    for (int a = 0; a < p; ++a)
        dQ[a] = 1.0 / q[a];

    if (!_Zvs)
    {
        const Matrix& Zs = get_matrix_Zs();
        _Zvs = new Matrix("Zvs", p, _m);
        for (int a = 0; a < p; ++a)
            for (int j = 0; j < _m; ++j)
                _Zvs->set(a, j, Zs.get(a, j) - dQ[a] * _alpha.get(a, j));
        _Zvs->replace_nan(DBL_MAX);
    }
    if (!_Svs)
    {
        _Svs = new Matrix("Svs", p, _m);
        for (int a = 0; a < p; ++a)
            for (int j = 0; j < _m; ++j)
                _Svs->set(a, j, std::sqrt(dQ[a] * _var.get(0, j)));
        _Svs->replace_nan(DBL_MAX);
    }
    return true;
}

Matrix* Surrogate_Kriging::get_matrix_Zvs()
{
    compute_cv_values();
    return _Zvs;
}

Matrix* Surrogate_Kriging::get_matrix_Svs()
{
    compute_cv_values();
    return _Svs;
}

void Surrogate_Kriging::compute_metric_linv()
{
    check_ready(__FILE__, "compute_metric_linv", __LINE__);
    if (is_defined(LINV))
        return;
    // var^p det R, in logarithms: both factors under- or overflow on their
    // own long before their product does.
    Matrix v("LINV", 1, _m);
    for (int j = 0; j < _m; ++j)
        v.set(0, j, std::exp(_p * std::log(_var.get(0, j)) + _logDetR));
    _metrics[LINV] = v;
}

void Surrogate_Kriging::display_private(std::ostream& out) const
{
    _beta.display(out);
    _var.display(out);
}

} // namespace TESKORA
