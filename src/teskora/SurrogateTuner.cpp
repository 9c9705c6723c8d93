// The tuner of the parameters a model definition marks for optimisation: a
// small mesh-and-poll search over the record's tunable vector, minimising the
// model's metric, ties going to the simpler (lower-penalty) values.

#include "teskora/SurrogateTuner.hpp"

#include "teskora/Surrogate.hpp"

#include "teskora/Exception.hpp"
#include "teskora/Utils.hpp"

#include <cfloat>
#include <cmath>
#include <memory>
#include <vector>

namespace TESKORA
{

namespace
{

const double MIN_POLL_SIZE = 1e-6;

} // namespace

double tuner_project(double v, double lb, double ub, param_domain_t domain)
{
    switch (domain)
    {
    case PARAM_DOMAIN_CONTINUOUS:
        return std::min(std::max(v, lb), ub);
    case PARAM_DOMAIN_INTEGER:
        return std::min(std::max(static_cast<double>(round(v)), lb), ub);
    case PARAM_DOMAIN_BOOL:
        return v > 0 ? 1.0 : 0.0;
    case PARAM_DOMAIN_CAT:
    {
        // Labels wrap around by steps of ub - lb.
        const int step = static_cast<int>(ub - lb);
        int c = round(v);
        if (step > 0)
        {
            while (c > ub)
                c -= step;
            while (c < lb)
                c += step;
        }
        return c;
    }
    case PARAM_DOMAIN_MISC:
        TESKORA_THROW("Invalid variable domain!");
    }
    return v;
}

int tuner_shuffle_row(int j, int nx, double u)
{
    // A draw of exactly 1 would pick the row past the end.
    return std::min(j + static_cast<int>(std::floor(u * (nx - j))), nx - 1);
}

namespace
{

// The space-filling start: nx rows spread over the bounds (on a log scale
// where asked), each column but the first shuffled.
Matrix startDesign(int nx, int N, const Matrix& lb, const Matrix& ub, const bool* logscale)
{
    Matrix X0("X0", nx, N);
    if (nx <= 0)
        return X0;
    for (int i = 0; i < N; ++i)
    {
        const double l = lb.get(0, i);
        const double u = ub.get(0, i);
        for (int j = 0; j < nx; ++j)
        {
            // Rows run from one step below the lower bound to the upper
            // bound; with two rows that step is undefined, and the rows are
            // the two bounds.
            const double v =
                (nx == 2) ? static_cast<double>(j) : static_cast<double>(j - 1) / (nx - 2);
            X0.set(j, i, logscale[i] ? l * std::pow(u / l, v) : l + v * (u - l));
        }
    }
    for (int i = 1; i < N; ++i)
        for (int j = 0; j < nx; ++j)
            X0.swap(j, i, tuner_shuffle_row(j, nx, uniform_rand()), i);
    return X0;
}

} // namespace

bool Surrogate::optimize_parameters()
{
    // Cleared on every way out, exceptions included.
    struct Tuning
    {
        bool& flag;
        explicit Tuning(bool& f) : flag(f) { flag = true; }
        ~Tuning() { flag = false; }
    } tuning(_tuning);

    const int N = _param.get_nb_parameter_optimization();
    // The record's check refuses a product beyond the int range.
    int budget = static_cast<int>(static_cast<long long>(_param.get_budget()) * N);

    Matrix lb("lb", 1, N);
    Matrix ub("ub", 1, N);
    std::vector<param_domain_t> domain(static_cast<size_t>(N) + 1);
    std::unique_ptr<bool[]> logscale(new bool[static_cast<size_t>(N) + 1]);
    _param.get_x_bounds(&lb, &ub, domain.data(), logscale.get());

    Matrix scaling("scaling", 1, N);
    for (int i = 0; i < N; ++i)
    {
        double s = 1.0;
        if (domain[i] == PARAM_DOMAIN_CONTINUOUS)
        {
            s = logscale[i] ? 1.0 : (ub.get(0, i) - lb.get(0, i)) / 5.0;
            if (s < 1e-13)
                TESKORA_THROW("Bad scaling.");
        }
        else if (domain[i] == PARAM_DOMAIN_CAT)
        {
            s = ub.get(0, i) - lb.get(0, i);
        }
        scaling.set(0, i, s);
    }

    const int nx = (budget >= 10) ? budget / 10 : 0;
    Matrix X0 = startDesign(nx, N, lb, ub, logscale.get());
    X0.add_rows(_param.get_x());

    Matrix xbest = X0.get_row(0);
    Matrix cache("CACHE", 0, N);
    double pollSize = 0.5;
    double fbest = DBL_MAX;
    double pbest = DBL_MAX;

    for (int pass = 0; budget >= 1; ++pass)
    {
        Matrix candidates;
        if (pass == 0)
        {
            candidates = X0;
        }
        else
        {
            const Matrix D = Matrix::get_poll_directions(scaling, domain.data(), pollSize);
            candidates = Matrix("POLL-CANDIDATES", D.get_nb_rows(), N);
            for (int k = 0; k < D.get_nb_rows(); ++k)
                for (int i = 0; i < N; ++i)
                    candidates.set(k, i,
                                   logscale[i] ? xbest.get(0, i) * std::pow(4.0, D.get(k, i))
                                               : xbest.get(0, i) + D.get(k, i));
            if (candidates.get_nb_rows() == 0)
                pollSize /= 2;
        }

        bool improved = false;
        for (int k = 0; k < candidates.get_nb_rows(); ++k)
        {
            Matrix xtry = candidates.get_row(k);
            xtry.set_name("xtry");
            for (int i = 0; i < N; ++i)
                xtry.set(0, i,
                         tuner_project(xtry.get(0, i), lb.get(0, i), ub.get(0, i), domain[i]));
            if (cache.find_row(xtry) >= 0)
                continue;
            _param.set_x(xtry);
            _param.check();
            const double f = eval_objective();
            const double pen = _param.get_x_penalty();
            --budget;
            cache.add_rows(xtry);
            if (f < fbest || (f == fbest && pen < pbest))
            {
                xbest = xtry;
                fbest = f;
                pbest = pen;
                improved = true;
                if (pass > 0)
                {
                    pollSize *= 2;
                    break;
                }
            }
        }
        if (pass > 0 && !improved && candidates.get_nb_rows() > 0)
            pollSize /= 2;
        if (pollSize < MIN_POLL_SIZE)
            break;
    }

    _param.set_x(xbest);
    _param.check();
    eval_objective();
    for (int i = 0; i < N; ++i)
        if (!std::isfinite(xbest.get(0, i)))
            return false;
    return true;
}

} // namespace TESKORA
