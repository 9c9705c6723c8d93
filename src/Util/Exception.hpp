#ifndef QARNO_UTIL_EXCEPTION_HPP
#define QARNO_UTIL_EXCEPTION_HPP

#include <exception>
#include <string>

namespace QARNO_4_0_0
{

/// The one exception type of the optimisation library.
///
/// Each throw records the source file and line it comes from and a message;
/// kinds derive from it and may set a fixed type message in their
/// constructor. `what()` renders
///   "QARNO::Exception thrown (<file>, <line>) <type message> <message>"
/// (the location part is left out when the file is empty and the line is 0,
/// the type message when it is empty, and both words when the message is
/// empty). The text is rendered on the first call and kept: later calls return
/// the same text.
class Exception : public std::exception
{
public:
    Exception(const std::string& file, size_t line, const std::string& msg);
    ~Exception() override = default;

    const char* what() const noexcept override;

    /// The message alone, without location or type message.
    const std::string& getMessage() const noexcept { return _msg; }

protected:
    std::string _file;
    size_t _line;
    std::string _msg;
    std::string _typeMsg;

private:
    mutable std::string _what;
    mutable bool _rendered = false;
};

/// The source-file text of a throw site, from the compiler's file name:
/// the path from the source folder on, without its extension
/// ("src/Math/ArrayOfDouble"), whatever folder the library is built in.
std::string sourceFileText(const char* file);

} // namespace QARNO_4_0_0

/// The source-file text of the current file.
#define QARNO_SOURCE_FILE ::QARNO_4_0_0::sourceFileText(__FILE__)

/// Throws an exception of the library, `Kind` (Exception or one of its
/// kinds), at this file and line; the arguments after the kind follow the
/// file and line in its constructor:
///
///     QARNO_THROW(Exception, "Invalid shared pointer cast");
///     QARNO_THROW(StepException, "No iterations to run", this);
#define QARNO_THROW(Kind, ...) throw Kind(QARNO_SOURCE_FILE, __LINE__, __VA_ARGS__)

#endif
