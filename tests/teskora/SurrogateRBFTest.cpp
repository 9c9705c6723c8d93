#include "teskora/SurrogateRBF.hpp"
#include "support/TeskoraTestSupport.hpp"
#include "teskora/Diagnostics.hpp"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <functional>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

using namespace TESKORA;
using TeskoraTest::Function;
using TeskoraTest::make;
using TeskoraTest::Point;
using TeskoraTest::predictAt;
using TeskoraTest::rowsOf;
using TeskoraTest::sampled;
using TeskoraTest::thrownMessage;

namespace
{

Point smooth(const Point& x)
{
    return {std::sin(2 * x[0]) + 0.5 * x[1] * x[1] - x[0] * x[1]};
}

Point twoOutputs(const Point& x)
{
    return {std::cos(x[0]) * x[1], x[0] - 0.3 * x[1] * x[1]};
}

// count scattered points in two inputs, all distinct.
std::vector<Point> scattered(int count)
{
    std::vector<Point> points;
    for (int i = 0; i < count; ++i)
        points.push_back({std::sin(1.3 * i + 0.2) * 2.0, std::cos(2.1 * i + 0.7) * 1.5 + 0.1 * i});
    return points;
}

Surrogate_Parameters rbf(const std::string& rest)
{
    return Surrogate_Parameters("TYPE RBF " + rest);
}

std::string shown(const Surrogate_RBF& model)
{
    std::ostringstream out;
    model.display_private(out);
    return out.str();
}

std::string counts(int q, int qrbf, int qprs)
{
    return "_q: " + std::to_string(q) + "\n_qrbf: " + std::to_string(qrbf) +
           "\n_qprs: " + std::to_string(qprs) + "\n";
}

// The count lines of the display, without coefficient and ridge.
std::string countsOf(const Surrogate_RBF& model)
{
    const std::string s = shown(model);
    return s.substr(0, s.find("_kernel_coef"));
}

Matrix predictScaled(Surrogate& model, const Matrix& XXs)
{
    Matrix ZZs;
    model.predict_private(XXs, &ZZs);
    return ZZs;
}

double maxAbsDiff(const Matrix& A, const Matrix& B)
{
    double d = 0.0;
    for (int i = 0; i < A.get_nb_rows(); ++i)
        for (int j = 0; j < A.get_nb_cols(); ++j)
            d = std::max(d, std::fabs(A.get(i, j) - B.get(i, j)));
    return d;
}

// A few query points in scaled space, away from the training points.
Matrix scaledQueries(const TrainingSet& ts)
{
    Matrix XX = make("XX", {{0.3, -0.4}, {-1.1, 0.9}, {1.7, 2.2}, {0.05, 0.0}});
    ts.X_scale(XX);
    return XX;
}

} // namespace

TEST(TeskoraRBF, PresetLettersChooseTheVariant)
{
    TrainingSet ts = sampled(scattered(10), smooth);
    ts.build();
    const std::list<int> greedy =
        ts.select_greedy(ts.get_matrix_Xs(), ts.get_i_min(), 5, 1.0, NORM2);

    struct Case
    {
        const char* preset;
        const char* kernel;
        std::string counts;
    };
    for (const Case& c : std::vector<Case>{{"I", "I2", counts(8, 5, 3)},
                                           {"i", "I2", counts(8, 5, 3)},
                                           {"R", "I2", counts(13, 10, 3)},
                                           {"r3", "D1", counts(13, 10, 3)},
                                           {"O", "D1", counts(10, 10, 0)},
                                           {"o", "D3", counts(10, 10, 0)},
                                           {"0", "D2", counts(10, 10, 0)}})
    {
        SCOPED_TRACE(c.preset);
        Surrogate_RBF model(ts,
                            rbf(std::string("PRESET ") + c.preset + " KERNEL_TYPE " + c.kernel));
        ASSERT_TRUE(model.build());
        EXPECT_EQ(c.counts, countsOf(model));
        if (std::toupper(static_cast<unsigned char>(c.preset[0])) == 'I')
            EXPECT_EQ(greedy, model.get_centers());
        else
            EXPECT_EQ(std::list<int>{-1}, model.get_centers());
    }

    // The defaults: preset I, kernel I2 with its coefficient fixed at 1.
    Surrogate_RBF fresh(ts, Surrogate_Parameters(RBF));
    EXPECT_EQ("_q: -1\n_qrbf: -1\n_qprs: -1\n_kernel_coef: 1\n_ridge: 0.001\n", shown(fresh));
    ASSERT_TRUE(fresh.build());
    EXPECT_EQ(counts(8, 5, 3) + "_kernel_coef: 1\n_ridge: 0.001\n", shown(fresh));

    for (const char* preset : {"RI", "OR", "R0", "io", "X", "2"})
    {
        SCOPED_TRACE(preset);
        Surrogate_RBF model(ts, rbf(std::string("PRESET ") + preset));
        EXPECT_EQ("RBF preset must contain either \"O\", \"R\" or \"I\", exclusively.",
                  thrownMessage([&] { model.build(); }));
        EXPECT_FALSE(model.is_ready());
    }
}

