#include "teskora/SurrogateCN.hpp"

#include <cfloat>

namespace TESKORA
{

Surrogate_CN::Surrogate_CN(TrainingSet& trainingset, Surrogate_Parameters param)
    : Surrogate(trainingset, param)
{
}

bool Surrogate_CN::build_private()
{
    _ready = true;
    return true;
}

void Surrogate_CN::predict_private(const Matrix& XXs, Matrix* ZZs)
{
    const Matrix& Xs = get_matrix_Xs();
    const Matrix D = _trainingset.get_distances(XXs, Xs, _param.get_distance_type());
    const Matrix& Zs = get_matrix_Zs();
    // Ties go to the lower index.
    for (int i = 0; i < XXs.get_nb_rows(); ++i)
        ZZs->set_row(Zs.get_row(D.get_min_index_row(i)), i);
}

Matrix* Surrogate_CN::get_matrix_Zhs()
{
    check_ready(__FILE__, "get_matrix_Zhs", __LINE__);
    if (!_Zhs)
        _Zhs = new Matrix(get_matrix_Zs());
    return _Zhs;
}

Matrix* Surrogate_CN::get_matrix_Shs()
{
    check_ready(__FILE__, "get_matrix_Shs", __LINE__);
    if (!_Shs)
        _Shs = new Matrix("Shs", _p, _m);
    return _Shs;
}

bool Surrogate_CN::compute_cv_values()
{
    check_ready(__FILE__, "compute_cv_values", __LINE__);
    if (_Zvs && _Svs)
        return true;
    if (!_Zvs)
        _Zvs = new Matrix("Zvs", _p, _m);
    if (!_Svs)
        _Svs = new Matrix("Svs", _p, _m);
    const Matrix& D = get_training_distances(_param.get_distance_type());
    const Matrix& Zs = get_matrix_Zs();
    for (int i = 0; i < _p; ++i)
    {
        double d = DBL_MAX;
        int k = 0;
        for (int j = 0; j < _p; ++j)
            if (j != i && D.get(i, j) < d)
            {
                d = D.get(i, j);
                k = j;
            }
        _Zvs->set_row(Zs.get_row(k), i);
        _Svs->set_row(d, i);
    }
    return true;
}

Matrix* Surrogate_CN::get_matrix_Zvs()
{
    check_ready(__FILE__, "get_matrix_Zvs", __LINE__);
    compute_cv_values();
    return _Zvs;
}

Matrix* Surrogate_CN::get_matrix_Svs()
{
    check_ready(__FILE__, "get_matrix_Svs", __LINE__);
    compute_cv_values();
    return _Svs;
}

void Surrogate_CN::display_private(std::ostream& out) const
{
    out << "(No special members)" << std::endl;
}

} // namespace TESKORA
