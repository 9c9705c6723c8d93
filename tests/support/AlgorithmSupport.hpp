#ifndef QARNO_TESTS_SUPPORT_ALGORITHMSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_ALGORITHMSUPPORT_HPP

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "Algos/Algorithm.hpp"
#include "Algos/MegaIteration.hpp"
#include "Param/PbParameters.hpp"
#include "Param/RunParameters.hpp"
#include "Type/EvalType.hpp"
#include "Util/AllStopReasons.hpp"
#include "support/EvcSupport.hpp"
#include "support/IterationSupport.hpp"

namespace QarnoTest
{

/// Checked run parameters for a problem of that dimension with the
/// hot-restart flags and file given (an absolute file name, or empty to keep
/// the default).
std::shared_ptr<QARNO_4_0_0::RunParameters>
makeHotRestartRunParams(size_t dimension, bool readFiles, bool writeFiles,
                        const std::string& hotRestartFile);

} // namespace QarnoTest

#endif
