#ifndef QARNO_PARAM_EVALPARAMETERS_HPP
#define QARNO_PARAM_EVALPARAMETERS_HPP

#include <memory>
#include <string>

#include "Param/Parameters.hpp"

namespace QARNO_4_0_0
{

class RunParameters;

/// The blackbox: its executable (`BB_EXE`) and the types of its outputs
/// (`BB_OUTPUT_TYPE`).
///
/// A `BB_EXE` given by the user is completed against the problem directory
/// and must be an executable file, unless it starts with "$": it is then a
/// command (an interpreter and a script, say) taken as it stands.
class EvalParameters : public Parameters
{
public:
    EvalParameters() { init(); }
    ~EvalParameters() override = default;

    void init() override;

    /// `run` must have been checked when `BB_EXE` was given by the user.
    /// Checking again keeps a command taken from a "$" form as it is.
    void checkAndComply(const std::shared_ptr<RunParameters>& run);

    /// Whether BB_EXE holds a command taken from a "$" form (run as it
    /// stands) rather than the path of an executable file.
    bool isBbExeCommand() const;

private:
    /// The command that the last check took from a `BB_EXE` beginning with
    /// "$" (the "$" removed); empty when `BB_EXE` named a file. A later check
    /// finding this same value must not take it for a file name.
    std::string _bbExeCommand;
};

} // namespace QARNO_4_0_0

#endif
