// Attributes and the registration of parameter sets.

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cstdint>
#include <functional>
#include <locale>
#include <memory>
#include <sstream>
#include <string>
#include <typeindex>
#include <typeinfo>
#include <vector>

#include "Param/Attribute.hpp"
#include "Param/Parameters.hpp"
#include "Param/TypeAttribute.hpp"
#include "Util/Utils.hpp"
#include "support/TestParameters.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::EmptyParameters;
using QarnoTest::outcomeOf;
using QarnoTest::ProcessStateGuard;
using QarnoTest::TestParameters;

namespace
{

template <typename T>
std::shared_ptr<Attribute> makeAttribute(const std::string& name, const T& value,
                                         const std::string& shortInfo = "")
{
    return std::make_shared<TypeAttribute<T>>(name, value, false, false, false, shortInfo);
}

std::string displayed(const Attribute& attribute, bool withShortInfo)
{
    std::ostringstream out;
    attribute.display(out, withShortInfo);
    return out.str();
}

template <typename T> std::string typeName()
{
    return typeid(T).name();
}

AttributeDefinition definition(const std::string& name, const std::string& type,
                               const std::string& defaultValue, const std::string& algo = "false",
                               const std::string& restart = "false",
                               const std::string& unique = "false")
{
    return {name, type, defaultValue, "short info", "help", "", algo, restart, unique};
}

// Groups the digits by three, as some user locales do.
struct GroupingPunct : std::numpunct<char>
{
    char do_thousands_sep() const override { return ','; }
    std::string do_grouping() const override { return "\3"; }
};

} // namespace

// ---------------------------------------------------------------------------
// Attributes
// ---------------------------------------------------------------------------

