#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "Algos/TeskoraModel/TeskoraModel.hpp"
#include "Algos/TeskoraModel/TeskoraModelFilterCache.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/EvalPoint.hpp"
#include "Type/BBOutputType.hpp"
#include "support/CacheSupport.hpp"
#include "support/ModelSearchSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using namespace QarnoTest;

namespace
{

// A cache point: its coordinates, and the raw blackbox and surrogate output
// lines it carries (nullptr: no such evaluation).
struct Seed
{
    std::vector<double> x;
    const char* bb;
    const char* sgte;
};

// A surrogate-model algorithm on a 2-variable problem whose cache holds
// exactly the seeds; the filter is built under it.
struct FilterRun
{
    explicit FilterRun(const std::vector<Seed>& seeds, const std::vector<std::string>& lines = {},
                       const std::string& bbOutputType = "OBJ PB", double meshSize = 0.0)
        : h(
              2, bbOutputType, [](const std::vector<double>& x) { return x; }, {{0, 0}}, lines)
    {
        const BBOutputTypeList types = stringToBBOutputTypeList(bbOutputType);
        for (const Seed& s : seeds)
        {
            EvalPoint p(Point(makeArray(s.x)));
            if (nullptr != s.bb)
            {
                p = makeBBPoint(s.x, s.bb, types);
            }
            if (nullptr != s.sgte)
            {
                p.setBBO(s.sgte, types, EvalType::SGTE, true);
            }
            CacheBase::getInstance()->insert(p);
        }
        std::shared_ptr<MeshBase> mesh;
        if (meshSize > 0)
        {
            auto fixed = std::make_shared<FixedMesh>(h.pbParams());
            // Mesh sizes whose norm is meshSize.
            fixed->setDeltas(0, 0.6 * meshSize, 0.6 * meshSize);
            fixed->setDeltas(1, 0.8 * meshSize, 0.8 * meshSize);
            mesh = fixed;
        }
        model = std::make_unique<TeskoraModel>(h.root.get(), h.makeStopReasons(), h.runParams(),
                                               h.pbParams(), mesh);
    }

    ModelSearchHarness h;
    std::unique_ptr<TeskoraModel> model;
};

// The filter with its bookkeeping in view.
class FilterProbe : public TeskoraModelFilterCache
{
public:
    using TeskoraModelFilterCache::_cachePoints;
    using TeskoraModelFilterCache::_distMin;
    using TeskoraModelFilterCache::_distToEvaluated;
    using TeskoraModelFilterCache::_h;
    using TeskoraModelFilterCache::_hmax;
    using TeskoraModelFilterCache::_hmaxLimit;
    using TeskoraModelFilterCache::_isolation;
    using TeskoraModelFilterCache::TeskoraModelFilterCache;

    // The coordinates of candidate i; empty for -1.
    std::vector<double> coordsOf(int i) const
    {
        return i < 0 ? std::vector<double>()
                     : QarnoTest::coordsOf({_cachePoints[static_cast<size_t>(i)]})[0];
    }
};

// Start, run and end the filter; what it showed at display degree 3.
std::string runFilter(TeskoraModelFilterCache& filter)
{
    return infoMessagesOf(
        [&]
        {
            filter.start();
            EXPECT_TRUE(filter.run());
            filter.end();
        });
}

std::vector<std::vector<double>> selectedCoords(const TeskoraModelFilterCache& filter)
{
    const auto& selected = filter.getSelectedPoints();
    return coordsOf(std::vector<EvalPoint>(selected.begin(), selected.end()));
}

// The "Method <text>" lines of the output, without the failure lines.
std::vector<std::string> methodsTried(const std::string& shown)
{
    std::vector<std::string> methods;
    for (const std::string& line : linesOf(shown))
    {
        const size_t at = line.find("Method Select");
        if (std::string::npos != at && std::string::npos == line.find("did not return"))
        {
            methods.push_back(line.substr(at + 7));
        }
    }
    return methods;
}

size_t occurrences(const std::string& text, const std::string& what)
{
    size_t count = 0;
    for (size_t at = text.find(what); std::string::npos != at; at = text.find(what, at + 1))
    {
        ++count;
    }
    return count;
}

const char* const BEST = "Select the best point";
const char* const DISTANT = "Select the most distant point";
const char* const MIN_DIST =
    "Select the best point but with a minimum distance to points already selected";
const char* const HMAX = "Select the best points with a good enough value of hmax";
const char* const ISOLATION = "Select point with highest isolation number";
const char* const DENSITY = "Select point with highest density number";

} // namespace

