#include "Type/BBInputType.hpp"
#include "Type/BBOutputType.hpp"
#include "Type/DirectionType.hpp"
#include "Type/EvalType.hpp"
#include "Type/TeskoraModelFeasibilityType.hpp"
#include "Type/TeskoraModelFormulationType.hpp"
#include "support/TestSupport.hpp"

#include <list>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Util/Exception.hpp"

namespace
{

using namespace QARNO_4_0_0;
using QarnoTest::messageOf;

// The message of the library exception that `f` throws, or a marker when it
// throws nothing.
template <typename F> std::string thrownMessage(F&& f)
{
    try
    {
        f();
    }
    catch (const Exception& e)
    {
        return messageOf(e);
    }
    return "<no exception>";
}

// ---------------------------------------------------------------------------
// BBInputType
// ---------------------------------------------------------------------------

TEST(BBInputTypeReader, AcceptsEveryWordInAnyCase)
{
    const struct
    {
        const char* text;
        BBInputType expected;
        int value;
    } cases[] = {
        {"R", BBInputType::CONTINUOUS, 0},      {"r", BBInputType::CONTINUOUS, 0},
        {"*R", BBInputType::ALL_CONTINUOUS, 1}, {"*r", BBInputType::ALL_CONTINUOUS, 1},
        {"I", BBInputType::INTEGER, 2},         {"i", BBInputType::INTEGER, 2},
        {"*I", BBInputType::ALL_INTEGER, 3},    {"*i", BBInputType::ALL_INTEGER, 3},
        {"B", BBInputType::BINARY, 4},          {"b", BBInputType::BINARY, 4},
        {"*B", BBInputType::ALL_BINARY, 5},     {"*b", BBInputType::ALL_BINARY, 5},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        const BBInputType type = stringToBBInputType(c.text);
        EXPECT_EQ(c.expected, type);
        EXPECT_EQ(c.value, static_cast<int>(type));
    }
}

TEST(BBInputTypeReader, RefusesOtherWordsNamingTheUpperCasedWord)
{
    const struct
    {
        const char* text;
        const char* message;
    } cases[] = {
        {"x", "Unrecognized string for QARNO::BBInputType: X"},
        {"", "Unrecognized string for QARNO::BBInputType: "},
        {"real", "Unrecognized string for QARNO::BBInputType: REAL"},
        {"* r", "Unrecognized string for QARNO::BBInputType: * R"},
        {"**r", "Unrecognized string for QARNO::BBInputType: **R"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.message, thrownMessage([&] { stringToBBInputType(c.text); }));
    }
}

TEST(BBInputTypeListReader, ReadsTheThreeForms)
{
    const struct
    {
        const char* text;
        BBInputTypeList expected;
    } cases[] = {
        {"", {}},
        {"   ", {}},
        {"( )", {}},
        {"(  )", {}},
        {"( r i b )", {BBInputType::CONTINUOUS, BBInputType::INTEGER, BBInputType::BINARY}},
        {"( R R )", {BBInputType::CONTINUOUS, BBInputType::CONTINUOUS}},
        {"* I", {BBInputType::ALL_INTEGER}},
        {"*R", {BBInputType::ALL_CONTINUOUS}},
        {"* R", {BBInputType::ALL_CONTINUOUS}},
        {"*r", {BBInputType::ALL_CONTINUOUS}},
        {"  *  b ", {BBInputType::ALL_BINARY}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string("'") + c.text + "'");
        EXPECT_EQ(c.expected, stringToBBInputTypeList(c.text));
    }
}

TEST(BBInputTypeListReader, RefusesOtherFormsWithTheirOwnMessage)
{
    const struct
    {
        const char* text;
        const char* message;
    } cases[] = {
        // Whole text as written, not upper-cased.
        {"R", "Unrecognized string for QARNO::BBInputType: R"},
        {"r", "Unrecognized string for QARNO::BBInputType: r"},
        {"R I B", "Unrecognized string for QARNO::BBInputType: R I B"},
        {"( *R )", "Unrecognized string for QARNO::BBInputType: ( *R )"},
        {"( r * )", "Unrecognized string for QARNO::BBInputType: ( r * )"},
        {"(R I)", "Unrecognized string for QARNO::BBInputType: (R I)"},
        {"( R I", "Unrecognized string for QARNO::BBInputType: ( R I"},
        {"(", "Unrecognized string for QARNO::BBInputType: ("},
        // One word of the list, upper-cased.
        {"( R x )", "Unrecognized string for QARNO::BBInputType: X"},
        // The starred words glued together, upper-cased.
        {"* R I", "Unrecognized string for QARNO::BBInputType: *RI"},
        {"* r x", "Unrecognized string for QARNO::BBInputType: *RX"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string("'") + c.text + "'");
        EXPECT_EQ(c.message, thrownMessage([&] { stringToBBInputTypeList(c.text); }));
    }
}

// ---------------------------------------------------------------------------
// BBOutputType
// ---------------------------------------------------------------------------

TEST(BBOutputTypeReader, AcceptsEveryWordInAnyCase)
{
    const struct
    {
        const char* text;
        BBOutputType expected;
        int value;
    } cases[] = {
        {"OBJ", BBOutputType::OBJ, 0},
        {"obj", BBOutputType::OBJ, 0},
        {"EB", BBOutputType::EB, 1},
        {"Eb", BBOutputType::EB, 1},
        {"PB", BBOutputType::PB, 2},
        {"pb", BBOutputType::PB, 2},
        {"CNT_EVAL", BBOutputType::CNT_EVAL, 3},
        {"cnt_eval", BBOutputType::CNT_EVAL, 3},
        {"BBO_UNDEFINED", BBOutputType::BBO_UNDEFINED, 4},
        {"EXTRA_O", BBOutputType::BBO_UNDEFINED, 4},
        {"extra_o", BBOutputType::BBO_UNDEFINED, 4},
        {"NOTHING", BBOutputType::BBO_UNDEFINED, 4},
        {"Nothing", BBOutputType::BBO_UNDEFINED, 4},
        {"-", BBOutputType::BBO_UNDEFINED, 4},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        const BBOutputType bbot = stringToBBOutputType(c.text);
        EXPECT_EQ(c.expected, bbot);
        EXPECT_EQ(c.value, static_cast<int>(bbot));
    }
}

TEST(BBOutputTypeReader, RefusesOtherWordsNamingTheUpperCasedWord)
{
    const struct
    {
        const char* text;
        const char* message;
    } cases[] = {
        {"x", "Unrecognized string for QARNO::BBOutputType: X"},
        {"", "Unrecognized string for QARNO::BBOutputType: "},
        {"objective", "Unrecognized string for QARNO::BBOutputType: OBJECTIVE"},
        {"cnt eval", "Unrecognized string for QARNO::BBOutputType: CNT EVAL"},
        {"--", "Unrecognized string for QARNO::BBOutputType: --"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.message, thrownMessage([&] { stringToBBOutputType(c.text); }));
    }
}

TEST(BBOutputTypeListReader, ReadsEachWordInOrder)
{
    const struct
    {
        const char* text;
        BBOutputTypeList expected;
    } cases[] = {
        {"", {}},
        {"   ", {}},
        {"OBJ", {BBOutputType::OBJ}},
        {"OBJ  pb  Nothing", {BBOutputType::OBJ, BBOutputType::PB, BBOutputType::BBO_UNDEFINED}},
        {" eb OBJ cnt_eval - ",
         {BBOutputType::EB, BBOutputType::OBJ, BBOutputType::CNT_EVAL,
          BBOutputType::BBO_UNDEFINED}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string("'") + c.text + "'");
        EXPECT_EQ(c.expected, stringToBBOutputTypeList(c.text));
    }
    EXPECT_EQ("Unrecognized string for QARNO::BBOutputType: X",
              thrownMessage([] { stringToBBOutputTypeList("OBJ X"); }));
    EXPECT_EQ("Unrecognized string for QARNO::BBOutputType: EB,PB",
              thrownMessage([] { stringToBBOutputTypeList("OBJ eb,pb"); }));
}

TEST(BBOutputTypeListWriter, WritesEachNameFollowedByABlank)
{
    const struct
    {
        const char* name;
        BBOutputTypeList list;
        const char* expected;
    } cases[] = {
        {"empty", {}, ""},
        {"obj pb", {BBOutputType::OBJ, BBOutputType::PB}, "OBJ PB "},
        {"all",
         {BBOutputType::OBJ, BBOutputType::EB, BBOutputType::PB, BBOutputType::CNT_EVAL,
          BBOutputType::BBO_UNDEFINED},
         "OBJ EB PB CNT_EVAL BBO_UNDEFINED "},
        {"out of range",
         {static_cast<BBOutputType>(7), static_cast<BBOutputType>(-1), BBOutputType::OBJ},
         "BBO_UNDEFINED BBO_UNDEFINED OBJ "},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, BBOutputTypeListToString(c.list));
    }
}