TEST(Attribute, DisplayWritesEveryValueType)
{
    ProcessStateGuard guard;
    ListOfVariableGroup groups{{0, 1}, {2}};
    const struct
    {
        std::shared_ptr<Attribute> attribute;
        std::string withoutInfo;
    } cases[] = {
        {makeAttribute<int>("SEED", INT_MAX), "SEED 2147483647"},
        {makeAttribute<int>("SEED", -1), "SEED -1"},
        {makeAttribute<size_t>("MAX_BB_EVAL", SIZE_MAX), "MAX_BB_EVAL 18446744073709551615"},
        {makeAttribute<bool>("DISPLAY_ALL_EVAL", true), "DISPLAY_ALL_EVAL 1"},
        {makeAttribute<Double>("NM_GAMMA", Double(2.5)), "NM_GAMMA 2.5"},
        {makeAttribute<Double>("H_MAX_0", Double()), "H_MAX_0 NaN"},
        {makeAttribute<Double>("H_MAX_0", Double(DBL_MAX)), "H_MAX_0 inf"},
        {makeAttribute<std::string>("BB_EXE", ""), "BB_EXE "},
        {makeAttribute<std::string>("BB_EXE", "bb.exe"), "BB_EXE bb.exe"},
        {makeAttribute<ArrayOfDouble>("LOWER_BOUND", QarnoTest::makeArray({1, 2.5})),
         "LOWER_BOUND 1 2.5"},
        {makeAttribute<Point>("FIXED_VARIABLE", Point(QarnoTest::makeArray({1, 2}))),
         "FIXED_VARIABLE ( 1 2 )"},
        {makeAttribute<ArrayOfPoint>("X0", ArrayOfPoint()), "X0 "},
        {makeAttribute<ArrayOfPoint>("X0", ArrayOfPoint{Point(QarnoTest::makeArray({1, 2})),
                                                        Point(QarnoTest::makeArray({3, 4}))}),
         "X0 ( 1 2 ) ( 3 4 )"},
        {makeAttribute<ArrayOfString>("DISPLAY_STATS", ArrayOfString("BBE OBJ", " ")),
         "DISPLAY_STATS BBE OBJ"},
        {makeAttribute<ArrayOfString>("DISABLE", ArrayOfString()), "DISABLE  - "},
        {makeAttribute<BBInputTypeList>("BB_INPUT_TYPE", BBInputTypeList()), "BB_INPUT_TYPE "},
        {makeAttribute<BBInputTypeList>(
             "BB_INPUT_TYPE",
             BBInputTypeList{BBInputType::INTEGER, BBInputType::BINARY, BBInputType::CONTINUOUS}),
         "BB_INPUT_TYPE I B R"},
        {makeAttribute<BBInputTypeList>("BB_INPUT_TYPE",
                                        BBInputTypeList{BBInputType::ALL_CONTINUOUS}),
         "BB_INPUT_TYPE R"},
        {makeAttribute<BBInputTypeList>("BB_INPUT_TYPE", BBInputTypeList{BBInputType::ALL_INTEGER}),
         "BB_INPUT_TYPE R"},
        {makeAttribute<BBInputTypeList>("BB_INPUT_TYPE", BBInputTypeList{BBInputType::ALL_BINARY}),
         "BB_INPUT_TYPE R"},
        {makeAttribute<BBOutputTypeList>("BB_OUTPUT_TYPE", BBOutputTypeList()), "BB_OUTPUT_TYPE "},
        {makeAttribute<BBOutputTypeList>("BB_OUTPUT_TYPE",
                                         BBOutputTypeList{BBOutputType::OBJ, BBOutputType::EB,
                                                          BBOutputType::PB, BBOutputType::CNT_EVAL,
                                                          BBOutputType::BBO_UNDEFINED}),
         "BB_OUTPUT_TYPE OBJ EB PB CNT_EVAL BBO_UNDEFINED"},
        {makeAttribute<LHSearchType>("LH_SEARCH", LHSearchType()), "LH_SEARCH 0 0"},
        {makeAttribute<LHSearchType>("LH_SEARCH", LHSearchType("10 5")), "LH_SEARCH 10 5"},
        {makeAttribute<DirectionType>("DIRECTION_TYPE", DirectionType::ORTHO_2N),
         "DIRECTION_TYPE ORTHO 2N"},
        {makeAttribute<EvalType>("TEST_EVAL_TYPE", EvalType::SGTE), "TEST_EVAL_TYPE SGTE"},
        {makeAttribute<TeskoraModelFeasibilityType>("TESKORA_MODEL_FEASIBILITY",
                                                    TeskoraModelFeasibilityType::M),
         "TESKORA_MODEL_FEASIBILITY M"},
        {makeAttribute<TeskoraModelFeasibilityType>("TESKORA_MODEL_FEASIBILITY",
                                                    static_cast<TeskoraModelFeasibilityType>(4)),
         "TESKORA_MODEL_FEASIBILITY UNDEFINED"},
        {makeAttribute<TeskoraModelFormulationType>("TESKORA_MODEL_FORMULATION",
                                                    static_cast<TeskoraModelFormulationType>(3)),
         "TESKORA_MODEL_FORMULATION EFI"},
        {makeAttribute<TeskoraModelFormulationType>("TESKORA_MODEL_FORMULATION",
                                                    static_cast<TeskoraModelFormulationType>(10)),
         "TESKORA_MODEL_FORMULATION UNDEFINED"},
        {makeAttribute<ListOfVariableGroup>("VARIABLE_GROUP", ListOfVariableGroup()),
         "VARIABLE_GROUP "},
        {makeAttribute<ListOfVariableGroup>("VARIABLE_GROUP", groups),
         "VARIABLE_GROUP  ( 0 1 )   ( 2 ) "},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.withoutInfo);
        EXPECT_EQ(c.withoutInfo, displayed(*c.attribute, false));
        // No short info: nothing more with the flag either.
        EXPECT_EQ(c.withoutInfo, displayed(*c.attribute, true));
    }
}

