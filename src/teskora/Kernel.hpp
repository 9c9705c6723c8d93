#ifndef TESKORA_KERNEL_HPP
#define TESKORA_KERNEL_HPP

#include "teskora/Matrix.hpp"

#include <string>

namespace TESKORA
{

// Radial kernels: the D kernels decrease with the distance, the I kernels
// grow with it.
enum kernel_t
{
    D1 = 0,
    D2 = 1,
    D3 = 2,
    D4 = 3,
    D5 = 4,
    D6 = 5,
    D7 = 6,
    I0 = 7,
    I1 = 8,
    I2 = 9,
    I3 = 10,
    I4 = 11
};

// Quality metrics of a model; the CV forms judge each training point by a
// model built without it.
enum metric_t
{
    EMAX = 0,
    EMAXCV = 1,
    RMSE = 2,
    ARMSE = 3,
    RMSECV = 4,
    ARMSECV = 5,
    OE = 6,
    OECV = 7,
    AOE = 8,
    AOECV = 9,
    EFIOE = 10,
    EFIOECV = 11,
    LINV = 12
};

std::string kernel_type_to_str(kernel_t kt);
// Case-sensitive, unlike the other parsers of the library.
kernel_t str_to_kernel_type(const std::string& s);
// For the tuning of a categorical kernel parameter, whose range stops at I3.
kernel_t int_to_kernel_type(int i);
bool kernel_is_decreasing(kernel_t kt);
bool kernel_has_parameter(kernel_t kt);
// Lowest degree of the polynomial part a radial-basis model needs with the
// kernel: -1 none, 0 a constant, 1 constant and linear terms.
int kernel_dmin(kernel_t kt);
double kernel(kernel_t kt, double ks, double r);
Matrix kernel(kernel_t kt, double ks, Matrix R);

std::string metric_type_to_str(metric_t mt);
metric_t str_to_metric_type(const std::string& s);
norm_t metric_type_to_norm_type(metric_t mt);
bool one_metric_value_per_bbo(metric_t mt);
bool metric_uses_cv(metric_t mt);
metric_t metric_convert_single_obj(metric_t mt);

} // namespace TESKORA

#endif