TEST(TeskoraModelFilterCache, CandidatesAndTheirInitialValues)
{
    // Cache order is by coordinates: candidates (0, 0), (0, 1), (3, 4); the
    // blackbox point (0, 3) is none; (3, 4) has both evaluations.
    FilterRun run({{{0, 0}, nullptr, "1 -2 -3"},
                   {{0, 1}, nullptr, "0 1 -1"},
                   {{0, 3}, "7 0 0", nullptr},
                   {{3, 4}, "9 9 9", "2 -4 -0.5"}},
                  {"MODEL_DISPLAY F"}, "OBJ PB PB");

    FilterProbe filter(run.model.get(), 2);
    EXPECT_EQ("TeskoraModel Search Filter", filter.getName());
    ASSERT_EQ(3u, filter._cachePoints.size());
    const std::string shown = infoMessagesOf([&] { filter.start(); });
    EXPECT_NE(std::string::npos, shown.find("Compute distances"));
    EXPECT_NE(std::string::npos, shown.find("Compute isolations"));

    const std::vector<std::vector<double>> coords = {{0, 0}, {0, 1}, {3, 4}};
    const std::vector<double> hmax = {-2, 1, -0.5};
    const std::vector<double> distToEvaluated = {3, 2, 0};
    // (0, 0) dominates both others, (3, 4) dominates (0, 1) (smaller h).
    const std::vector<double> isolation = {DBL_MAX, 1, 5};
    for (size_t i = 0; i < 3; ++i)
    {
        SCOPED_TRACE(i);
        EXPECT_EQ(coords[i], filter.coordsOf(static_cast<int>(i)));
        EXPECT_EQ(hmax[i], filter._hmax[i]);
        EXPECT_DOUBLE_EQ(distToEvaluated[i], filter._distToEvaluated[i]);
        EXPECT_EQ(filter._distToEvaluated[i], filter._distMin[i]);
        EXPECT_DOUBLE_EQ(isolation[i], filter._isolation[i]);
    }
    EXPECT_GT(filter._h[1], 0.0);
    // The largest negative constraint maximum.
    EXPECT_EQ(-0.5, filter._hmaxLimit);
}

