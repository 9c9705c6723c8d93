// Evaluation points: tags, the need for an evaluation, equality, the
// sub-space and full-space forms, the point of origin, the text form of the
// cache file, queue entries, the set order and the success rules on points.

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Algos/ProcessState.hpp"
#include "Eval/ComputeSuccessType.hpp"
#include "Eval/EvalPoint.hpp"
#include "Eval/EvalQueuePoint.hpp"
#include "Math/Point.hpp"
#include "Util/ArrayOfString.hpp"
#include "support/EvalSupport.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::CerrCapture;
using QarnoTest::makeArray;
using QarnoTest::makeEval;
using QarnoTest::makeEvalPoint;
using QarnoTest::messageOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::UNDEF;

namespace
{

Point point(const std::vector<double>& coords)
{
    return Point(makeArray(coords));
}

void expectCoords(const std::vector<double>& expected, const Point& p)
{
    ASSERT_EQ(expected.size(), p.size());
    for (size_t i = 0; i < expected.size(); ++i)
    {
        EXPECT_EQ(expected[i], p[i].todouble()) << "coordinate " << i;
    }
}

class EvalPointTest : public ::testing::Test
{
protected:
    ProcessStateGuard _guard;
};

TEST_F(EvalPointTest, TagsAreGivenOnceAndTravelWithCopies)
{
    // Run twice: a new run numbers its points from 1 again.
    for (int run = 0; run < 2; ++run)
    {
        SCOPED_TRACE(run);
        resetProcessState();
        const EvalPoint a(point({1, 2}));
        const EvalPoint b(point({3, 4}));
        EXPECT_EQ(0u, a.getTag());
        a.updateTag();
        b.updateTag();
        a.updateTag(); // a given tag never changes
        EXPECT_EQ(1u, a.getTag());
        EXPECT_EQ(2u, b.getTag());

        EvalPoint copy(a);
        EXPECT_EQ(1u, copy.getTag());
        EvalPoint assigned;
        assigned = b;
        EXPECT_EQ(2u, assigned.getTag());
        copy.updateTag();
        EXPECT_EQ(1u, copy.getTag());
        EXPECT_EQ(2u, EvalPoint::getCurrentTag());
    }
}

TEST_F(EvalPointTest, ToEval)
{
    const EvalStatusType NONE = EvalStatusType::EVAL_STATUS_UNDEFINED;
    const struct
    {
        const char* name;
        EvalStatusType bbStatus; // NONE: no blackbox evaluation
        bool sgte;               // a surrogate evaluation exists
        short numberEval;
        short maxNumberEval;
        EvalType type;
        bool expected;
    } cases[] = {
        {"never evaluated", NONE, false, 0, 1, EvalType::BB, true},
        {"evaluated once, ok", EvalStatusType::EVAL_OK, false, 1, 1, EvalType::BB, false},
        {"ok, budget of two", EvalStatusType::EVAL_OK, false, 1, 2, EvalType::BB, false},
        {"error, not counted yet", EvalStatusType::EVAL_ERROR, false, 0, 1, EvalType::BB, true},
        {"error, budget used", EvalStatusType::EVAL_ERROR, false, 1, 1, EvalType::BB, false},
        {"failed", EvalStatusType::EVAL_FAILED, false, 0, 1, EvalType::BB, false},
        {"in progress", EvalStatusType::EVAL_IN_PROGRESS, false, 0, 1, EvalType::BB, false},
        {"rejected by user", EvalStatusType::EVAL_USER_REJECTED, false, 0, 1, EvalType::BB, true},
        {"h over, budget of two", EvalStatusType::EVAL_CONS_H_OVER, false, 1, 2, EvalType::BB,
         true},
        {"no surrogate yet", EvalStatusType::EVAL_OK, false, 1, 5, EvalType::SGTE, true},
        {"surrogate exists", NONE, true, 0, 5, EvalType::SGTE, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EvalPoint p(point({1}));
        if (c.bbStatus != NONE)
        {
            p.setEvalStatus(c.bbStatus, EvalType::BB);
        }
        if (c.sgte)
        {
            p.setEvalStatus(EvalStatusType::EVAL_NOT_STARTED, EvalType::SGTE);
        }
        p.setNumberEval(c.numberEval);
        EXPECT_EQ(c.expected, p.toEval(c.maxNumberEval, c.type));
    }
}

TEST_F(EvalPointTest, EvaluationsAndTheirErrors)
{
    EvalPoint p(point({1, 2}));
    EXPECT_EQ(nullptr, p.getEval(EvalType::BB));
    EXPECT_FALSE(p.getF(EvalType::BB).isDefined());
    EXPECT_FALSE(p.isFeasible(EvalType::BB));
    EXPECT_EQ(EvalStatusType::EVAL_STATUS_UNDEFINED, p.getEvalStatus(EvalType::BB));

    const struct
    {
        const char* message;
        std::function<void()> op;
    } errors[] = {
        {"Error: setting f on a null eval", [&] { p.setF(1.0, EvalType::BB); }},
        {"Error: setting h on an EvalPoint that has no f.", [&] { p.setH(1.0, EvalType::SGTE); }},
        {"EvalPoint::setEvalStatus: Could not create new Eval",
         [&] { p.setEvalStatus(EvalStatusType::EVAL_OK, EvalType::UNDEFINED); }},
        {"EvalPoint::setBBO: Could not create new Eval",
         [&] { p.setBBO("1", "OBJ", EvalType::UNDEFINED); }},
        {"EvalPoint::setBBO: Could not create new Eval",
         [&] { p.setBBO(BBOutput("1", true), EvalType::UNDEFINED); }},
        {"Error: Calling EvalPoint::isDefined(). Choose ArrayOfDouble::isDefined() or "
         "Double::isDefined() instead.",
         [&] { p.isDefined(); }},
    };
    for (const auto& e : errors)
    {
        SCOPED_TRACE(e.message);
        EXPECT_EQ(e.message, messageOf(e.op));
    }
    EXPECT_EQ(nullptr, p.getEval(EvalType::BB));
    EXPECT_EQ(nullptr, p.getEval(EvalType::SGTE));

    // The typed output creates the evaluation on demand.
    p.setBBO("3 -1", "OBJ PB", EvalType::BB);
    EXPECT_TRUE(p.isEvalOk(EvalType::BB));
    EXPECT_EQ(3, p.getF(EvalType::BB).todouble());
    EXPECT_TRUE(p.isFeasible(EvalType::BB));
    EXPECT_EQ("3 -1", p.getBBO(EvalType::BB));
    EXPECT_TRUE(EvalPoint::hasBbEval(p));
    EXPECT_FALSE(EvalPoint::hasSgteEval(p));

    // Recomputing under other types reads the same line again.
    p.recomputeFH({BBOutputType::PB, BBOutputType::OBJ});
    EXPECT_EQ(-1, p.getF(EvalType::BB).todouble());
    EXPECT_EQ(9, p.getH(EvalType::BB).todouble());

    p.setEval(makeEval(5, 0), EvalType::SGTE);
    EXPECT_TRUE(EvalPoint::hasSgteEval(p));
    EvalPoint::clearEvalSgte(p);
    EXPECT_FALSE(EvalPoint::hasSgteEval(p));
}

TEST_F(EvalPointTest, CopiesAreDeepButShareTheOrigin)
{
    EvalPoint a = makeEvalPoint({1, 2}, 3, 0);
    a.setPointFrom(std::make_shared<Point>(point({0, 0})));
    EvalPoint b(a);
    b.setF(7.0, EvalType::BB);
    EXPECT_EQ(3, a.getF(EvalType::BB).todouble());
    EXPECT_EQ(a.getPointFrom().get(), b.getPointFrom().get());

    EvalPoint moved(std::move(b));
    EXPECT_EQ(7, moved.getF(EvalType::BB).todouble());
    expectCoords({1, 2}, moved);
}

TEST_F(EvalPointTest, Equality)
{
    EvalPoint a(point({1, 2}));
    EvalPoint b(point({1, 2}));
    b.setTag(9); // tags, counts and origins are not compared
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a == EvalPoint(point({1, 3})));

    a.setEval(makeEval(1, 0), EvalType::BB);
    EXPECT_FALSE(a == b);
    b.setEval(makeEval(1, 0), EvalType::BB);
    EXPECT_TRUE(a == b);
    b.setEval(makeEval(2, 0), EvalType::BB);
    EXPECT_FALSE(a == b);
    b.setEval(makeEval(1, 0), EvalType::BB);
    b.setEval(makeEval(1, 0), EvalType::SGTE);
    EXPECT_FALSE(a == b);

    a.setBBO(BBOutput("4", true), EvalType::BB);
    EXPECT_EQ(
        "Need to recompute f and h for this EvalPoint: #0 ( 1 2 )\tEvaluation OK\t f = 1\t h = 0",
        messageOf([&] { (void)(a == b); }));
}

TEST_F(EvalPointTest, DominanceBetweenPoints)
{
    const EvalPoint good = makeEvalPoint({1}, 1, 0);
    const EvalPoint bad = makeEvalPoint({2}, 2, 0);
    EXPECT_TRUE(good < bad);
    EXPECT_FALSE(bad < good);
    EXPECT_FALSE(good.dominates(good, EvalType::BB));
    EXPECT_FALSE(good.dominates(bad, EvalType::SGTE));
    EXPECT_FALSE(good.dominates(EvalPoint(point({3})), EvalType::BB));
}

TEST_F(EvalPointTest, SubSpaceAndFullSpace)
{
    const Point fixed = point({UNDEF, 5, UNDEF}); // the second variable is fixed at 5

    EvalPoint sub = makeEvalPoint({1, 2}, 3, 0);
    sub.updateTag();
    sub.setNumberEval(1);
    const EvalPoint full = sub.makeFullSpacePointFromFixed(fixed);
    expectCoords({1, 5, 2}, full);
    EXPECT_EQ(sub.getTag(), full.getTag());
    EXPECT_EQ(1, full.getNumberEval());
    EXPECT_EQ(3, full.getF(EvalType::BB).todouble());

    // Without fixed variables the point comes back whole; its size is
    // still checked.
    const Point none = point({UNDEF, UNDEF});
    const EvalPoint same = sub.makeFullSpacePointFromFixed(none);
    expectCoords({1, 2}, same);
    EXPECT_EQ(sub.getTag(), same.getTag());
    EXPECT_EQ(1, same.getNumberEval());
    EXPECT_EQ(3, same.getF(EvalType::BB).todouble());
    EXPECT_FALSE(
        messageOf([&] { EvalPoint(point({1})).makeFullSpacePointFromFixed(none); }).empty());

    const EvalPoint back = full.makeSubSpacePointFromFixed(fixed);
    expectCoords({1, 2}, back);
    EXPECT_EQ(sub.getTag(), back.getTag());
    EXPECT_FALSE(messageOf(
                     [&] {
                         EvalPoint(point({1, 4, 2})).makeSubSpacePointFromFixed(fixed);
                     })
                     .empty()); // the fixed value is checked

    // Lists: only the elements of the right size change.
    std::vector<EvalPoint> list = {EvalPoint(point({1, 2})), EvalPoint(point({7, 5, 8})),
                                   EvalPoint(point({9}))};
    convertPointListToFull(list, fixed);
    expectCoords({1, 5, 2}, list[0]);
    expectCoords({7, 5, 8}, list[1]);
    expectCoords({9}, list[2]);
    convertPointListToSub(list, fixed);
    expectCoords({1, 2}, list[0]);
    expectCoords({7, 8}, list[1]);
    expectCoords({9}, list[2]);
    EXPECT_EQ("Error: Fixed variable of dimension 0",
              messageOf([&] { convertPointListToSub(list, Point()); }));

    EvalPoint found;
    EXPECT_TRUE(findInList(point({7, 8}), list, found));
    expectCoords({7, 8}, found);
    EXPECT_FALSE(findInList(point({7, 9}), list, found));
}

TEST_F(EvalPointTest, PointOfOrigin)
{
    EvalPoint p(point({1, 2}));
    p.setPointFrom(std::make_shared<Point>(point({0, 0, 0}))); // larger is accepted
    EXPECT_EQ("EvalPoint::setPointFrom: pointFrom must have the same dimension as EvalPoint",
              messageOf([&] { p.setPointFrom(std::make_shared<Point>(point({0}))); }));
    EXPECT_EQ(3u, p.getPointFrom()->size());

    // A sub-space origin becomes its full-space form, shared and changed in place.
    const Point fixed = point({UNDEF, 5, UNDEF});
    EvalPoint full(point({1, 5, 2}));
    auto origin = std::make_shared<Point>(point({3, 4}));
    full.setPointFrom(origin, fixed);
    expectCoords({3, 5, 4}, *origin);
    EXPECT_EQ(origin.get(), full.getPointFrom().get());
    expectCoords({3, 4}, *full.getPointFrom(fixed));
    EXPECT_EQ(nullptr, EvalPoint(point({1})).getPointFrom(fixed));
}

TEST_F(EvalPointTest, TextFormWrittenAndReadBack)
{
    const struct
    {
        const char* name;
        std::function<EvalPoint()> make;
        const char* tail; // what follows the coordinates
        EvalStatusType status;
    } cases[] = {
        {"evaluated",
         []
         {
             // Tiny, huge and many-digit values come back exactly.
             EvalPoint p(point(
                 {0.1, -2.5e-3, 1e10, 123456.789, 1e-30, -2.5e300, 1.2345678901234567e-5, INF}));
             p.setBBO("3.5  0", "OBJ PB", EvalType::BB);
             return p;
         },
         " EVAL_OK ( 3.5  0 )", EvalStatusType::EVAL_OK},
        {"failed",
         []
         {
             EvalPoint p(point({1, -2}));
             p.setBBO("fail", "OBJ", EvalType::BB);
             return p;
         },
         " EVAL_FAILED ( fail )", EvalStatusType::EVAL_FAILED},
        {"surrogate only",
         []
         {
             EvalPoint p(point({1, 2}));
             p.setEval(makeEval(1, 0), EvalType::SGTE);
             return p;
         },
         "", EvalStatusType::EVAL_STATUS_UNDEFINED},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        CerrCapture quiet;
        const EvalPoint written = c.make();
        written.updateTag();
        std::ostringstream out;
        out << written;
        const std::string text = out.str();
        ASSERT_EQ("( ", text.substr(0, 2));
        const size_t close = text.find(')');
        EXPECT_EQ(c.tail, text.substr(close + 1));

        std::istringstream in(text + " NEXT");
        EvalPoint read(point({9}));
        in >> read;
        ASSERT_EQ(written.size(), read.size());
        for (size_t i = 0; i < read.size(); ++i)
        {
            EXPECT_EQ(written[i].todouble(), read[i].todouble()) << "coordinate " << i;
        }
        EXPECT_EQ(0u, read.getTag());
        EXPECT_EQ(nullptr, read.getEval(EvalType::SGTE));
        EXPECT_EQ(c.status, read.getEvalStatus(EvalType::BB));
        if (c.status == EvalStatusType::EVAL_STATUS_UNDEFINED)
        {
            EXPECT_EQ(nullptr, read.getEval(EvalType::BB));
            EXPECT_EQ(0, read.getNumberEval());
        }
        else
        {
            const Eval* bb = read.getEval(EvalType::BB);
            ASSERT_NE(nullptr, bb);
            EXPECT_TRUE(bb->toBeRecomputed()); // f and h come from the output under the run's types
            EXPECT_TRUE(bb->getBBOutput().getEvalOk());
            EXPECT_EQ(ArrayOfString(written.getBBO(EvalType::BB), " "),
                      ArrayOfString(read.getBBO(EvalType::BB), " "));
            EXPECT_EQ(1, read.getNumberEval());
        }
        std::string next;
        in >> next;
        EXPECT_EQ("NEXT", next);
    }
}

TEST_F(EvalPointTest, TextFormOfACacheLine)
{
    EvalPoint p(point({1, 2}));
    p.setBBO("3.5 0", "OBJ PB", EvalType::BB);
    std::ostringstream out;
    out << p;
    EXPECT_EQ("( 1 2 ) EVAL_OK ( 3.5 0 )", out.str());
}

TEST_F(EvalPointTest, MalformedTextForm)
{
    EvalPoint p = makeEvalPoint({1}, 2, 0);
    std::istringstream in("[ 1 2 ] EVAL_OK ( 3 )");
    EXPECT_EQ("Expecting \"(\", got \"[\"", messageOf([&] { in >> p; }));
    EXPECT_TRUE(in.fail());

    // Nothing to read leaves the point as it was.
    std::istringstream empty("   ");
    empty >> p;
    expectCoords({1}, p);
    EXPECT_EQ(2, p.getF(EvalType::BB).todouble());

    std::istringstream truncated("( 1 2 ) EVAL_OK ( 3");
    EXPECT_EQ("Expecting \")\", got \"\"", messageOf([&] { truncated >> p; }));
    expectCoords({1}, p);
}

TEST_F(EvalPointTest, Display)
{
    EvalPoint p = makeEvalPoint({1, 2.5}, 3, 0);
    p.updateTag();
    EXPECT_EQ("#1 ( 1 2.5 )\tEvaluation OK\t f = 3\t h = 0", p.display());
    p.setEval(makeEval(4, 1), EvalType::SGTE);
    EXPECT_EQ("#1 ( 1 2.5 )\t(BB - Evaluation OK\t f = 3\t h = 0)\t(SGTE - Evaluation OK\t f = 4\t "
              "h = 1)",
              p.displayAll());
    EXPECT_EQ("#0 ( 1 )", EvalPoint(point({1})).display());
}

TEST_F(EvalPointTest, SetsAreOrderedByCoordinatesOnly)
{
    std::set<EvalPoint, EvalPointCompare> set;
    set.insert(makeEvalPoint({2, 1}, 5, 0));
    set.insert(makeEvalPoint({1, 3}, 1, 0));
    EXPECT_FALSE(set.insert(makeEvalPoint({2, 1}, 0, 0)).second); // same coordinates, other f
    ASSERT_EQ(2u, set.size());
    expectCoords({1, 3}, *set.begin());
}

TEST_F(EvalPointTest, QueuePointStartsWithoutContext)
{
    EvalPoint p = makeEvalPoint({1, 2}, 3, 0);
    p.updateTag();
    const EvalQueuePoint q(p, EvalType::SGTE);
    EXPECT_EQ(EvalType::SGTE, q.getEvalType());
    EXPECT_EQ(SuccessType::NOT_EVALUATED, q.getSuccess());
    EXPECT_FALSE(q.getRelativeSuccess());
    EXPECT_EQ("", q.getComment());
    EXPECT_EQ("", q.getGenStep());
    EXPECT_EQ(0u, q.getMeshSize().size());
    EXPECT_EQ(0u, q.getK());
    EXPECT_FALSE(q.getInPhaseOne());
    EXPECT_EQ(1u, q.getTag());
    EXPECT_EQ(3, q.getF(EvalType::BB).todouble());
}

TEST_F(EvalPointTest, SuccessRulesOnPoints)
{
    const auto feasible = std::make_shared<EvalPoint>(makeEvalPoint({1}, 1, 0));
    const auto worse = std::make_shared<EvalPoint>(makeEvalPoint({2}, 2, 0));
    const auto infeasible = std::make_shared<EvalPoint>(makeEvalPoint({3}, 0, 3));
    auto sgte = std::make_shared<EvalPoint>(point({4}));
    sgte->setEval(makeEval(0, 1), EvalType::SGTE);
    const EvalPointPtr none;

    using Rule =
        std::function<SuccessType(const EvalPointPtr&, const EvalPointPtr&, const Double&)>;
    const Rule defaultRule = ComputeSuccessType::defaultComputeSuccessType;
    const Rule sgteRule = ComputeSuccessType::computeSuccessTypeSgte;
    const Rule phaseOneRule = ComputeSuccessType::computeSuccessTypePhaseOne;
    const struct
    {
        const char* name;
        const Rule& rule;
        EvalPointPtr p1;
        EvalPointPtr p2;
        double hMax;
        SuccessType expected;
    } cases[] = {
        {"default, no candidate", defaultRule, none, feasible, INF, SuccessType::NOT_EVALUATED},
        {"default, no reference, h within hMax", defaultRule, infeasible, none, 3,
         SuccessType::FULL_SUCCESS},
        {"default, no reference, h above hMax", defaultRule, infeasible, none, 2,
         SuccessType::FAILURE},
        {"default, improves", defaultRule, feasible, worse, INF, SuccessType::FULL_SUCCESS},
        {"default, worse", defaultRule, worse, feasible, INF, SuccessType::FAILURE},
        {"default, candidate without blackbox eval", defaultRule, sgte, feasible, INF,
         SuccessType::NOT_EVALUATED},
        {"surrogate, above hMax", sgteRule, sgte, none, 0.5, SuccessType::FAILURE},
        {"surrogate, no reference", sgteRule, sgte, none, 2, SuccessType::FULL_SUCCESS},
        {"phase one, no reference", phaseOneRule, infeasible, none, 0, SuccessType::FULL_SUCCESS},
        {"phase one, feasible", phaseOneRule, worse, infeasible, 0, SuccessType::FULL_SUCCESS},
        {"phase one, higher h", phaseOneRule, infeasible, worse, 0, SuccessType::FAILURE},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, c.rule(c.p1, c.p2, c.hMax));
    }
    // A missing evaluation has no h to compare with hMax.
    EXPECT_THROW(ComputeSuccessType::defaultComputeSuccessType(sgte, none, INF),
                 Double::NotDefined);

    ComputeSuccessType functor;
    EXPECT_THROW(functor(feasible, worse, INF), std::bad_function_call);
    functor.setDefaultComputeSuccessTypeFunction(EvalType::UNDEFINED);
    EXPECT_THROW(functor(feasible, worse, INF), std::bad_function_call);
    functor.setDefaultComputeSuccessTypeFunction(EvalType::SGTE);
    EXPECT_EQ(SuccessType::FAILURE, functor(sgte, none, 0.5));
    functor.setDefaultComputeSuccessTypeFunction(EvalType::BB);
    functor.setDefaultComputeSuccessTypeFunction(EvalType::UNDEFINED); // keeps the rule held
    EXPECT_EQ(SuccessType::FULL_SUCCESS, functor(feasible, worse, INF));
}

} // namespace
