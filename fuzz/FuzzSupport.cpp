#include "FuzzSupport.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <streambuf>

#include <unistd.h>

#include "Output/OutputQueue.hpp"

namespace QarnoFuzz
{

namespace
{

class NullBuffer : public std::streambuf
{
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

} // namespace

void silenceStreams()
{
    static NullBuffer nowhere;
    std::cout.rdbuf(&nowhere);
    std::cerr.rdbuf(&nowhere);
    quietOutputQueue();
}

void quietOutputQueue()
{
    QARNO_4_0_0::OutputQueue::getInstance()->setDisplayDegree(0);
}

ScratchFile::ScratchFile(const std::string& name) : _dir(), _path()
{
    std::string dir = "/tmp/qarno-fuzz-XXXXXX";
    if (nullptr == ::mkdtemp(dir.data()))
    {
        std::perror("mkdtemp");
        std::abort();
    }
    _dir = dir;
    _path = dir + "/" + name;
}

ScratchFile::~ScratchFile()
{
    // The reader may leave files beside this one (a lock file).
    std::error_code ignored;
    std::filesystem::remove_all(_dir, ignored);
}

void ScratchFile::write(const std::string& text) const
{
    std::ofstream out(_path, std::ios::binary | std::ios::trunc);
    out << text;
}

void propertyFailed(const std::string& what)
{
    std::fprintf(stderr, "property failed: %s\n", what.c_str());
    std::abort();
}

} // namespace QarnoFuzz
