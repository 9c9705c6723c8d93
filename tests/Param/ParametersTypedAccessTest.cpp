// Typed reading and writing of parameter values by keyword.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <typeinfo>

#include "Param/Parameters.hpp"
#include "support/TestParameters.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::EmptyParameters;
using QarnoTest::outcomeOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::TestParameters;
using QarnoTest::TestParametersNoDimension;

namespace
{

template <typename T> std::string typeName()
{
    return typeid(T).name();
}

Point makePoint(const std::vector<double>& values)
{
    return Point(QarnoTest::makeArray(values));
}

const std::string notChecked = "ParameterToBeChecked: Parameter to be checked. ";

} // namespace

TEST(ParametersTypedAccess, ReadChecksRunInOrder)
{
    ProcessStateGuard guard;
    TestParametersNoDimension other; // registers SOL_FORMAT for the process
    TestParameters params;           // not checked
    const struct
    {
        const char* what;
        std::function<void()> read;
        std::string expected;
    } cases[] = {
        {"unknown keyword", [&] { params.getSpValue<size_t>("NOT_A_KEYWORD", true, false); },
         "Exception: getAttributeValue: attribute NOT_A_KEYWORD does not exist"},
        {"keyword of another set",
         [&] { params.getSpValue<ArrayOfDouble>("SOL_FORMAT", false, false); },
         "Exception: getAttributeValue: attribute SOL_FORMAT does not exist"},
        {"existence before type", [&] { params.getAttributeValue<int>("not_a_keyword"); },
         "Exception: getAttributeValue: attribute NOT_A_KEYWORD does not exist"},
        {"lower case is no key of the type map",
         [&] { params.getSpValue<size_t>("max_bb_eval", false, false); },
         "Exception: getAttributeValue: attribute max_bb_eval does not exist"},
        {"lower-case dimension", [&] { params.getSpValue<size_t>("dimension", true, false); },
         "Exception: getAttributeValue: attribute dimension does not exist"},
        {"type before the check flag",
         [&] { params.getSpValue<size_t>("DISPLAY_DEGREE", true, false); },
         "Exception: In getAttributeValue<T> the attribute DISPLAY_DEGREE is not of type T = " +
             typeName<size_t>()},
        {"type before the default flag",
         [&] { params.getSpValue<size_t>("DISPLAY_DEGREE", true, true); },
         "Exception: In getAttributeValue<T> the attribute DISPLAY_DEGREE is not of type T = " +
             typeName<size_t>()},
        {"checked read names the upper-cased keyword",
         [&] { params.getAttributeValue<int>("max_bb_eval"); },
         "Exception: In getAttributeValue<T> the attribute MAX_BB_EVAL is not of type T = " +
             typeName<int>()},
        {"double is no value type", [&] { params.getSpValue<double>("H_MAX_0", false, false); },
         "Exception: In getAttributeValue<T> the attribute H_MAX_0 is not of type T = " +
             typeName<double>()},
        {"BBInputType is no value type",
         [&] { params.getSpValue<BBInputType>("BB_INPUT_TYPE", false, false); },
         "Exception: In getAttributeValue<T> the attribute BB_INPUT_TYPE is not of type T = " +
             typeName<BBInputType>()},
        {"BBOutputType is no value type",
         [&] { params.getSpValue<BBOutputType>("BB_OUTPUT_TYPE", false, false); },
         "Exception: In getAttributeValue<T> the attribute BB_OUTPUT_TYPE is not of type T = " +
             typeName<BBOutputType>()},
        {"default value needs no check",
         [&] { params.getSpValue<size_t>("MAX_BB_EVAL", true, true); }, "ok"},
        {"default value through the checked read",
         [&] { params.getAttributeValue<size_t>("MAX_BB_EVAL", true); }, "ok"},
        {"checked read of an unchecked set",
         [&] { params.getSpValue<size_t>("MAX_BB_EVAL", true, false); },
         notChecked + "In getAttributeValue<T> the attribute MAX_BB_EVAL has not been checked"},
        {"checked read in any case", [&] { params.getAttributeValue<size_t>("max_bb_eval"); },
         notChecked + "In getAttributeValue<T> the attribute MAX_BB_EVAL has not been checked"},
        {"DIMENSION is exempt", [&] { params.getSpValue<size_t>("DIMENSION", true, false); }, "ok"},
        {"dimension through the checked read",
         [&] { params.getAttributeValue<size_t>("dimension"); }, "ok"},
        {"unchecked read", [&] { params.getSpValue<size_t>("MAX_BB_EVAL", false, false); }, "ok"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.expected, outcomeOf(c.read));
    }
    // A failing read changes nothing.
    EXPECT_TRUE(params.toBeChecked());
    EXPECT_EQ("", params.getSetAttributeAsString());
}