TEST(TeskoraRBF, InterpolationTailFollowsTheKernel)
{
    // Distinct points: every kernel interpolates, those that need a tail
    // with it as side conditions of the square system.
    const std::vector<Point> points = scattered(12);
    TrainingSet ts = sampled(points, twoOutputs);
    struct Case
    {
        const char* kernel;
        int qprs;
    };
    for (const Case& c : std::vector<Case>{{"D1", 0},
                                           {"D2", 0},
                                           {"D3", 0},
                                           {"D4", 0},
                                           {"D5", 0},
                                           {"D6", 0},
                                           {"D7", 0},
                                           {"I0", 1},
                                           {"I1", 1},
                                           {"I2", 3},
                                           {"I3", 3},
                                           {"I4", 3}})
    {
        SCOPED_TRACE(c.kernel);
        Surrogate_RBF model(ts, rbf(std::string("PRESET O KERNEL_COEF 1 KERNEL_TYPE ") + c.kernel));
        ASSERT_TRUE(model.build());
        EXPECT_EQ(counts(12 + c.qprs, 12, c.qprs), countsOf(model));
        // The interpolant reproduces every training output.
        const Matrix Zh = model.get_matrix_Zh();
        for (int i = 0; i < 12; ++i)
        {
            const Point z = twoOutputs(points[i]);
            EXPECT_NEAR(z[0], Zh.get(i, 0), 1e-8);
            EXPECT_NEAR(z[1], Zh.get(i, 1), 1e-8);
        }
    }

    // A tuned kernel: the tail is sized from the kernel the tuning keeps,
    // whatever the kernel the build started from.
    for (const char* tuned :
         {"KERNEL_TYPE OPTIM", "KERNEL_TYPE OPTIM KERNEL_COEF OPTIM DISTANCE_TYPE OPTIM"})
    {
        SCOPED_TRACE(tuned);
        Surrogate_RBF model(ts, rbf(std::string("PRESET O BUDGET 5 ") + tuned));
        ASSERT_TRUE(model.build());
        const int qprs =
            Surrogate_RBF::tail_size(kernel_dmin(model.get_param().get_kernel_type()), 2);
        EXPECT_EQ(counts(12 + qprs, 12, qprs), countsOf(model));
        EXPECT_LT(maxAbsDiff(*model.get_matrix_Zhs(), model.get_matrix_Zs()), 1e-8);
    }

    // A tail needs as many distinct points as it has terms: three points in
    // two inputs carry a linear tail, two do not (and fail anyway).
    TrainingSet three = sampled(scattered(3), smooth);
    Surrogate_RBF small(three, rbf("PRESET O KERNEL_TYPE I2"));
    ASSERT_TRUE(small.build());
    EXPECT_EQ(counts(6, 3, 3), countsOf(small));

    std::ostringstream out;
    const DiagStreamRedirect redirect(out);
    EXPECT_EQ(0, Surrogate_RBF::tail_size(-1, 4));
    EXPECT_EQ(1, Surrogate_RBF::tail_size(0, 4));
    EXPECT_EQ(5, Surrogate_RBF::tail_size(1, 4));
    EXPECT_EQ("dmin out of range.", thrownMessage([] { Surrogate_RBF::tail_size(2, 4); }));
    EXPECT_EQ("dmin = 2\n", out.str());
}

