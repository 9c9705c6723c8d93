#ifndef TESKORA_SURROGATE_KS_HPP
#define TESKORA_SURROGATE_KS_HPP

#include "teskora/Surrogate.hpp"

namespace TESKORA
{

// Kernel smoothing: the training outputs averaged with the weights of a
// decreasing kernel of the distance. The kernel coefficient is relative to
// the mean distance between training points, so the same coefficient smooths
// alike whatever the spread of the data. Leave-one-out values are the same
// average without the point itself.
class Surrogate_KS : public Surrogate
{
public:
    Surrogate_KS(TrainingSet& trainingset, Surrogate_Parameters param);
    ~Surrogate_KS() override = default;

    bool build_private() override;
    void predict_private(const Matrix& XXs, Matrix* ZZs) override;
    using Surrogate::predict_private;
    void display_private(std::ostream& out) const override;
    Matrix* get_matrix_Zhs() override;
    Matrix* get_matrix_Zvs() override;

private:
    // The kernel coefficient over the mean distance between training points.
    double shape() const;
    // Outputs of a point whose weights all vanish, by kernel type: the mean
    // output or those of the nearest point (index k).
    double fallback(int k, int j) const;
};

} // namespace TESKORA

#endif
