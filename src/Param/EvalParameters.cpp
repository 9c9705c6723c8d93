#include "Param/EvalParameters.hpp"

#include <exception>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "Param/InvalidParameter.hpp"
#include "Param/RunParameters.hpp"
#include "Type/BBOutputType.hpp"
#include "Util/Exception.hpp"
#include "Util/Utils.hpp"

namespace QARNO_4_0_0
{

namespace
{

// keyword, type, default, short info, help, help keywords,
// algoCompatibilityCheck, restartAttribute, uniqueEntry
const std::vector<AttributeDefinition>& definitionTable()
{
    static const std::vector<AttributeDefinition> table = {
        {"BB_EXE", "std::string", "", " Blackbox executable ",
         " \n"
         " . Name of the blackbox executable\n"
         "  \n"
         " . Required in batch mode, not used in library mode\n"
         "  \n"
         " . One executable may give several outputs\n"
         "  \n"
         " . Single or double quotes and the '$' sign allow names or commands with blanks\n"
         "  \n"
         " . A '$' in first position makes the name global: no path is added to it\n"
         "  \n"
         " . Argument: one string\n"
         "  \n"
         " . Example: BB_EXE bb.exe\n"
         "  \n"
         " . Example: BB_EXE '$nice bb.exe'\n"
         "  \n"
         " . Example: BB_EXE '$python bb.py'\n"
         "  \n"
         " . Default: empty\n\n",
         "  basic blackbox blackboxes bb exe executable executables binary output outputs batch  ",
         "false", "false", "true"},
        {"BB_OUTPUT_TYPE", "QARNO::BBOutputTypeList", "OBJ",
         " Type of outputs provided by the blackboxes ",
         " \n"
         " . Types of the blackbox outputs, one type per output\n"
         "  \n"
         " . OBJ: objective value to minimize (define twice for bi-objective)\n"
         "  \n"
         " . PB: constraint <= 0 treated with the progressive barrier\n"
         "  \n"
         " . EB: constraint <= 0 treated with the extreme barrier\n"
         "  \n"
         " . F: constraint <= 0 treated with a filter\n"
         "  \n"
         " . NOTHING: the output is ignored\n"
         "  \n"
         " . EXTRA_O and -: the same as NOTHING\n"
         "  \n"
         " . Equality constraints are not supported natively\n"
         "  \n"
         " . Bounds on the variables are given by LOWER_BOUND and UPPER_BOUND\n"
         "  \n"
         " . Argument: a list of types\n"
         "  \n"
         " . Example: BB_OUTPUT_TYPE OBJ EB EB\n"
         "  \n"
         " . with BB_EXE bb.exe, for a blackbox executable that writes three values\n"
         "  \n"
         " . Default: OBJ\n\n",
         "  basic bb exe blackbox blackboxs output outputs constraint constraints type types  ",
         "false", "false", "true"},
    };
    return table;
}

// POSIX grants execute permission on directories too: a blackbox must be a
// regular file (a link to one included) that the process may execute.
bool isExecutableFile(const std::string& path)
{
    struct stat info;
    return 0 == ::stat(path.c_str(), &info) && S_ISREG(info.st_mode) && checkExeFile(path);
}

} // namespace

void EvalParameters::init()
{
    initFromTable("Eval", definitionTable());
}

void EvalParameters::checkAndComply(const std::shared_ptr<RunParameters>& run)
{
    checkInfo();

    if (!toBeChecked())
    {
        return;
    }

    // In library mode the evaluator is a callback: a BB_EXE nobody gave is
    // not used and not checked.
    if (isSetByUser("BB_EXE"))
    {
        std::string bbExe = getSpValue<std::string>("BB_EXE", false, false);
        const bool alreadyTaken = !_bbExeCommand.empty() && bbExe == _bbExeCommand;
        if (!alreadyTaken)
        {
            _bbExeCommand.clear();
            if (bbExe.empty())
            {
                QARNO_THROW(Exception, "BB_EXE is not defined");
            }
            if ('$' == bbExe[0])
            {
                // A command, such as an interpreter and its script: taken as
                // it stands, without a directory and without the file check.
                bbExe.erase(0, 1);
                if (bbExe.empty())
                {
                    QARNO_THROW(Exception, "BB_EXE is not defined");
                }
                setSpValueDefault<std::string>("BB_EXE", bbExe);
                _bbExeCommand = bbExe;
            }
            else
            {
                completeFileName(bbExe, RunParameters::problemDirPrefix(run));
                setSpValueDefault<std::string>("BB_EXE", bbExe);
                if (!isExecutableFile(bbExe))
                {
                    QARNO_THROW(Exception, "BB_EXE needs to be an executable file: " + bbExe);
                }
            }
        }
    }

    const BBOutputTypeList& bbOutputType =
        getSpValue<BBOutputTypeList>("BB_OUTPUT_TYPE", false, false);
    if (bbOutputType.empty())
    {
        setSpValueDefault<BBOutputTypeList>("BB_OUTPUT_TYPE", {BBOutputType::OBJ});
    }
    else if (0 == getNbObj(bbOutputType))
    {
        // Nothing to minimise: every run would end without a result.
        std::string types = BBOutputTypeListToString(bbOutputType);
        types.erase(types.find_last_not_of(' ') + 1);
        QARNO_THROW(InvalidParameter, "Parameters check: BB_OUTPUT_TYPE \"" + types +
                                          "\" has no objective: one output must be of type OBJ");
    }

    _toBeChecked = false;
}

bool EvalParameters::isBbExeCommand() const
{
    return !_bbExeCommand.empty() &&
           getSpValue<std::string>("BB_EXE", false, false) == _bbExeCommand;
}

} // namespace QARNO_4_0_0
