#include "support/TestSupport.hpp"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "Math/Double.hpp"

namespace QarnoTest
{

using namespace QARNO_4_0_0;

struct ProcessStateGuard::Saved
{
    double epsilon;
    std::string infStr;
    std::string undefStr;
};

ProcessStateGuard::ProcessStateGuard() : _saved(new Saved)
{
    _saved->epsilon = Double::getEpsilon();
    _saved->infStr = Double::_infStr;
    _saved->undefStr = Double::_undefStr;
    resetToLoadState();
}

ProcessStateGuard::~ProcessStateGuard()
{
    Double::setEpsilon(_saved->epsilon);
    Double::_infStr = _saved->infStr;
    Double::_undefStr = _saved->undefStr;
    delete _saved;
}

void ProcessStateGuard::resetToLoadState()
{
    Double::setEpsilon(1e-13);
    Double::_infStr = "inf";
    Double::_undefStr = "NaN";
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
