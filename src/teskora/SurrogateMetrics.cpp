#include "teskora/Surrogate.hpp"

#include "teskora/Diagnostics.hpp"
#include "teskora/Exception.hpp"
#include "teskora/Utils.hpp"

#include <cmath>
#include <limits>
#include <vector>

namespace TESKORA
{

namespace
{

const double HUGE_VALUE = std::numeric_limits<double>::max();

} // namespace

bool Surrogate::is_defined(metric_t mt) const
{
    const auto it = _metrics.find(mt);
    return it != _metrics.end() && it->second.get_nb_cols() > 0;
}

bool Surrogate::is_defined(metric_t mt, int j) const
{
    if (!is_defined(mt))
        return false;
    return j >= 0 && j < _metrics.at(mt).get_nb_cols() && j < _m;
}

bool Surrogate::compute_metric(metric_t mt)
{
    if (is_defined(mt))
        return true;
    if (mt < EMAX || mt > LINV)
        TESKORA_THROW("Metric not recognized.");

    const bool cv = metric_uses_cv(mt);
    const int k = one_metric_value_per_bbo(mt) ? _m : 1;
    Matrix v("v", 1, k);

    switch (mt)
    {
    case EMAX:
    case EMAXCV:
    case RMSE:
    case RMSECV:
    {
        const Matrix& Zs = get_matrix_Zs();
        const Matrix& Zh = cv ? *get_matrix_Zvs() : *get_matrix_Zhs();
        v = _trainingset.ZE_unscale(Matrix::sub(Zs, Zh).col_norm(metric_type_to_norm_type(mt)));
        break;
    }
    case ARMSE:
    case ARMSECV:
    {
        const Matrix& Zs = get_matrix_Zs();
        const Matrix& Zh = cv ? *get_matrix_Zvs() : *get_matrix_Zhs();
        v.set(0, 0, Matrix::sub(Zs, Zh).col_norm(NORM_2).sum());
        break;
    }
    case OE:
    case OECV:
        v = compute_order_error(cv ? *get_matrix_Zvs() : *get_matrix_Zhs());
        break;
    case AOE:
    case AOECV:
        v.set(0, 0, compute_aggregate_order_error(cv ? *get_matrix_Zvs() : *get_matrix_Zhs()));
        break;
    case EFIOE:
    case EFIOECV:
    {
        const Matrix Zh = cv ? *get_matrix_Zvs() : *get_matrix_Zhs();
        const Matrix Sh = cv ? *get_matrix_Svs() : *get_matrix_Shs();
        // Points ranked by decreasing expected feasible improvement.
        v.set(0, 0, compute_aggregate_order_error(-compute_efi(Zh, Sh)));
        break;
    }
    case LINV:
        compute_metric_linv();
        v = _metrics.at(LINV);
        break;
    }

    // Clean-up: NaN and clearly negative values are the worst value, tiny
    // negative ones 0.
    for (int j = 0; j < k && j < v.get_nb_cols(); ++j)
    {
        const double x = v.get(0, j);
        if (std::isnan(x) || x < -1e-13)
            v.set(0, j, HUGE_VALUE);
        else if (x <= 0.0)
            v.set(0, j, 0.0);
    }
    _metrics[mt] = v;
    return true;
}

double Surrogate::get_metric(metric_t mt, int j)
{
    if (!_ready)
        return HUGE_VALUE;
    if (!is_defined(mt, j))
    {
        compute_metric(mt);
        if (!is_defined(mt, j))
            return HUGE_VALUE;
    }
    return _metrics.at(mt).get(0, j);
}

Matrix Surrogate::get_metric(metric_t mt)
{
    Matrix worst("v", 1, 1);
    worst.set(0, 0, HUGE_VALUE);
    if (!_ready)
        return worst;
    if (!is_defined(mt))
    {
        compute_metric(mt);
        if (!is_defined(mt))
            return worst;
    }
    return _metrics.at(mt);
}

double Surrogate::eval_objective()
{
    reset_metrics();
    if (!build_private())
        return HUGE_VALUE;
    const metric_t mt = _param.get_metric_type();
    double sum = 0.0;
    if (one_metric_value_per_bbo(mt))
    {
        for (int j = 0; j < _m; ++j)
            sum += get_metric(mt, j);
    }
    else
    {
        sum = get_metric(mt, 0);
    }
    if (std::isnan(sum) || std::fabs(sum) > HUGE_VALUE)
        return HUGE_VALUE;
    return sum;
}

Matrix Surrogate::compute_order_error(const Matrix& Zh)
{
    const Matrix& Zs = get_matrix_Zs();
    const int p = Zh.get_nb_rows();
    Matrix OE("OE", 1, Zh.get_nb_cols());
    std::vector<double> zs(static_cast<size_t>(p)), zh(static_cast<size_t>(p));
    for (int j = 0; j < Zh.get_nb_cols(); ++j)
    {
        for (int a = 0; a < p; ++a)
        {
            zs[a] = Zs.get(a, j);
            zh[a] = Zh.get(a, j);
        }
        double e = 0.0;
        switch (_trainingset.get_bbo(j))
        {
        case OBJ:
        {
            // Ordered pairs, a = b included, whose strict order differs.
            int wrong = 0;
            for (int a = 0; a < p; ++a)
                for (int b = 0; b < p; ++b)
                    if ((zs[a] - zs[b] < 0) != (zh[a] - zh[b] < 0))
                        ++wrong;
            e = static_cast<double>(wrong) / (static_cast<double>(p) * p);
            break;
        }
        case CON:
        {
            const double c0 = _trainingset.Z_scale(0.0, j);
            int wrong = 0;
            for (int a = 0; a < p; ++a)
                if ((zs[a] - c0 < 0) != (zh[a] - c0 < 0))
                    ++wrong;
            e = static_cast<double>(wrong) / p;
            break;
        }
        case DUM:
            e = -1.0;
            break;
        default:
            display(diag_stream());
            TESKORA_THROW("Undefined type");
        }
        OE.set(0, j, e);
    }
    return OE;
}

Matrix Surrogate::compute_fh(const Matrix& Z)
{
    const int p = Z.get_nb_rows();
    Matrix fh("fh", p, 2);
    if (Z.get_nb_cols() == 1)
    {
        for (int a = 0; a < p; ++a)
            fh.set(a, 0, Z.get(a, 0));
        return fh;
    }
    if (Z.get_nb_cols() != _m)
    {
        std::ostream& out = diag_stream();
        Z.display_short(out);
        Z.display_size(out);
        out << _m << " " << Z.get_nb_cols() << " " << _p << std::endl;
        TESKORA_THROW("Dimension error");
    }
    for (int j = 0; j < _m; ++j)
    {
        switch (_trainingset.get_bbo(j))
        {
        case OBJ:
            for (int a = 0; a < p; ++a)
                fh.set(a, 0, Z.get(a, j));
            break;
        case CON:
        {
            const double c0 = _trainingset.Z_scale(0.0, j);
            for (int a = 0; a < p; ++a)
            {
                const double d = Z.get(a, j) - c0;
                if (d > 0)
                    fh.set(a, 1, fh.get(a, 1) + d * d);
            }
            break;
        }
        case DUM:
            break;
        default:
            display(diag_stream());
            TESKORA_THROW("Undefined type");
        }
    }
    return fh;
}

double Surrogate::compute_aggregate_order_error(const Matrix& Zh)
{
    const Matrix F = compute_fh(get_matrix_Zs());
    const Matrix G = compute_fh(Zh);
    const int p = F.get_nb_rows();
    std::vector<double> f1(p), h1(p), f2(p), h2(p);
    for (int a = 0; a < p; ++a)
    {
        f1[a] = F.get(a, 0);
        h1[a] = F.get(a, 1);
        f2[a] = G.get(a, 0);
        h2[a] = G.get(a, 1);
    }
    // Feasibility first, then the objective.
    auto before = [](double fa, double ha, double fb, double hb)
    { return ha < hb || (ha == hb && fa < fb); };
    int wrong = 0;
    for (int a = 0; a < p; ++a)
        for (int b = 0; b < p; ++b)
            if (before(f1[a], h1[a], f1[b], h1[b]) != before(f2[a], h2[a], f2[b], h2[b]))
                ++wrong;
    return static_cast<double>(wrong) / (static_cast<double>(p) * p);
}

Matrix Surrogate::compute_efi(const Matrix& Zh, const Matrix& Sh)
{
    const int p = _p;
    if (Zh.get_nb_rows() != p || Zh.get_nb_cols() != _m || Sh.get_nb_rows() != p ||
        Sh.get_nb_cols() != _m)
        TESKORA_THROW("Dimension error");
    _trainingset.check_ready(__FILE__, __FUNCTION__, __LINE__);
    Matrix EFI("EFI", p, 1);
    EFI.fill(1.0);
    const double fs_min = _trainingset.get_fs_min();
    for (int j = 0; j < _m; ++j)
    {
        switch (_trainingset.get_bbo(j))
        {
        case OBJ:
            for (int a = 0; a < p; ++a)
                EFI.set(a, 0,
                        EFI.get(a, 0) *
                            _trainingset.ZE_unscale(normei(Zh.get(a, j), Sh.get(a, j), fs_min), j));
            break;
        case CON:
        {
            const double c0 = _trainingset.Z_scale(0.0, j);
            for (int a = 0; a < p; ++a)
                EFI.set(a, 0, EFI.get(a, 0) * normcdf(c0, Zh.get(a, j), Sh.get(a, j)));
            break;
        }
        case DUM:
            break;
        }
    }
    return EFI;
}

void Surrogate::compute_metric_linv()
{
    check_ready(__FILE__, "compute_metric_linv", __LINE__);
    if (is_defined(LINV))
        return;
    Matrix v("v", 1, _m);
    const Matrix& Zs = get_matrix_Zs();
    const Matrix& Zh = *get_matrix_Zhs();
    const Matrix& Sh = *get_matrix_Shs();
    for (int j = 0; j < _m; ++j)
    {
        if (_trainingset.get_bbo(j) == DUM)
        {
            v.set(0, j, -1.0);
            continue;
        }
        double L = 0.0;
        for (int a = 0; a < _p; ++a)
        {
            // The size of the residual, whatever its sign: an over-prediction
            // is as much a misfit as an under-prediction.
            const double d = std::max(std::fabs(Zh.get(a, j) - Zs.get(a, j)), 1e-13);
            const double s = std::max(Sh.get(a, j), 1e-13);
            L += -std::log(s) - 0.5 * (d / s) * (d / s);
        }
        v.set(0, j, std::exp(-(L / _p - 0.9189385332699592)));
    }
    _metrics[LINV] = v;
}

} // namespace TESKORA