TEST(ParametersTypedAccess, CheckedReadWorksAfterTheCheck)
{
    TestParameters params;
    params.setAttributeValue<size_t>("MAX_BB_EVAL", 100);
    EXPECT_EQ(100u, params.getSpValue<size_t>("MAX_BB_EVAL", false, false));
    EXPECT_THROW(params.getAttributeValue<size_t>("MAX_BB_EVAL"), ParameterToBeChecked);
    params.checkAndComply();
    EXPECT_EQ(100u, params.getAttributeValue<size_t>("MAX_BB_EVAL"));
    EXPECT_EQ(SIZE_MAX, params.getAttributeValue<size_t>("MAX_BB_EVAL", true));
}

TEST(ParametersTypedAccess, ParameterToBeCheckedCarriesItsTypeMessage)
{
    TestParameters params;
    try
    {
        params.getAttributeValue<int>("SEED");
        FAIL() << "no exception";
    }
    catch (const ParameterToBeChecked& e)
    {
        const std::string what = e.what();
        EXPECT_EQ(0u, what.find("QARNO::Exception thrown (src/Param/Parameters, "));
        EXPECT_NE(std::string::npos,
                  what.find(") Parameter to be checked. In getAttributeValue<T> the attribute "
                            "SEED has not been checked"));
    }
    const ParameterToBeChecked direct("file", 12, "message");
    EXPECT_STREQ("QARNO::Exception thrown (file, 12) Parameter to be checked. message",
                 direct.what());
}

TEST(ParametersTypedAccess, ReturnedReferenceSeesLaterWrites)
{
    TestParameters params;
    const int& seed = params.getSpValue<int>("SEED", false, false);
    params.setAttributeValue<int>("SEED", 7);
    EXPECT_EQ(7, seed);
}

TEST(ParametersTypedAccess, PointReadServesListsOfPoints)
{
    TestParameters params;
    params.setSpValueDefault<ArrayOfPoint>("X0", {makePoint({1, 2}), makePoint({3, 4})});
    params.setSpValueDefault<Point>("FIXED_VARIABLE", makePoint({0, 5}));
    params.checkAndComply();
    EXPECT_EQ(makePoint({1, 2}), params.getAttributeValue<Point>("x0"));
    EXPECT_EQ(makePoint({0, 5}), params.getAttributeValue<Point>("FIXED_VARIABLE"));

    const struct
    {
        const char* what;
        std::function<void()> read;
        std::string expected;
    } cases[] = {
        {"unknown keyword: the type map first",
         [&] { params.getAttributeValue<Point>("NOT_A_KEYWORD"); },
         "Exception: getAttributeValue: attribute NOT_A_KEYWORD does not exist"},
        {"another type", [&] { params.getAttributeValue<Point>("LOWER_BOUND"); },
         "Exception: In getAttributeValue<T> the attribute LOWER_BOUND is not of type T = " +
             typeName<Point>()},
        {"empty list of points",
         [&]
         {
             params.setSpValueDefault<ArrayOfPoint>("X0", {});
             params.getAttributeValue<Point>("x0");
         },
         "Exception: In getAttributeValue<Point> : the attribute X0 contains no point."},
        {"the list of points is read with the check",
         [&]
         {
             params.setAttributeValue<Point>("X0", makePoint({1, 1}));
             params.getAttributeValue<Point>("X0");
         },
         notChecked + "In getAttributeValue<T> the attribute X0 has not been checked"},
        {"default of the list: no point", [&] { params.getAttributeValue<Point>("X0", true); },
         "Exception: In getAttributeValue<Point> : the attribute X0 contains no point."},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.expected, outcomeOf(c.read));
    }
}