TEST(TeskoraModelFilterCache, EachMethodsChoiceAndTieBreak)
{
    struct Case
    {
        const char* label;
        std::vector<Seed> seeds;
        FilterSelectionMethod method;
        std::vector<double> expected; // empty: no point
        double meshSize = 0.0;
    };
    // A blackbox point at the origin gives every other candidate its
    // distance to the evaluated points.
    const Seed origin = {{0, 0}, "0 0", nullptr};
    const std::vector<Case> cases = {
        {"0: a full tie goes to the first",
         {{{0, 0}, nullptr, "1 -1"}, {{1, 0}, nullptr, "1 -1"}},
         FilterSelectionMethod::BEST,
         {0, 0}},
        {"0: equal h, smaller f",
         {{{0, 0}, nullptr, "2 -1"}, {{1, 0}, nullptr, "1 -1"}},
         FilterSelectionMethod::BEST,
         {1, 0}},
        {"0: smaller h first",
         {{{0, 0}, nullptr, "-5 2"}, {{1, 0}, nullptr, "9 -1"}},
         FilterSelectionMethod::BEST,
         {1, 0}},
        {"0: never a point already evaluated",
         {{{0, 0}, "0 -1", "0 -1"}, {{1, 0}, nullptr, "5 -1"}},
         FilterSelectionMethod::BEST,
         {1, 0}},
        {"1: a tie goes to the later",
         {origin, {{-1, 0}, nullptr, "1 -1"}, {{1, 0}, nullptr, "1 -1"}},
         FilterSelectionMethod::MOST_DISTANT,
         {1, 0}},
        {"1: the farthest",
         {origin, {{-3, 0}, nullptr, "1 -1"}, {{1, 0}, nullptr, "0 -1"}},
         FilterSelectionMethod::MOST_DISTANT,
         {-3, 0}},
        // Method 0 takes (1.2, 0), the best; method 2, having met (0, 1.5),
        // wants the next ones at least 1.5 away from the evaluated points.
        {"0: the best whatever its distance",
         {origin,
          {{-1, 0}, nullptr, "5 -1"},
          {{0, 1.5}, nullptr, "1 -1"},
          {{1.2, 0}, nullptr, "0 -1"}},
         FilterSelectionMethod::BEST,
         {1.2, 0}},
        {"2: the distance threshold moves with the best",
         {origin,
          {{-1, 0}, nullptr, "5 -1"},
          {{0, 1.5}, nullptr, "1 -1"},
          {{1.2, 0}, nullptr, "0 -1"}},
         FilterSelectionMethod::BEST_MIN_DISTANCE,
         {0, 1.5}},
        {"2: the mesh norm widens the threshold",
         {origin,
          {{-1, 0}, nullptr, "5 -1"},
          {{0, 1.5}, nullptr, "1 -1"},
          {{1.2, 0}, nullptr, "0 -1"}},
         FilterSelectionMethod::BEST_MIN_DISTANCE,
         {-1, 0},
         1.0},
        // The limit starts at -1 and becomes 2 hmax of each best found.
        {"3: best f under the limit",
         {{{0, 0}, nullptr, "1 -1"}, {{1, 0}, nullptr, "0 -2"}, {{2, 0}, nullptr, "-5 3"}},
         FilterSelectionMethod::BEST_GOOD_HMAX,
         {1, 0}},
        {"3: the limit tightens after a best",
         {{{0, 0}, nullptr, "1 -1"}, {{1, 0}, nullptr, "0 -1.5"}, {{2, 0}, nullptr, "-5 3"}},
         FilterSelectionMethod::BEST_GOOD_HMAX,
         {0, 0}},
        {"3: not within the mesh norm of an evaluated point",
         {origin, {{1, 0}, nullptr, "0 -1"}, {{3, 0}, nullptr, "1 -1"}},
         FilterSelectionMethod::BEST_GOOD_HMAX,
         {3, 0},
         2.0},
        {"3: only predicted feasible points",
         {{{0, 0}, nullptr, "1 2"}, {{1, 0}, nullptr, "0 3"}},
         FilterSelectionMethod::BEST_GOOD_HMAX,
         {}},
        {"4: a tie goes to the first",
         {{{0, 0}, nullptr, "1 -1"}, {{5, 0}, nullptr, "1 -1"}},
         FilterSelectionMethod::HIGHEST_ISOLATION,
         {0, 0}},
        // Density numbers 3, 4, 4 within 1, 2 and 3; (0, 0) is evaluated.
        {"5: the densest, the first of a tie",
         {{{0, 0}, "0 0", "0 -1"},
          {{1, 0}, nullptr, "1 -1"},
          {{2, 0}, nullptr, "1 -1"},
          {{3, 0}, nullptr, "1 -1"}},
         FilterSelectionMethod::HIGHEST_DENSITY,
         {2, 0}},
        {"no candidate", {origin}, FilterSelectionMethod::BEST_MIN_DISTANCE, {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.label);
        FilterRun run(c.seeds, {}, "OBJ PB", c.meshSize);
        FilterProbe filter(run.model.get(), 1);
        filter.start();
        EXPECT_EQ(c.expected, filter.coordsOf(filter.applyMethod(c.method)));
    }

    FilterRun run({{{0, 0}, nullptr, "1 -1"}});
    FilterProbe filter(run.model.get(), 1);
    filter.start();
    EXPECT_EQ("Method is not valid: 6",
              messageOf([&] { filter.applyMethod(static_cast<FilterSelectionMethod>(6)); }));
}

TEST(TeskoraModelFilterCache, MethodCycleAndAttemptsPerPass)
{
    struct Case
    {
        const char* filter;
        const char* formulation;
        const char* used;
        std::vector<const char*> methods;
    };
    // An empty cache: every attempt fails, and a pass allows two per digit.
    const std::vector<Case> cases = {
        {"0", "FS", "Used method: 0 (total nb methods = 1)", {BEST, BEST}},
        {"27",
         "FS",
         "Used method: 2 7 (total nb methods = 2)",
         {MIN_DIST, MIN_DIST, MIN_DIST, MIN_DIST}},
        {"2345",
         "FS",
         "Used method: 2 3 4 5 (total nb methods = 4)",
         {MIN_DIST, HMAX, ISOLATION, DENSITY, MIN_DIST, HMAX, ISOLATION, DENSITY}},
        {"5105",
         "FS",
         "Used method: 0 1 5 (total nb methods = 3)",
         {DISTANT, DENSITY, BEST, DISTANT, DENSITY, BEST}},
        {"0",
         "D",
         "Used method: Method override. Use method 1(total nb methods = 1)",
         {DISTANT, DISTANT}},
        {"6789", "D", "Used method: Method override. Use method 1(total nb methods = 4)",
         std::vector<const char*>(8, DISTANT)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string(c.filter) + " " + c.formulation);
        FilterRun run({}, {"MODEL_DISPLAY F", std::string("TESKORA_MODEL_FILTER ") + c.filter,
                           std::string("TESKORA_MODEL_FORMULATION ") + c.formulation});
        TeskoraModelFilterCache filter(run.model.get(), 3);
        const std::string shown = runFilter(filter);
        EXPECT_NE(std::string::npos, shown.find(c.used));
        const std::vector<std::string> expected(c.methods.begin(), c.methods.end());
        EXPECT_EQ(expected, methodsTried(shown));
        EXPECT_EQ(c.methods.size(), occurrences(shown, "did not return a point"));
        EXPECT_NE(std::string::npos, shown.find("Cache filter found 0 points"));
        EXPECT_TRUE(filter.getSelectedPoints().empty());
    }

    // Without MODEL_DISPLAY F the details stay below display degree 3; the
    // count does not.
    FilterRun quiet({});
    TeskoraModelFilterCache filter(quiet.model.get(), 3);
    const std::string shown = runFilter(filter);
    EXPECT_EQ(std::string::npos, shown.find("Used method"));
    EXPECT_EQ(std::string::npos, shown.find("did not return"));
    EXPECT_NE(std::string::npos, shown.find("Cache filter found 0 points"));
}

TEST(TeskoraModelFilterCache, NoMethodSelected)
{
    struct Case
    {
        const char* filter;
        const char* formulation;
        bool refused;
    };
    // Digits 6 to 9 count as methods but name none, except that formulation
    // D needs no named one.
    for (const Case& c : std::vector<Case>{
             {"X", "FS", true}, {"6789", "FS", true}, {"X", "D", true}, {"9", "D", false}})
    {
        SCOPED_TRACE(std::string(c.filter) + " " + c.formulation);
        FilterRun run({{{0, 0}, nullptr, "1 -1"}},
                      {std::string("TESKORA_MODEL_FILTER ") + c.filter,
                       std::string("TESKORA_MODEL_FORMULATION ") + c.formulation});
        TeskoraModelFilterCache filter(run.model.get(), 1);
        filter.start();
        const std::string message = messageOf([&] { filter.run(); });
        if (c.refused)
        {
            EXPECT_EQ("No filter method selected, parameter TESKORA_MODEL_FILTER", message);
            EXPECT_TRUE(filter.getSelectedPoints().empty());
        }
        else
        {
            EXPECT_EQ("(no exception)", message);
            EXPECT_EQ(1u, filter.getSelectedPoints().size());
        }
    }
}

TEST(TeskoraModelFilterCache, GreedySelection)
{
    // The origin is evaluated; (1, 0) is the best candidate.
    const std::vector<Seed> seeds = {{{-3, 0}, nullptr, "3 -1"},
                                     {{0, 0}, "0 0", nullptr},
                                     {{0, 4}, nullptr, "2 -1"},
                                     {{1, 0}, nullptr, "0 -1"},
                                     {{2, 0}, nullptr, "1 -1"}};
    struct Case
    {
        const char* label;
        std::vector<std::string> lines;
        size_t wanted;
        std::vector<std::vector<double>> selected;
    };
    const std::vector<Case> cases = {
        // Farthest first, (0, 4); then (-3, 0), 3 from the origin and 5 from
        // (0, 4), beats (2, 0), 2 from the origin.
        {"D: most distant points",
         {"TESKORA_MODEL_FORMULATION D", "TESKORA_MODEL_FILTER 0"},
         2,
         {{-3, 0}, {0, 4}}},
        {"0: best points", {"TESKORA_MODEL_FILTER 0"}, 2, {{1, 0}, {2, 0}}},
        {"more wanted than candidates", {}, 10, {{-3, 0}, {0, 4}, {1, 0}, {2, 0}}},
    };
    // Twice: nothing carries over from one filtering to the next.
    for (int round = 0; round < 2; ++round)
    {
        for (const Case& c : cases)
        {
            SCOPED_TRACE(std::string(c.label) + " round " + std::to_string(round));
            std::vector<std::string> lines = c.lines;
            lines.push_back("MODEL_DISPLAY F");
            FilterRun run(seeds, lines);
            TeskoraModelFilterCache filter(run.model.get(), c.wanted);
            const std::string shown = runFilter(filter);
            EXPECT_EQ(c.selected, selectedCoords(filter));
            EXPECT_EQ(c.selected.size(), occurrences(shown, "--> Selection of search point "));
            EXPECT_NE(std::string::npos, shown.find("Cache filter found " +
                                                    std::to_string(c.selected.size()) + " points"));
        }
    }
}

TEST(TeskoraModelFilterCache, PicksShrinkIsolationAndExhaustMethods)
{
    // (0, 0) and (0.5, 0) tie as best, so neither dominates the other; once
    // (0, 0) is picked, (0.5, 0) lies closer to a pick than to anything
    // dominating it and method 4 never takes it.
    {
        FilterRun run(
            {{{0, 0}, nullptr, "1 -1"}, {{0.5, 0}, nullptr, "1 -1"}, {{3, 0}, nullptr, "2 -1"}},
            {"TESKORA_MODEL_FILTER 4"});
        TeskoraModelFilterCache filter(run.model.get(), 3);
        runFilter(filter);
        EXPECT_EQ((std::vector<std::vector<double>>{{0, 0}, {3, 0}}), selectedCoords(filter));
    }
    // Without constraint outputs method 3 takes the first eligible point
    // only (not the best) and nothing afterwards.
    {
        FilterRun run({{{0, 0}, nullptr, "1"}, {{1, 0}, nullptr, "0"}, {{2, 0}, nullptr, "-1"}},
                      {"TESKORA_MODEL_FILTER 3"}, "OBJ");
        FilterProbe filter(run.model.get(), 3);
        runFilter(filter);
        EXPECT_EQ((std::vector<std::vector<double>>{{0, 0}}), selectedCoords(filter));
        EXPECT_EQ(-INFINITY, filter._hmaxLimit);
    }
}
