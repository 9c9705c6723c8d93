#ifndef QARNO_UTIL_TEXTCONSTANTS_HPP
#define QARNO_UTIL_TEXTCONSTANTS_HPP

namespace QARNO_4_0_0
{

// Texts shared by the number conversions, the run parameters and the
// front ends. They are
// constant character arrays, so they hold their value before any dynamic
// initialisation runs: statics of other sources may be built from them while
// the library loads, whatever the order of the sources.

/// Text of infinity; default of `Double::_infStr` and of `INF_STR`.
inline constexpr char INF_TEXT[] = "inf";
/// Text of an undefined value; default of `Double::_undefStr` and of `UNDEF_STR`.
inline constexpr char UNDEF_TEXT[] = "NaN";
/// Short mark of an undefined value, written by the aligned display and read back.
inline constexpr char UNDEF_MARK[] = "-";
/// A further text read as an undefined value.
inline constexpr char NAN_TEXT[] = "nan";
/// The library's version: QARNO_VERSION, "qarno -v", the module's __version__.
inline constexpr char VERSION_TEXT[] = "4.0.0";

} // namespace QARNO_4_0_0

#endif
