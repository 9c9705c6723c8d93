#ifndef QARNO_ALGOS_COMMANDLINE_HPP
#define QARNO_ALGOS_COMMANDLINE_HPP

namespace QARNO_4_0_0
{

class MainStep;

/// The command line of a QARNO program, on a main step made by the caller
/// (a program may give one whose algorithms or evaluator are its own):
///
///     prog parameters_file     a run from the file
///     prog -i                  the notice text
///     prog -h [keyword]        the help of the parameters (of those that
///                              match the keyword)
///     prog -v                  the version
///     prog -u                  the usage
///
/// Any other call shows the usage. The answer is the exit status: 0 for
/// what went as asked, 1 for a wrong call, a run that ended on an error or a
/// run that could not write a file it was asked to write (named on standard
/// error at its end).
/// No exception leaves it: a failed run is reported on standard error as
/// "Error: " and the library's message.
int runCommandLine(int argc, char** argv, MainStep& mainStep);

} // namespace QARNO_4_0_0

#endif
