#include "Util/FileLock.hpp"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Util/FileUtils.hpp"

namespace QARNO_4_0_0
{

FileLock::~FileLock()
{
    release();
}

FileLock::Result FileLock::acquire(const std::string& fileName)
{
    release();
    const std::string target = resolveLinks(fileName);
    _lockFileName = target + ".lock";
    // A device or a pipe is never replaced by a run: there is nothing to
    // guard, and no lock file belongs beside it.
    struct stat st;
    if (::stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    {
        return Result::NO_LOCK;
    }

    // The holder removes the lock file as it releases the lock: a file
    // opened just before that is no longer the lock file once locked, and
    // the lock is taken again on the new one.
    constexpr int MAX_ATTEMPTS = 100;
    for (int attempt = 0; attempt < MAX_ATTEMPTS; ++attempt)
    {
        const int fd =
            ::open(_lockFileName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0)
        {
            if (EINTR == errno)
            {
                continue;
            }
            return Result::NO_LOCK;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        {
            const int error = errno;
            ::close(fd);
            if (EINTR == error)
            {
                continue;
            }
            return (EWOULDBLOCK == error) ? Result::IN_USE : Result::NO_LOCK;
        }
        struct stat held;
        struct stat named;
        if (::fstat(fd, &held) == 0 && ::stat(_lockFileName.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino)
        {
            _fd = fd;
            return Result::ACQUIRED;
        }
        ::close(fd);
    }
    return Result::IN_USE;
}

void FileLock::release() noexcept
{
    if (_fd < 0)
    {
        return;
    }
    // Removed while still locked: whoever opens the name afterwards makes a
    // new lock file.
    ::unlink(_lockFileName.c_str());
    ::close(_fd);
    _fd = -1;
}

} // namespace QARNO_4_0_0