TEST(ParametersTypedAccess, SetterConvertsByRegisteredType)
{
    TestParameters params;
    params.setSpValueDefault<ArrayOfPoint>(
        "X0", {makePoint({1, 1}), makePoint({2, 2}), makePoint({3, 3})});

    params.setAttributeValue<int>("MAX_BB_EVAL", -1);
    EXPECT_EQ(SIZE_MAX, params.getSpValue<size_t>("MAX_BB_EVAL", false, false));
    params.setAttributeValue<int>("max_bb_eval", 5);
    EXPECT_EQ(5u, params.getSpValue<size_t>("MAX_BB_EVAL", false, false));
    params.setAttributeValue<int>("MAX_TIME", -7);
    EXPECT_EQ(SIZE_MAX, params.getSpValue<size_t>("MAX_TIME", false, false));
    params.setAttributeValue<int>("SEED", -1);
    EXPECT_EQ(-1, params.getSpValue<int>("SEED", false, false));

    params.setAttributeValue<std::string>("display_stats", "BBE OBJ");
    const ArrayOfString& stats = params.getSpValue<ArrayOfString>("DISPLAY_STATS", false, false);
    ASSERT_EQ(1u, stats.size());
    EXPECT_EQ("BBE OBJ", stats[0]);
    params.setAttributeValue<std::string>("BB_EXE", "my bb.exe");
    EXPECT_EQ("my bb.exe", params.getSpValue<std::string>("BB_EXE", false, false));

    params.setAttributeValue<Point>("X0", makePoint({7, 8}));
    const ArrayOfPoint& x0 = params.getSpValue<ArrayOfPoint>("X0", false, false);
    ASSERT_EQ(1u, x0.size());
    EXPECT_EQ(makePoint({7, 8}), x0[0]);
    params.setAttributeValue<Point>("FIXED_VARIABLE", makePoint({1, 2}));
    EXPECT_EQ(makePoint({1, 2}), params.getSpValue<Point>("FIXED_VARIABLE", false, false));

    params.setAttributeValue<DirectionType>("direction_type", DirectionType::NP1_UNI);
    EXPECT_EQ(DirectionType::NP1_UNI,
              params.getSpValue<DirectionType>("DIRECTION_TYPE", false, false));
}

TEST(ParametersTypedAccess, FailedWritesStoreNothingAndKeepTheFlag)
{
    TestParameters params;
    params.checkAndComply();
    const struct
    {
        const char* what;
        std::function<void()> write;
        std::string expected;
    } cases[] = {
        {"string to an unknown keyword",
         [&] { params.setAttributeValue<std::string>("NOT_A_KEYWORD", "x"); },
         "Exception: setSpValueDefault: attribute NOT_A_KEYWORD does not exist"},
        {"point to an unknown keyword",
         [&] { params.setAttributeValue<Point>("NOT_A_KEYWORD", Point()); },
         "Exception: setSpValueDefault: attribute NOT_A_KEYWORD does not exist"},
        {"int to an unknown keyword", [&] { params.setAttributeValue<int>("not_a_keyword", 1); },
         "Exception: setSpValueDefault: attribute NOT_A_KEYWORD does not exist"},
        {"size_t to an unknown keyword",
         [&] { params.setAttributeValue<size_t>("not_a_keyword", 1); },
         "Exception: setSpValueDefault: attribute NOT_A_KEYWORD does not exist"},
        {"wrong type", [&] { params.setAttributeValue<size_t>("seed", 3); },
         "Exception: setSpValueDefault<T> : the attribute SEED is of type " + typeName<int>() +
             " and not of type T = " + typeName<size_t>()},
        {"bool for a Double", [&] { params.setAttributeValue<bool>("NM_GAMMA", true); },
         "Exception: setSpValueDefault<T> : the attribute NM_GAMMA is of type " +
             typeName<Double>() + " and not of type T = " + typeName<bool>()},
        {"unknown keyword, direct", [&] { params.setSpValueDefault<int>("NOT_A_KEYWORD", 1); },
         "Exception: setSpValueDefault: attribute NOT_A_KEYWORD does not exist"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.expected, outcomeOf(c.write));
        EXPECT_FALSE(params.toBeChecked());
    }
    EXPECT_EQ(0, params.getAttributeValue<int>("SEED"));
    EXPECT_EQ("", params.getSetAttributeAsString());
}

