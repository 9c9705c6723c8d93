// A blackbox executable for the tests of the blackbox-executable protocol.
//
//     test_bb_exe [MODE] FILE
//
// Reads FILE, one point per line (blank-separated coordinates), and prints
// one line per point. Without MODE on the command line the mode comes from
// the environment variable QARNO_TEST_BB_MODE (default "normal"). For a
// point x the normal line is "f c" with f = sum of the x_i and c = x_1 - 10,
// which suits BB_OUTPUT_TYPE "OBJ PB". When QARNO_TEST_BB_LOG names a file,
// each run appends to it a line holding the number of points it read; when
// QARNO_TEST_BB_POINTS_LOG names a file, each point read is appended to it,
// one line of coordinates per point.
//
// Modes:
//   normal     "f c" per point, exit status 0
//   echo       the coordinates as read, at full precision
//   exit1      the normal lines, then exit status 1
//   fewer      the line of the first point only
//   silent     nothing
//   cnt0       "f c 0" for the first point, "f c 1" for the others
//   cntbad     "f c maybe"
//   nan        "f nan"
//   long       "f c" with f written with 3000 decimals
//   extra      the normal lines followed by a megabyte of further lines
//   kill       killed by SIGKILL after reading its file
//   quad       "f" with f = sum of (x_i - 1)^2, for BB_OUTPUT_TYPE OBJ
//   perm       "m l": m = permission bits of FILE, l = 0 for a regular file
//              (not a link) with one name, else 1
//   sigparent  the first line, a pause, SIGUSR1 to the process whose id is
//              in QARNO_TEST_SIGNAL_PID, a pause, then the other lines
//   interrupt  the normal lines; the run whose number (its line in
//              QARNO_TEST_BB_LOG) is QARNO_TEST_INTERRUPT_AT first sends
//              SIGINT to the process whose id is in QARNO_TEST_SIGNAL_PID,
//              as a user's Ctrl-C during that evaluation
//   hang       starts a child that sleeps 30 s holding the output open, then
//              (when QARNO_TEST_SIGNAL_PID is set) sends the signal numbered
//              QARNO_TEST_SIGNAL (default SIGUSR1) to that process, waits
//              for the child, and prints the normal lines; when
//              QARNO_TEST_BB_PIDS names a file, its own process id and the
//              child's are appended to it, one per line
//   longline   a line of 2 MiB of "x" for the first point, normal lines for
//              the others
//   endless    100 MiB of "0" without a line end, then exit status 0

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace
{

std::vector<std::vector<double>> readPoints(const char* path)
{
    std::vector<std::vector<double>> points;
    FILE* in = std::fopen(path, "r");
    if (nullptr == in)
    {
        return points;
    }
    std::string line;
    int c = 0;
    while (EOF != (c = std::fgetc(in)))
    {
        if ('\n' != c)
        {
            line += static_cast<char>(c);
            continue;
        }
        std::vector<double> point;
        const char* p = line.c_str();
        char* end = nullptr;
        for (double v = std::strtod(p, &end); end != p; v = std::strtod(p, &end))
        {
            point.push_back(v);
            p = end;
        }
        points.push_back(point);
        line.clear();
    }
    std::fclose(in);
    return points;
}

double sum(const std::vector<double>& x)
{
    double s = 0;
    for (double v : x)
    {
        s += v;
    }
    return s;
}

double first(const std::vector<double>& x)
{
    return x.empty() ? 0.0 : x[0];
}

void printNormal(const std::vector<double>& x)
{
    std::printf("%.17g %.17g\n", sum(x), first(x) - 10);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: test_bb_exe [MODE] FILE\n");
        return 2;
    }
    const char* file = argv[argc - 1];
    const char* envMode = std::getenv("QARNO_TEST_BB_MODE");
    const std::string mode = argc >= 3 ? argv[1] : (nullptr != envMode ? envMode : "normal");
    const auto points = readPoints(file);
    size_t runNumber = 0;
    if (const char* log = std::getenv("QARNO_TEST_BB_LOG"))
    {
        if (FILE* out = std::fopen(log, "a"))
        {
            std::fprintf(out, "%zu\n", points.size());
            std::fclose(out);
        }
        if (FILE* in = std::fopen(log, "r"))
        {
            for (int c = std::fgetc(in); EOF != c; c = std::fgetc(in))
            {
                runNumber += ('\n' == c) ? 1 : 0;
            }
            std::fclose(in);
        }
    }
    if ("interrupt" == mode)
    {
        const char* at = std::getenv("QARNO_TEST_INTERRUPT_AT");
        const char* pid = std::getenv("QARNO_TEST_SIGNAL_PID");
        if (nullptr != at && nullptr != pid && runNumber == static_cast<size_t>(std::atol(at)))
        {
            kill(static_cast<pid_t>(std::atol(pid)), SIGINT);
        }
    }

    if (const char* log = std::getenv("QARNO_TEST_BB_POINTS_LOG"))
    {
        if (FILE* out = std::fopen(log, "a"))
        {
            for (const auto& x : points)
            {
                for (size_t j = 0; j < x.size(); ++j)
                {
                    std::fprintf(out, j > 0 ? " %.17g" : "%.17g", x[j]);
                }
                std::fprintf(out, "\n");
            }
            std::fclose(out);
        }
    }

    if ("kill" == mode)
    {
        raise(SIGKILL);
    }
    if ("hang" == mode)
    {
        const pid_t child = fork();
        if (0 == child)
        {
            struct timespec left = {30, 0};
            while (0 != nanosleep(&left, &left))
            {
            }
            _exit(0);
        }
        if (const char* log = std::getenv("QARNO_TEST_BB_PIDS"))
        {
            if (FILE* out = std::fopen(log, "a"))
            {
                std::fprintf(out, "%ld\n%ld\n", static_cast<long>(getpid()),
                             static_cast<long>(child));
                std::fclose(out);
            }
        }
        if (const char* pid = std::getenv("QARNO_TEST_SIGNAL_PID"))
        {
            const char* number = std::getenv("QARNO_TEST_SIGNAL");
            kill(static_cast<pid_t>(std::atol(pid)),
                 nullptr != number ? std::atoi(number) : SIGUSR1);
        }
        int status = 0;
        while (child > 0 && waitpid(child, &status, 0) < 0)
        {
        }
    }
    if ("endless" == mode)
    {
        const std::string zeros(1 << 20, '0');
        for (int k = 0; k < 100; ++k)
        {
            std::fwrite(zeros.data(), 1, zeros.size(), stdout);
        }
        std::fflush(stdout);
        return 0;
    }
    if ("silent" == mode)
    {
        return 0;
    }
    for (size_t i = 0; i < points.size(); ++i)
    {
        const auto& x = points[i];
        if ("echo" == mode)
        {
            for (size_t j = 0; j < x.size(); ++j)
            {
                std::printf(j > 0 ? " %.17g" : "%.17g", x[j]);
            }
            std::printf("\n");
        }
        else if ("quad" == mode)
        {
            double f = 0;
            for (double v : x)
            {
                f += (v - 1) * (v - 1);
            }
            std::printf("%.17g\n", f);
        }
        else if ("cnt0" == mode)
        {
            std::printf("%.17g %.17g %d\n", sum(x), first(x) - 10, i == 0 ? 0 : 1);
        }
        else if ("cntbad" == mode)
        {
            std::printf("%.17g %.17g maybe\n", sum(x), first(x) - 10);
        }
        else if ("nan" == mode)
        {
            std::printf("%.17g nan\n", sum(x));
        }
        else if ("long" == mode)
        {
            std::printf("%.3000f %.17g\n", sum(x), first(x) - 10);
        }
        else if ("perm" == mode)
        {
            struct stat info;
            const bool ok = 0 == lstat(file, &info);
            const bool plain = ok && S_ISREG(info.st_mode) && 1 == info.st_nlink;
            std::printf("%o %d\n", ok ? static_cast<unsigned>(info.st_mode & 0777) : 0u,
                        plain ? 0 : 1);
        }
        else if ("fewer" == mode && i > 0)
        {
            break;
        }
        else if ("longline" == mode && 0 == i)
        {
            const std::string line(2 << 20, 'x');
            std::printf("%s\n", line.c_str());
        }
        else
        {
            printNormal(x);
        }
        if ("sigparent" == mode && 0 == i)
        {
            std::fflush(stdout);
            // Lets the reader take the first line and wait for the next one
            // when the signal arrives.
            const struct timespec pause = {0, 200000000};
            nanosleep(&pause, nullptr);
            const char* pid = std::getenv("QARNO_TEST_SIGNAL_PID");
            if (nullptr != pid)
            {
                kill(static_cast<pid_t>(std::atol(pid)), SIGUSR1);
            }
            // The signal, not the next line, must end the reader's wait.
            nanosleep(&pause, nullptr);
        }
    }
    if ("extra" == mode)
    {
        const std::string junk(1023, 'x');
        for (int k = 0; k < 1024; ++k)
        {
            std::printf("%s\n", junk.c_str());
        }
    }
    std::fflush(stdout);
    return "exit1" == mode ? 1 : 0;
}
