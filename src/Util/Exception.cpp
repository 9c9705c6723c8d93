#include "Util/Exception.hpp"

namespace QARNO_4_0_0
{

Exception::Exception(const std::string& file, size_t line, const std::string& msg)
    : _file(file), _line(line), _msg(msg), _typeMsg()
{
}

const char* Exception::what() const noexcept
{
    if (!_rendered)
    {
        std::string text;
        if (!_file.empty() || _line != 0)
        {
            text = "QARNO::Exception thrown (" + _file + ", " + std::to_string(_line) + ")";
        }
        if (!_msg.empty())
        {
            if (!_typeMsg.empty())
            {
                text += " " + _typeMsg;
            }
            text += " " + _msg;
        }
        _what = std::move(text);
        _rendered = true;
    }
    return _what.c_str();
}

std::string sourceFileText(const char* file)
{
    std::string text = (nullptr == file) ? std::string() : std::string(file);
    // The build hands the compiler paths below the project folder; a build
    // that does not still names the file from its source folder on.
    for (size_t at = text.rfind("src/"); at != std::string::npos;
         at = (0 == at) ? std::string::npos : text.rfind("src/", at - 1))
    {
        if (0 == at || '/' == text[at - 1])
        {
            text.erase(0, at);
            break;
        }
    }
    const size_t dot = text.rfind('.');
    if (dot != std::string::npos && text.find('/', dot) == std::string::npos)
    {
        text.erase(dot);
    }
    return text;
}

} // namespace QARNO_4_0_0
