#ifndef QARNO_TESTS_SUPPORT_FRONTENDSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_FRONTENDSUPPORT_HPP

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Param/AllParameters.hpp"

namespace QarnoTest
{

/// Makes `dir` the working directory for the life of the object.
class ChangeDir
{
public:
    explicit ChangeDir(const std::string& dir);
    ~ChangeDir();
    ChangeDir(const ChangeDir&) = delete;
    ChangeDir& operator=(const ChangeDir&) = delete;

private:
    std::string _previous;
};

/// What a child process left: its exit status and its two streams.
struct ProcessResult
{
    int exitStatus = -1;
    std::string out;
    std::string err;
};

/// Runs `program` with `args` in `dir` (standard input empty), and waits.
ProcessResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& dir);

/// Parameters of a problem in dimension 2 with those output types and
/// X0 ( 1 2 ) (none when `x0` is empty), display degree 2, file names
/// without seed; more lines in `lines`. Not checked.
std::shared_ptr<QARNO_4_0_0::AllParameters>
makeMainStepParameters(const std::string& bbOutputType, const std::vector<double>& x0 = {1, 2},
                       const std::vector<std::string>& lines = {});

/// The lines of a parameter file for the test blackbox executable in
/// dimension 2 from X0 ( 1 2 ), outputs "OBJ PB", with `more` appended.
std::string testBBParameterFile(const std::string& more);

/// The evaluation points listed in a cache file, as their text "( x y )".
std::vector<std::string> cachedPointsOf(const std::string& cacheFileText);

} // namespace QarnoTest

#endif