TEST(BBOutputTypeListWriter, ReadsBackToTheSameList)
{
    const BBOutputTypeList lists[] = {
        {},
        {BBOutputType::OBJ},
        {BBOutputType::PB, BBOutputType::OBJ, BBOutputType::EB, BBOutputType::CNT_EVAL,
         BBOutputType::BBO_UNDEFINED, BBOutputType::EB},
    };
    for (const auto& list : lists)
    {
        SCOPED_TRACE(BBOutputTypeListToString(list));
        EXPECT_EQ(list, stringToBBOutputTypeList(BBOutputTypeListToString(list)));
    }
}

TEST(BBOutputTypeConstraints, OnlyEBAndPBAreConstraints)
{
    const struct
    {
        BBOutputType bbot;
        bool constraint;
    } cases[] = {
        {BBOutputType::OBJ, false},
        {BBOutputType::EB, true},
        {BBOutputType::PB, true},
        {BBOutputType::CNT_EVAL, false},
        {BBOutputType::BBO_UNDEFINED, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(static_cast<int>(c.bbot));
        EXPECT_EQ(c.constraint, BBOutputTypeIsConstraint(c.bbot));
        EXPECT_EQ(c.constraint, isConstraint(c.bbot));
    }
}

TEST(BBOutputTypeConstraints, CountsConstraintsAndObjectives)
{
    const struct
    {
        const char* text;
        size_t nbConstraints;
        size_t nbObj;
    } cases[] = {
        {"", 0, 0},
        {"OBJ EB PB CNT_EVAL", 2, 1},
        {"OBJ OBJ NOTHING", 0, 2},
        {"PB PB EB EXTRA_O", 3, 0},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        const BBOutputTypeList list = stringToBBOutputTypeList(c.text);
        EXPECT_EQ(c.nbConstraints, getNbConstraints(list));
        EXPECT_EQ(c.nbObj, getNbObj(list));
    }
}

// ---------------------------------------------------------------------------
// DirectionType
// ---------------------------------------------------------------------------

TEST(DirectionTypeReader, AcceptsEverySupportedText)
{
    const struct
    {
        const char* text;
        DirectionType expected;
    } cases[] = {
        {"ORTHO 2N", DirectionType::ORTHO_2N},
        {"ortho 2n", DirectionType::ORTHO_2N},
        {"N+1 UNI", DirectionType::NP1_UNI},
        {"n+1 uni", DirectionType::NP1_UNI},
        {"ORTHO N+1 UNI", DirectionType::NP1_UNI},
        {"Ortho n+1 Uni", DirectionType::NP1_UNI},
        {"SINGLE", DirectionType::SINGLE},
        {"single", DirectionType::SINGLE},
        {"ORTHO 1", DirectionType::SINGLE},
        {"DOUBLE", DirectionType::DOUBLE},
        {"Double", DirectionType::DOUBLE},
        {"ORTHO 2", DirectionType::DOUBLE},
        {"ORTHO", DirectionType::ORTHO_NP1_QUAD},
        {"ortho", DirectionType::ORTHO_NP1_QUAD},
        // Words after the deciding ones are not looked at.
        {"SINGLE X", DirectionType::SINGLE},
        {"DOUBLE X Y Z", DirectionType::DOUBLE},
        {"ORTHO 2N X", DirectionType::ORTHO_2N},
        {"ORTHO 1 X Y", DirectionType::SINGLE},
        {"N+1 UNI X", DirectionType::NP1_UNI},
        {"ORTHO N+1 UNI X", DirectionType::NP1_UNI},
        // A trailing blank makes an empty word that is never examined here.
        {"ORTHO 2N ", DirectionType::ORTHO_2N},
        {"SINGLE ", DirectionType::SINGLE},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string("'") + c.text + "'");
        EXPECT_EQ(c.expected, stringToDirectionType(std::string(c.text)));
    }
}

