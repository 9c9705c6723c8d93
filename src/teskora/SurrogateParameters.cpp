#include "teskora/SurrogateParameters.hpp"

#include "teskora/Diagnostics.hpp"
#include "teskora/Exception.hpp"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <vector>

namespace TESKORA
{

namespace
{

bool isTuningMarker(const std::string& value)
{
    return streqi(value, "OPTIM") || streqi(value, "OPTIMIZATION") || streqi(value, "OPTIMIZE");
}

[[noreturn]] void throwWithDescription(const std::string& definition, int line,
                                       const std::string& message)
{
    diag_stream() << "model_description: " << definition << "\n";
    throw Exception(__FILE__, line, message);
}

[[noreturn]] void throwKCount(const char* label, int k, int n, int line)
{
    diag_stream() << "k=" << k << "\n" << label << n << "\n";
    throw Exception(__FILE__, line, "Unconcistency in the value of k.");
}

// A tunable field read from a definition: the tuning marker keeps the
// current value as the start of the tuning; a value fixes the field.
template <typename T, typename READ>
void applyTunable(bool optim, T& field, param_status_t& status, READ read)
{
    if (optim)
    {
        status = STATUS_OPTIM;
        return;
    }
    field = read();
    status = STATUS_FIXED;
}

// One entry of the tunable vector: its bounds, domain and scale.
struct Bound
{
    double lower;
    double upper;
    param_domain_t domain;
    bool log;
};

} // namespace

Surrogate_Parameters::Surrogate_Parameters(const std::string& definition)
    : _type(read_model_type(definition))
{
    set_defaults();
    read_string(definition);
    check();
}

Surrogate_Parameters::Surrogate_Parameters(model_t mt) : _type(mt)
{
    set_defaults();
    check();
}

model_t Surrogate_Parameters::read_model_type(const std::string& definition)
{
    std::istringstream in(definition);
    std::string word;
    while (in >> word)
    {
        if (toupper(word) == "TYPE")
        {
            // With TYPE as the last word, TYPE itself is converted and refused.
            std::string next;
            if (in >> next)
                word = next;
            return str_to_model_type(toupper(word));
        }
    }
    throwWithDescription(definition, __LINE__, "No field \"TYPE\" found.");
}

std::string Surrogate_Parameters::to_standard_field_name(const std::string& field)
{
    static const char* const table[][10] = {
        {"TYPE", "TYPE", "TYPE_MODEL", "MODEL_TYPE", nullptr},
        {"DEGREE", "DEGREE", nullptr},
        {"WEIGHT_TYPE", "WEIGHT", "WEIGHT_TYPE", "TYPE_WEIGHT", "WEIGHT_CHOICE", "CHOICE_WEIGHT",
         nullptr},
        {"RIDGE", "RIDGE", "RIDGE_COEF", "RIDGE_PARAM", "RIDGE_COEFFICIENT", "RIDGE_PARAMETER",
         "REGULARIZATION_PARAM", "REGULARIZATION_COEF", nullptr},
        {"KERNEL_TYPE", "KERNEL_TYPE", "TYPE_KERNEL", "KERNEL", nullptr},
        {"KERNEL_COEF", "KERNEL_COEF", "KERNEL_COEFFICIENT", "COEF_KERNEL", "KERNEL_SHAPE",
         "COEF_SHAPE", "COEFFICIENT_SHAPE", "SHAPE", "SHAPE_COEF", "SHAPE_COEFFICIENT"},
        {"METRIC_TYPE", "METRIC", "METRIC_TYPE", "TYPE_METRIC", nullptr},
        {"BUDGET", "BUDGET", "OPTIM_BUDGET", "BUDGET_OPTIM", "OPTIMIZATION_BUDGET",
         "BUDGET_OPTIMIZATION", nullptr},
        {"PRESET", "PRESET", nullptr},
        {"OUTPUT", "OUTPUT", "OUTPUT_FILE", nullptr},
        {"DISTANCE_TYPE", "DISTANCE", "DISTANCE_TYPE", "TYPE_DISTANCE", nullptr},
    };
    const std::string upper = toupper(field);
    for (const auto& row : table)
        for (int k = 1; k < 10 && row[k]; ++k)
            if (upper == row[k])
                return row[0];
    diag_stream() << "Field: " << field << "\n";
    TESKORA_THROW("Field not recognized: \"" + field + "\"");
}

bool Surrogate_Parameters::authorized_field(const std::string& field) const
{
    if (field == "TYPE" || field == "OUTPUT" || field == "METRIC_TYPE" || field == "BUDGET")
        return true;
    switch (_type)
    {
    case PRS:
    case PRS_EDGE:
    case PRS_CAT:
        return field == "DEGREE" || field == "RIDGE";
    case KS:
        return field == "KERNEL_TYPE" || field == "KERNEL_COEF" || field == "DISTANCE_TYPE";
    case CN:
        return field == "DISTANCE_TYPE";
    case KRIGING:
        return field == "RIDGE" || field == "DISTANCE_TYPE";
    case RBF:
        return field == "KERNEL_TYPE" || field == "KERNEL_COEF" || field == "DISTANCE_TYPE" ||
               field == "RIDGE" || field == "PRESET";
    case LOWESS:
        return field == "DEGREE" || field == "RIDGE" || field == "KERNEL_TYPE" ||
               field == "KERNEL_COEF" || field == "PRESET" || field == "DISTANCE_TYPE";
    case ENSEMBLE:
        return field == "WEIGHT_TYPE" || field == "PRESET" || field == "DISTANCE_TYPE";
    case LINEAR:
    case TGP:
    case SVN:
        TESKORA_THROW("Not implemented yet! ");
    default:
        TESKORA_THROW("Undefined model type");
    }
}

bool Surrogate_Parameters::authorized_optim(const std::string& field)
{
    if (field == "DEGREE" || field == "RIDGE" || field == "KERNEL_TYPE" || field == "KERNEL_COEF" ||
        field == "DISTANCE_TYPE" || field == "WEIGHT_TYPE")
        return true;
    if (field == "TYPE" || field == "OUTPUT" || field == "METRIC_TYPE" || field == "PRESET" ||
        field == "BUDGET")
        return false;
    diag_stream() << "Field : " << field << "\n";
    TESKORA_THROW("Undefined field");
}

void Surrogate_Parameters::read_string(const std::string& definition)
{
    std::istringstream in(definition);
    std::string word;
    while (in >> word)
    {
        const std::string field = to_standard_field_name(word);
        if (!authorized_field(field))
            throwWithDescription(definition, __LINE__,
                                 "Unauthorized field \"" + field + "\" in a model of type " +
                                     model_type_to_str(_type));
        std::string value;
        if (!(in >> value))
            TESKORA_THROW("Missing content for field \"" + field + "\"");
        const bool optim = isTuningMarker(value);
        if (optim && !authorized_optim(field))
            throwWithDescription(definition, __LINE__,
                                 "Field \"" + field + "\" cannot be optimized.");

        if (field == "TYPE")
        {
            if (str_to_model_type(value) != _type)
                throwWithDescription(definition, __LINE__, "Unconsistent model type!");
        }
        else if (field == "DEGREE")
        {
            applyTunable(optim, _degree, _degree_status, [&] { return TESKORA::stoi(value); });
        }
        else if (field == "KERNEL_TYPE")
        {
            applyTunable(optim, _kernel_type, _kernel_type_status,
                         [&] { return str_to_kernel_type(value); });
        }
        else if (field == "KERNEL_COEF")
        {
            applyTunable(optim, _kernel_coef, _kernel_coef_status,
                         [&] { return TESKORA::stod(value); });
        }
        else if (field == "RIDGE")
        {
            applyTunable(optim, _ridge, _ridge_status, [&] { return TESKORA::stod(value); });
        }
        else if (field == "DISTANCE_TYPE")
        {
            applyTunable(optim, _distance_type, _distance_type_status,
                         [&] { return str_to_distance_type(value); });
        }
        else if (field == "WEIGHT_TYPE")
        {
            // The marker is itself a weight type: only OPTIM converts.
            _weight_type = str_to_weight_type(value);
            if (optim)
                _weight_status = STATUS_OPTIM;
        }
        else if (field == "METRIC_TYPE")
        {
            _metric_type = str_to_metric_type(value);
        }
        else if (field == "BUDGET")
        {
            // Read as atoi would, but a number past the int range is
            // refused instead of wrapping.
            const long long budget = std::strtoll(value.c_str(), nullptr, 10);
            if (budget > INT_MAX || budget < INT_MIN)
                TESKORA_THROW("budget out of range: BUDGET " + value + " is not an int");
            _budget = static_cast<int>(budget);
        }
        else if (field == "PRESET")
        {
            _preset = value;
        }
        else if (field == "OUTPUT")
        {
            _output = value;
        }
    }
}

void Surrogate_Parameters::set_defaults()
{
    _degree = 0;
    _kernel_coef = 1.0;
    _ridge = 0.001;
    _kernel_type = D1;
    _distance_type = NORM2;
    _budget = 100;
    _weight_type = SELECT;
    _metric_type = AOECV;
    _degree_status = STATUS_FIXED;
    _kernel_type_status = STATUS_FIXED;
    _kernel_coef_status = STATUS_FIXED;
    _ridge_status = STATUS_FIXED;
    _distance_type_status = STATUS_FIXED;
    _weight_status = STATUS_MODEL_DEFINED;
    _covariance_status = STATUS_FIXED;
    _covariance_coef = Matrix("COVARIANCE_COEF", 0, 0);
    _weight = Matrix("WEIGHT", 0, 0);
    _preset = "";
    _nb_parameter_optimization = 0;

    switch (_type)
    {
    case PRS:
    case PRS_EDGE:
    case PRS_CAT:
        _degree = 2;
        _ridge = 0.001;
        break;
    case KS:
        _kernel_type = D1;
        _kernel_coef = 5.0;
        _kernel_coef_status = STATUS_OPTIM;
        _distance_type = NORM2;
        break;
    case CN:
        break;
    case KRIGING:
        _ridge = 1e-16;
        _ridge_status = STATUS_OPTIM;
        _distance_type = NORM2;
        _covariance_coef = Matrix("COVARIANCE_COEF", 1, 2);
        _covariance_coef.set(0, 0, 2.0);
        _covariance_coef.set(0, 1, 1.0);
        _covariance_status = STATUS_OPTIM;
        break;
    case RBF:
        _kernel_type = I2;
        _kernel_coef = 1.0;
        _kernel_coef_status = STATUS_OPTIM;
        _ridge = 0.001;
        _distance_type = NORM2;
        _preset = "I";
        break;
    case LOWESS:
        _degree = 2;
        _kernel_type = D1;
        _kernel_coef = 1.0;
        _kernel_coef_status = STATUS_OPTIM;
        _ridge = 0.001;
        _distance_type = NORM2;
        _preset = "DGN";
        break;
    case ENSEMBLE:
        _weight_type = SELECT;
        _weight_status = STATUS_MODEL_DEFINED;
        _preset = "DEFAULT";
        break;
    case LINEAR:
    case TGP:
    case SVN:
        TESKORA_THROW("Not implemented yet!");
    default:
        TESKORA_THROW("Undefined type");
    }
    _output = "NULL";
}

namespace
{

// The tests are written so that NaN fails them: a NaN compares false with
// everything, and "x <= 0" alone would let it through.
void checkKernelCoef(double coef)
{
    if (std::isnan(coef) || std::isinf(coef))
        TESKORA_THROW("kernel_coef must be a finite number");
    if (!(coef > 0))
        TESKORA_THROW("kernel_coef must be > 0");
}

void checkRidge(double ridge)
{
    if (std::isnan(ridge) || std::isinf(ridge))
        TESKORA_THROW("ridge must be a finite number");
    if (!(ridge >= 0))
        TESKORA_THROW("ridge must be >= 0");
}

} // namespace

void Surrogate_Parameters::check()
{
    switch (_type)
    {
    case PRS:
    case PRS_EDGE:
    case PRS_CAT:
        if (_degree < 0)
            TESKORA_THROW("degree must be >= 0");
        checkRidge(_ridge);
        break;
    case KS:
        checkKernelCoef(_kernel_coef);
        if (!kernel_is_decreasing(_kernel_type))
            TESKORA_THROW("kernel_type must be decreasing");
        break;
    case CN:
    case ENSEMBLE:
        break;
    case KRIGING:
        // The ridge is the nugget on the correlation diagonal.
        checkRidge(_ridge);
        if (!kernel_is_decreasing(_kernel_type))
            TESKORA_THROW("kernel_type must be decreasing");
        break;
    case RBF:
        checkKernelCoef(_kernel_coef);
        checkRidge(_ridge);
        // A kernel without a shape parameter leaves nothing to tune.
        if (!kernel_has_parameter(_kernel_type) && _kernel_type_status == STATUS_FIXED)
        {
            _kernel_coef = 1.0;
            _kernel_coef_status = STATUS_FIXED;
        }
        break;
    case LOWESS:
    {
        if (_degree < 0 || _degree > 2)
            TESKORA_THROW("degree for LOWESS model must be 0, 1 or 2");
        checkRidge(_ridge);
        checkKernelCoef(_kernel_coef);
        static const char* const presets[] = {"D", "DEN", "DGN", "RE", "RG", "REN", "RGN"};
        bool known = false;
        for (const char* p : presets)
            known = known || _preset == p;
        if (!known)
        {
            diag_stream() << "LOWESS preset : " << _preset << "\n"
                          << "Possible values: D, DEN, DGN, RE, RG, REN, RGN.\n";
            TESKORA_THROW("preset not recognized");
        }
        if (!kernel_is_decreasing(_kernel_type))
            TESKORA_THROW("kernel_type must be decreasing");
        break;
    }
    case LINEAR:
    case TGP:
    case SVN:
        TESKORA_THROW("Not implemented yet!");
    default:
        TESKORA_THROW("Undefined type");
    }

    int n = 0;
    for (param_status_t s : {_degree_status, _kernel_type_status, _kernel_coef_status,
                             _ridge_status, _distance_type_status})
        n += (s == STATUS_OPTIM);
    if (_covariance_status == STATUS_OPTIM)
        n += _covariance_coef.get_nb_rows() * _covariance_coef.get_nb_cols();
    if (_weight_status == STATUS_OPTIM)
        n += _weight.get_nb_rows() * _weight.get_nb_cols();
    _nb_parameter_optimization = n;

    // The tuner counts its trials in an int: BUDGET trials per tuned value.
    const long long trials = static_cast<long long>(_budget) * n;
    if (trials > INT_MAX || trials < INT_MIN)
        TESKORA_THROW("budget out of range: BUDGET (" + itos(_budget) +
                      ") times the number of tuned values (" + itos(n) + ") is beyond " +
                      itos(INT_MAX) + " trials");
}

void Surrogate_Parameters::display(std::ostream& out) const
{
    out << "Type: " << model_type_to_str(_type) << std::endl;
    switch (_type)
    {
    case PRS:
    case PRS_EDGE:
    case PRS_CAT:
        out << "Degree: " << _degree << std::endl;
        out << "Ridge: " << _ridge << std::endl;
        out << "Distance_type: " << distance_type_to_str(_distance_type) << std::endl;
        break;
    case KS:
        out << "Kernel type: " << static_cast<int>(_kernel_type) << std::endl;
        out << "Kernel coef: " << _kernel_coef << std::endl;
        out << "Distance_type: " << distance_type_to_str(_distance_type) << std::endl;
        break;
    case CN:
        out << "Distance_type: " << distance_type_to_str(_distance_type) << std::endl;
        break;
    case KRIGING:
        out << "Covariance coefs: " << std::endl;
        out << "Ridge: " << _ridge << std::endl;
        _covariance_coef.display(out);
        break;
    case RBF:
        out << "Kernel type: " << static_cast<int>(_kernel_type) << std::endl;
        out << "Kernel coef: " << _kernel_coef << std::endl;
        out << "Distance_type: " << distance_type_to_str(_distance_type) << std::endl;
        out << "ridge: " << _ridge << std::endl;
        break;
    case LOWESS:
        out << "Kernel coef: " << _kernel_coef << std::endl;
        out << "Distance_type: " << distance_type_to_str(_distance_type) << std::endl;
        out << "degree: " << _degree << std::endl;
        out << "ridge: " << _ridge << std::endl;
        out << "Preset: " << _preset << std::endl;
        break;
    case ENSEMBLE:
        out << "Metric type: " << metric_type_to_str(_metric_type) << std::endl;
        out << "Weight type: " << weight_type_to_str(_weight_type) << std::endl;
        out << "Preset: " << _preset << std::endl;
        break;
    case SVN:
        TESKORA_THROW("Not implemented yet!");
    default:
        TESKORA_THROW("Undefined type");
    }
}

std::string Surrogate_Parameters::get_string() const
{
    std::string s = "TYPE " + model_type_to_str(_type);
    const std::string kernelPart = " KERNEL_TYPE " + kernel_type_to_str(_kernel_type) +
                                   " KERNEL_SHAPE " + dtos(_kernel_coef) + " DISTANCE_TYPE " +
                                   distance_type_to_str(_distance_type);
    switch (_type)
    {
    case PRS:
    case PRS_EDGE:
    case PRS_CAT:
        s += " DEGREE " + itos(_degree) + " RIDGE " + dtos(_ridge);
        break;
    case KS:
        s += kernelPart;
        break;
    case CN:
    case KRIGING:
        s += " DISTANCE_TYPE " + distance_type_to_str(_distance_type);
        break;
    case RBF:
        s += " PRESET " + _preset + kernelPart + " RIDGE " + dtos(_ridge);
        break;
    case LOWESS:
        s += " DEGREE " + itos(_degree) + kernelPart + " RIDGE " + dtos(_ridge);
        break;
    case ENSEMBLE:
        s += " METRIC_TYPE " + metric_type_to_str(_metric_type) + " WEIGHT_TYPE " +
             weight_type_to_str(_weight_type) + " PRESET " + _preset + " DISTANCE_TYPE " +
             distance_type_to_str(_distance_type);
        break;
    case SVN:
        TESKORA_THROW("Not implemented yet!");
    default:
        TESKORA_THROW("Undefined type");
    }
    return s;
}

std::string Surrogate_Parameters::get_short_string() const
{
    std::string s = model_type_to_str(_type);
    const std::string kernel = (_kernel_type != D1) ? " " + kernel_type_to_str(_kernel_type) : "";
    const std::string distance =
        (_distance_type != NORM2) ? " " + distance_type_to_str(_distance_type) : "";
    switch (_type)
    {
    case PRS:
    case PRS_EDGE:
    case PRS_CAT:
        s += " " + itos(_degree);
        if (_ridge > 0)
            s += " R " + dtos(_ridge);
        break;
    case KS:
        s += " " + dtos(_kernel_coef) + kernel + distance;
        break;
    case CN:
        s += distance;
        break;
    case KRIGING:
        s += kernel + distance;
        break;
    case RBF:
        s += " " + dtos(_kernel_coef) + kernel + distance + " " + dtos(_ridge) + " " + _preset;
        break;
    case LOWESS:
        s += " " + dtos(_kernel_coef) + distance + kernel;
        if (_degree != 2)
            s += " Degree " + itos(_degree);
        if (_ridge > 0)
            s += " R " + dtos(_ridge);
        s += " " + _preset;
        break;
    case ENSEMBLE:
        s += " " + metric_type_to_str(_metric_type) + " " + weight_type_to_str(_weight_type);
        if (!streqi(_preset, "DEFAULT"))
            s += " " + _preset;
        break;
    case SVN:
        TESKORA_THROW("Not implemented yet!");
    default:
        TESKORA_THROW("Undefined type");
    }
    return s;
}

Matrix Surrogate_Parameters::get_x() const
{
    const int N = _nb_parameter_optimization;
    Matrix X("X", 1, N);
    int k = 0;
    auto put = [&](double v)
    {
        if (k < N)
            X.set(0, k, v);
        ++k;
    };
    if (_degree_status == STATUS_OPTIM)
        put(static_cast<double>(_degree));
    if (_ridge_status == STATUS_OPTIM)
        put(_ridge);
    if (_kernel_coef_status == STATUS_OPTIM)
        put(_kernel_coef);
    if (_kernel_type_status == STATUS_OPTIM)
        put(static_cast<double>(_kernel_type));
    if (_distance_type_status == STATUS_OPTIM)
        put(static_cast<double>(_distance_type));
    if (_covariance_status == STATUS_OPTIM)
        for (int j = 0; j < _covariance_coef.get_nb_cols(); ++j)
            put(_covariance_coef.get(0, j));
    if (_weight_status == STATUS_OPTIM)
        for (int i = 0; i < _weight.get_nb_rows(); ++i)
            for (int j = 0; j < _weight.get_nb_cols(); ++j)
                put(_weight.get(i, j));
    if (k != N)
        throwKCount("_nb_parameter_optimization=", k, N, __LINE__);
    return X;
}

void Surrogate_Parameters::set_x(const Matrix& X)
{
    const int N = _nb_parameter_optimization;
    const int available = X.get_nb_rows() * X.get_nb_cols();
    int k = 0;
    // Reads past the end of X count as a wrong length, never as an access.
    auto next = [&](double& v)
    {
        const bool ok = k < available && k < N;
        if (ok)
            v = X.get(k);
        ++k;
        return ok;
    };
    double v = 0.0;
    if (_degree_status == STATUS_OPTIM && next(v))
        _degree = static_cast<int>(v);
    if (_ridge_status == STATUS_OPTIM && next(v))
        _ridge = v;
    if (_kernel_coef_status == STATUS_OPTIM && next(v))
        _kernel_coef = v;
    if (_kernel_type_status == STATUS_OPTIM && next(v))
        _kernel_type = int_to_kernel_type(static_cast<int>(v));
    if (_distance_type_status == STATUS_OPTIM && next(v))
        _distance_type = int_to_distance_type(static_cast<int>(v));
    if (_covariance_status == STATUS_OPTIM)
        for (int j = 0; j < _covariance_coef.get_nb_cols(); ++j)
            if (next(v))
                _covariance_coef.set(0, j, v);
    if (_weight_status == STATUS_OPTIM)
    {
        for (int i = 0; i < _weight.get_nb_rows(); ++i)
            for (int j = 0; j < _weight.get_nb_cols(); ++j)
                if (next(v))
                    _weight.set(i, j, v);
        _weight.normalize_cols();
    }
    if (k != N || available < N)
        throwKCount("_nb_parameter_optimization=", k, N, __LINE__);
}

namespace
{

// The bounds of the tunable entries, in the order of the vector.
std::vector<Bound> boundsOf(model_t type, bool degree, bool ridge, bool kernelCoef, bool kernelType,
                            bool distance, int covarianceCols, int weightEntries)
{
    std::vector<Bound> b;
    if (degree)
        b.push_back({0.0, type == LOWESS ? 2.0 : 6.0, PARAM_DOMAIN_INTEGER, false});
    if (ridge)
        b.push_back({1e-16, 0.1, PARAM_DOMAIN_CONTINUOUS, true});
    if (kernelCoef)
        b.push_back({0.01, 100.0, PARAM_DOMAIN_CONTINUOUS, true});
    if (kernelType)
        b.push_back({0.0, type == RBF ? 10.0 : 5.0, PARAM_DOMAIN_CAT, false});
    if (distance)
        b.push_back({0.0, 4.0, PARAM_DOMAIN_CAT, false});
    for (int i = 0; i < covarianceCols / 2; ++i)
    {
        b.push_back({0.5, 3.0, PARAM_DOMAIN_CONTINUOUS, false});
        b.push_back({0.001, 1.0, PARAM_DOMAIN_CONTINUOUS, true});
    }
    for (int i = 0; i < weightEntries; ++i)
        b.push_back({0.0, 1.0, PARAM_DOMAIN_CONTINUOUS, false});
    return b;
}

} // namespace

void Surrogate_Parameters::get_x_bounds(Matrix* LB, Matrix* UB, param_domain_t* domain,
                                        bool* logscale) const
{
    if (!LB || !UB || !domain || !logscale)
    {
        diag_stream() << static_cast<const void*>(LB) << " " << static_cast<const void*>(UB) << " "
                      << static_cast<const void*>(domain) << " "
                      << static_cast<const void*>(logscale) << "\n";
        TESKORA_THROW("Pointers are NULL.");
    }
    const int N = _nb_parameter_optimization;
    const std::vector<Bound> bounds = boundsOf(
        _type, _degree_status == STATUS_OPTIM, _ridge_status == STATUS_OPTIM,
        _kernel_coef_status == STATUS_OPTIM, _kernel_type_status == STATUS_OPTIM,
        _distance_type_status == STATUS_OPTIM,
        _covariance_status == STATUS_OPTIM ? _covariance_coef.get_nb_cols() : 0,
        _weight_status == STATUS_OPTIM ? _weight.get_nb_rows() * _weight.get_nb_cols() : 0);
    const int k = static_cast<int>(bounds.size());
    if (k != N)
        throwKCount("N=", k, N, __LINE__);

    bool wrong = false;
    for (int i = 0; i < N; ++i)
    {
        const Bound& b = bounds[i];
        LB->set(0, i, b.lower);
        UB->set(0, i, b.upper);
        domain[i] = b.domain;
        logscale[i] = b.log;
        std::ostream& out = diag_stream();
        if (b.upper <= b.lower)
        {
            out << "Variable " << i << "\n"
                << "LB (=" << b.lower << ") >= UB (=" << b.upper << ")\n";
            wrong = true;
        }
        if (b.log && b.domain != PARAM_DOMAIN_CONTINUOUS)
        {
            out << "Variable " << i << "\n"
                << "Uses logscale and is not continuous.\n";
            wrong = true;
        }
        if (b.log && b.lower * b.upper <= 0)
            out << "Variable " << i << "\n"
                << "LB =" << b.lower << "\nUB =" << b.upper << "\n"
                << "The bounds are not appropriate for logscale optimization.\n";
        if (b.domain == PARAM_DOMAIN_INTEGER || b.domain == PARAM_DOMAIN_CAT)
        {
            if (round(b.lower) != b.lower)
            {
                out << "Variable " << i << " (Integer or Categorical)\n"
                    << "LB (=" << b.lower << ") is not an integer\n";
                wrong = true;
            }
            if (round(b.upper) != b.upper)
            {
                out << "Variable " << i << " (Integer or Categorical)\n"
                    << "UB (=" << b.upper << ") is not an integer\n";
                wrong = true;
            }
        }
        if (b.domain == PARAM_DOMAIN_BOOL)
        {
            if (b.lower != 0)
            {
                out << "Variable " << i << " (Boolean)\n"
                    << "LB (=" << b.lower << ") is not 0\n";
                wrong = true;
            }
            if (b.upper != 1)
            {
                out << "Variable " << i << " (Boolean)\n"
                    << "UB (=" << b.upper << ") is not 1\n";
                wrong = true;
            }
        }
        if (b.domain == PARAM_DOMAIN_MISC)
        {
            out << "Variable " << i << " is MISC\n";
            wrong = true;
        }
    }
    if (wrong)
        TESKORA_THROW("Error in definition of LB, UB or domain!");
}

double Surrogate_Parameters::get_x_penalty() const
{
    double p = 0.0;
    if (_degree_status == STATUS_OPTIM)
        p += _degree;
    if (_ridge_status == STATUS_OPTIM)
        p += std::log(_ridge);
    if (_kernel_coef_status == STATUS_OPTIM)
        p += std::log(_kernel_coef);
    if (_distance_type_status == STATUS_OPTIM)
    {
        switch (_distance_type)
        {
        case NORM2:
            break;
        case NORM1:
        case NORMINF:
            p += 1.0;
            break;
        case NORM2_IS0:
        case NORM2_CAT:
            p += 10.0;
            break;
        }
    }
    if (_covariance_status == STATUS_OPTIM)
        for (int i = 0; i + 1 < _covariance_coef.get_nb_cols(); i += 2)
            p += -_covariance_coef.get(0, i) + std::log(_covariance_coef.get(0, i + 1));
    if (_weight_status == STATUS_OPTIM)
        for (int i = 0; i < _weight.get_nb_rows(); ++i)
            for (int j = 0; j < _weight.get_nb_cols(); ++j)
                p += _weight.get(i, j) * _weight.get(i, j);
    if (std::isnan(p) || std::fabs(p) > DBL_MAX)
        p = DBL_MAX;
    return p;
}

bool Surrogate_Parameters::check_x() const
{
    const Matrix X = get_x();
    const int N = _nb_parameter_optimization;
    std::ostream& out = diag_stream();
    bool valid = true;
    if (X.get_nb_rows() > 1)
    {
        out << "Number of rows is not 1\n";
        valid = false;
    }
    if (X.get_nb_cols() != N)
    {
        out << "Number of cols is not consistent with _nb_parameter_optimization\n";
        valid = false;
    }
    Matrix LB("LB", 1, N);
    Matrix UB("UB", 1, N);
    // One spare slot: the arrays exist even when nothing is tuned.
    std::vector<param_domain_t> domain(static_cast<size_t>(N) + 1);
    std::unique_ptr<bool[]> logscale(new bool[static_cast<size_t>(N) + 1]);
    get_x_bounds(&LB, &UB, domain.data(), logscale.get());
    for (int i = 0; i < N && i < X.get_nb_cols(); ++i)
    {
        const double x = X.get(0, i);
        if (x < LB.get(0, i))
        {
            out << "X[" << i << "] < lower bound\n";
            valid = false;
        }
        if (x > UB.get(0, i))
        {
            out << "X[" << i << "] > upper bound\n";
            valid = false;
        }
        if ((domain[i] == PARAM_DOMAIN_INTEGER || domain[i] == PARAM_DOMAIN_CAT) && round(x) != x)
        {
            out << "Variable " << i << " (Integer or Categorical)\n"
                << "X[" << i << "]=" << x << " is not an integer\n";
            valid = false;
        }
        if (domain[i] == PARAM_DOMAIN_BOOL && x != 0 && x != 1)
        {
            out << "Variable " << i << " (Boolean)\n"
                << "X[" << i << "]=" << x << " is not a boolean\n";
            valid = false;
        }
        if (domain[i] == PARAM_DOMAIN_MISC)
        {
            out << "Variable " << i << " is MISC\n";
            valid = false;
        }
    }
    if (_covariance_coef.get_nb_rows() > 1)
    {
        out << "Covariance_coef should have only one row.\n";
        valid = false;
    }
    if (!valid)
        TESKORA_THROW("Invalid X!");
    return true;
}

void Surrogate_Parameters::display_x(std::ostream& out) const
{
    out << "Parameter set {\n";
    out << "    Dimension(X) " << _nb_parameter_optimization << "\n";
    if (_degree_status == STATUS_OPTIM)
        out << "    Degree " << _degree << " ";
    if (_ridge_status == STATUS_OPTIM)
        out << "    Ridge " << _ridge << " ";
    if (_kernel_coef_status == STATUS_OPTIM)
        out << "    Kernel_coef " << _kernel_coef << " ";
    if (_kernel_type_status == STATUS_OPTIM)
        out << "    Kernel_type " << kernel_type_to_str(_kernel_type) << " ("
            << static_cast<int>(_kernel_type) << ") ";
    if (_distance_type_status == STATUS_OPTIM)
        out << "    Distance_type " << distance_type_to_str(_distance_type) << " ("
            << static_cast<int>(_distance_type) << ") ";
    if (_covariance_status == STATUS_OPTIM)
    {
        out << "    Covariance_coef [ ";
        for (int j = 0; j < _covariance_coef.get_nb_cols(); ++j)
            out << _covariance_coef.get(0, j) << " ";
        out << "]\n";
    }
    if (_weight_status == STATUS_OPTIM)
    {
        out << "    Weight [ ";
        for (int i = 0; i < _weight.get_nb_rows(); ++i)
        {
            if (i > 0)
                out << "\n" << std::string(17, ' ');
            for (int j = 0; j < _weight.get_nb_cols(); ++j)
                out << _weight.get(i, j) << " ";
        }
        out << " ]\n";
    }
    out << "}\n";
}

void Surrogate_Parameters::update_covariance_coef(int v)
{
    const int c = _covariance_coef.get_nb_cols() / 2;
    if (v < c)
        TESKORA_THROW("v < v0");
    if (v == c)
        return;
    // New pairs copy the mean pair; with no pair to average there is no
    // sensible value, so refuse rather than append NaN.
    if (c == 0)
        TESKORA_THROW("No covariance pair to extend");
    double a = 0.0;
    double b = 0.0;
    for (int i = 0; i < c; ++i)
    {
        a += _covariance_coef.get(0, 2 * i);
        b += _covariance_coef.get(0, 2 * i + 1);
    }
    Matrix add("Add", 1, 2);
    add.set(0, 0, a / c);
    add.set(0, 1, b / c);
    for (int i = c; i < v; ++i)
        _covariance_coef.add_cols(add);
}

} // namespace TESKORA
