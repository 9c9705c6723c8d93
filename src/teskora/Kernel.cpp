#include "teskora/Kernel.hpp"

#include "teskora/Exception.hpp"
#include "teskora/Utils.hpp"

#include <cmath>

namespace TESKORA
{

namespace
{

bool validKernel(kernel_t kt)
{
    return kt >= D1 && kt <= I4;
}

bool validMetric(metric_t mt)
{
    return mt >= EMAX && mt <= LINV;
}

// The texts and aliases the kernel parser accepts, in its order.
struct KernelText
{
    kernel_t type;
    const char* text;
};
const KernelText KERNEL_TEXTS[] = {
    {D1, "D1"},
    {D1, "GAUSSIAN"},
    {D2, "D2"},
    {D2, "INVERSE_QUAD"},
    {D2, "INVERSEQUAD"},
    {D3, "D3"},
    {D3, "INVERSE_MULTI_QUAD"},
    {D3, "INVERSEMULTIQUAD"},
    {D4, "D4"},
    {D4, "BIQUADRATIC"},
    {D4, "BI_QUADRATIC"},
    {D4, "BI-QUADRATIC"},
    {D4, "BIQUAD"},
    {D5, "D5"},
    {D5, "TRICUBIC"},
    {D5, "TRI_CUBIC"},
    {D5, "TRI-CUBIC"},
    {D5, "TRICUB"},
    {D6, "D6"},
    {D6, "EXPSQRT"},
    {D7, "D7"},
    {D7, "EPANECHNIKOV"},
    {D7, "EPA"},
    {I0, "I0"},
    {I0, "MULTIQUADRATIC"},
    {I0, "MULTI-QUADRATIC"},
    {I0, "MULTI_QUADRATIC"},
    {I0, "MULTIQUAD"},
    {I1, "I1"},
    {I1, "POLY1"},
    {I1, "SPLINE1"},
    {I1, "PHS1"},
    {I2, "I2"},
    {I2, "POLY2"},
    {I2, "SPLINE2"},
    {I2, "PHS2"},
    {I3, "I3"},
    {I3, "POLY3"},
    {I3, "SPLINE3"},
    {I3, "PHS3"},
    {I4, "I4"},
    {I4, "POLY4"},
    {I4, "SPLINE4"},
    {I4, "PHS4"},
};

const char* const METRIC_TEXTS[] = {"EMAX", "EMAXCV", "RMSE",  "ARMSE", "RMSECV",  "ARMSECV", "OE",
                                    "OECV", "AOE",    "AOECV", "EFIOE", "EFIOECV", "LINV"};

} // namespace

std::string kernel_type_to_str(kernel_t kt)
{
    if (!validKernel(kt))
        TESKORA_THROW("kernel_type_to_str: undefined kernel type");
    static const char* const texts[] = {"D1", "D2", "D3", "D4", "D5", "D6",
                                        "D7", "I0", "I1", "I2", "I3", "I4"};
    return texts[kt];
}

kernel_t str_to_kernel_type(const std::string& s)
{
    for (const KernelText& k : KERNEL_TEXTS)
        if (s == k.text)
            return k.type;
    TESKORA_THROW("str_to_kernel_type: unrecognised string \"" + s + "\"");
}

kernel_t int_to_kernel_type(int i)
{
    if (i < 0 || i > 10)
        TESKORA_THROW("int_to_kernel_type: invalid integer " + itos(i));
    return static_cast<kernel_t>(i);
}

bool kernel_is_decreasing(kernel_t kt)
{
    if (!validKernel(kt))
        TESKORA_THROW("kernel_is_decreasing: undefined kernel type");
    return kt <= D7;
}

bool kernel_has_parameter(kernel_t kt)
{
    if (!validKernel(kt))
        TESKORA_THROW("kernel_has_parameter: undefined kernel type");
    return kt <= I0;
}

int kernel_dmin(kernel_t kt)
{
    if (!validKernel(kt))
        TESKORA_THROW("kernel_dmin: undefined kernel type");
    if (kt <= D7)
        return -1;
    if (kt <= I1)
        return 0;
    return 1;
}

double kernel(kernel_t kt, double ks, double r)
{
    const double x = ks * r;
    switch (kt)
    {
    case D1:
        return std::exp(-3.141592654 * x * x);
    case D2:
        return 1.0 / (1.0 + 9.869604403666765 * x * x);
    case D3:
        return 1.0 / std::sqrt(1.0 + 52.015 * x * x);
    case D4:
    {
        const double y = std::fabs(x) * 16.0 / 15.0;
        return y <= 1.0 ? (1.0 - y * y) * (1.0 - y * y) : 0.0;
    }
    case D5:
    {
        const double y = std::fabs(x) * 162.0 / 140.0;
        const double t = 1.0 - y * y * y;
        return y <= 1.0 ? t * t * t : 0.0;
    }
    case D6:
        return std::exp(-std::sqrt(4.0 * x));
    case D7:
        return std::fabs(x) <= 1.0 ? 1.0 - x * x : 0.0;
    case I0:
        return std::sqrt(1.0 + x * x);
    case I1:
        return r;
    case I2:
        return r == 0.0 ? 0.0 : r * r * std::log(r);
    case I3:
        return r * r * r;
    case I4:
        return r == 0.0 ? 0.0 : r * r * r * r * std::log(r);
    }
    TESKORA_THROW("kernel: undefined kernel type");
}

Matrix kernel(kernel_t kt, double ks, Matrix R)
{
    for (int i = 0; i < R.get_nb_rows(); ++i)
        for (int j = 0; j < R.get_nb_cols(); ++j)
            R.set(i, j, kernel(kt, ks, R.get(i, j)));
    return R;
}

std::string metric_type_to_str(metric_t mt)
{
    if (!validMetric(mt))
        TESKORA_THROW("Undefined metric");
    return METRIC_TEXTS[mt];
}

metric_t str_to_metric_type(const std::string& s)
{
    const std::string ss = toupper(s);
    for (int i = EMAX; i <= LINV; ++i)
        if (ss == METRIC_TEXTS[i])
            return static_cast<metric_t>(i);
    if (ss == "PRESS")
        return RMSECV;
    TESKORA_THROW("Unrecognised string \"" + s + "\" ( " + ss + " )");
}

norm_t metric_type_to_norm_type(metric_t mt)
{
    switch (mt)
    {
    case EMAX:
    case EMAXCV:
        return NORM_INF;
    case RMSE:
    case ARMSE:
    case RMSECV:
    case ARMSECV:
        return NORM_2;
    default:
        TESKORA_THROW("This metric does not have an associated norm");
    }
}

bool one_metric_value_per_bbo(metric_t mt)
{
    if (!validMetric(mt))
        TESKORA_THROW("Undefined metric");
    switch (mt)
    {
    case EMAX:
    case EMAXCV:
    case RMSE:
    case RMSECV:
    case OE:
    case OECV:
    case LINV:
        return true;
    default:
        return false;
    }
}

bool metric_uses_cv(metric_t mt)
{
    if (!validMetric(mt))
        TESKORA_THROW("Undefined metric");
    switch (mt)
    {
    case EMAXCV:
    case RMSECV:
    case ARMSECV:
    case OECV:
    case AOECV:
    case EFIOECV:
        return true;
    default:
        return false;
    }
}

metric_t metric_convert_single_obj(metric_t mt)
{
    if (!validMetric(mt))
        TESKORA_THROW("Undefined metric");
    switch (mt)
    {
    case EMAX:
    case EMAXCV:
    case OECV:
    case LINV:
        return AOECV;
    case RMSE:
        return ARMSE;
    case RMSECV:
        return ARMSECV;
    case OE:
        return AOE;
    default:
        return mt;
    }
}

} // namespace TESKORA
