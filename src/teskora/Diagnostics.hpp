#ifndef TESKORA_DIAGNOSTICS_HPP
#define TESKORA_DIAGNOSTICS_HPP

#include <ostream>

namespace TESKORA
{

// The library's single stream for its diagnostic lines (size lines,
// "NOT READY", warnings). Standard output unless redirected, so a test can
// capture the exact bytes.
std::ostream& diag_stream();

// Redirects the diagnostics; nullptr restores standard output. Returns the
// stream in use before the call.
std::ostream* set_diag_stream(std::ostream* stream);

// Redirects the diagnostics for the lifetime of the object.
class DiagStreamRedirect
{
public:
    explicit DiagStreamRedirect(std::ostream& stream) : _previous(set_diag_stream(&stream)) {}
    ~DiagStreamRedirect() { set_diag_stream(_previous); }
    DiagStreamRedirect(const DiagStreamRedirect&) = delete;
    DiagStreamRedirect& operator=(const DiagStreamRedirect&) = delete;

private:
    std::ostream* _previous;
};

} // namespace TESKORA

#endif
