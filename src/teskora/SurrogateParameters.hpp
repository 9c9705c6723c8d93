#ifndef TESKORA_SURROGATE_PARAMETERS_HPP
#define TESKORA_SURROGATE_PARAMETERS_HPP

#include "teskora/Kernel.hpp"
#include "teskora/Matrix.hpp"
#include "teskora/Utils.hpp"

#include <ostream>
#include <string>

namespace TESKORA
{

// How a model parameter gets its value: given (or defaulted), tuned by the
// parameter optimiser starting from the stored value, or computed by the
// model itself.
enum param_status_t
{
    STATUS_FIXED = 0,
    STATUS_OPTIM = 1,
    STATUS_MODEL_DEFINED = 2
};

// The description of one surrogate model, read from a definition string such
// as "TYPE PRS DEGREE 2 RIDGE 0.001". A value type: every model keeps its own
// copy. The values marked for tuning are exposed as one row vector (get_x,
// set_x, bounds and penalty) in a fixed order: degree, ridge, kernel
// coefficient, kernel type, distance type, covariance coefficients, weights.
class Surrogate_Parameters
{
public:
    explicit Surrogate_Parameters(const std::string& definition);
    explicit Surrogate_Parameters(model_t mt);
    virtual ~Surrogate_Parameters() = default;

    static model_t read_model_type(const std::string& definition);
    static std::string to_standard_field_name(const std::string& field);
    bool authorized_field(const std::string& field) const;
    static bool authorized_optim(const std::string& field);

    void read_string(const std::string& definition);
    void set_defaults();
    void check();

    void display(std::ostream& out) const;
    std::string get_string() const;
    std::string get_short_string() const;

    // The tunable values as one row vector.
    Matrix get_x() const;
    void set_x(const Matrix& X);
    void get_x_bounds(Matrix* LB, Matrix* UB, param_domain_t* domain, bool* logscale) const;
    double get_x_penalty() const;
    bool check_x() const;
    void display_x(std::ostream& out) const;
    // Grows the covariance coefficients to v (exponent, factor) pairs.
    void update_covariance_coef(int v);

    model_t get_type() const { return _type; }
    int get_degree() const { return _degree; }
    kernel_t get_kernel_type() const { return _kernel_type; }
    double get_kernel_coef() const { return _kernel_coef; }
    double get_ridge() const { return _ridge; }
    distance_t get_distance_type() const { return _distance_type; }
    param_status_t get_distance_type_status() const { return _distance_type_status; }
    weight_t get_weight_type() const { return _weight_type; }
    const Matrix& get_weight() const { return _weight; }
    const Matrix& get_covariance_coef() const { return _covariance_coef; }
    metric_t get_metric_type() const { return _metric_type; }
    const std::string& get_preset() const { return _preset; }
    const std::string& get_output() const { return _output; }
    int get_budget() const { return _budget; }
    int get_nb_parameter_optimization() const { return _nb_parameter_optimization; }
    void set_weight(const Matrix& W) { _weight = W; }

private:
    model_t _type;
    int _degree;
    param_status_t _degree_status;
    kernel_t _kernel_type;
    param_status_t _kernel_type_status;
    double _kernel_coef;
    param_status_t _kernel_coef_status;
    double _ridge;
    param_status_t _ridge_status;
    distance_t _distance_type;
    param_status_t _distance_type_status;
    Matrix _weight;
    weight_t _weight_type;
    param_status_t _weight_status;
    Matrix _covariance_coef;
    param_status_t _covariance_status;
    metric_t _metric_type;
    std::string _preset;
    std::string _output;
    int _budget;
    int _nb_parameter_optimization;
};

} // namespace TESKORA

#endif