TEST(Attribute, DisplayAddsShortInfoInParentheses)
{
    TypeAttribute<std::string> exe("BB_EXE", "", false, false, true, " Blackbox executable ");
    EXPECT_EQ("BB_EXE ", displayed(exe, false));
    EXPECT_EQ("BB_EXE  ( Blackbox executable )", displayed(exe, true));

    TypeAttribute<size_t> budget("MAX_BB_EVAL", SIZE_MAX, false, true, true, "budget");
    EXPECT_EQ("MAX_BB_EVAL 18446744073709551615 (budget)", displayed(budget, true));
}

TEST(Attribute, DisplayOfNumbersIgnoresTheStreamLocale)
{
    std::ostringstream out;
    out.imbue(std::locale(std::locale::classic(), new GroupingPunct));
    TypeAttribute<size_t>("MAX_BB_EVAL", 1234567, false, false, false, "").display(out, false);
    out << "|";
    TypeAttribute<int>("SEED", -1234567, false, false, false, "").display(out, false);
    out << "|";
    TypeAttribute<LHSearchType>("LH_SEARCH", LHSearchType("1000 2000"), false, false, false, "")
        .display(out, false);
    EXPECT_EQ("MAX_BB_EVAL 1234567|SEED -1234567|LH_SEARCH 1000 2000", out.str());
}

TEST(Attribute, BaseDisplayWritesNameAndShortInfoOnly)
{
    struct Plain : Attribute
    {
        Plain() : Attribute("PLAIN", true, false, true, "info", "help", "words") {}
        void resetToDefaultValue() override {}
    } plain;
    EXPECT_EQ("PLAIN  (info)", displayed(plain, true));
    EXPECT_EQ("PLAIN ", displayed(plain, false));
    EXPECT_EQ("info", plain.getShortInfo());
    EXPECT_EQ("help", plain.getHelpInfo());
    EXPECT_EQ("words", plain.getKeywords());
    EXPECT_TRUE(plain.isForAlgoCompatibilityCheck());
    EXPECT_FALSE(plain.isRestartAttribute());
    EXPECT_TRUE(plain.getParamFromUniqueEntry());
}

TEST(Attribute, ResetRestoresTheRegistrationValue)
{
    TypeAttribute<ArrayOfPoint> x0("X0", ArrayOfPoint{Point(QarnoTest::makeArray({1, 2}))}, false,
                                   false, false, "start");
    EXPECT_TRUE(x0.isDefaultValue());
    x0.setValue(
        ArrayOfPoint{Point(QarnoTest::makeArray({0, 0})), Point(QarnoTest::makeArray({5, 5}))});
    EXPECT_FALSE(x0.isDefaultValue());
    x0.resetToDefaultValue();
    EXPECT_TRUE(x0.isDefaultValue());
    ASSERT_EQ(1u, x0.getValue().size());
    EXPECT_EQ(QarnoTest::makeArray({1, 2}), x0.getValue()[0]);
}

TEST(Attribute, TwoAttributesBuiltAlikeAreIndependent)
{
    TypeAttribute<ArrayOfString> a("DISABLE", ArrayOfString("A", " "), false, false, false, "x");
    TypeAttribute<ArrayOfString> b("DISABLE", ArrayOfString("A", " "), false, false, false, "x");
    a.setValue(ArrayOfString("B C", " "));
    EXPECT_EQ(ArrayOfString("A", " "), b.getValue());
    EXPECT_EQ(2u, a.getValue().size());
}

TEST(Attribute, UndefinedDoubleEqualsOnlyAnUndefinedDefault)
{
    TypeAttribute<Double> undefinedDefault("D", Double(), false, false, false, "x");
    EXPECT_TRUE(undefinedDefault.isDefaultValue());
    undefinedDefault.setValue(Double(1.5));
    EXPECT_FALSE(undefinedDefault.isDefaultValue());

    TypeAttribute<Double> definedDefault("D", Double(0.5), false, false, false, "x");
    definedDefault.setValue(Double());
    EXPECT_FALSE(definedDefault.isDefaultValue());
    definedDefault.setValue(Double(0.5 + Double::getEpsilon() / 10));
    EXPECT_TRUE(definedDefault.isDefaultValue());
}

