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

} // namespace QARNO_4_0_0
