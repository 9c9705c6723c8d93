// The lock that a run holds on its cache file: one holder at a time, the
// same lock for every name of one file, nothing left behind.

#include <gtest/gtest.h>

#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "Util/FileLock.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using QarnoTest::TempDir;

namespace
{

bool exists(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

TEST(FileLock, OneHolderAtATime)
{
    const TempDir dir;
    const std::string file = dir.file("cache.txt");
    ASSERT_EQ(0, ::symlink(file.c_str(), dir.file("other-name.txt").c_str()));

    FileLock first;
    EXPECT_EQ(FileLock::Result::ACQUIRED, first.acquire(file));
    EXPECT_TRUE(first.held());
    EXPECT_EQ(file + ".lock", first.lockFileName());
    EXPECT_TRUE(exists(file + ".lock"));

    // Another holder, by the same name or through a link to the file.
    FileLock second;
    EXPECT_EQ(FileLock::Result::IN_USE, second.acquire(file));
    EXPECT_FALSE(second.held());
    EXPECT_EQ(FileLock::Result::IN_USE, second.acquire(dir.file("other-name.txt")));
    EXPECT_EQ(file + ".lock", second.lockFileName());

    // Released: the lock file goes, and the next holder makes its own.
    first.release();
    EXPECT_FALSE(first.held());
    EXPECT_FALSE(exists(file + ".lock"));
    EXPECT_EQ(FileLock::Result::ACQUIRED, second.acquire(dir.file("other-name.txt")));
    EXPECT_TRUE(exists(file + ".lock"));
    first.release(); // holds nothing: no effect on the other
    EXPECT_TRUE(exists(file + ".lock"));
    EXPECT_EQ(FileLock::Result::IN_USE, first.acquire(file));
}

TEST(FileLock, LeftOverLockFileHoldsNoLock)
{
    // A run that was killed leaves its lock file: the next run takes it.
    const TempDir dir;
    const std::string file = dir.file("cache.txt");
    {
        FILE* leftOver = std::fopen((file + ".lock").c_str(), "w");
        ASSERT_NE(nullptr, leftOver);
        std::fclose(leftOver);
    }
    FileLock lock;
    EXPECT_EQ(FileLock::Result::ACQUIRED, lock.acquire(file));
}

TEST(FileLock, NoLockWhereNoLockFileCanBeMade)
{
    const TempDir dir;
    FileLock lock;
    EXPECT_EQ(FileLock::Result::NO_LOCK, lock.acquire(dir.file("no/such/folder/cache.txt")));
    EXPECT_FALSE(lock.held());

    // A link planted at the lock file's name is not followed.
    const std::string file = dir.file("cache.txt");
    ASSERT_EQ(0, ::symlink(dir.file("elsewhere").c_str(), (file + ".lock").c_str()));
    EXPECT_EQ(FileLock::Result::NO_LOCK, lock.acquire(file));
    EXPECT_FALSE(exists(dir.file("elsewhere")));
}

TEST(FileLock, ReleasedAtDestruction)
{
    const TempDir dir;
    const std::string file = dir.file("cache.txt");
    {
        FileLock lock;
        ASSERT_EQ(FileLock::Result::ACQUIRED, lock.acquire(file));
    }
    EXPECT_FALSE(exists(file + ".lock"));
    FileLock again;
    EXPECT_EQ(FileLock::Result::ACQUIRED, again.acquire(file));
}

} // namespace