// ---------------------------------------------------------------------------
// Registration
// ---------------------------------------------------------------------------

TEST(ParametersRegistration, NewSetIsEmptyUnknownAndToBeChecked)
{
    EmptyParameters params;
    EXPECT_TRUE(params.toBeChecked());
    EXPECT_TRUE(params.getAttributes().empty());
    EXPECT_EQ("Empty", params.getTypeName());
    EXPECT_EQ("", params.getSetAttributeAsString());
}

TEST(ParametersRegistration, KeywordIsUpperCasedAndFoundInAnyCase)
{
    EmptyParameters params;
    params.registerAttributes({definition("test_reg_lower", "int", "3")});
    for (const std::string name : {"TEST_REG_LOWER", "test_reg_lower", "Test_Reg_Lower"})
    {
        SCOPED_TRACE(name);
        ASSERT_NE(nullptr, params.getAttribute(name));
        EXPECT_EQ("TEST_REG_LOWER", params.getAttribute(name)->getName());
        EXPECT_TRUE(params.isRegisteredAttribute(name));
    }
    EXPECT_EQ(nullptr, params.getAttribute("TEST_REG_UNKNOWN"));
    EXPECT_FALSE(params.isRegisteredAttribute("TEST_REG_UNKNOWN"));
    EXPECT_EQ(3, params.getSpValue<int>("TEST_REG_LOWER", false, false));
}

TEST(ParametersRegistration, DefaultTextsAreReadByType)
{
    ProcessStateGuard guard;
    const struct
    {
        AttributeDefinition def;
        std::string display;
    } cases[] = {
        {definition("test_def_size_inf", "size_t", "INF"),
         "TEST_DEF_SIZE_INF 18446744073709551615"},
        {definition("test_def_size_inf_lc", "size_t", "inf"),
         "TEST_DEF_SIZE_INF_LC 18446744073709551615"},
        {definition("test_def_size_plus_inf", "size_t", "+INF"),
         "TEST_DEF_SIZE_PLUS_INF 18446744073709551615"},
        {definition("test_def_size", "size_t", "12"), "TEST_DEF_SIZE 12"},
        {definition("test_def_int_neg", "int", "-1"), "TEST_DEF_INT_NEG -1"},
        {definition("test_def_int_inf", "int", "+inf"), "TEST_DEF_INT_INF 2147483647"},
        {definition("test_def_double_undef", "Double", "-"), "TEST_DEF_DOUBLE_UNDEF NaN"},
        {definition("test_def_double_inf", "QARNO::Double", "QARNO::INF"),
         "TEST_DEF_DOUBLE_INF inf"},
        {definition("test_def_double", "Double", "1e-13"), "TEST_DEF_DOUBLE 1e-13"},
        {definition("test_def_bool", "bool", "yes"), "TEST_DEF_BOOL 1"},
        {definition("test_def_string_dash", "string", "-"), "TEST_DEF_STRING_DASH -"},
        {definition("test_def_string_empty", "std::string", ""), "TEST_DEF_STRING_EMPTY "},
        {definition("test_def_aod", "ArrayOfDouble", "N/A"), "TEST_DEF_AOD "},
        {definition("test_def_aod_q", "QARNO::ArrayOfDouble", "-"), "TEST_DEF_AOD_Q "},
        {definition("test_def_point", "QARNO::Point", "N/A"), "TEST_DEF_POINT (  )"},
        {definition("test_def_aop", "ArrayOfPoint", "-"), "TEST_DEF_AOP "},
        {definition("test_def_lh_dash", "QARNO::LHSearchType", "-"), "TEST_DEF_LH_DASH 0 0"},
        {definition("test_def_lh", "LHSearchType", "10 5"), "TEST_DEF_LH 10 5"},
        {definition("test_def_words", "ArrayOfString", "BBE OBJ"), "TEST_DEF_WORDS BBE OBJ"},
        {definition("test_def_no_words", "QARNO::ArrayOfString", ""), "TEST_DEF_NO_WORDS  - "},
        {definition("test_def_bbit", "BBInputTypeList", "( R I B )"), "TEST_DEF_BBIT R I B"},
        {definition("test_def_bbot", "QARNO::BBOutputTypeList", "OBJ PB EB"),
         "TEST_DEF_BBOT OBJ PB EB"},
        {definition("test_def_feas", "TeskoraModelFeasibilityType", "H"), "TEST_DEF_FEAS H"},
        {definition("test_def_form", "QARNO::TeskoraModelFormulationType", "EFI"),
         "TEST_DEF_FORM EFI"},
        {definition("test_def_eval", "EvalType", "SGTE"), "TEST_DEF_EVAL SGTE"},
        {definition("test_def_dir", "QARNO::DirectionType", "ORTHO 2N"), "TEST_DEF_DIR ORTHO 2N"},
        {definition("test_def_groups", "ListOfVariableGroup", "N/A"), "TEST_DEF_GROUPS "},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.def._name);
        EmptyParameters params;
        params.registerAttributes({c.def});
        const auto attribute = params.getAttribute(c.def._name);
        ASSERT_NE(nullptr, attribute);
        EXPECT_EQ(c.display, displayed(*attribute, false));
    }

    EmptyParameters params;
    params.registerAttributes({definition("test_def_lh_off", "LHSearchType", "-"),
                               definition("test_def_words2", "ArrayOfString", "BBE OBJ")});
    EXPECT_FALSE(params.getSpValue<LHSearchType>("TEST_DEF_LH_OFF", false, false).isEnabled());
    const ArrayOfString& words = params.getSpValue<ArrayOfString>("TEST_DEF_WORDS2", false, false);
    ASSERT_EQ(2u, words.size());
    EXPECT_EQ("BBE", words[0]);
    EXPECT_EQ("OBJ", words[1]);
}

