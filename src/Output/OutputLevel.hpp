#ifndef QARNO_OUTPUT_OUTPUTLEVEL_HPP
#define QARNO_OUTPUT_OUTPUTLEVEL_HPP

namespace QARNO_4_0_0
{

/// The importance of a message: the lower the value, the more important.
/// The display degree chooses the largest level that is shown (see
/// `OutputQueue::setDisplayDegree`). Levels compare with the built-in
/// relational operators.
enum class OutputLevel : int
{
    LEVEL_NONE = 0,      ///< maximum level of display degree 0; no message uses it
    LEVEL_ERROR = 1,     ///< errors
    LEVEL_VERY_HIGH = 2, ///< very important messages
    LEVEL_WARNING = 3,   ///< warnings
    LEVEL_HIGH = 4,      ///< important messages
    LEVEL_STATS = 5,     ///< statistics lines (a record carrying a StatsInfo)
    LEVEL_NORMAL = 6,    ///< normal display
    LEVEL_INFO = 7,      ///< information, and the start and end lines of every step
    // 8 is not used.
    LEVEL_DEBUG = 9,      ///< debugging
    LEVEL_FULL_DEBUG = 10 ///< full debugging
};

} // namespace QARNO_4_0_0

#endif
