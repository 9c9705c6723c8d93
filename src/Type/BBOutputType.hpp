#ifndef QARNO_TYPE_BBOUTPUTTYPE_HPP
#define QARNO_TYPE_BBOUTPUTTYPE_HPP

#include <cstddef>
#include <string>
#include <vector>

namespace QARNO_4_0_0
{

/// The kind of one blackbox output, as given by BB_OUTPUT_TYPE. The
/// constraints are exactly EB and PB.
enum class BBOutputType
{
    OBJ = 0,          ///< "OBJ": objective value to minimise
    EB = 1,           ///< "EB": constraint treated by the extreme barrier
    PB = 2,           ///< "PB": constraint treated by the progressive barrier
    CNT_EVAL = 3,     ///< "CNT_EVAL": boolean word, whether the evaluation counts
    BBO_UNDEFINED = 4 ///< "BBO_UNDEFINED": an output that is not used
};

/// The value type of BB_OUTPUT_TYPE.
using BBOutputTypeList = std::vector<BBOutputType>;

/// Reads one output word in any case: "OBJ", "EB", "PB", "CNT_EVAL", and
/// "EXTRA_O", "NOTHING", "-" or "BBO_UNDEFINED" for an unused output. Throws
/// on any other word.
BBOutputType stringToBBOutputType(const std::string& s);

/// Reads the blank-separated output words in order; a blank text gives an
/// empty list.
BBOutputTypeList stringToBBOutputTypeList(const std::string& s);

/// Each output's name followed by one blank ("OBJ PB " for (OBJ, PB)); a
/// value outside the enumeration is written "BBO_UNDEFINED".
std::string BBOutputTypeListToString(const BBOutputTypeList& bbotList);

/// True for EB and PB.
bool BBOutputTypeIsConstraint(const BBOutputType& bbot);
bool isConstraint(const BBOutputType& bbot);

/// Number of EB and PB entries.
size_t getNbConstraints(const BBOutputTypeList& bbotList);

/// Number of OBJ entries.
size_t getNbObj(const BBOutputTypeList& bbotList);

} // namespace QARNO_4_0_0

#endif