TEST(ParametersRegistration, FlagsAndTextsComeFromTheDefinition)
{
    const struct
    {
        const char* name;
        const char* algo;
        const char* restart;
        const char* unique;
        bool expectAlgo;
        bool expectRestart;
        bool expectUnique;
    } cases[] = {
        {"TEST_FLAGS_A", "true", "false", "TRUE", true, false, true},
        {"TEST_FLAGS_B", "YES", "1", "no", true, true, false},
        {"TEST_FLAGS_C", "yes", "N", "0", true, false, false},
        {"TEST_FLAGS_D", "FALSE", "Y", "1", false, true, true},
    };
    EmptyParameters params;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        params.registerAttributes(
            {{c.name, "int", "0", "short", "help", "words", c.algo, c.restart, c.unique}});
        const auto attribute = params.getAttribute(c.name);
        ASSERT_NE(nullptr, attribute);
        EXPECT_EQ(c.expectAlgo, attribute->isForAlgoCompatibilityCheck());
        EXPECT_EQ(c.expectRestart, attribute->isRestartAttribute());
        EXPECT_EQ(c.expectUnique, attribute->getParamFromUniqueEntry());
        EXPECT_EQ("short", attribute->getShortInfo());
        EXPECT_EQ("help", attribute->getHelpInfo());
        EXPECT_EQ("words", attribute->getKeywords());
    }
}

