#ifndef QARNO_PARAM_CACHEPARAMETERS_HPP
#define QARNO_PARAM_CACHEPARAMETERS_HPP

#include <memory>

#include "Param/Parameters.hpp"

namespace QARNO_4_0_0
{

class RunParameters;

/// The cache: its largest size and its file. A hot restart always gets a
/// cache file, "cache.txt" in the problem directory when none is given.
class CacheParameters : public Parameters
{
public:
    CacheParameters() { init(); }
    ~CacheParameters() override = default;

    void init() override;

    /// `run` must have been checked.
    void checkAndComply(std::shared_ptr<RunParameters> run);
};

} // namespace QARNO_4_0_0

#endif
