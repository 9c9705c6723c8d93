#ifndef QARNO_UTIL_FILELOCK_HPP
#define QARNO_UTIL_FILELOCK_HPP

#include <string>

namespace QARNO_4_0_0
{

/// An advisory lock that one process holds on a file it reads at the start
/// of a run and replaces at its end (the cache file): a second run on the
/// same file, in this process or another, finds it taken.
///
/// The lock is an exclusive `flock` on a lock file beside the file: the
/// file's name with ".lock" appended, in the folder of the file its
/// symbolic links lead to, so that two names of one file share one lock.
/// The file itself cannot carry the lock, since every write replaces it by
/// a new one. The lock file is removed when the lock is released; one left
/// by a process that was killed holds no lock and is taken over.
///
///     FileLock lock;
///     if (FileLock::Result::IN_USE == lock.acquire("/run/cache.txt")) ...
///     ...
///     lock.release();                 // or at destruction
///
/// The descriptor is closed on exec: a blackbox started by the run does not
/// keep the lock alive after the run.
class FileLock
{
public:
    enum class Result
    {
        ACQUIRED, ///< held until `release`
        IN_USE,   ///< another holder has it
        NO_LOCK   ///< no lock file can be made (a read-only folder), or the file
                  ///< is a device or a pipe: not held
    };

    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    /// Takes the lock of `fileName`, after releasing one held already.
    Result acquire(const std::string& fileName);
    /// Removes the lock file and gives the lock up; nothing when none is held.
    void release() noexcept;

    bool held() const { return _fd >= 0; }
    /// The lock file of the last `acquire`.
    const std::string& lockFileName() const { return _lockFileName; }

private:
    int _fd = -1;
    std::string _lockFileName;
};

} // namespace QARNO_4_0_0

#endif
