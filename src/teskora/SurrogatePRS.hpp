#ifndef TESKORA_SURROGATE_PRS_HPP
#define TESKORA_SURROGATE_PRS_HPP

#include "teskora/Surrogate.hpp"

#include <set>

namespace TESKORA
{

// Polynomial response surface of total degree DEGREE over the varying
// inputs, fitted by (ridge-regularised) least squares in scaled space.
// Leave-one-out values come in closed form from the projection.
class Surrogate_PRS : public Surrogate
{
public:
    Surrogate_PRS(TrainingSet& trainingset, Surrogate_Parameters param);
    ~Surrogate_PRS() override = default;

    // The number of monomials of total degree at most d in n variables,
    // C(n + d, d); saturates at the largest int.
    static int get_nb_PRS_monomes(int n, int d);
    // Their exponents, one row per monomial: the constant, then by number of
    // variables involved, by total degree, in ascending colexicographic order.
    static Matrix get_PRS_monomes(int n, int d);
    virtual Matrix compute_design_matrix(const Matrix& M, const Matrix& Xs);
    bool compute_alpha();

    bool build_private() override;
    void predict_private(const Matrix& XXs, Matrix* ZZs) override;
    using Surrogate::predict_private;
    void display_private(std::ostream& out) const override;
    Matrix* get_matrix_Zvs() override;

protected:
    int _q;
    Matrix _M;
    Matrix _H;
    Matrix _Ai;
    Matrix _alpha;

    // Records q and refuses too many basis functions (above maxBasis) or,
    // without ridge, fewer distinct points than q + 1.
    bool accept_basis(int q, int maxBasis);
    // Fits the coefficients on the design of the exponents M.
    bool fit(const Matrix& M);
};

// PRS plus one indicator per varying input: 1 where the input is exactly 0
// in user units.
class Surrogate_PRS_EDGE : public Surrogate_PRS
{
public:
    Surrogate_PRS_EDGE(TrainingSet& trainingset, Surrogate_Parameters param);

    bool build_private() override;
    void display_private(std::ostream& out) const override;
    Matrix compute_design_matrix(const Matrix& M, const Matrix& Xs) override;
};

// Input 0 is a category: one polynomial in the other inputs per category
// value.
class Surrogate_PRS_CAT : public Surrogate_PRS
{
public:
    Surrogate_PRS_CAT(TrainingSet& trainingset, Surrogate_Parameters param);

    bool init_private() override;
    bool build_private() override;
    void display_private(std::ostream& out) const override;
    Matrix compute_design_matrix(const Matrix& M, const Matrix& Xs) override;

private:
    std::set<double> _cat;
    int _nb_cat;
};

} // namespace TESKORA

#endif
