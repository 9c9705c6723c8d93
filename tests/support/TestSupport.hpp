#ifndef QARNO_TESTS_SUPPORT_TESTSUPPORT_HPP
#define QARNO_TESTS_SUPPORT_TESTSUPPORT_HPP

#include <exception>
#include <functional>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "Math/ArrayOfDouble.hpp"

namespace QarnoTest
{

/// The message part of a library exception's text: what follows the
/// location "QARNO::Exception thrown (file, line) ".
std::string messageOf(const std::exception& e);

/// The message part of the library exception that `op` throws, and its
/// source file in `file` when asked; "(no exception)" when nothing is thrown.
std::string messageOf(const std::function<void()>& op, std::string* file = nullptr);

/// Catches what is written to a stream while the object lives.
class StreamCapture
{
public:
    explicit StreamCapture(std::ostream& stream);
    ~StreamCapture();
    StreamCapture(const StreamCapture&) = delete;
    StreamCapture& operator=(const StreamCapture&) = delete;

    std::string text() const { return _buffer.str(); }

private:
    std::ostream& _stream;
    std::ostringstream _buffer;
    std::streambuf* _previous;
};

/// Catches what is written to std::cerr while the object lives.
class CerrCapture : public StreamCapture
{
public:
    CerrCapture() : StreamCapture(std::cerr) {}
};

/// The lines of a text, without their line ends.
std::vector<std::string> linesOf(const std::string& text);

/// Stands for an undefined coordinate or value in the tables of the tests.
inline constexpr double UNDEF = std::numeric_limits<double>::quiet_NaN();

/// An array from plain values; NaN stands for an undefined coordinate.
QARNO_4_0_0::ArrayOfDouble makeArray(const std::vector<double>& values);

/// Puts the process-wide state of the library into its state at load
/// (`resetProcessState`) for the length of a test, and again when the guard
/// goes out of scope, so that no test sees what another left behind. Tests
/// that touch a process-wide state (number texts and tolerance, random
/// generator, output queue, tag counter, evaluation rules, ...) hold one.
class ProcessStateGuard
{
public:
    ProcessStateGuard();
    ~ProcessStateGuard();
    ProcessStateGuard(const ProcessStateGuard&) = delete;
    ProcessStateGuard& operator=(const ProcessStateGuard&) = delete;

    /// `resetProcessState`.
    static void resetToLoadState();
};

/// Puts the random generator into its state at load: the default state
/// words and a stored seed of 0.
void resetRandomGenerator();

/// Whether the process `pid` is gone, or only left as a zombie that nobody
/// reaps (an orphan of a container whose first process does not reap),
/// within a few seconds.
bool processEnded(long pid);

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
