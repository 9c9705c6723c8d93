#include "teskora/Utils.hpp"

#include "teskora/Exception.hpp"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace TESKORA
{

// uniform_rand divides by this constant; a generator of another range would
// silently change every draw.
static_assert(RAND_MAX == 2147483647, "uniform_rand expects the glibc RAND_MAX");

namespace
{

[[noreturn]] void throwUnrecognised(const std::string& s)
{
    TESKORA_THROW("Unrecognised string \"" + s + "\" ( " + toupper(s) + " )");
}

[[noreturn]] void throwUndefinedType(int line)
{
    throw Exception(__FILE__, line, "Undefined type");
}

} // namespace

std::string model_type_to_str(model_t t)
{
    switch (t)
    {
    case LINEAR:
        return "LINEAR";
    case TGP:
        return "TGP";
    case DYNATREE:
        return "DYNATREE";
    case PRS:
        return "PRS";
    case PRS_EDGE:
        return "PRS_EDGE";
    case PRS_CAT:
        return "PRS_CAT";
    case KS:
        return "KS";
    case CN:
        return "CN";
    case KRIGING:
        return "KRIGING";
    case SVN:
        return "SVN";
    case RBF:
        return "RBF";
    case LOWESS:
        return "LOWESS";
    case ENSEMBLE:
        return "ENSEMBLE";
    }
    throwUndefinedType(__LINE__);
}

std::string distance_type_to_str(distance_t t)
{
    switch (t)
    {
    case NORM2:
        return "NORM2";
    case NORM1:
        return "NORM1";
    case NORMINF:
        return "NORMINF";
    case NORM2_IS0:
        return "NORM2_IS0";
    case NORM2_CAT:
        return "NORM2_CAT";
    }
    throwUndefinedType(__LINE__);
}

std::string weight_type_to_str(weight_t t)
{
    switch (t)
    {
    case SELECT:
        return "SELECT";
    case OPTIM:
        return "OPTIM";
    case WTA1:
        return "WTA1";
    case WTA3:
        return "WTA3";
    case EXTERN:
        return "EXTERN";
    }
    throwUndefinedType(__LINE__);
}

std::string bbo_type_to_str(bbo_t t)
{
    switch (t)
    {
    case OBJ:
        return "OBJ";
    case CON:
        return "CON";
    case DUM:
        return "DUM";
    }
    throwUndefinedType(__LINE__);
}

std::string model_output_to_str(model_output_t t)
{
    switch (t)
    {
    case NORMAL:
        return "normal";
    case FIXED:
        return "fixed";
    case BINARY:
        return "binary";
    }
    throwUndefinedType(__LINE__);
}

model_t str_to_model_type(const std::string& s)
{
    const std::string ss = toupper(s);
    static const model_t all[] = {LINEAR, TGP,     DYNATREE, PRS, PRS_EDGE, PRS_CAT, KS,
                                  CN,     KRIGING, SVN,      RBF, LOWESS,   ENSEMBLE};
    for (model_t t : all)
    {
        if (ss == model_type_to_str(t))
        {
            return t;
        }
    }
    if (ss == "LWR")
    {
        return LOWESS;
    }
    throwUnrecognised(s);
}

distance_t str_to_distance_type(const std::string& s)
{
    const std::string ss = toupper(s);
    if (ss == "NORM2")
        return NORM2;
    if (ss == "NORM1")
        return NORM1;
    if (ss == "NORMINF")
        return NORMINF;
    if (ss == "NORM2_IS0" || ss == "ISO" || ss == "IS0" || ss == "NORM2_ISO")
        return NORM2_IS0;
    if (ss == "NORM2_CAT" || ss == "CAT")
        return NORM2_CAT;
    throwUnrecognised(s);
}

weight_t str_to_weight_type(const std::string& s)
{
    const std::string ss = toupper(s);
    if (ss == "SELECT")
        return SELECT;
    if (ss == "OPTIM")
        return OPTIM;
    if (ss == "WTA1")
        return WTA1;
    if (ss == "WTA3")
        return WTA3;
    if (ss == "EXTERN")
        return EXTERN;
    throwUnrecognised(s);
}

distance_t int_to_distance_type(int i)
{
    if (i < 0 || i > 4)
    {
        TESKORA_THROW("int_to_distance_type: invalid integer " + itos(i));
    }
    return static_cast<distance_t>(i);
}

bool streq(const std::string& a, const std::string& b)
{
    return std::strcmp(a.c_str(), b.c_str()) == 0;
}

bool streqi(const std::string& a, const std::string& b)
{
    return streq(toupper(a), toupper(b));
}

std::string toupper(const std::string& s)
{
    std::string result(s);
    for (char& c : result)
    {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return result;
}

bool string_find(const std::string& s, const std::string& sub)
{
    return toupper(s).find(toupper(sub)) < s.size();
}

std::string deblank(const std::string& s)
{
    std::string result;
    result.reserve(s.size());
    bool pendingSpace = false;
    for (char c : s)
    {
        if (c == ' ')
        {
            pendingSpace = !result.empty();
            continue;
        }
        if (pendingSpace)
        {
            result += ' ';
            pendingSpace = false;
        }
        result += c;
    }
    return result;
}

int count_words(const std::string& s)
{
    std::istringstream in(s);
    std::string word;
    int n = 0;
    while (in >> word)
    {
        ++n;
    }
    return n;
}

bool isdigit(const std::string& s)
{
    for (char c : s)
    {
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
        {
            return false;
        }
    }
    return true;
}

bool stob(const std::string& s)
{
    const std::string ss = toupper(s);
    if (ss == "TRUE" || ss == "YES" || ss == "1")
        return true;
    if (ss == "FALSE" || ss == "NO" || ss == "0")
        return false;
    throwUnrecognised(s);
}

std::string itos(int i)
{
    std::ostringstream out;
    out << i;
    return out.str();
}

std::string dtos(double d)
{
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << d;
    return out.str();
}

std::string btos(bool b)
{
    return b ? "True" : "False";
}

double stod(const std::string& s)
{
    return std::atof(s.c_str());
}

int stoi(const std::string& s)
{
    // atoi's result for a number past the int range is undefined; strtol
    // saturates, and the value is clamped to the int range.
    const long v = std::strtol(s.c_str(), nullptr, 10);
    return static_cast<int>(std::max<long>(INT_MIN, std::min<long>(INT_MAX, v)));
}

bool isdef(double x)
{
    return !std::isnan(x) && std::fabs(x) < 1e16;
}

double rel_err(double a, double b)
{
    const double ab = a * b;
    if (ab < 0)
    {
        return 1.0;
    }
    if (ab == 0)
    {
        return std::fabs(a - b);
    }
    return std::fabs(a - b) / std::max(std::fabs(a), std::fabs(b));
}

int round(double x)
{
    return (x >= 0) ? static_cast<int>(std::floor(x + 0.5))
                    : -static_cast<int>(std::floor(0.5 - x));
}

double rceil(double x)
{
    if (x > 0)
        return std::ceil(x);
    if (x < 0)
        return std::floor(x);
    return 0.0;
}

bool same_sign(double a, double b)
{
    if (a * b > 0)
    {
        return true;
    }
    if (std::fabs(a) < 1e-13)
    {
        return std::fabs(b) < 1e-13;
    }
    return false;
}

double dist(const double* x, const double* y, int n)
{
    double s = 0.0;
    for (int i = 0; i < n; ++i)
    {
        const double d = x[i] - y[i];
        s += d * d;
    }
    return std::sqrt(s);
}

long diff_ms(timeval t1, timeval t2)
{
    const long us = (static_cast<long>(t1.tv_sec) - static_cast<long>(t2.tv_sec)) * 1000000L +
                    static_cast<long>(t1.tv_usec) - static_cast<long>(t2.tv_usec);
    return (us + 500) / 1000;
}

void wait(double t)
{
    usleep(static_cast<useconds_t>(t * 1000000));
}

bool exists(const std::string& file)
{
    struct stat buffer;
    return ::stat(file.c_str(), &buffer) == 0;
}

void append_file(const std::string& s, const std::string& file)
{
    // Opening in append mode creates a missing file; failures are ignored.
    std::ofstream out(file.c_str(), std::ios::app);
    if (out)
    {
        out << s << "\n";
    }
}

double normpdf(double x)
{
    return std::exp(-0.5 * x * x) * 0.398942280401;
}

double normcdf(double x)
{
    if (std::fabs(x) < 1e-13)
    {
        return 0.5;
    }
    const double t = 1.0 / (1.0 + 0.2316419 * std::fabs(x));
    const double poly =
        0.31938153 + t * (-0.356563782 + t * (1.781477937 + t * (-1.821255978 + t * 1.330274429)));
    const double q = std::exp(-x * x / 2) * t * poly / 2.506628274631;
    return (x < 0) ? q : 1.0 - q;
}

double normpdf(double x, double mu, double sigma)
{
    if (sigma < 1e-13)
    {
        TESKORA_THROW("Surrogate_Utils::normpdf: sigma is NULL");
    }
    return normpdf((x - mu) / sigma) / sigma;
}

double normcdf(double x, double mu, double sigma)
{
    if (sigma < -1e-13)
    {
        TESKORA_THROW("Surrogate_Utils::normcdf: sigma is <0");
    }
    const double s = std::max(sigma, 1e-13);
    return normcdf((x - mu) / s);
}

double normei(double fh, double sigma, double f_min)
{
    if (sigma < -1e-13)
    {
        TESKORA_THROW("Surrogate_Utils::normei: sigma is <0");
    }
    const double s = std::max(sigma, 1e-13);
    const double d = f_min - fh;
    const double z = d / s;
    return d * normcdf(z) + s * normpdf(z);
}

double lower_incomplete_gamma(double x, double a)
{
    if (x < 1e-13 || a < 1e-13)
    {
        return 0.0;
    }
    // Both expansions converge geometrically in their own range; the bound
    // only guards against NaN input.
    const int maxTerms = 100000;
    if (x < a + 1)
    {
        // Series of P(a, x): term ratio x / (a + n) < 1.
        const double c = std::exp(a * std::log(x) - std::lgamma(a + 1) - x);
        double ap = a;
        double term = 1.0;
        double sum = 1.0;
        for (int n = 0; n < maxTerms; ++n)
        {
            ap += 1.0;
            term *= x / ap;
            sum += term;
            if (!(term > sum / 1e9))
            {
                break;
            }
        }
        return c * sum;
    }
    // Continued fraction of Q(a, x) (modified Lentz); P = 1 - Q. Here the
    // series would need about x terms and its prefactor underflows.
    const double tiny = 1e-300;
    double b = x + 1.0 - a;
    double c = 1.0 / tiny;
    double d = 1.0 / b;
    double h = d;
    for (int i = 1; i < maxTerms; ++i)
    {
        const double an = -i * (i - a);
        b += 2.0;
        d = an * d + b;
        if (std::fabs(d) < tiny)
            d = tiny;
        c = b + an / c;
        if (std::fabs(c) < tiny)
            c = tiny;
        d = 1.0 / d;
        const double delta = d * c;
        h *= delta;
        if (!(std::fabs(delta - 1.0) > 1e-15))
        {
            break;
        }
    }
    const double q = std::exp(a * std::log(x) - std::lgamma(a) - x) * h;
    return 1.0 - q;
}

double gammacdf(double x, double a, double b)
{
    if (a <= 0 || b <= 0)
    {
        TESKORA_THROW("Surrogate_Utils::gammacdf: a or b is <0");
    }
    if (x < 1e-13)
    {
        return 0.0;
    }
    return lower_incomplete_gamma(x / b, a);
}

double gammacdfinv(double f, double a, double b)
{
    if (a <= 0 || b <= 0)
    {
        TESKORA_THROW("Surrogate_Utils::gammacdfinv: a or b is <=0");
    }
    if (f < 0 || f > 1)
    {
        TESKORA_THROW("Surrogate_Utils::gammacdfinv: f<0 or f>1");
    }
    if (f == 1)
    {
        return std::numeric_limits<double>::max();
    }
    if (f == 0)
    {
        return 0.0;
    }
    double lo = 0.0;
    double hi = 1.0;
    // The bracket stops doubling at [1024, 2048].
    for (int i = 0; i < 11; ++i)
    {
        if (f > gammacdf(hi, a, b))
        {
            lo = hi;
            hi *= 2;
        }
        else
        {
            break;
        }
    }
    while (hi - lo > 1e-9)
    {
        const double mid = (lo + hi) / 2;
        if (f < gammacdf(mid, a, b))
        {
            hi = mid;
        }
        else
        {
            lo = mid;
        }
    }
    return (lo + hi) / 2;
}

double uniform_rand()
{
    return std::rand() / 2147483647.0;
}

double quick_norm_rand()
{
    double sum = 0.0;
    for (int i = 0; i < 24; ++i)
    {
        sum += uniform_rand();
    }
    return (sum - 12.0) * 0.7071067811865476;
}

} // namespace TESKORA