TEST(ParametersTypedAccess, OnlySetAttributeValueMarksTheSet)
{
    TestParameters params;
    params.checkAndComply();
    params.setSpValueDefault<int>("SEED", 3);
    EXPECT_FALSE(params.toBeChecked());
    EXPECT_EQ(3, params.getAttributeValue<int>("SEED"));
    // The default is never changed by the write.
    EXPECT_EQ(0, params.getAttributeValue<int>("SEED", true));

    params.setAttributeValue<int>("DISPLAY_DEGREE", 2); // its default: still marks
    EXPECT_TRUE(params.toBeChecked());
}

TEST(ParametersTypedAccess, LogRecordsWritesAwayFromTheDefault)
{
    ProcessStateGuard guard;
    TestParameters params;
    const double gammaNearDefault = 0.5 + Double::getEpsilon() / 10;
    const struct
    {
        const char* what;
        std::function<void()> write;
        std::string entry;
    } cases[] = {
        {"value equal to the default", [&] { params.setAttributeValue<int>("DISPLAY_DEGREE", 2); },
         ""},
        {"Double within epsilon of the default",
         [&] { params.setAttributeValue<Double>("NM_GAMMA", gammaNearDefault); }, ""},
        {"size_t", [&] { params.setAttributeValue<size_t>("MAX_BB_EVAL", 100); },
         " [ MAX_BB_EVAL 100 ] "},
        {"int converted", [&] { params.setAttributeValue<int>("MAX_TIME", 60); },
         " [ MAX_TIME 60 ] "},
        {"same value again", [&] { params.setAttributeValue<int>("MAX_TIME", 60); },
         " [ MAX_TIME 60 ] "},
        {"without marking", [&] { params.setSpValueDefault<bool>("DISPLAY_ALL_EVAL", true); },
         " [ DISPLAY_ALL_EVAL 1 ] "},
        {"words", [&] { params.setAttributeValue<std::string>("DISABLE", "MODELS"); },
         " [ DISABLE MODELS ] "},
        {"point list",
         [&] {
             params.setAttributeValue<Point>("X0", makePoint({1, 2}));
         },
         " [ X0 ( 1 2 ) ] "},
        {"back to the default", [&] { params.setAttributeValue<size_t>("MAX_BB_EVAL", SIZE_MAX); },
         ""},
    };
    std::string expected;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        c.write();
        expected += c.entry;
        EXPECT_EQ(expected, params.getSetAttributeAsString());
    }
}

