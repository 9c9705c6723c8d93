// Sub-problems: the reduced parameters, the renumbered variable groups, the
// accumulation of nested fixed variables, and the registry of sub-problems.

#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Algos/Subproblem.hpp"
#include "Algos/SubproblemManager.hpp"
#include "Math/ArrayOfPoint.hpp"
#include "Param/PbParameters.hpp"
#include "Type/BBInputType.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

namespace
{

using namespace QARNO_4_0_0;
using namespace QarnoTest;

/// Five variables, x0 = (1, 2, 3, 4, 5), each array telling its entries
/// apart, with the fixed variable and groups given; checked.
std::shared_ptr<PbParameters> fiveVariables(const std::vector<double>& fixed,
                                            const ListOfVariableGroup& groups)
{
    auto pb = std::make_shared<PbParameters>();
    pb->setAttributeValue<size_t>("DIMENSION", 5);
    pb->setAttributeValue<Point>("X0", Point(makeArray({1, 2, 3, 4, 5})));
    pb->setAttributeValue("LOWER_BOUND", makeArray({-1, -2, -3, -4, -5}));
    pb->setAttributeValue("UPPER_BOUND", makeArray({10, 20, 30, 40, 50}));
    pb->setAttributeValue("BB_INPUT_TYPE",
                          BBInputTypeList{BBInputType::CONTINUOUS, BBInputType::INTEGER,
                                          BBInputType::CONTINUOUS, BBInputType::INTEGER,
                                          BBInputType::INTEGER});
    pb->setAttributeValue("GRANULARITY", makeArray({0.1, 0, 0.5, 0, 0}));
    pb->setAttributeValue("INITIAL_FRAME_SIZE", makeArray({1, 2, 3, 4, 5}));
    pb->setAttributeValue("MIN_FRAME_SIZE", makeArray({0.1, 1, 0.5, 1, 1}));
    pb->setAttributeValue("FIXED_VARIABLE", Point(makeArray(fixed)));
    if (!groups.empty())
    {
        pb->setAttributeValue("VARIABLE_GROUP", groups);
    }
    CerrCapture ignoreWarnings;
    pb->checkAndComply();
    return pb;
}

/// The entries of an array at the given indices, as text.
std::string entries(const ArrayOfDouble& a, const std::vector<size_t>& indices)
{
    ArrayOfDouble kept(indices.size());
    for (size_t k = 0; k < indices.size(); ++k)
    {
        kept[k] = a[indices[k]];
    }
    return kept.display();
}

TEST(Subproblem, ReducesTheParametersToTheFreeVariables)
{
    struct Case
    {
        const char* label;
        std::vector<double> fixed;
        std::vector<size_t> free;
        std::string fixedVariable;
        ListOfVariableGroup groups;
        ListOfVariableGroup subGroups;
    };
    const Case cases[] = {
        {"nothing fixed",
         {UNDEF, UNDEF, UNDEF, UNDEF, UNDEF},
         {0, 1, 2, 3, 4},
         "( - - - - - )",
         {{0, 2}, {1, 3}},
         {{0, 2}, {1, 3}, {4}}},
        {"variables 1 and 3 fixed",
         {UNDEF, 2, UNDEF, 4, UNDEF},
         {0, 2, 4},
         "( - 2 - 4 - )",
         {{0, 2}, {1, 3}},
         {{0, 1}, {2}}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        const auto ref = fiveVariables(c.fixed, c.groups);
        const Subproblem sub(ref, Point(5));
        const auto& subPb = sub.getPbParams();
        ASSERT_NE(ref, subPb);

        EXPECT_EQ(c.free.size(), sub.getDimension());
        EXPECT_EQ(c.free.size(), subPb->getAttributeValue<size_t>("DIMENSION"));
        EXPECT_EQ(c.fixedVariable, sub.getFixedVariable().display());
        EXPECT_EQ(Point(c.free.size()).display(),
                  subPb->getAttributeValue<Point>("FIXED_VARIABLE").display());
        EXPECT_EQ(entries(makeArray({1, 2, 3, 4, 5}), c.free),
                  subPb->getAttributeValue<ArrayOfPoint>("X0")[0].displayNoPar());
        // INITIAL_MESH_SIZE is left out: the check of the reduced parameters
        // derives it again from the frame size for the smaller dimension.
        for (const char* name : {"LOWER_BOUND", "UPPER_BOUND", "INITIAL_FRAME_SIZE",
                                 "MIN_MESH_SIZE", "MIN_FRAME_SIZE", "GRANULARITY"})
        {
            SCOPED_TRACE(name);
            EXPECT_EQ(entries(ref->getAttributeValue<ArrayOfDouble>(name), c.free),
                      subPb->getAttributeValue<ArrayOfDouble>(name).display());
        }
        const auto& refTypes = ref->getAttributeValue<BBInputTypeList>("BB_INPUT_TYPE");
        BBInputTypeList types;
        for (size_t i : c.free)
        {
            types.push_back(refTypes[i]);
        }
        EXPECT_EQ(types, subPb->getAttributeValue<BBInputTypeList>("BB_INPUT_TYPE"));
        EXPECT_EQ(c.subGroups, subPb->getAttributeValue<ListOfVariableGroup>("VARIABLE_GROUP"));
    }
}

TEST(Subproblem, GroupsAreRenumberedAmongTheFreeVariables)
{
    ProcessStateGuard guard;
    const Subproblem sub(fiveVariables({UNDEF, UNDEF, UNDEF, UNDEF, UNDEF}, {}), Point(5));
    struct Case
    {
        const char* label;
        std::vector<double> fixed;
        ListOfVariableGroup groups;
        ListOfVariableGroup expected;
    };
    const Case cases[] = {
        {"1 and 3 fixed",
         {UNDEF, 2, UNDEF, 4, UNDEF},
         {{0, 1, 2, 3, 4}, {0, 2}, {1, 3}},
         {{0, 1, 2}, {0, 1}}},
        {"0 and 4 of 7 fixed",
         {0, UNDEF, UNDEF, UNDEF, 4, UNDEF, UNDEF},
         {{4, 5, 6}, {0, 1}, {0}, {2, 3}},
         {{3, 4}, {0}, {1, 2}}},
        {"consecutive fixed", {UNDEF, 1, 2, 3, UNDEF}, {{0, 4}, {1, 2, 3}}, {{0, 1}}},
        {"nothing fixed", {UNDEF, UNDEF, UNDEF}, {{0, 2}, {1}}, {{0, 2}, {1}}},
        {"no groups", {1, UNDEF}, {}, {}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ListOfVariableGroup groups = c.groups;
        sub.resetVariableGroupsAgainstFixedVariables(groups, Point(makeArray(c.fixed)));
        EXPECT_EQ(c.expected, groups);
    }
}

TEST(Subproblem, FixedVariablesOfNestedAlgorithmsAccumulate)
{
    ProcessStateGuard guard;
    auto parentPb = std::make_shared<PbParameters>();
    parentPb->setAttributeValue<size_t>("DIMENSION", 4);
    parentPb->setAttributeValue<Point>("X0", Point(makeArray({1, 2, 3, 4})));
    parentPb->setAttributeValue("FIXED_VARIABLE", Point(makeArray({1, UNDEF, UNDEF, UNDEF})));
    {
        CerrCapture ignoreWarnings;
        parentPb->checkAndComply();
    }
    const Subproblem parent(parentPb, Point(4));
    EXPECT_EQ("( 1 - - - )", parent.getFixedVariable().display());
    EXPECT_EQ(3u, parent.getDimension());

    // The sub-algorithm fixes the first variable of the parent's sub-space.
    auto childPb = std::make_shared<PbParameters>();
    childPb->copyParameters(*parent.getPbParams());
    childPb->setAttributeValue("FIXED_VARIABLE", Point(makeArray({2, UNDEF, UNDEF})));
    {
        CerrCapture ignoreWarnings;
        childPb->checkAndComply();
    }
    const Subproblem child(childPb, parent.getFixedVariable());
    EXPECT_EQ("( 1 2 - - )", child.getFixedVariable().display());
    EXPECT_EQ(2u, child.getDimension());
    EXPECT_EQ("3 4", child.getPbParams()->getAttributeValue<ArrayOfPoint>("X0")[0].displayNoPar());

    // A fixed variable of another full space is reported.
    EXPECT_EQ("Expecting FIXED_VARIABLE to be of size 5. Current FIXED_VARIABLE is of size 3: "
              "( 2 - - )",
              messageOf([&] { Subproblem bad(childPb, Point(5)); }));
}

TEST(Subproblem, ParametersServeAgainOnlyWhereANewCopyWouldBeTheSame)
{
    // A sub-algorithm started again and again on one problem shares the
    // reduced parameters of the one before it, once that one let them go;
    // any change on either side, or a holder still alive, makes a new copy.
    ProcessStateGuard guard;
    const std::vector<double> free = {UNDEF, UNDEF, UNDEF, UNDEF, UNDEF};
    const auto subOf = [](const std::shared_ptr<PbParameters>& pb, const Point& fixed)
    { return Subproblem(pb, fixed).getPbParams(); };
    const auto lowerBound = [](const std::shared_ptr<PbParameters>& params)
    { return params->getAttributeValue<ArrayOfDouble>("LOWER_BOUND").display(); };

    auto pb = fiveVariables(free, {});
    std::weak_ptr<PbParameters> first = subOf(pb, Point(5));
    {
        SCOPED_TRACE("the same problem, the first copy let go");
        // Made before the first copy is looked at: a holder alive while the
        // next sub-problem is made would make it take a new copy.
        const auto again = subOf(pb, Point(5));
        EXPECT_EQ(first.lock(), again);
    }
    {
        SCOPED_TRACE("the first copy still held");
        const auto held = subOf(pb, Point(5));
        const auto second = subOf(pb, Point(5));
        EXPECT_NE(held, second);
        EXPECT_EQ(lowerBound(held), lowerBound(second));
    }
    {
        SCOPED_TRACE("the copy changed by its holder");
        const auto changed = subOf(pb, Point(5));
        changed->setAttributeValue("STOP_IF_FEASIBLE", true);
        changed->checkAndComply();
        EXPECT_FALSE(subOf(pb, Point(5))->getAttributeValue<bool>("STOP_IF_FEASIBLE"));
    }
    {
        SCOPED_TRACE("the reference changed");
        (void)subOf(pb, Point(5));
        pb->setAttributeValue("LOWER_BOUND", makeArray({-6, -7, -8, -9, -10}));
        pb->checkAndComply();
        EXPECT_EQ("-6 -7 -8 -9 -10", lowerBound(subOf(pb, Point(5))));
    }
    {
        SCOPED_TRACE("another fixed variable of the full space");
        // A sub-problem of a sub-space: its fixed variable completes that of
        // the full space, whichever parameters serve.
        auto childPb = std::make_shared<PbParameters>();
        childPb->copyParameters(*pb);
        childPb->setAttributeValue("FIXED_VARIABLE",
                                   Point(makeArray({1, UNDEF, UNDEF, UNDEF, UNDEF})));
        {
            CerrCapture ignoreWarnings;
            childPb->checkAndComply();
        }
        const auto fullSpace = [](double fixed) {
            return Point(makeArray({fixed, UNDEF, UNDEF, UNDEF, UNDEF, UNDEF}));
        };
        EXPECT_EQ("( 1 1 - - - - )",
                  Subproblem(childPb, fullSpace(1)).getFixedVariable().display());
        EXPECT_EQ("( 3 1 - - - - )",
                  Subproblem(childPb, fullSpace(3)).getFixedVariable().display());
        EXPECT_EQ("( 3 1 - - - - )",
                  Subproblem(childPb, fullSpace(3)).getFixedVariable().display());
    }
    {
        SCOPED_TRACE("another problem with the same values");
        (void)subOf(pb, Point(5));
        auto other = fiveVariables(free, {});
        other->setAttributeValue("LOWER_BOUND", makeArray({-6, -7, -8, -9, -11}));
        other->checkAndComply();
        EXPECT_EQ("-6 -7 -8 -9 -11", lowerBound(subOf(other, Point(5))));
    }
}

TEST(Subproblem, BadConstructionIsReported)
{
    ProcessStateGuard guard;
    const auto pb = fiveVariables({UNDEF, UNDEF, UNDEF, UNDEF, UNDEF}, {});
    struct Case
    {
        const char* label;
        std::function<void()> op;
        std::string message;
    };
    const Case cases[] = {
        {"no parameters", [] { Subproblem s(nullptr, Point(5)); },
         "A valid PbParameters must be provided to the Subproblem constructor."},
        {"empty fixed variable", [&] { Subproblem s(pb, Point()); },
         "Error: Fixed variable of dimension 0"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.message, messageOf(c.op));
    }
}

TEST(SubproblemManager, StepsFindTheSubproblemOfTheirAlgorithm)
{
    ProcessStateGuard guard;
    const auto pb = fiveVariables({UNDEF, 2, UNDEF, 4, UNDEF}, {});
    const Subproblem sub(pb, Point(5));
    RecordingStep main("Main");
    // Both algorithms register themselves; NM inherits the fixed variables.
    TestAlgorithm mads(&main, "MADS", QarnoTest::makeCheckedRunParams(5, false, false), pb);
    RecordingStep poll(&mads, "Poll");
    TestAlgorithm nm(&poll, "NM");
    RecordingStep reflect(&nm, "Reflect");
    EXPECT_EQ("( - 2 - 4 - )", SubproblemManager::getSubFixedVariable(&reflect).display());
    // NM leaves the registry as its destruction would.
    SubproblemManager::removeSubproblem(&nm);

    EXPECT_EQ("( - 2 - 4 - )", SubproblemManager::getSubFixedVariable(&poll).display());
    EXPECT_EQ("( - 2 - 4 - )", SubproblemManager::getSubFixedVariable(&mads).display());

    StreamCapture out(std::cout);
    struct Case
    {
        const char* label;
        std::function<void()> op;
        std::string message;
        std::string cerr;
    };
    const Case cases[] = {
        {"second registration", [&] { SubproblemManager::addSubproblem(&mads, sub); },
         "Error: SubproblemManager: could not add subproblem for Algorithm MADS", ""},
        {"removal of an unregistered algorithm", [&] { SubproblemManager::removeSubproblem(&nm); },
         "Warning: SubproblemManager could not remove subproblem for Algorithm NM", ""},
        {"step without algorithm", [&] { SubproblemManager::getSubproblem(&main); },
         "Algorithm not found for step Main", ""},
        // The sub-algorithm's own entry is missing: no fallback to MADS.
        {"sub-algorithm not registered", [&] { SubproblemManager::getSubproblem(&reflect); },
         "SubproblemManager could not get Subproblem for step Reflect",
         "Error: Subproblem not found for Algorithm NM\n"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        CerrCapture err;
        EXPECT_EQ(c.message, messageOf(c.op));
        EXPECT_EQ(c.cerr, err.text());
    }

    SubproblemManager::removeSubproblem(&mads);
    EXPECT_EQ(0u, SubproblemManager::size());
}

TEST(SubproblemManager, ResetWarnsOnlyWhenEntriesAreLeft)
{
    ProcessStateGuard guard;
    const Subproblem sub(fiveVariables({UNDEF, UNDEF, UNDEF, UNDEF, UNDEF}, {}), Point(5));
    RecordingStep main("Main");
    {
        CerrCapture err;
        SubproblemManager::reset();
        EXPECT_EQ("", err.text());
    }
    // An algorithm registers its sub-problem when it is built.
    TestAlgorithm mads(&main, "MADS");
    {
        CerrCapture err;
        SubproblemManager::reset();
        EXPECT_EQ("Warning: SubproblemManager::clear() called on non-empty SubproblemManager\n",
                  err.text());
        EXPECT_EQ(0u, SubproblemManager::size());
    }
    // A new run in the same process starts with an empty registry, silently.
    SubproblemManager::addSubproblem(&mads, sub);
    CerrCapture err;
    ProcessStateGuard::resetToLoadState();
    EXPECT_EQ(0u, SubproblemManager::size());
    EXPECT_EQ("", err.text());
}

} // namespace
