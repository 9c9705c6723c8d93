#ifndef TESKORA_SURROGATE_LOWESS_HPP
#define TESKORA_SURROGATE_LOWESS_HPP

#include "teskora/Surrogate.hpp"

#include <vector>

namespace TESKORA
{

// Locally weighted regression: every prediction point gets its own weighted
// ridge least-squares fit of a constant, linear, linear-plus-squares or full
// quadratic model centred on that point, so that the fitted intercept is the
// prediction. Nothing is fitted at build time; the build only sizes the work
// arrays that every prediction reuses. PRESET chooses how distances become
// kernel arguments. Leave-one-out values drop the point's own weight.
class Surrogate_LOWESS : public Surrogate
{
public:
    Surrogate_LOWESS(TrainingSet& trainingset, Surrogate_Parameters param);
    ~Surrogate_LOWESS() override;

    // Releases the work arrays.
    void delete_matrices();
    // The scaled prediction at the one row of XXs, fitted without the weight
    // of training point iex (-1: all points); the result goes to _ZZsi.
    void predict_private_single(Matrix XXs, int iex);

    bool build_private() override;
    bool init_private() override;
    void predict_private(const Matrix& XXs, Matrix* ZZs) override;
    using Surrogate::predict_private;
    void display_private(std::ostream& out) const override;
    Matrix* get_matrix_Zvs() override;

    // Mean and variance over P of the squared distances d2[0 .. p-1], the
    // moments of the gamma fit. A zero variance becomes 1e-13; negative
    // moments are refused.
    static void compute_moments(const double* d2, int p, double P, double& mean, double& var);

protected:
    int _q;
    int _basis_level;
    // Row-major work arrays: _U is _p x _q, _A is _q x _q, _B is _q x _m.
    std::vector<double> _U;
    std::vector<double> _W;
    std::vector<double> _A;
    std::vector<double> _B;
    // First column of the inverse of _A from the latest prediction: the
    // starting guess of the next one.
    std::vector<double> _x;
    std::vector<bool> _active;
    Matrix _ZZsi;
    // How often a local system was solved by a fresh factorisation and how
    // often by refining the previous solution.
    long _nb_cholesky;
    long _nb_refinements;

private:
    // The training data of the current build, read once per build instead of
    // once per prediction.
    Matrix _Xs;
    Matrix _Zs;
    // Per-prediction buffers, sized with the work arrays.
    Matrix _d;
    std::vector<double> _xq;
    std::vector<double> _r, _s, _t;

    // The basis level and regressor count for the current DEGREE.
    void choose_basis();
    // Sizes the arrays that depend on _q; _x restarts from zeros.
    void size_basis_arrays();
    // The local fit at the point _xq, whose distances to the training points
    // are in _d.
    void local_fit(int iex);
    // Solves _A x = e1 into _x, from the previous solution when it is still
    // accurate.
    void solve_first_column();
};

} // namespace TESKORA

#endif
