#ifndef TESKORA_UTILS_HPP
#define TESKORA_UTILS_HPP

#include <string>
#include <sys/time.h>

#include "teskora/Exception.hpp"

namespace TESKORA
{

enum model_t
{
    LINEAR = 0,
    TGP = 1,
    DYNATREE = 2,
    PRS = 3,
    PRS_EDGE = 4,
    PRS_CAT = 5,
    KS = 6,
    CN = 7,
    KRIGING = 8,
    SVN = 9,
    RBF = 10,
    LOWESS = 11,
    ENSEMBLE = 12
};

enum distance_t
{
    NORM2 = 0,
    NORM1 = 1,
    NORMINF = 2,
    NORM2_IS0 = 3,
    NORM2_CAT = 4
};
const int NB_DISTANCE_TYPES = NORM2_CAT + 1;

enum weight_t
{
    SELECT = 0,
    OPTIM = 1,
    WTA1 = 2,
    WTA3 = 3,
    EXTERN = 4
};

enum bbo_t
{
    OBJ = 0,
    CON = 1,
    DUM = 2
};

enum model_output_t
{
    NORMAL = 0,
    FIXED = 1,
    BINARY = 2
};

// Texts of the enumerations; a value outside its table throws.
std::string model_type_to_str(model_t t);
std::string distance_type_to_str(distance_t t);
std::string weight_type_to_str(weight_t t);
std::string bbo_type_to_str(bbo_t t);
std::string model_output_to_str(model_output_t t);

// Parsers: case-insensitive, exact words (and the listed aliases).
model_t str_to_model_type(const std::string& s);
distance_t str_to_distance_type(const std::string& s);
weight_t str_to_weight_type(const std::string& s);
distance_t int_to_distance_type(int i);

// Strings.
bool streq(const std::string& a, const std::string& b);
bool streqi(const std::string& a, const std::string& b);
std::string toupper(const std::string& s);
bool string_find(const std::string& s, const std::string& sub);
std::string deblank(const std::string& s);
int count_words(const std::string& s);
bool isdigit(const std::string& s);
bool stob(const std::string& s);
std::string itos(int i);
std::string dtos(double d);
std::string btos(bool b);
double stod(const std::string& s);
int stoi(const std::string& s);

// Numbers.
bool isdef(double x);
double rel_err(double a, double b);
int round(double x);
double rceil(double x);
bool same_sign(double a, double b);
double dist(const double* x, const double* y, int n);

// System.
long diff_ms(timeval t1, timeval t2);
void wait(double t);
bool exists(const std::string& file);
void append_file(const std::string& s, const std::string& file);

// Distributions.
double normpdf(double x);
double normcdf(double x);
double normpdf(double x, double mu, double sigma);
double normcdf(double x, double mu, double sigma);
double normei(double fh, double sigma, double f_min);
double lower_incomplete_gamma(double x, double a);
double gammacdf(double x, double a, double b);
double gammacdfinv(double f, double a, double b);

// Random numbers, all from the standard library's generator.
double uniform_rand();
double quick_norm_rand();

} // namespace TESKORA

#endif
