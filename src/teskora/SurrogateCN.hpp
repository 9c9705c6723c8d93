#ifndef TESKORA_SURROGATE_CN_HPP
#define TESKORA_SURROGATE_CN_HPP

#include "teskora/Surrogate.hpp"

namespace TESKORA
{

// Closest neighbour: the outputs of the nearest training point, in the
// model's distance type. Nothing to fit; validation by the nearest other
// point.
class Surrogate_CN : public Surrogate
{
public:
    Surrogate_CN(TrainingSet& trainingset, Surrogate_Parameters param);
    ~Surrogate_CN() override = default;

    bool build_private() override;
    void predict_private(const Matrix& XXs, Matrix* ZZs) override;
    using Surrogate::predict_private;
    void display_private(std::ostream& out) const override;
    Matrix* get_matrix_Zvs() override;
    Matrix* get_matrix_Zhs() override;
    Matrix* get_matrix_Shs() override;
    Matrix* get_matrix_Svs() override;
    bool compute_cv_values();
};

} // namespace TESKORA

#endif
