#include "teskora/SurrogateEnsemble.hpp"

#include "teskora/Exception.hpp"
#include "teskora/SurrogateFactory.hpp"

#include <cfloat>
#include <cmath>

namespace TESKORA
{

namespace
{

const double EPS = 1e-13;

} // namespace

Surrogate_Ensemble::Surrogate_Ensemble(TrainingSet& trainingset, Surrogate_Parameters param)
    : Surrogate(trainingset, param), _kmax(0), _kready(0)
{
    _metric.assign(static_cast<size_t>(_m), 0.0);
    // A member refused half-way through the list would otherwise leak the
    // members made before it: the destructor does not run for an object
    // whose constructor throws.
    try
    {
        model_list_preset(_param.get_preset());
    }
    catch (...)
    {
        model_list_remove_all();
        throw;
    }
}

void Surrogate_Ensemble::reset_weights()
{
    // Uniform weights of the shape of the list, so that the weights always
    // have one row per sub-model.
    Matrix W("W", _kmax, _m);
    if (_kmax > 0)
        W.fill(1.0 / _kmax);
    _param.set_weight(W);
    _active.clear();
}

bool Surrogate_Ensemble::is_active(int k) const
{
    return k < static_cast<int>(_active.size()) && _active[k];
}

Surrogate_Ensemble::~Surrogate_Ensemble()
{
    model_list_remove_all();
}

void Surrogate_Ensemble::model_list_preset(const std::string& preset)
{
    model_list_remove_all();
    const std::string P = toupper(preset);
    const std::string M = " METRIC_TYPE " + metric_type_to_str(_param.get_metric_type());
    const std::string D =
        " DISTANCE_TYPE " + (_param.get_distance_type_status() == STATUS_OPTIM
                                 ? std::string("OPTIM")
                                 : distance_type_to_str(_param.get_distance_type()));
    const std::string DM = D + M;
    static const char* const coefs7[] = {"0.1", "0.2", "0.5", "1", "2", "5", "10"};

    if (P == "DEFAULT")
    {
        for (const char* d : {"TYPE PRS DEGREE 1 RIDGE 0", "TYPE PRS DEGREE 1 RIDGE 0.001",
                              "TYPE PRS DEGREE 2 RIDGE 0", "TYPE PRS DEGREE 2 RIDGE 0.001",
                              "TYPE PRS DEGREE 3 RIDGE 0.0", "TYPE PRS DEGREE 6 RIDGE 0.001"})
            model_list_add(d);
        for (const char* c : {"0.1", "0.3", "1", "3", "10"})
            model_list_add(std::string("TYPE KS KERNEL_TYPE D1 KERNEL_COEF ") + c + DM);
        for (const char* c : {"0.3", "1", "3", "10"})
            model_list_add(std::string("TYPE RBF PRESET I KERNEL_TYPE D1 KERNEL_COEF ") + c + DM);
        model_list_add("TYPE RBF PRESET I KERNEL_TYPE I1" + DM);
        model_list_add("TYPE RBF PRESET I KERNEL_TYPE I2" + DM);
        model_list_add("TYPE CN" + DM);
    }
    else if (P == "KS")
    {
        for (const char* c : coefs7)
            model_list_add(std::string("TYPE KS KERNEL_TYPE D1 KERNEL_COEF ") + c + D);
    }
    else if (P == "PRS")
    {
        for (int d = 1; d <= 6; ++d)
            model_list_add("TYPE PRS DEGREE " + itos(d));
    }
    else if (P == "IS0" || P == "CAT")
    {
        const std::string prs = (P == "IS0") ? "TYPE PRS_EDGE" : "TYPE PRS_CAT";
        const std::string distance =
            (P == "IS0") ? " DISTANCE_TYPE NORM2_IS0" : " DISTANCE_TYPE NORM2_CAT";
        model_list_add(prs + " DEGREE 2");
        model_list_add(prs + " DEGREE 3");
        for (const char* family : {"TYPE KS", "TYPE RBF PRESET I"})
            for (const char* k : {"D1", "D2"})
                for (const char* c : coefs7)
                    model_list_add(std::string(family) + " KERNEL_TYPE " + k + " KERNEL_COEF " + c +
                                   distance);
    }
    else if (P == "SUPER1")
    {
        model_list_add("TYPE KS KERNEL_TYPE OPTIM KERNEL_COEF OPTIM" + DM);
        model_list_add("TYPE RBF KERNEL_TYPE OPTIM KERNEL_COEF OPTIM RIDGE 0.001 PRESET I" + DM);
        model_list_add("TYPE PRS DEGREE OPTIM RIDGE OPTIM" + M);
        model_list_add("TYPE LOWESS DEGREE OPTIM RIDGE 0.001 KERNEL_COEF OPTIM KERNEL_TYPE D1" +
                       DM);
    }
    else if (P == "SMALL")
    {
        model_list_add("TYPE PRS");
        model_list_add("TYPE KS");
        model_list_add("TYPE RBF PRESET I");
    }
    else if (P != "NONE")
    {
        TESKORA_THROW("Surrogate_Ensemble::model_list_preset: unrecognized preset \"" + preset +
                      "\"");
    }
}

void Surrogate_Ensemble::model_list_add(const std::string& definition)
{
    Surrogate* model = Surrogate_Factory(_trainingset, definition);
    try
    {
        _surrogates.push_back(model);
    }
    catch (...)
    {
        surrogate_delete(model);
        throw;
    }
    ++_kmax;
    reset_weights();
}

void Surrogate_Ensemble::model_list_remove_all()
{
    for (Surrogate* s : _surrogates)
        surrogate_delete(s);
    _surrogates.clear();
    _kmax = 0;
    reset_weights();
}

void Surrogate_Ensemble::model_list_display(std::ostream& out) const
{
    out << "model list (_kmax=" << _kmax << "):\n";
    if (_surrogates.empty())
        out << "model list is empty\n";
    for (int k = 0; k < _kmax; ++k)
        out << "  Model " << k << ": " << _surrogates[k]->get_param().get_string() << "\n";
}

bool Surrogate_Ensemble::is_ready(int k) const
{
    if (k < 0 || k >= _kmax)
        TESKORA_THROW("Surrogate_Ensemble::set_weight_vector (const int k): k out of range");
    return _surrogates[k]->is_ready();
}

bool Surrogate_Ensemble::init_private()
{
    if (_kmax < 2)
        return false;
    _kready = 0;
    for (Surrogate* s : _surrogates)
    {
        // A member that refuses these points (too few for its basis, say)
        // is a member whose build failed: it stays out, the others go on.
        bool built = false;
        try
        {
            built = s->build();
        }
        catch (const Exception&)
        {
            built = false;
        }
        if (built)
            ++_kready;
    }
    if (_kready < 2)
        return false;
    // The starting point of tuned weights.
    compute_W_by_select();
    return true;
}

bool Surrogate_Ensemble::build_private()
{
    switch (_param.get_weight_type())
    {
    case SELECT:
        compute_W_by_select();
        break;
    case WTA1:
        compute_W_by_wta1();
        break;
    case WTA3:
        compute_W_by_wta3();
        break;
    case OPTIM:
    case EXTERN:
    {
        Matrix W = _param.get_weight();
        for (int k = 0; k < _kmax && k < W.get_nb_rows(); ++k)
            if (!is_ready(k))
                W.set_row(0.0, k);
        W.normalize_cols();
        _param.set_weight(W);
        break;
    }
    default:
        TESKORA_THROW("Surrogate_Ensemble::build(): undefined aggregation method.");
    }
    if (check_weight_vector())
    {
        _ready = false;
        return false;
    }
    compute_active_models();
    _ready = true;
    const metric_t mt = _param.get_metric_type();
    for (int j = 0; j < _m; ++j)
        _metric[j] = get_metric(mt, j);
    return true;
}

void Surrogate_Ensemble::compute_W_by_select()
{
    const metric_t mt = _param.get_metric_type();
    Matrix W("W", _kmax, _m);
    for (int j = 0; j < _m; ++j)
    {
        if (_trainingset.get_bbo(j) == DUM)
            continue;
        std::vector<double> v(static_cast<size_t>(_kmax), 0.0);
        double best = DBL_MAX;
        for (int k = 0; k < _kmax; ++k)
            if (is_ready(k))
            {
                v[k] = _surrogates[k]->get_metric(mt, j);
                if (!std::isnan(v[k]))
                    best = std::min(best, v[k]);
            }
        int count = 0;
        for (int k = 0; k < _kmax; ++k)
            if (is_ready(k) && std::fabs(v[k] - best) < EPS)
            {
                W.set(k, j, 1.0);
                ++count;
            }
        if (count > 1)
            for (int k = 0; k < _kmax; ++k)
                if (W.get(k, j) > 0)
                    W.set(k, j, 1.0 / count);
    }
    _param.set_weight(W);
}

void Surrogate_Ensemble::compute_W_by_wta1()
{
    const metric_t mt = _param.get_metric_type();
    Matrix W("W", _kmax, _m);
    for (int j = 0; j < _m; ++j)
    {
        if (_trainingset.get_bbo(j) == DUM)
            continue;
        std::vector<double> v(static_cast<size_t>(_kmax), 0.0);
        double total = 0.0;
        for (int k = 0; k < _kmax; ++k)
            if (is_ready(k))
            {
                v[k] = _surrogates[k]->get_metric(mt, j);
                if (isdef(v[k]))
                    total += v[k];
            }
        double sum = 0.0;
        for (int k = 0; k < _kmax; ++k)
        {
            if (!is_ready(k))
                continue;
            const double w = (total > EPS) ? (isdef(v[k]) ? 1.0 - v[k] / total : 0.0) : 1.0;
            W.set(k, j, w);
            sum += w;
        }
        for (int k = 0; k < _kmax; ++k)
            W.set(k, j, W.get(k, j) / sum);
    }
    _param.set_weight(W);
}

void Surrogate_Ensemble::compute_W_by_wta3()
{
    const metric_t mt = _param.get_metric_type();
    Matrix W("W", _kmax, _m);
    for (int j = 0; j < _m; ++j)
    {
        std::vector<double> v(static_cast<size_t>(_kmax), 0.0);
        double mean = 0.0;
        for (int k = 0; k < _kmax; ++k)
            if (is_ready(k))
            {
                v[k] = _surrogates[k]->get_metric(mt, j);
                mean += v[k];
            }
        mean /= _kready;
        if (mean > EPS)
        {
            double sum = 0.0;
            for (int k = 0; k < _kmax; ++k)
                if (is_ready(k))
                {
                    W.set(k, j, 1.0 / (0.05 * mean + v[k]));
                    sum += W.get(k, j);
                }
            for (int k = 0; k < _kmax; ++k)
                W.set(k, j, W.get(k, j) / sum);
        }
        else
        {
            for (int k = 0; k < _kmax; ++k)
                if (is_ready(k))
                    W.set(k, j, 1.0 / _kready);
        }
    }
    _param.set_weight(W);
}

bool Surrogate_Ensemble::check_weight_vector() const
{
    const Matrix& W = _param.get_weight();
    for (int j = 0; j < _m; ++j)
    {
        if (_trainingset.get_bbo(j) == DUM)
            continue;
        double s = 0.0;
        for (int k = 0; k < W.get_nb_rows(); ++k)
        {
            const double w = W.get(k, j);
            if (w < -EPS || w > 1.0 + EPS || std::isnan(w))
                return true;
            s += w;
        }
        if (std::fabs(s - 1.0) > _kready * EPS)
            return true;
    }
    return false;
}

void Surrogate_Ensemble::compute_active_models()
{
    const Matrix& W = _param.get_weight();
    _active.assign(static_cast<size_t>(_kmax), false);
    for (int k = 0; k < _kmax; ++k)
    {
        if (!is_ready(k))
            continue;
        for (int j = 0; j < _m; ++j)
            if (_trainingset.get_bbo(j) != DUM && W.get(k, j) > EPS)
                _active[k] = true;
    }
}

void Surrogate_Ensemble::predict_private(const Matrix& XXs, Matrix* ZZs)
{
    const int q = XXs.get_nb_rows();
    const Matrix& W = _param.get_weight();
    *ZZs = Matrix(ZZs->get_name(), q, _m);
    Matrix ZZk("ZZk", q, _m);
    for (int k = 0; k < _kmax; ++k)
    {
        if (!is_active(k))
            continue;
        ZZk = Matrix("ZZk", q, _m);
        _surrogates[k]->predict_private(XXs, &ZZk);
        for (int j = 0; j < _m; ++j)
            for (int i = 0; i < q; ++i)
                ZZs->set(i, j, ZZs->get(i, j) + W.get(k, j) * ZZk.get(i, j));
    }
}

void Surrogate_Ensemble::predict_private(const Matrix& XXs, Matrix* ZZs, Matrix* std, Matrix* ei,
                                         Matrix* cdf)
{
    if (!std && !ei && !cdf)
    {
        if (ZZs)
            predict_private(XXs, ZZs);
        return;
    }
    const int q = XXs.get_nb_rows();
    Matrix ownZZ("ZZ", q, _m);
    if (!ZZs)
        ZZs = &ownZZ;
    for (Matrix* M : {ZZs, std, ei, cdf})
        if (M)
            M->fill(0.0);
    Matrix ZZk("ZZk", q, _m), stdk("stdk", q, _m), eik("eik", q, _m), cdfk("cdfk", q, _m);
    const Matrix& W = _param.get_weight();
    for (int k = 0; k < _kmax; ++k)
    {
        if (!is_active(k))
            continue;
        _surrogates[k]->predict_private(XXs, &ZZk, &stdk, ei ? &eik : nullptr,
                                        cdf ? &cdfk : nullptr);
        for (int j = 0; j < _m; ++j)
        {
            const double w = W.get(k, j);
            if (w <= EPS / _kmax)
                continue;
            const bool objective = _trainingset.get_bbo(j) == OBJ;
            for (int i = 0; i < q; ++i)
            {
                const double z = ZZk.get(i, j);
                ZZs->set(i, j, ZZs->get(i, j) + w * z);
                if (std)
                    std->set(i, j, std->get(i, j) + w * (z * z + stdk.get(i, j) * stdk.get(i, j)));
                if (ei && objective)
                    ei->set(i, j, ei->get(i, j) + w * eik.get(i, j));
                if (cdf)
                    cdf->set(i, j, cdf->get(i, j) + w * cdfk.get(i, j));
            }
        }
    }
    // The deviation of the mixture: sqrt(E[z^2] - E[z]^2).
    if (std)
        for (int i = 0; i < q; ++i)
            for (int j = 0; j < _m; ++j)
            {
                const double z = ZZs->get(i, j);
                std->set(i, j, std::sqrt(std::fabs(std->get(i, j) - z * z)));
            }
}

Matrix Surrogate_Ensemble::mixture(Matrix* (Surrogate::*matrix)(), const std::string& name)
{
    const Matrix& W = _param.get_weight();
    Matrix S(name, _p, _m);
    for (int k = 0; k < _kmax; ++k)
    {
        if (!is_active(k))
            continue;
        const Matrix& Mk = *(_surrogates[k]->*matrix)();
        for (int j = 0; j < _m; ++j)
        {
            const double w = W.get(k, j);
            if (w > 0)
                for (int i = 0; i < _p; ++i)
                    S.set(i, j, S.get(i, j) + w * Mk.get(i, j));
        }
    }
    S.replace_nan(DBL_MAX);
    return S;
}

Matrix* Surrogate_Ensemble::get_matrix_Zvs()
{
    if (!_Zvs)
        _Zvs = new Matrix(mixture(&Surrogate::get_matrix_Zvs, "Zvs"));
    return _Zvs;
}

Matrix* Surrogate_Ensemble::get_matrix_Zhs()
{
    if (!_Zhs)
        _Zhs = new Matrix(mixture(&Surrogate::get_matrix_Zhs, "Zhs"));
    return _Zhs;
}

Matrix* Surrogate_Ensemble::get_matrix_Shs()
{
    if (!_Shs)
    {
        const Matrix& W = _param.get_weight();
        Matrix S("Shs", _p, _m);
        for (int k = 0; k < _kmax; ++k)
        {
            if (!is_active(k))
                continue;
            const Matrix& Sh = *_surrogates[k]->get_matrix_Shs();
            const Matrix& Zh = *_surrogates[k]->get_matrix_Zhs();
            for (int j = 0; j < _m; ++j)
            {
                const double w = W.get(k, j);
                if (w > 0)
                    for (int i = 0; i < _p; ++i)
                        S.set(i, j,
                              S.get(i, j) +
                                  w * (Sh.get(i, j) * Sh.get(i, j) + Zh.get(i, j) * Zh.get(i, j)));
            }
        }
        const Matrix& Zh = *get_matrix_Zhs();
        // As for predictions, the mixture's variance is taken in magnitude:
        // rounding can leave E[z^2] a few ulps below E[z]^2.
        for (int i = 0; i < _p; ++i)
            for (int j = 0; j < _m; ++j)
                S.set(i, j, std::sqrt(std::fabs(S.get(i, j) - Zh.get(i, j) * Zh.get(i, j))));
        S.replace_nan(DBL_MAX);
        _Shs = new Matrix(S);
    }
    return _Shs;
}

void Surrogate_Ensemble::display_private(std::ostream& out) const
{
    out << "kmax: " << _kmax << "\n";
    out << "kready: " << _kready << "\n";
    const Matrix& W = _param.get_weight();
    for (int j = 0; j < _m; ++j)
    {
        out << "output " << _p << " " << j << ":";
        for (int k = 0; k < _kmax && k < W.get_nb_rows(); ++k)
            if (W.get(k, j) > EPS)
                out << " " << k;
        out << "\n";
    }
}

} // namespace TESKORA
