#ifndef TESKORA_SURROGATE_ENSEMBLE_HPP
#define TESKORA_SURROGATE_ENSEMBLE_HPP

#include "teskora/Surrogate.hpp"

#include <ostream>
#include <string>
#include <vector>

namespace TESKORA
{

// A weighted mixture of sub-models built on the ensemble's own training set,
// output by output. The preset chooses the list, the record's weight type
// how the weights are found: the best sub-model (SELECT), weights from the
// metric values (WTA1, WTA3), tuned (OPTIM) or given (EXTERN). The weights
// live in the record: one row per sub-model, one column per output.
class Surrogate_Ensemble : public Surrogate
{
public:
    Surrogate_Ensemble(TrainingSet& trainingset, Surrogate_Parameters param);
    ~Surrogate_Ensemble() override;

    void model_list_preset(const std::string& preset);
    void model_list_add(const std::string& definition);
    void model_list_remove_all();
    void model_list_display(std::ostream& out) const;

    using Surrogate::is_ready;
    bool is_ready(int k) const;
    int get_nb_models() const { return _kmax; }

    void compute_active_models();
    void compute_W_by_select();
    void compute_W_by_wta1();
    void compute_W_by_wta3();
    // True when the weights are NOT acceptable.
    bool check_weight_vector() const;

    bool init_private() override;
    bool build_private() override;
    void predict_private(const Matrix& XXs, Matrix* ZZs) override;
    void predict_private(const Matrix& XXs, Matrix* ZZs, Matrix* std, Matrix* ei,
                         Matrix* cdf) override;
    void display_private(std::ostream& out) const override;
    Matrix* get_matrix_Zvs() override;
    Matrix* get_matrix_Zhs() override;
    Matrix* get_matrix_Shs() override;

private:
    int _kmax;
    int _kready;
    std::vector<Surrogate*> _surrogates;
    std::vector<bool> _active;
    std::vector<double> _metric;

    void reset_weights();
    bool is_active(int k) const;
    // The weighted sum of one matrix of every active sub-model (its fitted
    // or its validation values).
    Matrix mixture(Matrix* (Surrogate::*matrix)(), const std::string& name);
};

} // namespace TESKORA

#endif