TEST(DirectionTypeReader, RefusesWithTheMessageOfEachFailure)
{
    const std::string strings = "List of strings cannot be converted to QARNO::DirectionType  ";
    const std::string string = "List of string cannot be converted to QARNO::DirectionType  ";
    const std::string quad = "ORTHO N+1 QUAD direction type not yet supported";
    const std::string neg = "ORTHO N+1 NEG direction type not yet supported";
    const std::string lt = "LT direction type not yet supported";
    const std::string gps = "GPS direction type not yet supported";
    const struct
    {
        const char* text;
        std::string message;
    } cases[] = {
        {"ORTHO N+1 QUAD", quad},
        {"ortho n+1 quad", quad},
        {"ORTHO N+1", quad},
        {"ORTHO N+1 NEG", neg},
        {"ORTHO N+1 neg X", neg},
        {"LT", lt},
        {"lt", lt},
        {"ORTHO LT", lt},
        {"ORTHO N+1 LT", lt},
        {"LT 2N X", lt},
        {"GPS", gps},
        {"ORTHO gps", gps},
        {"ORTHO N+1 GPS", gps},
        {"V W X Y Z", string + "VWXYZ"},
        {"ortho 2n a b c", string + "ORTHO2NABC"},
        {"N+1", strings + "N+1"},
        {"N+1 LT", strings + "N+1LT"},
        {"UNI", strings + "UNI"},
        {"ORTHO XYZ", strings + "ORTHOXYZ"},
        {"ortho n+1 xyz", strings + "ORTHON+1XYZ"},
        {"ORTHO 2N2", strings + "ORTHO2N2"},
        {"ORTHO 3", strings + "ORTHO3"},
        {"2N", strings + "2N"},
        {"SINGLEX", strings + "SINGLEX"},
        // Every blank cuts a word, so repeated, leading and trailing blanks
        // make empty words.
        {"ORTHO  2N", strings + "ORTHO2N"},
        {" ORTHO 2N", strings + "ORTHO2N"},
        {"ORTHO ", strings + "ORTHO"},
        {"ORTHO N+1 ", strings + "ORTHON+1"},
        {"", strings},
        {"ORTHO\t2N", strings + "ORTHO\t2N"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::string("'") + c.text + "'");
        EXPECT_EQ(c.message, thrownMessage([&] { stringToDirectionType(std::string(c.text)); }));
    }
}