TEST(TeskoraRBF, InterpolationLeaveOneOutEqualsRefitsWithoutThePoint)
{
    TrainingSet ts = sampled(scattered(11), twoOutputs);
    struct Case
    {
        const char* kernel;
        const char* distance;
        double coef;
    };
    for (const Case& c :
         std::vector<Case>{{"D1", "NORM2", 0.8}, {"D3", "NORM1", 1.0}, {"D2", "NORMINF", 0.6}})
    {
        SCOPED_TRACE(c.kernel);
        std::ostringstream def;
        def << "PRESET O KERNEL_TYPE " << c.kernel << " KERNEL_COEF " << c.coef << " DISTANCE_TYPE "
            << c.distance;
        Surrogate_RBF model(ts, rbf(def.str()));
        ASSERT_TRUE(model.build());
        const Matrix Zv = *model.get_matrix_Zvs();
        const Matrix Xs = model.get_matrix_Xs();
        const Matrix Zs = model.get_matrix_Zs();
        const kernel_t kt = str_to_kernel_type(c.kernel);
        const distance_t dt = str_to_distance_type(c.distance);
        const int p = Xs.get_nb_rows();
        for (int a = 0; a < p; ++a)
        {
            SCOPED_TRACE(a);
            std::list<int> others;
            for (int k = 0; k < p; ++k)
                if (k != a)
                    others.push_back(k);
            const Matrix Xr = Xs.get_rows(others);
            const Matrix K = kernel(kt, c.coef, ts.get_distances(Xr, Xr, dt));
            const Matrix alpha = Matrix::product(K.lu_inverse(), Zs.get_rows(others));
            const Matrix za =
                Matrix::product(kernel(kt, c.coef, ts.get_distances(Xs.get_row(a), Xr, dt)), alpha);
            for (int j = 0; j < 2; ++j)
                EXPECT_NEAR(za.get(0, j), Zv.get(a, j), 1e-8);
        }
    }
}

TEST(TeskoraRBF, RidgePlacementFollowsPresetDigits)
{
    TrainingSet ts = sampled(scattered(16), twoOutputs);
    const double ridge = 0.3;
    struct Case
    {
        const char* preset;
        int placement; // 1: every term, 2: all but the constant, 3: radial terms
    };
    for (const Case& c : std::vector<Case>{
             {"R", 3}, {"R3", 3}, {"R2", 2}, {"R1", 1}, {"R21", 1}, {"I", 3}, {"I2", 2}, {"1I", 1}})
    {
        SCOPED_TRACE(c.preset);
        Surrogate_RBF model(ts,
                            rbf(std::string("PRESET ") + c.preset + " KERNEL_TYPE D1 RIDGE 0.3"));
        ASSERT_TRUE(model.build());
        const Matrix Xs = model.get_matrix_Xs();
        const Matrix H = model.compute_design_matrix(Xs, false);
        const int q = H.get_nb_cols();
        const int qrbf = q - 3;
        const Matrix XXs = scaledQueries(ts);
        const Matrix G = model.compute_design_matrix(XXs, false);

        // The same least squares solved here with the ridge on the first
        // count diagonal entries.
        auto expected = [&](int count)
        {
            Matrix A = Matrix::transposeA_product(H, H);
            for (int i = 0; i < count; ++i)
                A.set(i, i, A.get(i, i) + ridge);
            const Matrix alpha = Matrix::product(
                A.lu_inverse(), Matrix::transposeA_product(H, model.get_matrix_Zs()));
            return Matrix::product(G, alpha);
        };
        const int counts[] = {q, q - 1, qrbf};
        const Matrix ZZs = predictScaled(model, XXs);
        for (int placement = 1; placement <= 3; ++placement)
        {
            SCOPED_TRACE(placement);
            const double d = maxAbsDiff(expected(counts[placement - 1]), ZZs);
            if (placement == c.placement)
                EXPECT_LT(d, 1e-9);
            else
                EXPECT_GT(d, 1e-6);
        }
    }
}

