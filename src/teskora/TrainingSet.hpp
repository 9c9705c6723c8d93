#ifndef TESKORA_TRAININGSET_HPP
#define TESKORA_TRAININGSET_HPP

#include "teskora/Matrix.hpp"
#include "teskora/Utils.hpp"

#include <list>
#include <ostream>
#include <string>
#include <vector>

namespace TESKORA
{

// The evaluated points every surrogate model is built on: p points of n
// inputs and m outputs, with what the models need derived from them
// (statistics, bounds, scaling, scaled data, distances, distinct points and
// the best feasible objective). build() brings the derived data up to date;
// reading it requires a built ("ready") set.
class TrainingSet
{
public:
    TrainingSet(const Matrix& X, const Matrix& Z);
    // A training set is shared by reference and never copied: both forms
    // refuse at run time.
    TrainingSet(const TrainingSet& other);
    TrainingSet& operator=(const TrainingSet& other);
    virtual ~TrainingSet();

    void build();
    bool add_points(const Matrix& Xnew, const Matrix& Znew);
    bool add_point(const double* x, const double* z);
    bool partial_reset_and_add_points(const Matrix& X, const Matrix& Z);
    void set_bbo_type(const std::string& line);

    void check_ready() const;
    void check_ready(const std::string& caller) const;
    void check_ready(const std::string& file, const std::string& function, const int& line) const;

    bool is_ready() const { return _ready; }
    int get_nb_points() const { return _p; }
    int get_input_dim() const { return _n; }
    int get_output_dim() const { return _m; }

    double get_f_min() const
    {
        check_ready();
        return _f_min;
    }
    double get_fs_min() const
    {
        check_ready();
        return _fs_min;
    }
    int get_i_min() const
    {
        check_ready();
        return _i_min;
    }
    bbo_t get_bbo(int j) const
    {
        check_ready();
        return _bbo[j];
    }
    int get_nvar() const
    {
        check_ready();
        return _nvar;
    }
    int get_mvar() const
    {
        check_ready();
        return _mvar;
    }
    int get_pvar() const
    {
        check_ready();
        return _pvar;
    }
    double get_Ds_mean() const
    {
        check_ready();
        return _Ds_mean;
    }
    int get_X_nbdiff1() const
    {
        check_ready();
        return _X_nbdiff1;
    }
    int get_X_nbdiff2() const
    {
        check_ready();
        return _X_nbdiff2;
    }

    // Entry access as the last build left it, without readiness tests.
    double get_Xs(int i, int j) const { return _Xs.get(i, j); }
    double get_Zs(int i, int j) const { return _Zs.get(i, j); }
    double get_Ds(int i, int j) const;
    void get_Xs(int i, double* x) const;
    void get_Zs(int i, double* z) const;
    double get_Zs_mean(int j) const { return _Zs_mean[j]; }
    int get_X_nbdiff(int j) const { return _X_nbdiff[j]; }
    int get_Z_nbdiff(int j) const { return _Z_nbdiff[j]; }
    Matrix get_X_nbdiff() const;
    // The points and outputs as given, unscaled.
    const Matrix& get_matrix_X() const { return _X; }
    const Matrix& get_matrix_Z() const { return _Z; }
    // The scaled data and distances as the last build left them.
    const Matrix& get_matrix_Xs() const { return _Xs; }
    const Matrix& get_matrix_Zs() const { return _Zs; }
    const Matrix& get_matrix_Ds() const { return _Ds; }
    // Counts every change of the points or of the output kinds, so that a
    // model sees a refill with as many points as a change.
    long get_version() const { return _version; }

    // Scaling with the current factors.
    double X_scale(double x, int j) const { return _X_scaling_a[j] * x + _X_scaling_b[j]; }
    double X_unscale(double x, int j) const { return (x - _X_scaling_b[j]) / _X_scaling_a[j]; }
    double Z_scale(double z, int j) const { return _Z_scaling_a[j] * z + _Z_scaling_b[j]; }
    double Z_unscale(double z, int j) const;
    double ZE_unscale(double e, int j) const { return e / _Z_scaling_a[j]; }
    void X_scale(double* x) const;
    void X_unscale(double* x) const;
    void Z_scale(double* z) const;
    void Z_unscale(double* z) const;
    void X_scale(Matrix& X) const;
    void Z_unscale(Matrix* Z) const;
    void ZE_unscale(Matrix* E) const;
    Matrix Z_unscale(const Matrix& Z) const;
    Matrix ZE_unscale(const Matrix& E) const;

    // Geometry in scaled input space.
    Matrix get_distances(const Matrix& A, const Matrix& B, distance_t dt) const;
    double get_d1(const Matrix& xs) const;
    double get_d1_over_d2(const Matrix& xs) const;
    Matrix get_distance_to_closest(const Matrix& XXs) const;
    Matrix get_exclusion_area_penalty(const Matrix& XXs, double tc) const;
    std::list<int> select_greedy(const Matrix& X, int imin, int pS, double lambda0,
                                 distance_t dt) const;

    void display(std::ostream& out) const;
    void info() const;

private:
    int _p;
    int _n;
    int _m;
    bool _ready;
    std::vector<bbo_t> _bbo;
    bool _bbo_is_def;
    int _j_obj;
    double _f_min;
    double _fs_min;
    int _i_min;
    Matrix _X;
    Matrix _Z;
    Matrix _Xs;
    Matrix _Zs;
    // Sized p x p by each build; points added since then have no entry yet.
    Matrix _Ds;
    int _nvar;
    int _mvar;
    int _pvar;
    std::vector<double> _X_lb, _X_ub, _X_scaling_a, _X_scaling_b, _X_mean, _X_std;
    std::vector<int> _X_nbdiff;
    int _X_nbdiff1;
    int _X_nbdiff2;
    std::vector<double> _Z_lb, _Z_ub, _Z_replace, _Z_scaling_a, _Z_scaling_b, _Z_mean, _Z_std,
        _Zs_mean;
    std::vector<int> _Z_nbdiff;
    double _Ds_mean;
    long _version;

    static void compute_nbdiff(const Matrix& M, std::vector<int>& nbdiff, int& njvar);
    void check_singular_data();
    void compute_bounds();
    void compute_scaling();
    void compute_mean_std();
    void compute_scaled_matrices();
    void compute_Ds();
    void compute_f_min();
    void compute_nvar_mvar();
    // The one row of a geometric query, refused unless it has one row of n
    // values.
    void checkQueryRow(const Matrix& xs, const char* message) const;
    // Squared distance between the one row of xs and scaled point i.
    double squaredDistance(const Matrix& xs, int i) const;
};

} // namespace TESKORA

#endif
