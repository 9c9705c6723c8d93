#include "support/TestSupport.hpp"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "Algos/ProcessState.hpp"
#include "Math/RNG.hpp"
#include "Util/Exception.hpp"

namespace QarnoTest
{

using namespace QARNO_4_0_0;

std::string messageOf(const std::exception& e)
{
    const std::string text = e.what();
    const size_t close = text.find(") ");
    return close == std::string::npos ? text : text.substr(close + 2);
}

std::string messageOf(const std::function<void()>& op, std::string* file)
{
    try
    {
        op();
    }
    catch (const Exception& e)
    {
        const std::string text = e.what();
        const std::string prefix = "QARNO::Exception thrown (";
        const size_t comma = text.find(", ", prefix.size());
        const size_t close = text.find(") ", comma);
        if (comma == std::string::npos || close == std::string::npos)
        {
            return text;
        }
        if (file != nullptr)
        {
            *file = text.substr(prefix.size(), comma - prefix.size());
        }
        return text.substr(close + 2);
    }
    return "(no exception)";
}

StreamCapture::StreamCapture(std::ostream& stream)
    : _stream(stream), _buffer(), _previous(stream.rdbuf(_buffer.rdbuf()))
{
}

StreamCapture::~StreamCapture()
{
    _stream.rdbuf(_previous);
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
    {
        lines.push_back(line);
    }
    return lines;
}

ArrayOfDouble makeArray(const std::vector<double>& values)
{
    ArrayOfDouble a(values.size());
    for (size_t i = 0; i < values.size(); ++i)
    {
        if (values[i] == values[i])
        {
            a[i] = values[i];
        }
    }
    return a;
}

ProcessStateGuard::ProcessStateGuard()
{
    resetToLoadState();
}

ProcessStateGuard::~ProcessStateGuard()
{
    resetToLoadState();
}

void ProcessStateGuard::resetToLoadState()
{
    resetProcessState();
}

void resetRandomGenerator()
{
    RNG::reset();
}

bool processEnded(long pid)
{
    // A signal that ends a process is delivered after kill() returns: on a
    // loaded machine the process may still be running for a moment.
    const auto gone = [pid]()
    {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text;
        if (!std::getline(stat, text))
        {
            return true;
        }
        // "pid (name) state ...": the name may hold blanks and parentheses.
        const size_t close = text.rfind(')');
        return std::string::npos != close && close + 2 < text.size() && 'Z' == text[close + 2];
    };
    for (int attempt = 0; attempt < 500; ++attempt)
    {
        if (gone())
        {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TempDir::TempDir()
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "qarno-test-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr)
    {
        throw std::runtime_error("cannot create a temporary directory");
    }
    _path = tmpl;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(_path, ec);
}

std::string TempDir::file(const std::string& name) const
{
    return _path + "/" + name;
}

} // namespace QarnoTest
