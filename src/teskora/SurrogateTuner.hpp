#ifndef TESKORA_SURROGATE_TUNER_HPP
#define TESKORA_SURROGATE_TUNER_HPP

#include "teskora/Matrix.hpp"

namespace TESKORA
{

// Steps of the parameter tuner (Surrogate::optimize_parameters), apart so
// that their rules can be checked one by one.

// Brings one tuned value into its domain and bounds: continuous values are
// clamped, integers rounded (halves away from zero) then clamped, booleans
// are 1 when positive, categorical labels wrap around by steps of ub - lb.
// A MISC domain throws "Invalid variable domain!".
double tuner_project(double v, double lb, double ub, param_domain_t domain);

// The row exchanged with row j when a design column of nx rows is shuffled,
// from a uniform draw u in [0, 1]; never past the last row.
int tuner_shuffle_row(int j, int nx, double u);

} // namespace TESKORA

#endif
