#ifndef TESKORA_SURROGATE_KRIGING_HPP
#define TESKORA_SURROGATE_KRIGING_HPP

#include "teskora/Surrogate.hpp"

#include <vector>

namespace TESKORA
{

// Ordinary kriging in the scaled space of the training set: a constant trend
// per output plus a correlated residual, with correlation exp(-s d^e) between
// points at distance d (covariance coefficients (e, s)) and the ridge as a
// nugget. The correlation matrix is factored once per fit; its own
// deviations, closed-form leave-one-out values and likelihood metric follow
// from that factor.
class Surrogate_Kriging : public Surrogate
{
public:
    Surrogate_Kriging(TrainingSet& trainingset, Surrogate_Parameters param);
    ~Surrogate_Kriging() override = default;

    // Correlations between the scaled points XXs and the model's points
    // (rows of XXs x p); a point at distance exactly 0 gets 1 + RIDGE.
    Matrix compute_covariance_matrix(const Matrix& XXs);
    // Leave-one-out predictions and deviations into _Zvs and _Svs.
    bool compute_cv_values();

    bool build_private() override;
    bool init_private() override;
    void compute_metric_linv() override;
    void predict_private(const Matrix& XXs, Matrix* ZZs, Matrix* std, Matrix* ei,
                         Matrix* cdf) override;
    void predict_private(const Matrix& XXs, Matrix* ZZs) override;
    void display_private(std::ostream& out) const override;
    Matrix* get_matrix_Zvs() override;
    Matrix* get_matrix_Svs() override;

private:
    // Lower Cholesky factor L of the training correlation matrix R = L L'.
    // It stands in for R's inverse: every product with the inverse is a pair
    // of triangular solves.
    Matrix _L;
    Matrix _alpha; // residual weights R^-1 (Zs - 1 beta), p x m
    Matrix _beta;  // constant trend per output, 1 x m
    Matrix _var;   // process variance per output, 1 x m
    // L^-1 1 and its square norm 1' R^-1 1 (the trend basis is a column of
    // ones).
    std::vector<double> _Li_ones;
    double _s0;
    double _logDetR; // ln det R, from the factor

    // Correlations of a distance table with the current coefficients.
    // training: the table is the model's own points against themselves, and
    // only its diagonal carries the nugget, so that duplicated points stay
    // apart by the ridge instead of making R singular.
    void correlations(const Matrix& D, bool training, Matrix& R) const;
    // The predictions r alpha + 1 beta for the correlation rows r.
    void predict_from(const Matrix& r, Matrix* ZZs) const;
};

} // namespace TESKORA

#endif
