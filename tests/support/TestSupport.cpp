#include "support/TestSupport.hpp"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "Math/Double.hpp"
#include "Math/RNG.hpp"
#include "Output/OutputDirectToFile.hpp"
#include "Output/OutputQueue.hpp"
#include "Param/Parameters.hpp"
#include "Param/RunParameters.hpp"
#include "Util/AllStopReasons.hpp"
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

struct ProcessStateGuard::Saved
{
    double epsilon;
    std::string infStr;
    std::string undefStr;
    uint32_t rngX;
    uint32_t rngY;
    uint32_t rngZ;
    int rngSeed;
};

ProcessStateGuard::ProcessStateGuard() : _saved(new Saved)
{
    _saved->epsilon = Double::getEpsilon();
    _saved->infStr = Double::_infStr;
    _saved->undefStr = Double::_undefStr;
    _saved->rngX = RNG::_x;
    _saved->rngY = RNG::_y;
    _saved->rngZ = RNG::_z;
    _saved->rngSeed = RNG::_s;
    resetToLoadState();
}

ProcessStateGuard::~ProcessStateGuard()
{
    Double::setEpsilon(_saved->epsilon);
    Double::_infStr = _saved->infStr;
    Double::_undefStr = _saved->undefStr;
    RNG::_x = _saved->rngX;
    RNG::_y = _saved->rngY;
    RNG::_z = _saved->rngZ;
    RNG::_s = _saved->rngSeed;
    delete _saved;
}

void ProcessStateGuard::resetToLoadState()
{
    Double::setEpsilon(1e-13);
    Double::_infStr = "inf";
    Double::_undefStr = "NaN";
    resetRandomGenerator();
    AllStopReasons::setSharedStarted();
    Parameters::_paramEntries.eraseAll();
    RunParameters::_warningUnknownParamShown = false;
    OutputQueue::resetInstance();
    OutputDirectToFile::resetInstance();
}

void resetRandomGenerator()
{
    RNG::_x = RNG::x_def;
    RNG::_y = RNG::y_def;
    RNG::_z = RNG::z_def;
    RNG::_s = 0;
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
