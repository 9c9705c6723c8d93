#include "support/TestParameters.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "Param/InvalidParameter.hpp"

#include <iostream>
#include <stdexcept>

#include "Math/Double.hpp"
#include "support/TestSupport.hpp"

using QARNO_4_0_0::AttributeDefinition;

namespace QarnoTest
{

const std::vector<AttributeDefinition>& TestParameters::definitions()
{
    // keyword, type, default, short info, help, help keywords,
    // algoCompatibilityCheck, restartAttribute, uniqueEntry
    static const std::vector<AttributeDefinition> table = {
        {"DIMENSION", "size_t", "0", " Dimension of the optimization problem (required) ",
         " Number of variables of the problem. ", " basic dimension ", "false", "false", "true"},
        {"X0", "QARNO::ArrayOfPoint", "-", " The initial point(s) ",
         " Starting points, one per line: X0 ( x1 ... xn ) or X0 i ( x1 ... xn ). ",
         " basic starting point ", "false", "false", "false"},
        {"LOWER_BOUND", "QARNO::ArrayOfDouble", "-",
         " The optimization problem lower bounds for each variable ",
         " Lower bounds of the variables. ", " basic bound ", "false", "false", "true"},
        {"UPPER_BOUND", "QARNO::ArrayOfDouble", "-",
         " The optimization problem upper bounds for each variable ",
         " Upper bounds of the variables. ", " basic bound ", "false", "false", "true"},
        {"INITIAL_MESH_SIZE", "QARNO::ArrayOfDouble", "-", " The initial mesh size of MADS ",
         " Initial size of the mesh, per variable. ", " advanced mesh ", "false", "false", "true"},
        {"FIXED_VARIABLE", "QARNO::Point", "-", " Fix some variables to some specific values ",
         " Values of the variables that stay fixed. ", " basic fixed ", "false", "false", "true"},
        {"VARIABLE_GROUP", "QARNO::ListOfVariableGroup", "-", " The groups of variables) ",
         " Groups of variable indices polled together. ", " basic group ", "true", "false",
         "false"},
        {"BB_INPUT_TYPE", "QARNO::BBInputTypeList", "* R", " The variable blackbox input types ",
         " R for real, I for integer, B for binary variables. ", " basic integer binary ", "false",
         "false", "true"},
        {"DIRECTION_TYPE", "QARNO::DirectionType", "ORTHO 2N", " Type of direction for Mads poll ",
         " Directions used by the poll of the mesh. ", " basic poll ", "true", "false", "true"},
        {"MAX_BB_EVAL", "size_t", "INF",
         " Stopping criterion on the number of blackbox evaluations ",
         " Largest number of blackbox evaluations. ", " basic budget ", "false", "true", "true"},
        {"BB_EXE", "std::string", "", " Blackbox executable ",
         " The program that evaluates a point. ", " basic blackbox ", "false", "false", "true"},
        {"BB_OUTPUT_TYPE", "QARNO::BBOutputTypeList", "OBJ",
         " Type of outputs provided by the blackboxes ", " OBJ, EB, PB or CNT_EVAL per output. ",
         " basic blackbox ", "false", "false", "true"},
        {"TMP_DIR", "std::string", "/tmp/", " Directory where to put temporary files ", "",
         " basic ", "false", "false", "true"},
        {"SEED", "int", "0", " The seed for the pseudo-random number generator ", "",
         " basic random ", "true", "true", "true"},
        {"LH_SEARCH", "QARNO::LHSearchType", "-", " Latin Hypercube Sampling Search method ",
         " Initial and per-iteration numbers of points. ", " basic search ", "true", "true",
         "true"},
        {"H_MAX_0", "QARNO::Double", "QARNO::INF", " Initial value of hMax. ",
         " Largest infeasibility accepted at the start. ", " advanced developper barrier ", "true",
         "false", "true"},
        {"TESKORA_MODEL_FORMULATION", "QARNO::TeskoraModelFormulationType", "FS",
         " Formulation of the surrogate problem ", " Formulation of the model search. ",
         " advanced model ", "true", "true", "true"},
        {"TESKORA_MODEL_FEASIBILITY", "QARNO::TeskoraModelFeasibilityType", "C",
         " Method used to model the feasibility of a point ", " Feasibility of the model. ",
         " advanced model ", "true", "true", "true"},
        {"TEST_EVAL_TYPE", "QARNO::EvalType", "BB", " Kind of evaluation of the tests ", "",
         " basic ", "true", "false", "true"},
        {"MAX_TIME", "size_t", "INF", " Maximum wall-clock time in seconds ", " Largest run time. ",
         " basic budget ", "false", "true", "true"},
        {"NM_GAMMA", "QARNO::Double", "0.5", " NM shrink parameter gamma.",
         " Shrink factor of the Nelder-Mead simplex. ", " advanced nelder mead ", "true", "true",
         "true"},
        {"EPSILON", "Double", "1e-13", " Precision on reals ", "", " developper precision ", "true",
         "true", "true"},
        {"MAX_ITERATIONS", "size_t", "INF",
         " The maximum number of iterations of the MADS algorithm ", "", " basic ", "true", "true",
         "true"},
        {"MAX_ITERATION_PER_MEGAITERATION", "size_t", "10",
         " Maximum number of Iterations to generate for each MegaIteration. ", "", " advanced ",
         "true", "true", "true"},
        {"DISABLE", "QARNO::ArrayOfString", "", "Forcefully disable a feature", "", " advanced ",
         "true", "true", "false"},
        {"DISPLAY_STATS", "QARNO::ArrayOfString", "BBE OBJ",
         " Format for displaying the evaluation points ", " Columns of the statistics line. ",
         " basic display ", "false", "true", "true"},
        {"DISPLAY_DEGREE", "int", "2", " Level of verbose during execution ", "", " basic display ",
         "false", "true", "true"},
        {"DISPLAY_ALL_EVAL", "bool", "false", " Flag to display all evaluations ", "",
         " basic display ", "false", "true", "true"},
        {"OPPORTUNISTIC_EVAL", "bool", "true",
         " Opportunistic strategy: Terminate evaluations as soon as a success is found ", "",
         " basic ", "true", "true", "true"},
    };
    return table;
}

void TestParameters::init()
{
    _typeName = "Test";
    _attributeDefinitions = definitions();
    registerAttributes(_attributeDefinitions);
}

void TestParameters::checkAndComply()
{
    checkInfo();
    _toBeChecked = false;
}

const std::vector<AttributeDefinition>& TestParametersNoDimension::definitions()
{
    static const std::vector<AttributeDefinition> table = {
        {"SOL_FORMAT", "QARNO::ArrayOfDouble", "-", " Format of the solution ", "", " advanced ",
         "false", "true", "true"},
        {"DISPLAY_DEGREE", "int", "2", " Level of verbose during execution ", "", " basic display ",
         "false", "true", "true"},
        {"SEED", "int", "0", " The seed for the pseudo-random number generator ", "",
         " basic random ", "true", "true", "true"},
    };
    return table;
}

void TestParametersNoDimension::init()
{
    _typeName = "TestNoDimension";
    _attributeDefinitions = definitions();
    registerAttributes(_attributeDefinitions);
}

void TestParametersNoDimension::checkAndComply()
{
    checkInfo();
    _toBeChecked = false;
}

void EmptyParameters::checkAndComply()
{
    checkInfo();
    _toBeChecked = false;
}

std::string outcomeOf(const std::function<void()>& op)
{
    try
    {
        op();
    }
    catch (const QARNO_4_0_0::ParameterToBeChecked& e)
    {
        return "ParameterToBeChecked: " + messageOf(e);
    }
    catch (const QARNO_4_0_0::Double::NotDefined& e)
    {
        return "NotDefined: " + messageOf(e);
    }
    catch (const QARNO_4_0_0::Exception& e)
    {
        return "Exception: " + messageOf(e);
    }
    catch (const std::out_of_range& e)
    {
        return std::string("out_of_range: ") + e.what();
    }
    return "ok";
}

std::string valueLine(const QARNO_4_0_0::Attribute& attribute)
{
    std::ostringstream out;
    attribute.display(out, false);
    return out.str();
}

std::string helpLastItem(const std::string& help)
{
    EXPECT_GT(help.size(), 6u);
    if (help.size() <= 6)
    {
        return "";
    }
    EXPECT_EQ(" \n . ", help.substr(0, 5));
    EXPECT_EQ("\n\n", help.substr(help.size() - 2));
    EXPECT_NE('\n', help[help.size() - 3]);
    std::istringstream in(help.substr(2, help.size() - 4));
    std::string line;
    std::string lastItem;
    bool expectItem = true;
    while (std::getline(in, line))
    {
        if (expectItem)
        {
            EXPECT_EQ(" . ", line.substr(0, 3)) << line;
            lastItem = line;
        }
        else
        {
            EXPECT_EQ("  ", line);
        }
        expectItem = !expectItem;
    }
    EXPECT_FALSE(expectItem) << "the text ends with an item";
    return lastItem;
}

std::string checkOutcome(QARNO_4_0_0::PbParameters& pb)
{
    try
    {
        pb.checkAndComply();
    }
    catch (const QARNO_4_0_0::InvalidParameter& e)
    {
        const std::string text = QarnoTest::messageOf(e);
        const std::string type = "Invalid Parameter. ";
        return "InvalidParameter: " +
               (text.compare(0, type.size(), type) == 0 ? text.substr(type.size()) : text);
    }
    catch (const QARNO_4_0_0::Exception& e)
    {
        return "Exception: " + QarnoTest::messageOf(e);
    }
    return "ok";
}

} // namespace QarnoTest
