#ifndef TESKORA_SURROGATE_HPP
#define TESKORA_SURROGATE_HPP

#include "teskora/Kernel.hpp"
#include "teskora/Matrix.hpp"
#include "teskora/SurrogateParameters.hpp"
#include "teskora/TrainingSet.hpp"

#include <fstream>
#include <list>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace TESKORA
{

// Base of every surrogate model. A model is built on a training set it does
// not own and a parameter record it copies; build() fits it to the current
// points, check_ready() guards every use, predict() answers in the user's
// units. All model arithmetic happens in the scaled space of the training
// set. The base also keeps the in-sample and cross-validation matrices the
// quality metrics are computed from, and tunes the parameters marked for
// optimisation.
class Surrogate
{
public:
    Surrogate(TrainingSet& trainingset, const Surrogate_Parameters& param);
    Surrogate(TrainingSet& trainingset, const model_t& mt);
    Surrogate(TrainingSet& trainingset, const std::string& definition);
    virtual ~Surrogate();

    Surrogate(const Surrogate&) = delete;
    Surrogate& operator=(const Surrogate&) = delete;

    bool build();
    void check_ready(const std::string& file, const std::string& function, const int& line) const;
    void check_ready(const std::string& s) const;
    void check_ready() const;

    void predict(const Matrix& XX, Matrix* ZZ);
    void predict(const Matrix& XX, Matrix* ZZ, Matrix* std, Matrix* ei, Matrix* cdf);

    Matrix get_exclusion_area_penalty(const Matrix& XX, double tc) const;
    Matrix get_distance_to_closest(const Matrix& XX) const;

    // Scaled inputs, outputs and distances of the points the model uses.
    // Read at every prediction: the training set's own matrices when the
    // model uses every point, no copy.
    const Matrix& get_matrix_Xs();
    const Matrix& get_matrix_Zs();
    Matrix get_matrix_Ds();
    // The cached matrices in output units.
    Matrix get_matrix_Zh();
    Matrix get_matrix_Zv();
    Matrix get_matrix_Sh();
    Matrix get_matrix_Sv();

    void display(std::ostream& out) const;
    void info() const;
    void reset_metrics();
    bool is_ready() const { return _ready; }

    // Points go to the training set, never to a model.
    bool add_points(const Matrix& Xnew, const Matrix& Znew);
    bool add_point(const double* x, const double* z);

    // Quality metrics, computed on first request and cached until the next
    // refit.
    bool compute_metric(metric_t mt);
    double get_metric(metric_t mt, int j);
    Matrix get_metric(metric_t mt);
    bool is_defined(metric_t mt) const;
    bool is_defined(metric_t mt, int j) const;
    // The objective of the parameter tuner: the model refitted with the
    // record's current values, judged by its metric.
    double eval_objective();
    Matrix compute_order_error(const Matrix& Zh);
    double compute_aggregate_order_error(const Matrix& Zh);
    Matrix compute_fh(const Matrix& Z);
    Matrix compute_efi(const Matrix& Zh, const Matrix& Sh);

    // The model's own part: fit, preparation, predictions in scaled space
    // (the five-matrix form adds the base's uncertainty model), display,
    // and the cached in-sample and cross-validation matrices (scaled).
    // Public so that an ensemble can reach its members' matrices.
    virtual bool build_private() = 0;
    virtual bool init_private();
    virtual void compute_metric_linv();
    virtual void predict_private(const Matrix& XXs, Matrix* ZZs, Matrix* std, Matrix* ei,
                                 Matrix* cdf);
    virtual void predict_private(const Matrix& XXs, Matrix* ZZs) = 0;
    virtual void display_private(std::ostream& out) const = 0;
    virtual Matrix* get_matrix_Zvs() = 0;
    virtual Matrix* get_matrix_Zhs();
    virtual Matrix* get_matrix_Shs();
    virtual Matrix* get_matrix_Svs();

    const Surrogate_Parameters& get_param() const { return _param; }
    const TrainingSet& get_trainingset() const { return _trainingset; }

protected:
    TrainingSet& _trainingset;
    Surrogate_Parameters _param;
    int _n;
    int _m;
    int _p_ts;
    int _p_ts_old;
    int _p;
    int _p_old;
    bool _ready;
    Matrix* _Zhs;
    Matrix* _Shs;
    Matrix* _Zvs;
    Matrix* _Svs;
    std::list<int> _selected_points;
    // The selected rows, when the model uses a subset of the points.
    Matrix _selectedXs;
    Matrix _selectedZs;
    std::map<metric_t, Matrix> _metrics;
    std::ofstream _out;
    bool _display;
    // The training set's modification count at the latest build and at the
    // latest successful build: a refill with as many points is a change.
    long _ts_version;
    long _ts_version_old;
    // True while the tuner tries values: a value the data cannot carry is
    // then a failed trial, which the tuner passes over, not a refusal of
    // the whole build.
    bool _tuning;

    // Tunes the record's values marked for optimisation (the tuner).
    bool optimize_parameters();

    // Distances between the model's scaled points in the given type. They
    // depend neither on tuned coefficients nor on the ridge, so they are
    // computed once per fit and distance type, not once per tuner trial.
    const Matrix& get_training_distances(distance_t dt);

private:
    // One table per distance type, each valid until the next refit.
    std::vector<Matrix> _training_distances;
    std::vector<bool> _training_distances_valid;

    void init();
    // True when the training set changed since the latest successful build.
    bool trainingSetChanged() const;
};

} // namespace TESKORA

#endif