TEST(DirectionTypeReader, ReadsAListOfWords)
{
    EXPECT_EQ(DirectionType::ORTHO_2N,
              stringToDirectionType(std::list<std::string>{"ortho", "2n"}));
    EXPECT_EQ(DirectionType::NP1_UNI,
              stringToDirectionType(std::list<std::string>{"ORTHO", "N+1", "UNI", "X"}));
    EXPECT_EQ("An empty list of string cannot be converted to QARNO::DirectionType ",
              thrownMessage([] { stringToDirectionType(std::list<std::string>{}); }));
    EXPECT_EQ("List of string cannot be converted to QARNO::DirectionType  SINGLEABCD",
              thrownMessage(
                  [] {
                      stringToDirectionType(std::list<std::string>{"single", "a", "b", "c", "d"});
                  }));
    // A word holding a blank is one word of the list.
    EXPECT_EQ("List of strings cannot be converted to QARNO::DirectionType  ORTHO 2N",
              thrownMessage([] { stringToDirectionType(std::list<std::string>{"ORTHO 2N"}); }));
}

TEST(DirectionTypeWriter, WritesTheTextOfEachValue)
{
    const struct
    {
        int value;
        const char* text;
    } cases[] = {
        {0, "ORTHO 2N"}, {1, "ORTHO N+1 NEG"}, {2, "ORTHO N+1 QUAD"},
        {3, "N+1 UNI"},  {4, "SINGLE"},        {5, "DOUBLE"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(c.text, directionTypeToString(static_cast<DirectionType>(c.value)));
    }
    EXPECT_EQ("Unrecognized QARNO::DirectionType 6",
              thrownMessage([] { directionTypeToString(static_cast<DirectionType>(6)); }));
    EXPECT_EQ("Unrecognized QARNO::DirectionType -1",
              thrownMessage([] { directionTypeToString(static_cast<DirectionType>(-1)); }));
}

TEST(DirectionTypeWriter, SupportedTypesReadBack)
{
    const DirectionType supported[] = {DirectionType::ORTHO_2N, DirectionType::NP1_UNI,
                                       DirectionType::SINGLE, DirectionType::DOUBLE};
    for (const auto dt : supported)
    {
        SCOPED_TRACE(static_cast<int>(dt));
        EXPECT_EQ(dt, stringToDirectionType(directionTypeToString(dt)));
    }
    // The two N+1 orthogonal types are written but cannot be asked for.
    EXPECT_EQ("ORTHO N+1 NEG direction type not yet supported",
              thrownMessage(
                  []
                  { stringToDirectionType(directionTypeToString(DirectionType::ORTHO_NP1_NEG)); }));
    EXPECT_EQ(
        "ORTHO N+1 QUAD direction type not yet supported",
        thrownMessage(
            [] { stringToDirectionType(directionTypeToString(DirectionType::ORTHO_NP1_QUAD)); }));
}

// ---------------------------------------------------------------------------
// EvalType
// ---------------------------------------------------------------------------

TEST(EvalTypeText, WritesAndReads)
{
    const struct
    {
        EvalType evalType;
        int value;
        const char* text;
    } cases[] = {
        {EvalType::BB, 0, "BB"},
        {EvalType::SGTE, 1, "SGTE"},
        {EvalType::UNDEFINED, 2, "UNDEFINED"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.value, static_cast<int>(c.evalType));
        EXPECT_EQ(c.text, evalTypeToString(c.evalType));
    }
    EXPECT_EQ(EvalType::BB, stringToEvalType("BB"));
    EXPECT_EQ(EvalType::BB, stringToEvalType("bb"));
    EXPECT_EQ(EvalType::SGTE, stringToEvalType("SGTE"));
    EXPECT_EQ(EvalType::SGTE, stringToEvalType("Sgte"));
}

TEST(EvalTypeText, RefusesUnknownValuesAndWords)
{
    EXPECT_EQ("Unrecognized QARNO::EvalType 3",
              thrownMessage([] { evalTypeToString(static_cast<EvalType>(3)); }));
    const struct
    {
        const char* text;
        const char* message;
    } cases[] = {
        {"UNDEFINED", "Unrecognized string for QARNO::EvalType: UNDEFINED"},
        {"undefined", "Unrecognized string for QARNO::EvalType: UNDEFINED"},
        {"blackbox", "Unrecognized string for QARNO::EvalType: BLACKBOX"},
        {"", "Unrecognized string for QARNO::EvalType: "},
        {" BB", "Unrecognized string for QARNO::EvalType:  BB"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.message, thrownMessage([&] { stringToEvalType(c.text); }));
    }
}

// ---------------------------------------------------------------------------
// Surrogate-model feasibility and formulation
// ---------------------------------------------------------------------------

TEST(TeskoraModelFeasibilityTypeText, EveryValueReadsBack)
{
    const char* const texts[] = {"C", "H", "B", "M", "UNDEFINED"};
    for (int value = 0; value <= 4; ++value)
    {
        SCOPED_TRACE(value);
        const auto type = static_cast<TeskoraModelFeasibilityType>(value);
        const std::string text = TeskoraModelFeasibilityTypeToString(type);
        EXPECT_EQ(texts[value], text);
        EXPECT_EQ(type, stringToTeskoraModelFeasibilityType(text));
    }
    EXPECT_EQ(TeskoraModelFeasibilityType::M, stringToTeskoraModelFeasibilityType("m"));
    EXPECT_EQ(TeskoraModelFeasibilityType::UNDEFINED,
              stringToTeskoraModelFeasibilityType("Undefined"));
}

TEST(TeskoraModelFeasibilityTypeText, OtherValuesAndWords)
{
    EXPECT_EQ("UNDEFINED",
              TeskoraModelFeasibilityTypeToString(static_cast<TeskoraModelFeasibilityType>(5)));
    EXPECT_EQ("UNDEFINED",
              TeskoraModelFeasibilityTypeToString(static_cast<TeskoraModelFeasibilityType>(-1)));
    const struct
    {
        const char* text;
        const char* message;
    } cases[] = {
        {"x", "Unrecognized string for QARNO::TeskoraModelFeasibilityType: X"},
        {"", "Unrecognized string for QARNO::TeskoraModelFeasibilityType: "},
        {"ch", "Unrecognized string for QARNO::TeskoraModelFeasibilityType: CH"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.message, thrownMessage([&] { stringToTeskoraModelFeasibilityType(c.text); }));
    }
}

TEST(TeskoraModelFormulationTypeText, EveryValueReadsBack)
{
    const char* const texts[] = {"FS",   "FSP", "EIS", "EFI",    "EFIS",     "EFIM",
                                 "EFIC", "PFI", "D",   "EXTERN", "UNDEFINED"};
    for (int value = 0; value <= 10; ++value)
    {
        SCOPED_TRACE(value);
        const auto type = static_cast<TeskoraModelFormulationType>(value);
        const std::string text = TeskoraModelFormulationTypeToString(type);
        EXPECT_EQ(texts[value], text);
        EXPECT_EQ(type, stringToTeskoraModelFormulationType(text));
    }
    EXPECT_EQ("EFI", TeskoraModelFormulationTypeToString(TeskoraModelFormulationType::EFI));
    EXPECT_EQ(TeskoraModelFormulationType::EFIS, stringToTeskoraModelFormulationType("efis"));
    EXPECT_EQ(TeskoraModelFormulationType::EXTERN, stringToTeskoraModelFormulationType("Extern"));
}

TEST(TeskoraModelFormulationTypeText, OtherValuesAndWords)
{
    EXPECT_EQ("UNDEFINED",
              TeskoraModelFormulationTypeToString(static_cast<TeskoraModelFormulationType>(11)));
    EXPECT_EQ("UNDEFINED",
              TeskoraModelFormulationTypeToString(static_cast<TeskoraModelFormulationType>(-1)));
    const struct
    {
        const char* text;
        const char* message;
    } cases[] = {
        {"x", "Unrecognized string for QARNO::TeskoraModelFormulationType: X"},
        {"", "Unrecognized string for QARNO::TeskoraModelFormulationType: "},
        {"efi s", "Unrecognized string for QARNO::TeskoraModelFormulationType: EFI S"},
        {"C", "Unrecognized string for QARNO::TeskoraModelFormulationType: C"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.message, thrownMessage([&] { stringToTeskoraModelFormulationType(c.text); }));
    }
}

} // namespace