TEST(ParametersRegistration, FailuresNameTheDefinition)
{
    auto readerMessage = [](const std::function<void()>& op) { return outcomeOf(op); };
    const struct
    {
        AttributeDefinition def;
        std::string expected;
    } cases[] = {
        {definition("test_fail_size_neg", "size_t", "-1"), readerMessage(
                                                               []
                                                               {
                                                                   size_t v;
                                                                   atost("-1", v);
                                                               })},
        {definition("test_fail_size", "size_t", "abc"),
         "Exception: Invalid size_t attribute definition: test_fail_size. Infinity is set with "
         "INF or +INF."},
        {definition("test_fail_int", "int", "1.5"),
         "Exception: Invalid int attribute definition: test_fail_int. Infinity is set with INF "
         "or +INF or -INF."},
        {definition("test_fail_double", "Double", "abc"),
         "Exception: Invalid format for QARNO::Double attribute definition: test_fail_double. "
         "Infinity is set with QARNO::INF or INF."},
        {definition("test_fail_bool", "bool", "maybe"),
         readerMessage([] { stringToBool("maybe"); })},
        {definition("test_fail_point", "Point", ""),
         "Exception: Invalid attribute definition: test_fail_point. A Point must have an "
         "undefined default value \"-\" or \"N/A\" "},
        {definition("test_fail_aop", "QARNO::ArrayOfPoint", "( 1 2 )"),
         "Exception: Invalid attribute definition: test_fail_aop (( 1 2 )). A ArrayOfPoint must "
         "have an undefined default value \"-\" or \"N/A\" "},
        {definition("test_fail_aod", "ArrayOfDouble", "0"),
         "Exception: Invalid attribute definition: test_fail_aod (0). An ArrayOfDouble must have "
         "an undefined default value \"-\" or \"N/A\" "},
        {definition("test_fail_groups", "QARNO::ListOfVariableGroup", ""),
         "Exception: Invalid attribute definition: test_fail_groups (). A ListOfVariableGroup "
         "must have an undefined default value \"-\" or \"N/A\" "},
        {definition("test_fail_aod_na", "ArrayOfDouble", "n/a"),
         "Exception: Invalid attribute definition: test_fail_aod_na (n/a). An ArrayOfDouble must "
         "have an undefined default value \"-\" or \"N/A\" "},
        {definition("test_fail_lh", "LHSearchType", "10"),
         readerMessage([] { LHSearchType("10"); })},
        {definition("test_fail_dir", "DirectionType", "ORTHO N+1 NEG"),
         readerMessage([] { stringToDirectionType("ORTHO N+1 NEG"); })},
        {definition("test_fail_eval", "EvalType", "UNDEFINED"),
         readerMessage([] { stringToEvalType("UNDEFINED"); })},
        {definition("test_fail_bbot", "BBOutputTypeList", "OBJ XX"),
         readerMessage([] { stringToBBOutputTypeList("OBJ XX"); })},
        {definition("test_fail_lower_double", "double", "1"),
         "Exception: Unknown attribute type definition: test_fail_lower_double type: double"},
        {definition("test_fail_prefixed_int", "QARNO::int", "1"),
         "Exception: Unknown attribute type definition: test_fail_prefixed_int type: QARNO::int"},
        // The flags are read before the type word is looked at.
        {definition("test_fail_flag", "double", "1", "true", "maybe"),
         readerMessage([] { stringToBool("maybe"); })},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.def._name);
        ASSERT_NE("ok", c.expected);
        EmptyParameters params;
        EXPECT_EQ(c.expected, outcomeOf([&] { params.registerAttributes({c.def}); }));
        EXPECT_FALSE(params.isRegisteredAttribute(c.def._name));
        EXPECT_EQ(nullptr, Parameters::findTypeOfAttribute(c.def._name));
    }
}

