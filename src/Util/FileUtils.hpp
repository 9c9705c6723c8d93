#ifndef QARNO_UTIL_FILEUTILS_HPP
#define QARNO_UTIL_FILEUTILS_HPP

#include <iostream>
#include <memory>
#include <string>
#include <typeinfo>

#include "Util/Utils.hpp"
#include "Util/WriteFailures.hpp"

namespace QARNO_4_0_0
{

/// Writes a file that the library reads back later (cache, hot restart) so
/// that a reader never sees it half written: the text goes to a new
/// temporary file in the same folder, which replaces the target by a rename
/// only once everything was written. A failure at any step leaves the
/// previous file as it was.
///
///     AtomicFileWriter writer("/run/cache.txt");
///     if (writer.open())
///     {
///         writer.stream() << text;
///         ok = writer.commit();
///     }
///
/// The stream uses the classic locale. The temporary file is created
/// exclusively (never through a symbolic link) and gets the permissions of
/// the file it replaces, or those of a new file. A target that exists but
/// may not be written, or that is no regular file (a device, a pipe), is not
/// replaced. A target that is a symbolic link is
/// written through: the file it leads to is replaced (the temporary file
/// then lies in that file's folder) and the link stays a link.
class AtomicFileWriter
{
public:
    explicit AtomicFileWriter(const std::string& fileName);
    /// Removes the temporary file when `commit` did not succeed.
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    /// Creates the temporary file; false when it cannot be made.
    bool open();
    /// The stream to the temporary file; valid after a successful `open`.
    std::ostream& stream();
    /// Flushes, syncs and renames the temporary file over the target; false
    /// when anything failed, the target then being untouched.
    bool commit();

private:
    class FdBuffer;

    /// Closes the descriptor and removes the temporary file.
    void discard() noexcept;

    std::string _fileName;
    std::string _tmpName;
    int _fd;
    std::unique_ptr<FdBuffer> _buffer;
    std::unique_ptr<std::ostream> _out;
    bool _committed;
};

/// The file that `fileName` leads to once every symbolic link on its last
/// component is followed (a relative link from the link's folder); the name
/// itself when it is no link or does not exist. A link that cannot be read
/// ends the walk there.
std::string resolveLinks(const std::string& fileName);

/// Opens `fileName` read-only for `read<T>`, in the classic locale; false
/// when it cannot be opened or is no regular file.
bool openForReading(const std::string& fileName, std::unique_ptr<std::istream>& in);

/// Writes `obj` with its `operator<<` to `fileName`, through
/// `AtomicFileWriter`. Problems go to standard error as "Warning: ", the
/// run-time type name of T and the problem; the answer is then false, the
/// previous file is kept and a named file is recorded in `WriteFailures`.
template <typename T> bool write(const T& obj, const std::string& fileName)
{
    if (fileName.empty())
    {
        std::cerr << "Warning: " << typeid(T).name()
                  << ": Cannot write to file: file name is not defined.";
        return false;
    }
    {
        AtomicFileWriter writer(fileName);
        if (writer.open())
        {
            writer.stream() << obj;
            if (writer.commit())
            {
                return true;
            }
        }
    }
    std::cerr << "Warning: " << typeid(T).name() << ": Cannot write to file " << fileName
              << std::endl;
    WriteFailures::record(fileName);
    return false;
}

/// Fills `obj` with its `operator>>` from `fileName`, opened read-only.
/// Problems go to standard error as for `write`; true once the file was
/// opened, whatever the reader found.
template <typename T> bool read(T& obj, const std::string& fileName)
{
    if (fileName.empty())
    {
        std::cerr << "Warning: " << typeid(T).name()
                  << ": Cannot read file: file name is not defined.";
        return false;
    }
    if (!checkReadFile(fileName))
    {
        std::cerr << "Warning: " << typeid(T).name()
                  << ": File does not exist or cannot be read: " << fileName << std::endl;
        return false;
    }
    std::unique_ptr<std::istream> in;
    if (!openForReading(fileName, in))
    {
        std::cerr << "Warning: " << typeid(T).name() << ": Cannot read from file " << fileName
                  << std::endl;
        return false;
    }
    *in >> obj;
    return true;
}

} // namespace QARNO_4_0_0

#endif