TEST(TeskoraRBF, BuildFailures)
{
    // Two distinct points only, whatever the variant.
    for (const char* preset : {"O", "R", "I"})
    {
        SCOPED_TRACE(preset);
        TrainingSet ts = sampled({{0, 0}, {1, 2}, {0, 0}, {1, 2}}, smooth);
        Surrogate_RBF model(ts, rbf(std::string("PRESET ") + preset + " KERNEL_TYPE D1"));
        EXPECT_FALSE(model.build());
        EXPECT_FALSE(model.is_ready());
    }

    // Incomplete basis: half the distinct points as centres, at least three.
    {
        TrainingSet five = sampled(scattered(5), smooth);
        Surrogate_RBF model(five, Surrogate_Parameters(RBF));
        EXPECT_FALSE(model.build());
        EXPECT_EQ(counts(-1, 2, -1), countsOf(model));
        TrainingSet six = sampled(scattered(6), smooth);
        Surrogate_RBF built(six, Surrogate_Parameters(RBF));
        EXPECT_TRUE(built.build());
        EXPECT_EQ(counts(6, 3, 3), countsOf(built));
        EXPECT_EQ(3u, built.get_centers().size());
    }

    // Interpolation with a duplicated point: more terms than distinct points.
    {
        std::vector<Point> points = scattered(8);
        points.push_back(points[3]);
        TrainingSet ts = sampled(points, smooth);
        Surrogate_RBF model(ts, rbf("PRESET O KERNEL_TYPE D1"));
        EXPECT_FALSE(model.build());
        EXPECT_EQ(counts(9, 9, 0), countsOf(model));
    }

    // A nearly flat kernel makes the interpolation system numerically
    // singular: a solution that misses the outputs is no interpolant, and
    // the build says so (the tuner then passes over such values).
    for (const char* flat :
         {"PRESET O KERNEL_TYPE I0 KERNEL_COEF 0.01", "PRESET O KERNEL_TYPE D4 KERNEL_COEF 0.04"})
    {
        SCOPED_TRACE(flat);
        TrainingSet ts = sampled(scattered(12), twoOutputs);
        Surrogate_RBF model(ts, rbf(flat));
        EXPECT_FALSE(model.build());
    }

    // A regression whose system is singular (no ridge on a basis with more
    // terms than points) gives no coefficients.
    {
        TrainingSet ts = sampled(scattered(8), smooth);
        Surrogate_RBF model(ts, rbf("PRESET R KERNEL_TYPE D1 RIDGE 0"));
        EXPECT_FALSE(model.build());
    }

    // Nothing is answered before a successful build.
    TrainingSet ts = sampled(scattered(8), smooth);
    Surrogate_RBF model(ts, rbf("PRESET O KERNEL_TYPE D1"));
    std::ostringstream out;
    const DiagStreamRedirect redirect(out);
    Matrix ZZ;
    EXPECT_EQ("check_ready(): Not ready!", thrownMessage(
                                               [&] {
                                                   model.predict(make("XX", {{0.1, 0.2}}), &ZZ);
                                               }));
    EXPECT_EQ("check_ready(): Not ready!", thrownMessage([&] { model.get_matrix_Zvs(); }));
    EXPECT_NE(std::string::npos, out.str().find("::get_matrix_Zvs::"));
    EXPECT_EQ("check_ready(): Not ready!",
              thrownMessage(
                  [&] {
                      model.predict_private(make("XX", {{0.1, 0.2}}), &ZZ);
                  }));
    EXPECT_NE(std::string::npos, out.str().find("::predict_private::"));
}

TEST(TeskoraRBF, IncompleteBasisTakesTheCentresTheSelectionReturns)
{
    // Besides the best point at the origin, tight clusters of points: the
    // greedy selection takes one point per cluster and then stops short of
    // the count asked for, half the distinct points.
    auto cluster = [](double x, double y, int count)
    {
        std::vector<Point> points;
        for (int k = 0; k < count; ++k)
            points.push_back({x + 1e-9 * k, y - 1e-9 * (k % 2)});
        return points;
    };
    auto bowl = [](const Point& x) { return Point{x[0] * x[0] + x[1] * x[1]}; };
    struct Case
    {
        std::vector<std::vector<Point>> clusters;
        int returned;
    };
    for (const Case& c :
         std::vector<Case>{{{cluster(1, 1, 3), cluster(1, 0, 4)}, 3}, {{cluster(1, 1, 7)}, 2}})
    {
        SCOPED_TRACE(c.returned);
        std::vector<Point> points = {{0, 0}};
        for (const auto& group : c.clusters)
            points.insert(points.end(), group.begin(), group.end());
        TrainingSet ts = sampled(points, bowl);
        ts.build();
        ASSERT_EQ(8, ts.get_pvar());
        const std::list<int> greedy =
            ts.select_greedy(ts.get_matrix_Xs(), ts.get_i_min(), 4, 1.0, NORM2);
        ASSERT_EQ(static_cast<size_t>(c.returned), greedy.size());

        Surrogate_RBF model(ts, rbf("PRESET I KERNEL_TYPE D1"));
        EXPECT_EQ(c.returned > 2, model.build());
        EXPECT_EQ(greedy, model.get_centers());
        if (c.returned > 2)
        {
            EXPECT_EQ(counts(c.returned + 3, c.returned, 3), countsOf(model));
            const Matrix ZZs = predictScaled(model, scaledQueries(ts));
            EXPECT_FALSE(ZZs.has_nan());
            EXPECT_EQ(c.returned + 3,
                      model.compute_design_matrix(model.get_matrix_Xs(), false).get_nb_cols());
        }
        else
        {
            EXPECT_EQ(counts(-1, 2, -1), countsOf(model));
        }
    }
}

