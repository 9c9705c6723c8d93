#ifndef TESKORA_EXCEPTION_HPP
#define TESKORA_EXCEPTION_HPP

#include <exception>
#include <string>

namespace TESKORA
{

// The one exception of the surrogate library: every check throws it with
// the source location of the throw site.
class Exception : public std::exception
{
public:
    Exception(const std::string& file, int line, const std::string& message)
        : _file(file), _line(line), _message(message)
    {
    }

    ~Exception() override = default;

    // Rebuilt on each call; the returned data lives until the next call.
    const char* what() const noexcept override
    {
        try
        {
            _text = _file + ":" + std::to_string(_line) + " (" + _message + ")";
        }
        catch (...)
        {
            return "TESKORA::Exception";
        }
        return _text.c_str();
    }

private:
    std::string _file;
    int _line;
    std::string _message;
    mutable std::string _text;
};

} // namespace TESKORA

namespace TESKORA
{

// The compiler's name of a source file from its source folder on
// ("src/teskora/Matrix.cpp"), whatever folder the library is built in.
inline std::string source_file(const char* file)
{
    const std::string path(file);
    for (size_t at = path.rfind("src/"); at != std::string::npos;
         at = (at == 0) ? std::string::npos : path.rfind("src/", at - 1))
    {
        if (at == 0 || path[at - 1] == '/')
            return path.substr(at);
    }
    return path;
}

} // namespace TESKORA

/// Throws the library's exception at this file and line.
#define TESKORA_THROW(message)                                                                     \
    throw ::TESKORA::Exception(::TESKORA::source_file(__FILE__), __LINE__, (message))

#endif
