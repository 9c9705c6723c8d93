#include "teskora/SurrogateKS.hpp"

#include "teskora/Exception.hpp"

#include <cfloat>
#include <cmath>

namespace TESKORA
{

namespace
{

[[noreturn]] void unacceptableKernel(int line)
{
    throw Exception(__FILE__, line, "Surrogate_KS::predict_private: Unacceptable kernel type");
}

} // namespace

Surrogate_KS::Surrogate_KS(TrainingSet& trainingset, Surrogate_Parameters param)
    : Surrogate(trainingset, param)
{
}

bool Surrogate_KS::build_private()
{
    if (!kernel_is_decreasing(_param.get_kernel_type()))
        TESKORA_THROW("Surrogate_KS::build_private(): Kernel must be decreasing for KS model");
    // With fewer than two distinct points the mean distance is 0 or not a
    // number, and every prediction would be too.
    if (_trainingset.get_pvar() < 2)
        return false;
    _ready = true;
    return true;
}

double Surrogate_KS::shape() const
{
    return _param.get_kernel_coef() / _trainingset.get_Ds_mean();
}

double Surrogate_KS::fallback(int k, int j) const
{
    switch (_param.get_kernel_type())
    {
    case D2:
    case D3:
    case D6:
        return _trainingset.get_Zs_mean(j);
    case D1:
    case D4:
    case D5:
        return k < 0 ? 0.0 : _trainingset.get_Zs(k, j);
    default:
        unacceptableKernel(__LINE__);
    }
}

void Surrogate_KS::predict_private(const Matrix& XXs, Matrix* ZZs)
{
    const Matrix& Xs = get_matrix_Xs();
    const Matrix D = _trainingset.get_distances(XXs, Xs, _param.get_distance_type());
    const Matrix PHI = kernel(_param.get_kernel_type(), shape(), D);
    const Matrix& Zs = get_matrix_Zs();
    Matrix S = PHI.sum(2);
    S.hadamard_inverse();
    *ZZs = Matrix::diagA_product(S, Matrix::product(PHI, Zs));
    for (int i = 0; i < XXs.get_nb_rows(); ++i)
        if (std::isinf(S.get(i, 0)))
        {
            // Every weight vanished: fall back on the kernel's choice.
            const kernel_t kt = _param.get_kernel_type();
            if (kt == D1 || kt == D4 || kt == D5)
            {
                ZZs->set_row(Zs.get_row(D.get_min_index_row(i)), i);
            }
            else
            {
                for (int j = 0; j < _m; ++j)
                    ZZs->set(i, j, fallback(-1, j));
            }
        }
}

Matrix* Surrogate_KS::get_matrix_Zhs()
{
    check_ready(__FILE__, "get_matrix_Zhs", __LINE__);
    if (!_Zhs)
    {
        const Matrix PHI = kernel(_param.get_kernel_type(), shape(),
                                  get_training_distances(_param.get_distance_type()));
        const Matrix& Zs = get_matrix_Zs();
        _Zhs = new Matrix("Zhs", _p, _m);
        for (int i = 0; i < _p; ++i)
        {
            double w = 0.0;
            for (int k = 0; k < _p; ++k)
                w += PHI.get(i, k);
            for (int j = 0; j < _m; ++j)
            {
                double v = 0.0;
                for (int k = 0; k < _p; ++k)
                    v += PHI.get(i, k) * Zs.get(k, j);
                _Zhs->set(i, j, v / w);
            }
        }
        _Zhs->replace_nan(DBL_MAX);
    }
    return _Zhs;
}

Matrix* Surrogate_KS::get_matrix_Zvs()
{
    check_ready(__FILE__, "get_matrix_Zvs", __LINE__);
    if (!_Zvs)
    {
        const Matrix& D = get_training_distances(_param.get_distance_type());
        const Matrix PHI = kernel(_param.get_kernel_type(), shape(), D);
        _Zvs = new Matrix("Zvs", _p, _m);
        for (int j = 0; j < _m; ++j)
            for (int i = 0; i < _p; ++i)
            {
                double w = 0.0;
                double v = 0.0;
                for (int k = 0; k < _p; ++k)
                    if (k != i)
                    {
                        w += PHI.get(k, i);
                        v += PHI.get(k, i) * _trainingset.get_Zs(k, j);
                    }
                if (w > 1e-13)
                {
                    _Zvs->set(i, j, v / w);
                    continue;
                }
                // No other point carries weight: the nearest other one.
                int nearest = -1;
                for (int k = 0; k < _p; ++k)
                    if (k != i && (nearest < 0 || D.get(k, i) < D.get(nearest, i)))
                        nearest = k;
                _Zvs->set(i, j, fallback(nearest, j));
            }
        _Zvs->replace_nan(DBL_MAX);
    }
    return _Zvs;
}

void Surrogate_KS::display_private(std::ostream& out) const
{
    out << "(No special members)" << std::endl;
}

} // namespace TESKORA