namespace
{

// Plays the tuner: changes the record between fits the way a trial does.
class TrialRBF : public Surrogate_RBF
{
public:
    using Surrogate_RBF::Surrogate_RBF;
    bool trial(const std::string& definition)
    {
        _param = Surrogate_Parameters(definition);
        reset_metrics();
        return build_private();
    }
};

} // namespace

TEST(TeskoraRBF, TunedKernelResizesTheInterpolationTail)
{
    TrainingSet ts = sampled(scattered(10), smooth);
    TrialRBF model(ts, rbf("PRESET O KERNEL_TYPE D1"));
    ASSERT_TRUE(model.build());
    EXPECT_EQ(counts(10, 10, 0), countsOf(model));

    // A kernel that needs a linear tail: the trial solves the augmented
    // system and still interpolates.
    EXPECT_TRUE(model.trial("TYPE RBF PRESET O KERNEL_TYPE I2"));
    EXPECT_EQ(counts(13, 10, 3), countsOf(model));
    EXPECT_LT(maxAbsDiff(*model.get_matrix_Zhs(), model.get_matrix_Zs()), 1e-8);

    // Back to a kernel without tail: the fit interpolates again.
    EXPECT_TRUE(model.trial("TYPE RBF PRESET O KERNEL_TYPE D2"));
    EXPECT_EQ(counts(10, 10, 0), countsOf(model));
    EXPECT_LT(maxAbsDiff(*model.get_matrix_Zhs(), model.get_matrix_Zs()), 1e-8);
}

TEST(TeskoraRBF, TunedBuildEqualsAFreshBuildWithTheTunedValues)
{
    // Trials that change only the ridge or come back to an earlier distance
    // type reuse what they can: the result must not depend on it.
    TrainingSet ts = sampled(scattered(14), twoOutputs);
    for (const char* def :
         {"PRESET R KERNEL_TYPE D1 KERNEL_COEF OPTIM RIDGE OPTIM DISTANCE_TYPE OPTIM BUDGET 4",
          "PRESET I KERNEL_TYPE D3 RIDGE OPTIM METRIC_TYPE RMSECV BUDGET 4",
          "PRESET O KERNEL_TYPE D1 KERNEL_COEF OPTIM DISTANCE_TYPE OPTIM BUDGET 4"})
    {
        SCOPED_TRACE(def);
        Surrogate_RBF tuned(ts, rbf(def));
        ASSERT_TRUE(tuned.build());
        const Surrogate_Parameters& p = tuned.get_param();
        std::ostringstream fixed;
        fixed << std::setprecision(17) << "PRESET " << p.get_preset() << " KERNEL_TYPE "
              << kernel_type_to_str(p.get_kernel_type()) << " KERNEL_COEF " << p.get_kernel_coef()
              << " RIDGE " << p.get_ridge() << " DISTANCE_TYPE "
              << distance_type_to_str(p.get_distance_type());
        Surrogate_RBF fresh(ts, rbf(fixed.str()));
        ASSERT_TRUE(fresh.build());
        const Matrix XXs = scaledQueries(ts);
        EXPECT_LT(maxAbsDiff(predictScaled(fresh, XXs), predictScaled(tuned, XXs)), 1e-10);
        EXPECT_LT(maxAbsDiff(*fresh.get_matrix_Zvs(), *tuned.get_matrix_Zvs()), 1e-10);
    }
}
