#include "teskora/Matrix.hpp"

#include "teskora/Diagnostics.hpp"
#include "teskora/Exception.hpp"
#include "teskora/Utils.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

namespace TESKORA
{

namespace
{

// The three norms share one loop over the row pairs; Accumulate folds one
// coordinate difference into the running value, Finish turns it into the
// distance.
template <typename Accumulate, typename Finish>
Matrix distances(const Matrix& A, const Matrix& B, Accumulate accumulate, Finish finish)
{
    if (A.get_nb_cols() != B.get_nb_cols())
        TESKORA_THROW("get_distances_norm2: dimension error");
    const int n = A.get_nb_cols();
    Matrix D("D", A.get_nb_rows(), B.get_nb_rows());
    std::vector<double> a(static_cast<size_t>(n));
    for (int i = 0; i < A.get_nb_rows(); ++i)
    {
        for (int k = 0; k < n; ++k)
            a[k] = A.get(i, k);
        for (int j = 0; j < B.get_nb_rows(); ++j)
        {
            double v = 0.0;
            for (int k = 0; k < n; ++k)
                v = accumulate(v, a[k] - B.get(j, k));
            D.set(i, j, finish(v));
        }
    }
    return D;
}

double unchanged(double v)
{
    return v;
}

} // namespace

Matrix Matrix::get_distances_norm1(const Matrix& A, const Matrix& B)
{
    return distances(
        A, B, [](double v, double d) { return v + std::fabs(d); }, unchanged);
}

Matrix Matrix::get_distances_norm2(const Matrix& A, const Matrix& B)
{
    return distances(
        A, B, [](double v, double d) { return v + d * d; }, [](double v) { return std::sqrt(v); });
}

Matrix Matrix::get_distances_norminf(const Matrix& A, const Matrix& B)
{
    return distances(
        A, B, [](double v, double d) { return std::max(v, std::fabs(d)); }, unchanged);
}

Matrix Matrix::rank() const
{
    if (_nbRows > 1 && _nbCols > 1)
        TESKORA_THROW("Matrix::rank: dimension error");
    if (_nbRows > 1)
    {
        Matrix R = transpose().rank().transpose();
        return R;
    }
    const int n = (_nbRows == 1) ? _nbCols : 0;
    Matrix R("R", _nbRows, _nbCols);
    // Smallest first, equal entries in order of position. Entries that are
    // NaN or not below the largest double come last in order of position,
    // so the ranks always stay a permutation of 0 .. n-1.
    const double top = std::numeric_limits<double>::max();
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [this, top](int a, int b)
                     {
                         const double va = at(0, a), vb = at(0, b);
                         const bool usableA = va < top, usableB = vb < top;
                         if (usableA != usableB)
                             return usableA;
                         return usableA && va < vb;
                     });
    for (int r = 0; r < n; ++r)
        R.at(0, order[r]) = r;
    return R;
}

Matrix Matrix::get_poll_directions(const Matrix& scaling, const param_domain_t* domain,
                                   double poll_size)
{
    const int N = scaling.get_nb_cols();
    Matrix D("D", N, N);
    std::vector<bool> continuous(static_cast<size_t>(N));
    bool anyContinuous = false;
    for (int k = 0; k < N; ++k)
    {
        continuous[k] = domain[k] == PARAM_DOMAIN_CONTINUOUS;
        anyContinuous = anyContinuous || continuous[k];
    }

    // A Householder reflection I - 2 v v' on the continuous coordinates: an
    // orthonormal basis of random orientation.
    if (anyContinuous)
    {
        std::vector<double> v(static_cast<size_t>(N), 0.0);
        for (int k = 0; k < N; ++k)
            if (continuous[k])
                v[k] = quick_norm_rand();
        double norm = 0.0;
        for (int k = 0; k < N; ++k)
            norm += v[k] * v[k];
        norm = std::sqrt(norm);
        for (int k = 0; k < N; ++k)
            v[k] /= norm;
        for (int l = 0; l < N; ++l)
            if (continuous[l])
                for (int m = 0; m < N; ++m)
                    D.at(l, m) = (l == m ? 1.0 : 0.0) - 2.0 * v[l] * v[m];
    }

    const double delta = (poll_size * poll_size <= poll_size) ? poll_size * poll_size : poll_size;
    const double ratio = poll_size / delta;

    for (int k = 0; k < N; ++k)
    {
        if (!continuous[k])
            for (int l = 0; l < N; ++l)
                if (continuous[l])
                    D.at(k, l) = 2.0 * uniform_rand() - 1.0;
        double maxabs = 0.0;
        for (int m = 0; m < N; ++m)
            maxabs = std::max(maxabs, std::fabs(D.at(k, m)));
        for (int l = 0; l < N; ++l)
            if (continuous[l])
                D.at(k, l) = rceil(ratio * D.at(k, l) / maxabs) * (delta * scaling.get(l));
        switch (domain[k])
        {
        case PARAM_DOMAIN_INTEGER:
        case PARAM_DOMAIN_BOOL:
            D.at(k, k) = (k % 2 == 1) ? 1.0 : -1.0;
            break;
        case PARAM_DOMAIN_CAT:
            D.at(k, k) = rceil(uniform_rand() * scaling.get(k));
            break;
        default:
            break;
        }
    }

    Matrix R("POLL-DIR", 2 * N, N);
    int c = 0;
    for (int pass = 0; pass < 2; ++pass)
        for (int k = 0; k < N; ++k)
        {
            if (continuous[k] != (pass == 0))
                continue;
            for (int m = 0; m < N; ++m)
            {
                R.at(c, m) = D.at(k, m);
                R.at(c + 1, m) = -D.at(k, m);
            }
            c += 2;
        }
    if (c != 2 * N)
    {
        diag_stream() << "k,N : " << c << " " << N << std::endl;
        TESKORA_THROW("Unconcistency in the value of k.");
    }
    return R;
}

} // namespace TESKORA