TEST(ParametersRegistration, StopsAtTheFirstFailingDefinition)
{
    EmptyParameters params;
    const std::string outcome = outcomeOf(
        [&]
        {
            params.registerAttributes({definition("TEST_STOP_FIRST", "int", "1"),
                                       definition("TEST_STOP_BAD", "nothing", "1"),
                                       definition("TEST_STOP_LAST", "int", "1")});
        });
    EXPECT_EQ("Exception: Unknown attribute type definition: TEST_STOP_BAD type: nothing", outcome);
    EXPECT_TRUE(params.isRegisteredAttribute("TEST_STOP_FIRST"));
    EXPECT_FALSE(params.isRegisteredAttribute("TEST_STOP_BAD"));
    EXPECT_FALSE(params.isRegisteredAttribute("TEST_STOP_LAST"));
}

TEST(ParametersRegistration, SameKeywordTwiceInOneSetFails)
{
    EmptyParameters params;
    params.registerAttributes({definition("TEST_TWICE", "int", "1")});
    EXPECT_EQ(
        "Exception: Attribute TEST_TWICE is already in set of attributes.",
        outcomeOf([&] { params.registerAttributes({definition("test_twice", "int", "2")}); }));
    EXPECT_EQ(1u, params.getAttributes().size());
    EXPECT_EQ(1, params.getSpValue<int>("TEST_TWICE", false, false));
}

TEST(ParametersRegistration, KeywordKeepsItsFirstTypeAcrossSets)
{
    EmptyParameters first;
    first.registerAttributes({definition("TEST_CONFLICT", "int", "1")});
    EmptyParameters second;
    EXPECT_EQ(
        "Exception: Trying to add attribute TEST_CONFLICT with type " + typeName<size_t>() +
            " which is different from registered type " + typeName<int>(),
        outcomeOf([&]
                  { second.registerAttributes({definition("TEST_CONFLICT", "size_t", "2")}); }));
    // The attribute stays in the second set, and the process keeps int.
    EXPECT_TRUE(second.isRegisteredAttribute("TEST_CONFLICT"));
    ASSERT_NE(nullptr, Parameters::findTypeOfAttribute("TEST_CONFLICT"));
    EXPECT_EQ(std::type_index(typeid(int)), *Parameters::findTypeOfAttribute("TEST_CONFLICT"));
    // Neither type reads it from the second set; nothing is misread.
    EXPECT_EQ("Exception: In getAttributeValue<T> the attribute TEST_CONFLICT is not of type T = " +
                  typeName<int>(),
              outcomeOf([&] { second.getSpValue<int>("TEST_CONFLICT", false, false); }));
    EXPECT_EQ("Exception: In getAttributeValue<T> the attribute TEST_CONFLICT is not of type T = " +
                  typeName<size_t>(),
              outcomeOf([&] { second.getSpValue<size_t>("TEST_CONFLICT", false, false); }));
    EXPECT_EQ("Exception: setSpValueDefault<T> : the attribute TEST_CONFLICT is of type " +
                  typeName<int>() + " and not of type T = " + typeName<int>(),
              outcomeOf([&] { second.setSpValueDefault<int>("TEST_CONFLICT", 3); }));
}

TEST(ParametersRegistration, RegisterAttributeTakesOneToThreeTexts)
{
    EmptyParameters params;
    params.registerAttribute<Double>("test_one_text", Double(1e-13), true, true, false,
                                     " Precision ");
    params.registerAttribute<std::string>("TEST_THREE_TEXTS", std::string("4.0.0"), false, false,
                                          true, "version", "help text", "advanced");
    const auto one = params.getAttribute("TEST_ONE_TEXT");
    ASSERT_NE(nullptr, one);
    EXPECT_EQ(" Precision ", one->getShortInfo());
    EXPECT_EQ("", one->getHelpInfo());
    EXPECT_EQ("", one->getKeywords());
    EXPECT_TRUE(one->isForAlgoCompatibilityCheck());
    const auto three = params.getAttribute("TEST_THREE_TEXTS");
    ASSERT_NE(nullptr, three);
    EXPECT_EQ("help text", three->getHelpInfo());
    EXPECT_EQ("advanced", three->getKeywords());
    EXPECT_TRUE(three->getParamFromUniqueEntry());
    EXPECT_NO_THROW(params.checkInfo());
}

