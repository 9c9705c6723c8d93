#include "teskora/Surrogate.hpp"

#include "teskora/Diagnostics.hpp"
#include "teskora/Exception.hpp"
#include "teskora/Utils.hpp"

#include <cmath>
#include <limits>

namespace TESKORA
{

namespace
{

const double HUGE_VALUE = std::numeric_limits<double>::max();

// Replaces every NaN entry of M by v.
void replaceNan(Matrix* M, double v)
{
    if (M)
        M->replace_nan(v);
}

// Gives M the shape q x m (zeros) unless it already has it.
void shape(Matrix* M, const std::string& name, int q, int m)
{
    if (M && (M->get_nb_rows() != q || M->get_nb_cols() != m))
        *M = Matrix(name, q, m);
}

} // namespace

Surrogate::Surrogate(TrainingSet& trainingset, const Surrogate_Parameters& param)
    : _trainingset(trainingset), _param(param)
{
    init();
}

Surrogate::Surrogate(TrainingSet& trainingset, const model_t& mt)
    : _trainingset(trainingset), _param(mt)
{
    init();
}

Surrogate::Surrogate(TrainingSet& trainingset, const std::string& definition)
    : _trainingset(trainingset), _param(definition)
{
    init();
}

void Surrogate::init()
{
    _n = _trainingset.get_input_dim();
    _m = _trainingset.get_output_dim();
    _p_ts = 0;
    _p_ts_old = 0;
    _p = 0;
    _p_old = 0;
    _ready = false;
    _Zhs = _Shs = _Zvs = _Svs = nullptr;
    _selected_points = {-1};
    _display = false;
    _ts_version = -1;
    _ts_version_old = -1;
    _tuning = false;
    _training_distances.assign(NB_DISTANCE_TYPES, Matrix());
    _training_distances_valid.assign(NB_DISTANCE_TYPES, false);
}

Surrogate::~Surrogate()
{
    reset_metrics();
    if (_out.is_open())
        _out.close();
}

// ---------------------------------------------------------------- build and readiness

bool Surrogate::build()
{
    _display = !streqi(_param.get_output(), "NULL");
    _param.check();
    _trainingset.build();
    _p_ts = _trainingset.get_nb_points();
    _ts_version = _trainingset.get_version();

    // Nothing changed since the latest fit: keep it, with its caches. The
    // training set's modification count tells, not its point count: a
    // refill with as many different points needs a refit.
    if (_ready && _ts_version == _ts_version_old)
        return true;

    _ready = false;
    _training_distances_valid.assign(NB_DISTANCE_TYPES, false);
    _p = (_selected_points.size() == 1 && _selected_points.front() == -1)
             ? _trainingset.get_nb_points()
             : static_cast<int>(_selected_points.size());
    if (_p <= 1)
        return false;
    reset_metrics();
    if (!init_private())
        return false;
    if (_param.get_nb_parameter_optimization() > 0 && !optimize_parameters())
    {
        _ready = false;
        return false;
    }
    if (!build_private())
    {
        _ready = false;
        return false;
    }
    _p_ts_old = _p_ts;
    _p_old = _p;
    _ts_version_old = _ts_version;

    if (_display)
    {
        // A file that cannot be written never fails the build.
        std::ostream& out = diag_stream();
        const std::string file = _param.get_output();
        _out.open(file.c_str(), std::ios::out | std::ios::app);
        if (_out.fail())
            out << "Out.fail1!!!" << std::endl;
        out << "Write in " << file << std::endl;
        if (_out.fail())
            out << "Out.fail2!!!" << std::endl;
        display(_out);
        if (_out.fail())
            out << "Out.fail3!!!" << std::endl;
        _out.close();
        _out.clear();
    }
    _ready = true;
    return true;
}

void Surrogate::check_ready(const std::string& s) const
{
    if (_ready)
    {
        _trainingset.check_ready("From Surrogate ()");
        if (_p_ts >= _trainingset.get_nb_points() && _ts_version == _trainingset.get_version())
            return;
    }
    display(diag_stream());
    diag_stream() << "Surrogate: NOT READY! (" << s << ")" << std::endl;
    TESKORA_THROW("check_ready(): Not ready!");
}

void Surrogate::check_ready(const std::string& file, const std::string& function,
                            const int& line) const
{
    check_ready(file + "::" + function + "::" + itos(line));
}

void Surrogate::check_ready() const
{
    check_ready(std::string());
}

bool Surrogate::init_private()
{
    return true;
}

// ---------------------------------------------------------------- predictions

void Surrogate::predict(const Matrix& XX, Matrix* ZZ)
{
    check_ready(__FILE__, "predict", __LINE__);
    if (XX.get_nb_cols() != _n)
    {
        display(diag_stream());
        TESKORA_THROW("predict(): dimension error");
    }
    *ZZ = Matrix("ZZ", XX.get_nb_rows(), _m);
    Matrix XXs = XX;
    _trainingset.X_scale(XXs);
    predict_private(XXs, ZZ);
    _trainingset.Z_unscale(ZZ);
}

void Surrogate::predict(const Matrix& XX, Matrix* ZZ, Matrix* std, Matrix* ei, Matrix* cdf)
{
    check_ready(__FILE__, "predict", __LINE__);
    if (XX.get_nb_cols() != _n)
    {
        display(diag_stream());
        TESKORA_THROW("predict(): dimension error");
    }
    const int q = XX.get_nb_rows();
    *ZZ = Matrix("ZZ", q, _m);
    Matrix XXs = XX;
    XXs.set_name("XXs");
    _trainingset.X_scale(XXs);
    // The optional outputs are filled entry by entry: give them the shape.
    shape(std, "std", q, _m);
    shape(ei, "ei", q, _m);
    shape(cdf, "cdf", q, _m);
    if (ei)
        ei->fill(-HUGE_VALUE);

    predict_private(XXs, ZZ, std, ei, cdf);

    // A constant output is predicted as its value (0 in scaled space).
    for (int j = 0; j < _m; ++j)
        if (_trainingset.get_Z_nbdiff(j) == 1)
            ZZ->set_col(0.0, j);

    replaceNan(ZZ, HUGE_VALUE);
    replaceNan(std, HUGE_VALUE);
    replaceNan(ei, -HUGE_VALUE);
    replaceNan(cdf, 0.0);

    ZZ->set_name("ZZ");
    _trainingset.Z_unscale(ZZ);
    if (std)
    {
        std->set_name("std");
        _trainingset.ZE_unscale(std);
    }
    if (ei)
    {
        ei->set_name("ei");
        _trainingset.ZE_unscale(ei);
        for (int j = 0; j < _m; ++j)
            if (_trainingset.get_bbo(j) != OBJ)
                ei->set_col(0.0, j);
    }
    if (cdf)
        cdf->set_name("cdf");
}

void Surrogate::predict_private(const Matrix& XXs, Matrix* ZZs, Matrix* std, Matrix* ei,
                                Matrix* cdf)
{
    check_ready(__FILE__, "predict_private", __LINE__);
    const int q = XXs.get_nb_rows();
    const double fs_min = _trainingset.get_fs_min();

    // ei and cdf are computed from the predictions: a caller that asks for
    // them without a matrix for the predictions gets a temporary one.
    Matrix ownZZs("ZZs", q, _m);
    if (!ZZs && (ei || cdf))
        ZZs = &ownZZs;
    if (ZZs)
        predict_private(XXs, ZZs);
    if (!std && !ei && !cdf)
        return;
    Matrix ownStd("std", q, _m);
    if (!std)
        std = &ownStd;
    std->fill(-HUGE_VALUE);
    if (ei)
        ei->fill(-HUGE_VALUE);
    if (cdf)
        cdf->fill(-HUGE_VALUE);

    Matrix dtc = _trainingset.get_distance_to_closest(XXs);
    dtc.set_name("dtc");

    for (int j = 0; j < _m; ++j)
    {
        // Everything here is in scaled units: the distance to the closest
        // point in scaled inputs, the RMSE in scaled outputs (the metric is
        // kept in output units). The caller unscales the sum once, so that
        // the deviation follows the outputs' units.
        const double rmse = get_metric(RMSE, j) / _trainingset.ZE_unscale(1.0, j);
        for (int i = 0; i < q; ++i)
            std->set(i, j, dtc.get(i, 0) + rmse);
        switch (_trainingset.get_bbo(j))
        {
        case OBJ:
            for (int i = 0; i < q; ++i)
            {
                if (cdf)
                    cdf->set(i, j, normcdf(fs_min, ZZs->get(i, j), std->get(i, j)));
                if (ei)
                    ei->set(i, j, normei(ZZs->get(i, j), std->get(i, j), fs_min));
            }
            break;
        case CON:
            if (cdf)
            {
                const double c0 = _trainingset.Z_scale(0.0, j);
                for (int i = 0; i < q; ++i)
                    cdf->set(i, j, normcdf(c0, ZZs->get(i, j), std->get(i, j)));
            }
            break;
        case DUM:
            break;
        }
    }
}

// ---------------------------------------------------------------- cached matrices

Matrix* Surrogate::get_matrix_Zhs()
{
    if (!_Zhs)
    {
        check_ready(__FILE__, "get_matrix_Zhs", __LINE__);
        _Zhs = new Matrix("Zhs", _p, _m);
        predict_private(get_matrix_Xs(), _Zhs);
        _Zhs->replace_nan(HUGE_VALUE);
        _Zhs->set_name("Zhs");
    }
    return _Zhs;
}

Matrix* Surrogate::get_matrix_Shs()
{
    if (!_Shs)
    {
        check_ready(__FILE__, "get_matrix_Shs", __LINE__);
        _Shs = new Matrix("Shs", _p, _m);
        predict_private(get_matrix_Xs(), nullptr, _Shs, nullptr, nullptr);
        _Shs->replace_nan(HUGE_VALUE);
        _Shs->set_name("Shs");
    }
    return _Shs;
}

Matrix* Surrogate::get_matrix_Svs()
{
    if (!_Svs)
    {
        _trainingset.check_ready(__FILE__, "get_matrix_Svs", __LINE__);
        _Svs = new Matrix("Svs", _p, _m);
        // The distance of each point to its nearest other point.
        for (int i = 0; i < _p; ++i)
        {
            double nearest = HUGE_VALUE;
            for (int k = 0; k < _p; ++k)
                if (k != i)
                    nearest = std::min(nearest, _trainingset.get_Ds(i, k));
            _Svs->set_row(nearest, i);
        }
    }
    return _Svs;
}

Matrix Surrogate::get_matrix_Zh()
{
    check_ready();
    return _trainingset.Z_unscale(*get_matrix_Zhs());
}

Matrix Surrogate::get_matrix_Zv()
{
    check_ready();
    return _trainingset.Z_unscale(*get_matrix_Zvs());
}

Matrix Surrogate::get_matrix_Sh()
{
    check_ready();
    return _trainingset.ZE_unscale(*get_matrix_Shs());
}

Matrix Surrogate::get_matrix_Sv()
{
    check_ready();
    return _trainingset.ZE_unscale(*get_matrix_Svs());
}

namespace
{

bool everyPoint(const std::list<int>& selection)
{
    return selection.size() == 1 && selection.front() == -1;
}

} // namespace

const Matrix& Surrogate::get_matrix_Xs()
{
    _trainingset.build();
    _trainingset.check_ready(__FILE__, __FUNCTION__, __LINE__);
    if (everyPoint(_selected_points))
        return _trainingset.get_matrix_Xs();
    _selectedXs = _trainingset.get_matrix_Xs().get_rows(_selected_points);
    return _selectedXs;
}

const Matrix& Surrogate::get_matrix_Zs()
{
    _trainingset.build();
    _trainingset.check_ready(__FILE__, __FUNCTION__, __LINE__);
    if (everyPoint(_selected_points))
        return _trainingset.get_matrix_Zs();
    _selectedZs = _trainingset.get_matrix_Zs().get_rows(_selected_points);
    return _selectedZs;
}

Matrix Surrogate::get_matrix_Ds()
{
    _trainingset.build();
    _trainingset.check_ready(__FILE__, __FUNCTION__, __LINE__);
    return _trainingset.get_matrix_Ds().get(_selected_points, _selected_points);
}

const Matrix& Surrogate::get_training_distances(distance_t dt)
{
    const int k = static_cast<int>(dt);
    // The distance table's own refusal of an unknown type.
    if (k < 0 || k >= NB_DISTANCE_TYPES)
        TESKORA_THROW("Undefined type");
    if (!_training_distances_valid[k])
    {
        const Matrix& Xs = get_matrix_Xs();
        _training_distances[k] = _trainingset.get_distances(Xs, Xs, dt);
        _training_distances_valid[k] = true;
    }
    return _training_distances[k];
}

Matrix Surrogate::get_exclusion_area_penalty(const Matrix& XX, double tc) const
{
    Matrix XXs = XX;
    XXs.set_name("XXs");
    _trainingset.X_scale(XXs);
    return _trainingset.get_exclusion_area_penalty(XXs, tc);
}

Matrix Surrogate::get_distance_to_closest(const Matrix& XX) const
{
    Matrix XXs = XX;
    XXs.set_name("XXs");
    _trainingset.X_scale(XXs);
    return _trainingset.get_distance_to_closest(XXs);
}

void Surrogate::reset_metrics()
{
    delete _Zhs;
    delete _Shs;
    delete _Zvs;
    delete _Svs;
    _Zhs = _Shs = _Zvs = _Svs = nullptr;
    _metrics.clear();
}

// ---------------------------------------------------------------- diagnostics

void Surrogate::display(std::ostream& out) const
{
    out << "Surrogate: " << _param.get_string() << std::endl;
    out << "ready: " << (_ready ? 1 : 0) << std::endl;
    out << "n: " << _n << " (input dim)" << std::endl;
    out << "m: " << _m << " (output dim)" << std::endl;
    out << "p: " << _p << " (nb points)" << std::endl;
    out << "Metrics:" << std::endl;
    for (const auto& entry : _metrics)
    {
        out << "  " << metric_type_to_str(entry.first) << " = [ ";
        const Matrix& v = entry.second;
        for (int j = 0; j < v.get_nb_cols(); ++j)
            out << v.get(0, j) << " ";
        out << "]" << std::endl;
    }
    display_private(out);
}

void Surrogate::info() const
{
    _trainingset.info();
}

bool Surrogate::add_points(const Matrix&, const Matrix&)
{
    TESKORA_THROW("add_points: forbiden.");
}

bool Surrogate::add_point(const double*, const double*)
{
    TESKORA_THROW("add_point: forbiden.");
}

} // namespace TESKORA
