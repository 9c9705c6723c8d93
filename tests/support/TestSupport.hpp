#ifndef QARNO_TESTS_SUPPORT_TESTSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_TESTSUPPORT_HPP

#include <string>

namespace QarnoTest
{

/// Puts the process-wide state of the library into its state at load and
/// gives it back when the guard goes out of scope. Tests that touch a
/// process-wide state (number texts and tolerance, random generator, ...)
/// hold one.
class ProcessStateGuard
{
public:
    ProcessStateGuard();
    ~ProcessStateGuard();
    ProcessStateGuard(const ProcessStateGuard&) = delete;
    ProcessStateGuard& operator=(const ProcessStateGuard&) = delete;

    /// Restores every process-wide state to its value at load.
    static void resetToLoadState();

private:
    struct Saved;
    Saved* _saved;
};

/// A temporary directory, removed with its content when the object dies.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return _path; }
    /// path() + "/" + name
    std::string file(const std::string& name) const;

private:
    std::string _path;
};

} // namespace QarnoTest

#endif