TEST(ParametersRegistration, AttributesIterateInByteOrder)
{
    TestParameters params;
    std::vector<std::string> names;
    for (const auto& attribute : params.getAttributes())
    {
        names.push_back(attribute->getName());
    }
    ASSERT_EQ(TestParameters::definitions().size(), names.size());
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    const auto it = std::find(names.begin(), names.end(), "MAX_ITERATIONS");
    ASSERT_NE(names.end(), it);
    EXPECT_EQ("MAX_ITERATION_PER_MEGAITERATION", *(it + 1));
}

TEST(ParametersRegistration, GetAttributesSharesTheAttributeObjects)
{
    TestParameters params;
    const auto copy = params.getAttributes();
    for (const auto& attribute : copy)
    {
        if (attribute->getName() == "SEED")
        {
            static_cast<TypeAttribute<int>&>(*attribute).setValue(42);
        }
    }
    EXPECT_EQ(42, params.getSpValue<int>("SEED", false, false));
}

TEST(ParametersRegistration, CheckInfoNeedsShortInfoOrHelp)
{
    const struct
    {
        const char* shortInfo;
        const char* help;
        bool passes;
    } cases[] = {
        {"short", "", true},
        {"", "help", true},
        {"short", "help", true},
        {"", "", false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string(c.shortInfo) + "|" + c.help);
        EmptyParameters params;
        params.registerAttributes(
            {{"TEST_INFO", "int", "1", c.shortInfo, c.help, "", "false", "false", "false"}});
        params.setAttributeValue<int>("TEST_INFO", 5);
        EXPECT_EQ(c.passes ? "ok"
                           : "Exception: Check: empty info (Short info and/or Help info) for "
                             "attribute TEST_INFO!",
                  outcomeOf([&] { params.checkInfo(); }));
        // Nothing changes either way.
        EXPECT_TRUE(params.toBeChecked());
        EXPECT_EQ(5, params.getSpValue<int>("TEST_INFO", false, false));
    }
}

TEST(ParametersRegistration, CheckInfoSeesAttributesRegisteredAfterAPassedCheck)
{
    EmptyParameters params;
    params.registerAttributes(
        {{"TEST_INFO_OK", "int", "1", "short", "", "", "false", "false", "false"}});
    EXPECT_EQ("ok", outcomeOf([&] { params.checkInfo(); }));
    params.registerAttributes(
        {{"TEST_INFO_LATE", "int", "1", "", "", "", "false", "false", "false"}});
    EXPECT_EQ("Exception: Check: empty info (Short info and/or Help info) for attribute "
              "TEST_INFO_LATE!",
              outcomeOf([&] { params.checkInfo(); }));
}

TEST(ParametersRegistration, CheckInfoReportsTheFirstAttributeInNameOrder)
{
    EmptyParameters params;
    params.registerAttributes(
        {{"TEST_INFO_Z", "int", "1", "", "", "", "false", "false", "false"},
         {"TEST_INFO_B", "int", "1", "", "", "", "false", "false", "false"},
         {"TEST_INFO_A", "int", "1", "short", "", "", "false", "false", "false"}});
    EXPECT_EQ("Exception: Check: empty info (Short info and/or Help info) for attribute "
              "TEST_INFO_B!",
              outcomeOf([&] { params.checkInfo(); }));
}

TEST(ParametersRegistration, SeveralSetsOfOneKindRegisterTheSameKeywords)
{
    // Twice in one process: keyword types recorded by the first set suit
    // the second.
    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE(round);
        TestParameters params;
        EXPECT_EQ(TestParameters::definitions().size(), params.getAttributes().size());
        params.setAttributeValue<size_t>("MAX_BB_EVAL", 100);
        params.checkAndComply();
        EXPECT_EQ(100u, params.getAttributeValue<size_t>("MAX_BB_EVAL"));
    }
}
