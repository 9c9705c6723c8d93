#ifndef TESKORA_SURROGATE_RBF_HPP
#define TESKORA_SURROGATE_RBF_HPP

#include "teskora/Surrogate.hpp"

#include <list>
#include <vector>

namespace TESKORA
{

// Radial basis functions in scaled space: a kernel of the distance to each
// centre plus a low-order polynomial tail. The preset picks the variant:
// O interpolates with every point a centre; R regresses on every point with
// a ridge; I regresses on a greedy subset of the points. The digits 1, 2, 3
// place the ridge of the regression variants on every term, every term but
// the constant, or the radial terms only.
class Surrogate_RBF : public Surrogate
{
public:
    Surrogate_RBF(TrainingSet& trainingset, Surrogate_Parameters param);
    ~Surrogate_RBF() override = default;

    // Kernel values of the rows of XXs (scaled) at the centres, followed by
    // the tail; with side conditions, the tail's transpose below (square
    // interpolation system).
    Matrix compute_design_matrix(const Matrix& XXs, bool with_side_conditions);

    // Number of tail terms for a kernel needing a polynomial of degree dmin
    // (-1: none) in nvar varying inputs.
    static int tail_size(int dmin, int nvar);

    bool init_private() override;
    bool build_private() override;
    void predict_private(const Matrix& XXs, Matrix* ZZs) override;
    using Surrogate::predict_private;
    void display_private(std::ostream& out) const override;
    Matrix* get_matrix_Zvs() override;

    // Indices of the centres among the model's points; {-1}: every point.
    const std::list<int>& get_centers() const { return _centers; }

protected:
    int _q;
    int _qrbf;
    int _qprs;
    Matrix _H;
    Matrix _HtH;
    Matrix _HtZ;
    Matrix _Ai;
    Matrix _ALPHA;
    std::list<int> _centers;

private:
    enum class Variant
    {
        O,
        R,
        I
    };

    Variant _variant;
    // The model's points, read once per build.
    Matrix _Xs;
    Matrix _Zs;
    std::vector<int> _varying;

    // The basis (H and its products) of the latest fit and what it was
    // computed with, so that trials changing only the ridge reuse it.
    bool _basis_valid;
    kernel_t _basis_kernel;
    double _basis_coef;
    distance_t _basis_distance;

    // Factors of the latest system: LU with row permutation (interpolation)
    // or Cholesky (regression). The explicit inverse is only needed by the
    // leave-one-out values and is made from them on request.
    Matrix _factor;
    std::vector<int> _perm;
    bool _Ai_valid;

    static Variant variant_of(const std::string& preset);
    // Whether the square interpolation system of the current tail can be
    // regular on pvar distinct points.
    bool interpolation_fits(int pvar) const;
    // Kernel block and tail for rows X whose distances to the centres are D.
    Matrix design(const Matrix& D, const Matrix& X, bool with_side_conditions) const;
    const Matrix& system_inverse();
    // ALPHA from the LU factors of the square interpolation system, refined
    // once; false when it does not reproduce rhs (numerically singular).
    bool solve_interpolation(const Matrix& rhs);
};

} // namespace TESKORA

#endif
