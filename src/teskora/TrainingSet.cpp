#include "teskora/TrainingSet.hpp"

#include "teskora/Diagnostics.hpp"
#include "teskora/Exception.hpp"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <limits>
#include <sstream>

namespace TESKORA
{

namespace
{

const double HUGE_VALUE = std::numeric_limits<double>::max();

const char* const DIMENSION_ERROR = "TrainingSet::TrainingSet(): dimension error";

} // namespace

TrainingSet::TrainingSet(const Matrix& X, const Matrix& Z)
    : _p(X.get_nb_rows()), _n(X.get_nb_cols()), _m(Z.get_nb_cols()), _ready(false),
      _bbo(static_cast<size_t>(Z.get_nb_cols()), CON), _bbo_is_def(false), _j_obj(0),
      _f_min(HUGE_VALUE), _fs_min(HUGE_VALUE), _i_min(0), _X(X), _Z(Z),
      _Xs("TrainingSet._Xs", _p, _n), _Zs("TrainingSet._Zs", _p, _m),
      _Ds("TrainingSet._Ds", _p, _p), _nvar(-1), _mvar(-1), _pvar(-1), _X_lb(_n, 0.0),
      _X_ub(_n, 0.0), _X_scaling_a(_n, 1.0), _X_scaling_b(_n, 0.0), _X_mean(_n, 0.0),
      _X_std(_n, 0.0), _X_nbdiff(_n, 0), _X_nbdiff1(0), _X_nbdiff2(0), _Z_lb(_m, 0.0),
      _Z_ub(_m, 0.0), _Z_replace(_m, 0.0), _Z_scaling_a(_m, 1.0), _Z_scaling_b(_m, 0.0),
      _Z_mean(_m, 0.0), _Z_std(_m, 0.0), _Zs_mean(_m, 0.0), _Z_nbdiff(_m, 0), _Ds_mean(0.0),
      _version(0)
{
    if (_m > 0)
        _bbo[0] = OBJ;
}

TrainingSet::TrainingSet(const TrainingSet& other) : _X(other._X), _Z(other._Z)
{
    other.info();
    TESKORA_THROW("TrainingSet: copy constructor forbiden.");
}

TrainingSet& TrainingSet::operator=(const TrainingSet& other)
{
    other.info();
    TESKORA_THROW("TrainingSet: operator \"=\" forbiden.");
}

TrainingSet::~TrainingSet() = default;

// ---------------------------------------------------------------- points and kinds

bool TrainingSet::add_points(const Matrix& Xnew, const Matrix& Znew)
{
    if (Xnew.get_nb_rows() != Znew.get_nb_rows() || Xnew.get_nb_cols() != _n ||
        Znew.get_nb_cols() != _m)
        TESKORA_THROW("TrainingSet::add_points(): dimension error");
    if (Xnew.has_nan())
        TESKORA_THROW("TrainingSet::add_points(): Xnew is nan");
    if (Znew.has_nan())
        TESKORA_THROW("TrainingSet::add_points(): Znew is nan");
    const int k = Xnew.get_nb_rows();
    // The matrices grow geometrically; the distance table is sized by the
    // next build instead of being re-laid out at every call.
    _X.add_rows(Xnew);
    _Z.add_rows(Znew);
    _Xs.add_rows(k);
    _Zs.add_rows(k);
    _p += k;
    _ready = false;
    ++_version;
    return true;
}

bool TrainingSet::add_point(const double* x, const double* z)
{
    return add_points(Matrix::row_vector(x, _n), Matrix::row_vector(z, _m));
}

bool TrainingSet::partial_reset_and_add_points(const Matrix& X, const Matrix& Z)
{
    if (X.get_nb_cols() != _n || Z.get_nb_cols() != _m)
        return false;
    _X = X;
    _Z = Z;
    _p = X.get_nb_rows();
    _Xs = Matrix("TrainingSet._Xs", _p, _n);
    _Zs = Matrix("TrainingSet._Zs", _p, _m);
    _Ds = Matrix("TrainingSet._Ds", _p, _p);
    _f_min = _fs_min = HUGE_VALUE;
    _i_min = 0;
    _ready = false;
    ++_version;
    return true;
}

void TrainingSet::set_bbo_type(const std::string& line)
{
    if (_bbo_is_def)
        TESKORA_THROW("TrainingSet::set_bbo_type: _bbo must be defined before the first build.");
    std::istringstream words(line);
    std::string word;
    int j = 0;
    while (words >> word)
    {
        if (j >= _m)
            TESKORA_THROW("TrainingSet::set_bbo_type: string error (j>_m)");
        if (streqi(word, "OBJ") || streqi(word, "O"))
        {
            _bbo[j] = OBJ;
            _j_obj = j;
        }
        else if (streqi(word, "CON") || streqi(word, "C"))
        {
            _bbo[j] = CON;
        }
        else if (streqi(word, "DUM") || streqi(word, "D"))
        {
            _bbo[j] = DUM;
        }
        else
        {
            TESKORA_THROW("TrainingSet::set_bbo_type: string error (string " + word +
                          " not recognized)");
        }
        ++j;
    }
    const long nbObj = std::count(_bbo.begin(), _bbo.end(), OBJ);
    const long nbCon = std::count(_bbo.begin(), _bbo.end(), CON);
    if (nbObj > 1)
        TESKORA_THROW("TrainingSet::set_bbo_type: Only one obj is allowed");
    if (nbObj + nbCon == 0)
        TESKORA_THROW("TrainingSet::set_bbo_type: all outputs are \"DUM\"");
    _bbo_is_def = true;
    _ready = false;
    _f_min = _fs_min = HUGE_VALUE;
    ++_version;
}

// ---------------------------------------------------------------- build

void TrainingSet::build()
{
    if (_Z.get_nb_rows() != _X.get_nb_rows())
        TESKORA_THROW("TrainingSet::build(): dimension error");
    if (_p <= 0)
        TESKORA_THROW("TrainingSet::build(): empty training set");
    if (_ready)
    {
        _bbo_is_def = true;
        return;
    }
    compute_nbdiff(_X, _X_nbdiff, _nvar);
    compute_nbdiff(_Z, _Z_nbdiff, _mvar);
    _X_nbdiff1 = static_cast<int>(
        std::count_if(_X_nbdiff.begin(), _X_nbdiff.end(), [](int d) { return d > 1; }));
    _X_nbdiff2 = static_cast<int>(
        std::count_if(_X_nbdiff.begin(), _X_nbdiff.end(), [](int d) { return d > 2; }));
    check_singular_data();
    compute_bounds();
    compute_scaling();
    compute_scaled_matrices();
    compute_Ds();
    compute_f_min();
    _ready = true;
    _bbo_is_def = true;
}

void TrainingSet::compute_nbdiff(const Matrix& M, std::vector<int>& nbdiff, int& njvar)
{
    njvar = 0;
    for (int j = 0; j < M.get_nb_cols(); ++j)
    {
        nbdiff[j] = M.get_nb_diff_values(j);
        if (nbdiff[j] > 1)
            ++njvar;
    }
}

void TrainingSet::check_singular_data()
{
    bool incorrect = false;
    std::ostream& out = diag_stream();
    for (int j = 0; j < _n; ++j)
        for (int i = 0; i < _p; ++i)
            if (!isdef(_X.get(i, j)))
            {
                out << "_X(" << i << "," << j << ") = " << _X.get(i, j) << std::endl;
                incorrect = true;
            }
    // A handful of points may all have failed on one output; more may not.
    if (_p > 10)
    {
        for (int j = 0; j < _m; ++j)
        {
            bool anyDefined = false;
            for (int i = 0; i < _p && !anyDefined; ++i)
                anyDefined = isdef(_Z.get(i, j));
            if (!anyDefined)
            {
                out << "_Z(:," << j << ") has no defined value !" << std::endl;
                incorrect = true;
            }
        }
    }
    if (incorrect)
        TESKORA_THROW("TrainingSet::check_singular_data(): incorrect data !");
}

void TrainingSet::compute_bounds()
{
    for (int j = 0; j < _n; ++j)
    {
        double lb = HUGE_VALUE, ub = -HUGE_VALUE;
        for (int i = 0; i < _p; ++i)
        {
            lb = std::min(lb, _X.get(i, j));
            ub = std::max(ub, _X.get(i, j));
        }
        _X_lb[j] = lb;
        _X_ub[j] = ub;
    }
    for (int j = 0; j < _m; ++j)
    {
        double lb = HUGE_VALUE, ub = -HUGE_VALUE;
        for (int i = 0; i < _p; ++i)
        {
            const double z = _Z.get(i, j);
            if (isdef(z))
            {
                lb = std::min(lb, z);
                ub = std::max(ub, z);
            }
        }
        _Z_lb[j] = lb;
        _Z_ub[j] = ub;
        // An undefined output reads as somewhat worse than the worst value
        // seen, and never below 0.1.
        if (isdef(lb) && isdef(ub))
            _Z_replace[j] = std::max(ub, 0.0) + 0.1 * std::max(1.0, ub - lb);
        else
            _Z_replace[j] = 1.0;
    }
}

void TrainingSet::compute_mean_std()
{
    for (int j = 0; j < _n; ++j)
    {
        double sum = 0.0;
        for (int i = 0; i < _p; ++i)
            sum += _X.get(i, j);
        const double mean = sum / _p;
        double sq = 0.0;
        for (int i = 0; i < _p; ++i)
            sq += (_X.get(i, j) - mean) * (_X.get(i, j) - mean);
        _X_mean[j] = mean;
        _X_std[j] = std::sqrt(sq / (_p - 1));
    }
    for (int j = 0; j < _m; ++j)
    {
        double sum = 0.0;
        for (int i = 0; i < _p; ++i)
        {
            const double z = _Z.get(i, j);
            sum += isdef(z) ? z : _Z_replace[j];
        }
        const double mean = sum / _p;
        double sq = 0.0;
        for (int i = 0; i < _p; ++i)
        {
            const double z = _Z.get(i, j);
            const double d = (isdef(z) ? z : _Z_replace[j]) - mean;
            sq += d * d;
        }
        _Z_mean[j] = mean;
        _Z_std[j] = std::sqrt(sq / (_p - 1));
    }
}

void TrainingSet::compute_scaling()
{
    std::fill(_X_scaling_a.begin(), _X_scaling_a.end(), 1.0);
    std::fill(_X_scaling_b.begin(), _X_scaling_b.end(), 0.0);
    std::fill(_Z_scaling_a.begin(), _Z_scaling_a.end(), 1.0);
    std::fill(_Z_scaling_b.begin(), _Z_scaling_b.end(), 0.0);
    compute_mean_std();
    // A varying variable is standardised; a constant one is only shifted to 0.
    for (int j = 0; j < _n; ++j)
    {
        if (_X_nbdiff[j] > 1)
            _X_scaling_a[j] = 1.0 / _X_std[j];
        _X_scaling_b[j] = -_X_mean[j] * _X_scaling_a[j];
    }
    for (int j = 0; j < _m; ++j)
    {
        if (_Z_nbdiff[j] > 1)
            _Z_scaling_a[j] = 1.0 / _Z_std[j];
        _Z_scaling_b[j] = -_Z_mean[j] * _Z_scaling_a[j];
    }
}

void TrainingSet::compute_scaled_matrices()
{
    if (_Xs.get_nb_rows() != _p)
        _Xs = Matrix("TrainingSet._Xs", _p, _n);
    if (_Zs.get_nb_rows() != _p)
        _Zs = Matrix("TrainingSet._Zs", _p, _m);
    for (int i = 0; i < _p; ++i)
        for (int j = 0; j < _n; ++j)
            _Xs.set(i, j, X_scale(_X.get(i, j), j));
    for (int j = 0; j < _m; ++j)
    {
        double sum = 0.0;
        for (int i = 0; i < _p; ++i)
        {
            const double z = _Z.get(i, j);
            const double zs = Z_scale(isdef(z) ? z : _Z_replace[j], j);
            _Zs.set(i, j, zs);
            sum += zs;
        }
        _Zs_mean[j] = sum / _p;
    }
}

void TrainingSet::compute_Ds()
{
    if (_Ds.get_nb_rows() != _p || _Ds.get_nb_cols() != _p)
        _Ds = Matrix("TrainingSet._Ds", _p, _p);
    // The scaled rows, read once into contiguous storage.
    std::vector<double> xs(static_cast<size_t>(_p) * _n);
    for (int i = 0; i < _p; ++i)
        for (int c = 0; c < _n; ++c)
            xs[static_cast<size_t>(i) * _n + c] = _Xs.get(i, c);
    _Ds_mean = 0.0;
    _pvar = _p;
    for (int i = 0; i + 1 < _p; ++i)
    {
        _Ds.set(i, i, 0.0);
        bool duplicate = false;
        const double* xi = xs.data() + static_cast<size_t>(i) * _n;
        for (int k = i + 1; k < _p; ++k)
        {
            const double* xk = xs.data() + static_cast<size_t>(k) * _n;
            double s = 0.0;
            for (int c = 0; c < _n; ++c)
                s += (xi[c] - xk[c]) * (xi[c] - xk[c]);
            const double d = std::sqrt(s);
            _Ds.set(i, k, d);
            _Ds.set(k, i, d);
            _Ds_mean += d;
            if (std::fabs(d) < 1e-13)
                duplicate = true;
        }
        if (duplicate)
            --_pvar;
    }
    if (_p > 0)
        _Ds.set(_p - 1, _p - 1, 0.0);
    // Summed over all pairs, divided by the pairs of distinct points (0 / 0
    // when a single distinct point remains).
    _Ds_mean /= static_cast<double>(_pvar) * (_pvar - 1) / 2.0;
}

void TrainingSet::compute_f_min()
{
    // Without an output there is no objective to read.
    if (_j_obj >= _m)
        return;
    for (int i = 0; i < _p; ++i)
    {
        const double f = _Z.get(i, _j_obj);
        if (!(f < _f_min))
            continue;
        bool feasible = true;
        for (int j = 0; j < _m && feasible; ++j)
            if (_bbo[j] == CON && _Z.get(i, j) > 0.0)
                feasible = false;
        if (feasible)
        {
            _f_min = f;
            _i_min = i;
        }
    }
    _fs_min = Z_scale(_f_min, _j_obj);
}

void TrainingSet::compute_nvar_mvar()
{
    if (_nvar != _n)
        _nvar = static_cast<int>(
            std::count_if(_X_nbdiff.begin(), _X_nbdiff.end(), [](int d) { return d > 1; }));
    if (_mvar != _m)
        _mvar = static_cast<int>(
            std::count_if(_Z_nbdiff.begin(), _Z_nbdiff.end(), [](int d) { return d > 1; }));
}

// ---------------------------------------------------------------- readiness

void TrainingSet::check_ready() const
{
    if (!_ready)
    {
        diag_stream() << "TrainingSet: NOT READY!" << std::endl;
        TESKORA_THROW(
            "TrainingSet::check_ready(): TrainingSet not ready. Use method TrainingSet::build()");
    }
}

void TrainingSet::check_ready(const std::string& caller) const
{
    if (!_ready)
    {
        diag_stream() << "TrainingSet: NOT READY! (" << caller << ")" << std::endl;
        TESKORA_THROW(
            "TrainingSet::check_ready(): TrainingSet not ready. Use method TrainingSet::build()");
    }
}

void TrainingSet::check_ready(const std::string& file, const std::string& function,
                              const int& line) const
{
    check_ready(file + "::" + function + ":" + itos(line));
}

// ---------------------------------------------------------------- entries and scaling

double TrainingSet::get_Ds(int i, int j) const
{
    // Points added since the last build have no distance yet.
    if (i >= _Ds.get_nb_rows() || j >= _Ds.get_nb_cols())
        return 0.0;
    return _Ds.get(i, j);
}

void TrainingSet::get_Xs(int i, double* x) const
{
    for (int j = 0; j < _n; ++j)
        x[j] = _Xs.get(i, j);
}

void TrainingSet::get_Zs(int i, double* z) const
{
    for (int j = 0; j < _m; ++j)
        z[j] = _Zs.get(i, j);
}

Matrix TrainingSet::get_X_nbdiff() const
{
    Matrix M("NbDiff", 1, _n);
    for (int j = 0; j < _n; ++j)
        M.set(0, j, _X_nbdiff[j]);
    return M;
}

double TrainingSet::Z_unscale(double z, int j) const
{
    // A two-valued output is predicted as one of its two values.
    if (_Z_nbdiff[j] == 2)
        return (z > _Zs_mean[j]) ? _Z_ub[j] : _Z_lb[j];
    return (z - _Z_scaling_b[j]) / _Z_scaling_a[j];
}

void TrainingSet::X_scale(double* x) const
{
    for (int j = 0; j < _n; ++j)
        x[j] = X_scale(x[j], j);
}

void TrainingSet::X_unscale(double* x) const
{
    for (int j = 0; j < _n; ++j)
        x[j] = X_unscale(x[j], j);
}

void TrainingSet::Z_scale(double* z) const
{
    for (int j = 0; j < _m; ++j)
        z[j] = Z_scale(z[j], j);
}

void TrainingSet::Z_unscale(double* z) const
{
    for (int j = 0; j < _m; ++j)
        z[j] = Z_unscale(z[j], j);
}

void TrainingSet::X_scale(Matrix& X) const
{
    if (X.get_nb_cols() != _n)
        TESKORA_THROW(DIMENSION_ERROR);
    for (int i = 0; i < X.get_nb_rows(); ++i)
        for (int j = 0; j < _n; ++j)
            X.set(i, j, X_scale(X.get(i, j), j));
}

void TrainingSet::Z_unscale(Matrix* Z) const
{
    if (Z->get_nb_cols() != _m)
        TESKORA_THROW(DIMENSION_ERROR);
    for (int i = 0; i < Z->get_nb_rows(); ++i)
        for (int j = 0; j < _m; ++j)
            Z->set(i, j, Z_unscale(Z->get(i, j), j));
}

void TrainingSet::ZE_unscale(Matrix* E) const
{
    if (E->get_nb_cols() != _m)
        TESKORA_THROW(DIMENSION_ERROR);
    for (int i = 0; i < E->get_nb_rows(); ++i)
        for (int j = 0; j < _m; ++j)
            E->set(i, j, ZE_unscale(E->get(i, j), j));
}

Matrix TrainingSet::Z_unscale(const Matrix& Z) const
{
    Matrix copy = Z;
    Z_unscale(&copy);
    return copy;
}

Matrix TrainingSet::ZE_unscale(const Matrix& E) const
{
    Matrix copy = E;
    ZE_unscale(&copy);
    return copy;
}

// ---------------------------------------------------------------- geometry

Matrix TrainingSet::get_distances(const Matrix& A, const Matrix& B, distance_t dt) const
{
    switch (dt)
    {
    case NORM2:
        return Matrix::get_distances_norm2(A, B);
    case NORM1:
        return Matrix::get_distances_norm1(A, B);
    case NORMINF:
        return Matrix::get_distances_norminf(A, B);
    case NORM2_IS0:
    {
        Matrix D = Matrix::get_distances_norm2(A, B);
        const int n = A.get_nb_cols();
        if (n > _n)
            TESKORA_THROW(DIMENSION_ERROR);
        // Points lie far apart as soon as one has an input at exactly 0
        // where the other has not.
        for (int i = 0; i < A.get_nb_rows(); ++i)
            for (int j = 0; j < B.get_nb_rows(); ++j)
            {
                double s = D.get(i, j) * D.get(i, j);
                for (int k = 0; k < n; ++k)
                {
                    const double z = X_scale(0.0, k);
                    const bool a0 = std::fabs(A.get(i, k) - z) < 1e-13;
                    const bool b0 = std::fabs(B.get(j, k) - z) < 1e-13;
                    if (a0 != b0)
                        s += 10000.0;
                }
                D.set(i, j, std::sqrt(s));
            }
        return D;
    }
    case NORM2_CAT:
    {
        Matrix D = Matrix::get_distances_norm2(A, B);
        if (A.get_nb_cols() < 1)
            return D;
        // Input 0 is a category: points of different categories lie far apart.
        for (int i = 0; i < A.get_nb_rows(); ++i)
            for (int j = 0; j < B.get_nb_rows(); ++j)
            {
                double s = D.get(i, j) * D.get(i, j);
                if (std::fabs(A.get(i, 0) - B.get(j, 0)) > 1e-13)
                    s += 10000.0;
                D.set(i, j, std::sqrt(s));
            }
        return D;
    }
    }
    TESKORA_THROW("Undefined type");
}

void TrainingSet::checkQueryRow(const Matrix& xs, const char* message) const
{
    // No row at all would be read past its end, as would a short row.
    if (xs.get_nb_rows() != 1)
        TESKORA_THROW(message);
    if (xs.get_nb_cols() != _n)
        TESKORA_THROW(DIMENSION_ERROR);
}

double TrainingSet::squaredDistance(const Matrix& xs, int i) const
{
    double s = 0.0;
    for (int j = 0; j < _n; ++j)
    {
        const double d = xs.get(0, j) - _Xs.get(i, j);
        s += d * d;
    }
    return s;
}

double TrainingSet::get_d1(const Matrix& xs) const
{
    if (xs.get_nb_rows() > 1)
        TESKORA_THROW("TrainingSet::get_d1: XXs must have only one line.");
    if (_p == 0)
        return 1.3407807929942596e154;
    if (_n == 0)
        return 0.0;
    checkQueryRow(xs, "TrainingSet::get_d1: XXs must have only one line.");
    double best = HUGE_VALUE;
    for (int i = 0; i < _p; ++i)
    {
        const double s = squaredDistance(xs, i);
        if (s == 0.0)
            return 0.0;
        best = std::min(best, s);
    }
    return std::sqrt(best);
}

double TrainingSet::get_d1_over_d2(const Matrix& xs) const
{
    if (xs.get_nb_rows() > 1)
        TESKORA_THROW("TrainingSet::get_d1_over_d2: XXs must have only one line.");
    if (_p <= 1)
        return 1.0;
    if (_n == 0)
        return 0.0;
    checkQueryRow(xs, "TrainingSet::get_d1_over_d2: XXs must have only one line.");
    double d1 = HUGE_VALUE, d2 = HUGE_VALUE;
    int closest = 0;
    for (int i = 0; i < _p; ++i)
    {
        const double s = squaredDistance(xs, i);
        if (s == 0.0)
            return 0.0;
        if (s < d1)
        {
            d2 = d1;
            d1 = s;
            closest = i;
        }
        else if (s < d2 && get_Ds(i, closest) > 0.0)
        {
            d2 = s;
        }
    }
    return std::sqrt(d1 / d2);
}

Matrix TrainingSet::get_distance_to_closest(const Matrix& XXs) const
{
    Matrix P("P", XXs.get_nb_rows(), 1);
    for (int i = 0; i < XXs.get_nb_rows(); ++i)
        P.set(i, 0, get_d1(XXs.get_row(i)));
    return P;
}

Matrix TrainingSet::get_exclusion_area_penalty(const Matrix& XXs, double tc) const
{
    Matrix P("P", XXs.get_nb_rows(), 1);
    for (int i = 0; i < XXs.get_nb_rows(); ++i)
    {
        const double r = get_d1_over_d2(XXs.get_row(i));
        P.set(i, 0, (tc > r) ? 1e9 - r : 0.0);
    }
    return P;
}

std::list<int> TrainingSet::select_greedy(const Matrix& X, int imin, int pS, double lambda0,
                                          distance_t dt) const
{
    const int N = X.get_nb_rows();
    if (pS < 3 || pS >= N)
    {
        diag_stream() << "pS = " << pS << std::endl;
        TESKORA_THROW("TrainingSet::TrainingSet(): wrong value of pS");
    }
    std::list<int> S = {imin};
    Matrix dB = get_distances(X, X.get_row(imin), dt);
    dB.set_name("dB");

    int i = dB.get_max_index();
    S.push_back(i);
    Matrix dS = Matrix::min(get_distances(X, X.get_row(i), dt), dB);
    dS.set_name("dS");

    double lambda = 0.0;
    if (lambda0 != 0.0)
    {
        for (int j = 0; j < N; ++j)
            if (dB.get(j, 0) > 0.0)
                lambda = std::max(lambda, dS.get(j, 0) / dB.get(j, 0));
        lambda *= lambda0;
    }

    while (static_cast<int>(S.size()) < pS)
    {
        // First position of the largest dS - lambda dB.
        double best = -HUGE_VALUE;
        i = 0;
        for (int j = 0; j < N; ++j)
        {
            const double v = dS.get(j, 0) - dB.get(j, 0) * lambda;
            if (v > best)
            {
                best = v;
                i = j;
            }
        }
        if (dS.get(i, 0) == 0.0)
        {
            lambda *= 0.99;
            if (lambda < 1e-6)
                break;
            continue;
        }
        S.push_back(i);
        dS = Matrix::min(dS, get_distances(X, X.get_row(i), dt));
        dS.set_name("dS");
    }
    return S;
}

// ---------------------------------------------------------------- diagnostics

void TrainingSet::display(std::ostream& out) const
{
    check_ready();
    out << "Number of points, p=" << std::setw(4) << _p << "  (" << _pvar << ")" << std::endl;
    out << "Input dimension,  n=" << std::setw(4) << _n << "  (" << _nvar << ")" << std::endl;
    out << "Output dimension, m=" << std::setw(4) << _m << "  (" << _mvar << ")" << std::endl;

    struct Table
    {
        const char* title;
        int count;
        const std::vector<int>& nbdiff;
        const std::vector<double>&mean, &std, &lb, &ub, &a, &b;
        bool outputs;
    };
    const Table tables[] = {
        {"X (Input matrix):", _n, _X_nbdiff, _X_mean, _X_std, _X_lb, _X_ub, _X_scaling_a,
         _X_scaling_b, false},
        {"Z (Input matrix):", _m, _Z_nbdiff, _Z_mean, _Z_std, _Z_lb, _Z_ub, _Z_scaling_a,
         _Z_scaling_b, true},
    };
    for (const Table& t : tables)
    {
        out << t.title << std::endl;
        out << std::string(83, '_') << std::endl;
        out << "Dim|type|nbdiff|       mean        std|         lb         ub|         a          "
               "b|"
            << std::endl;
        out << "---|----|------|----------------------|----------------------|---------------------"
               "|"
            << std::endl;
        for (int j = 0; j < t.count; ++j)
        {
            out << std::setw(3) << j << "| ";
            if (t.outputs)
                out << bbo_type_to_str(_bbo[j]) << "| ";
            else
                out << " NA| ";
            out << std::setw(5) << t.nbdiff[j] << "| ";
            out << std::setw(10) << t.mean[j] << " " << std::setw(10) << t.std[j] << "| ";
            out << std::setw(10) << t.lb[j] << " " << std::setw(10) << t.ub[j] << "|";
            out << std::setw(10) << t.a[j] << " " << std::setw(10) << t.b[j] << "|" << std::endl;
        }
        out << std::string(84, '-') << std::endl;
        out << std::endl;
    }
    out << "fs_min: " << _fs_min << std::endl;
    out << "f_min:  " << _f_min << std::endl;
    out << std::endl;
    out.flush();
}

void TrainingSet::info() const
{
    diag_stream() << "   ## ## TrainingSet::info  " << static_cast<const void*>(this) << " "
                  << (_ready ? 1 : 0) << " " << _p << std::endl;
}

} // namespace TESKORA
