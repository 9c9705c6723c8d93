#include "Util/FileUtils.hpp"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <locale>
#include <streambuf>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace QARNO_4_0_0
{

namespace
{

/// Permissions for the replacement of `fileName`: those of the file it
/// replaces, else those a new file would get under the current umask.
mode_t modeFor(const std::string& fileName)
{
    struct stat st;
    if (::stat(fileName.c_str(), &st) == 0)
    {
        return st.st_mode & 07777;
    }
    // The umask can only be read by setting it; the run has one thread.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

std::string resolveLinks(const std::string& fileName)
{
    // As many as the system itself follows before it gives up (ELOOP).
    constexpr int MAX_LINKS = 40;
    std::string path = fileName;
    for (int i = 0; i < MAX_LINKS; ++i)
    {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        {
            return path;
        }
        std::vector<char> target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0 || static_cast<size_t>(n) >= target.size())
        {
            return path; // changed meanwhile: the caller's own open decides
        }
        const std::string next(target.data(), static_cast<size_t>(n));
        if (!next.empty() && next[0] == '/')
        {
            path = next;
        }
        else
        {
            const size_t slash = path.rfind('/');
            path = (slash == std::string::npos) ? next : path.substr(0, slash + 1) + next;
        }
    }
    return path;
}

/// An output buffer on a file descriptor. A failed write makes every later
/// one fail, so the stream goes bad and `commit` refuses the file.
class AtomicFileWriter::FdBuffer : public std::streambuf
{
public:
    explicit FdBuffer(int fd) : _fd(fd), _data(1 << 16), _failed(false)
    {
        setp(_data.data(), _data.data() + _data.size());
    }

    bool failed() const { return _failed; }

protected:
    int_type overflow(int_type c) override
    {
        if (!flushData())
        {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(c, traits_type::eof()))
        {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int sync() override { return flushData() ? 0 : -1; }

private:
    bool flushData()
    {
        const char* p = pbase();
        size_t left = static_cast<size_t>(pptr() - pbase());
        while (!_failed && left > 0)
        {
            const ssize_t n = ::write(_fd, p, left);
            if (n < 0)
            {
                if (errno == EINTR)
                {
                    continue;
                }
                _failed = true;
                break;
            }
            p += n;
            left -= static_cast<size_t>(n);
        }
        setp(_data.data(), _data.data() + _data.size());
        return !_failed;
    }

    int _fd;
    std::vector<char> _data;
    bool _failed;
};

AtomicFileWriter::AtomicFileWriter(const std::string& fileName)
    : _fileName(resolveLinks(fileName)), _tmpName(), _fd(-1), _buffer(), _out(), _committed(false)
{
}

AtomicFileWriter::~AtomicFileWriter()
{
    if (!_committed)
    {
        discard();
    }
}

bool AtomicFileWriter::open()
{
    // Replacing a write-protected file would defeat its protection, and
    // replacing a device or a pipe by a plain file would break what uses it.
    struct stat st;
    if (::stat(_fileName.c_str(), &st) == 0 &&
        (::access(_fileName.c_str(), W_OK) != 0 || !S_ISREG(st.st_mode)))
    {
        return false;
    }
    const mode_t mode = modeFor(_fileName);

    std::string name = _fileName + ".XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
    {
        return false;
    }
    _fd = fd;
    _tmpName = name;
    if (::fchmod(_fd, mode) != 0)
    {
        discard();
        return false;
    }
    _buffer = std::make_unique<FdBuffer>(_fd);
    _out = std::make_unique<std::ostream>(_buffer.get());
    _out->imbue(std::locale::classic());
    return true;
}

std::ostream& AtomicFileWriter::stream()
{
    return *_out;
}

bool AtomicFileWriter::commit()
{
    if (_fd < 0 || !_out)
    {
        return false;
    }
    _out->flush();
    if (!*_out || _buffer->failed() || ::fsync(_fd) != 0)
    {
        discard();
        return false;
    }
    const int fd = _fd;
    _fd = -1;
    if (::close(fd) != 0 || std::rename(_tmpName.c_str(), _fileName.c_str()) != 0)
    {
        discard();
        return false;
    }
    _committed = true;
    return true;
}

void AtomicFileWriter::discard() noexcept
{
    if (_fd >= 0)
    {
        ::close(_fd);
        _fd = -1;
    }
    if (!_tmpName.empty())
    {
        ::unlink(_tmpName.c_str());
        _tmpName.clear();
    }
}

bool openForReading(const std::string& fileName, std::unique_ptr<std::istream>& in)
{
    // A file written by the library is a regular file: a device such as
    // /dev/zero would never end.
    struct stat st;
    if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
    {
        return false;
    }
    auto file = std::make_unique<std::ifstream>(fileName, std::ios::in);
    if (!file->is_open())
    {
        return false;
    }
    file->imbue(std::locale::classic());
    in = std::move(file);
    return true;
}

} // namespace QARNO_4_0_0
