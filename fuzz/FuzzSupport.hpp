#ifndef QARNO_FUZZ_FUZZSUPPORT_HPP
#define QARNO_FUZZ_FUZZSUPPORT_HPP

#include <cstddef>
#include <cstdint>
#include <string>

namespace QarnoFuzz
{

/// Sends what the library writes to std::cout and std::cerr nowhere: the
/// readers warn on most inputs, and the output would cost more than the
/// reading. libFuzzer reports through the C streams and is not affected.
/// Also `quietOutputQueue`.
void silenceStreams();

/// Display degree 0 for the output queue, which keeps every message until a
/// flush that a reader alone never makes: the queue would grow from input
/// to input, and libFuzzer would look for a leak after each one. Again after
/// every `resetProcessState`.
void quietOutputQueue();

/// The input as text.
inline std::string textOf(const uint8_t* data, size_t size)
{
    return std::string(reinterpret_cast<const char*>(data), size);
}

/// A file of the process in a folder of its own, for the readers that take
/// a file name; removed at exit.
class ScratchFile
{
public:
    explicit ScratchFile(const std::string& name);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& path() const { return _path; }
    /// Replaces the content with `text`.
    void write(const std::string& text) const;

private:
    std::string _dir;
    std::string _path;
};

/// Stops the process with a message when a property of the reader does
/// not hold: libFuzzer takes it as a crash and keeps the input.
[[noreturn]] void propertyFailed(const std::string& what);

} // namespace QarnoFuzz

#endif