TEST(ParametersTypedAccess, IsAttributeDefaultValueChecksInOrder)
{
    TestParametersNoDimension other; // registers SOL_FORMAT for the process
    TestParameters params;
    params.setAttributeValue<int>("MAX_BB_EVAL", 10);
    params.checkAndComply();
    const struct
    {
        const char* what;
        std::function<bool()> query;
        std::string expected;
    } cases[] = {
        {"unknown keyword", [&] { return params.isAttributeDefaultValue<size_t>("NOT_A_KEYWORD"); },
         "Exception: isAttributeDefaultValue: attribute NOT_A_KEYWORD does not exist"},
        {"wrong type names the keyword as passed",
         [&] { return params.isAttributeDefaultValue<int>("dimension"); },
         "Exception: In isAttributeDefaultValue<T> : the attribute dimension is not of type T = " +
             typeName<int>()},
        {"default", [&] { return params.isAttributeDefaultValue<size_t>("dimension"); }, "true"},
        {"changed", [&] { return params.isAttributeDefaultValue<size_t>("MAX_BB_EVAL"); }, "false"},
        {"list default", [&] { return params.isAttributeDefaultValue<ArrayOfPoint>("X0"); },
         "true"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        bool answer = false;
        std::string outcome = outcomeOf([&] { answer = c.query(); });
        if (outcome == "ok")
        {
            outcome = answer ? "true" : "false";
        }
        EXPECT_EQ(c.expected, outcome);
    }
    EXPECT_FALSE(params.toBeChecked());
}

// ---------------------------------------------------------------------------
// Mended behaviours
// ---------------------------------------------------------------------------

TEST(ParametersTypedAccess, KeywordOfAnotherSetIsReportedAbsentByIsAttributeDefaultValue)
{
    TestParametersNoDimension other; // SOL_FORMAT is registered, but not in params
    TestParameters params;
    EXPECT_EQ("Exception: isAttributeDefaultValue: attribute SOL_FORMAT does not exist",
              outcomeOf([&] { params.isAttributeDefaultValue<ArrayOfDouble>("SOL_FORMAT"); }));
    EXPECT_EQ("Exception: isAttributeDefaultValue: attribute dimension does not exist",
              outcomeOf([&] { other.isAttributeDefaultValue<size_t>("dimension"); }));
}

TEST(ParametersTypedAccess, WriteInAnotherCaseLeavesTheTypeMapAlone)
{
    TestParameters params;
    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE(round);
        // The registered type of a text that is no key shows empty.
        EXPECT_EQ("Exception: setSpValueDefault<T> : the attribute max_bb_eval is of type  and "
                  "not of type T = " +
                      typeName<size_t>(),
                  outcomeOf([&] { params.setSpValueDefault<size_t>("max_bb_eval", 5); }));
        EXPECT_EQ(SIZE_MAX, params.getSpValue<size_t>("MAX_BB_EVAL", false, false));
        // Still no key: an exact look-up of the lower-case text fails as
        // before, it does not find a key with an empty type.
        EXPECT_EQ("Exception: getAttributeValue: attribute max_bb_eval does not exist",
                  outcomeOf([&] { params.getSpValue<size_t>("max_bb_eval", false, false); }));
    }
    // Another set registering the keyword later is not disturbed either.
    TestParameters later;
    EXPECT_EQ(SIZE_MAX, later.getSpValue<size_t>("MAX_BB_EVAL", false, false));
}

TEST(ParametersTypedAccess, UndefinedDoubleIsRefusedBeforeItIsStored)
{
    ProcessStateGuard guard;
    TestParameters params;
    params.checkAndComply();
    const struct
    {
        const char* what;
        std::function<void()> write;
    } cases[] = {
        {"setSpValueDefault", [&] { params.setSpValueDefault<Double>("NM_GAMMA", Double()); }},
        {"setAttributeValue", [&] { params.setAttributeValue<Double>("nm_gamma", Double()); }},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        EXPECT_EQ("NotDefined: QARNO::Double::todouble(): value not defined", outcomeOf(c.write));
        EXPECT_FALSE(params.toBeChecked());
        const Double& gamma = params.getAttributeValue<Double>("NM_GAMMA");
        ASSERT_TRUE(gamma.isDefined());
        EXPECT_EQ(0.5, gamma.todouble());
        EXPECT_EQ("", params.getSetAttributeAsString());
    }
}

TEST(ParametersTypedAccess, DoubleWithUndefinedDefaultCanBeWritten)
{
    ProcessStateGuard guard;
    EmptyParameters params;
    params.registerAttributes(
        {{"TEST_UNDEFINED_DOUBLE", "Double", "-", "short", "", "", "false", "false", "false"}});
    EXPECT_TRUE(params.isAttributeDefaultValue<Double>("TEST_UNDEFINED_DOUBLE"));

    params.setAttributeValue<Double>("TEST_UNDEFINED_DOUBLE", Double(1.5));
    EXPECT_EQ(" [ TEST_UNDEFINED_DOUBLE 1.5 ] ", params.getSetAttributeAsString());
    EXPECT_FALSE(params.isAttributeDefaultValue<Double>("TEST_UNDEFINED_DOUBLE"));

    params.setAttributeValue<Double>("TEST_UNDEFINED_DOUBLE", Double());
    EXPECT_EQ(" [ TEST_UNDEFINED_DOUBLE 1.5 ] ", params.getSetAttributeAsString());
    EXPECT_TRUE(params.isAttributeDefaultValue<Double>("TEST_UNDEFINED_DOUBLE"));
    EXPECT_FALSE(params.getSpValue<Double>("TEST_UNDEFINED_DOUBLE", false, false).isDefined());
}
