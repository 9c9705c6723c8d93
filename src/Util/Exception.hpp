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

} // namespace QARNO_4_0_0

#endif
