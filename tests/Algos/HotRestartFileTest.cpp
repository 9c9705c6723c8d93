#include <gtest/gtest.h>

#include <cstdint>
#include <dirent.h>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "Algos/Algorithm.hpp"
#include "Algos/MegaIteration.hpp"
#include "Cache/CacheBase.hpp"
#include "Eval/Barrier.hpp"
#include "Eval/EvaluatorControl.hpp"
#include "Math/RNG.hpp"
#include "Util/Utils.hpp"
#include "support/CacheSupport.hpp"
#include "support/EvalSupport.hpp"
#include "support/EvcSupport.hpp"
#include "support/StepSupport.hpp"
#include "support/StepTree.hpp"
#include "support/TestSupport.hpp"

using namespace QARNO_4_0_0;
using namespace QarnoTest;

namespace
{

using Coords = std::vector<std::vector<double>>;

struct RngWords
{
    uint32_t x, y, z;
    bool operator==(const RngWords& o) const { return x == o.x && y == o.y && z == o.z; }
};

std::ostream& operator<<(std::ostream& os, const RngWords& w)
{
    return os << "(" << w.x << " " << w.y << " " << w.z << ")";
}

RngWords rngWords()
{
    return {RNG::_x, RNG::_y, RNG::_z};
}

const RngWords DEFAULT_WORDS{RNG::x_def, RNG::y_def, RNG::z_def};

/// The names in a directory, "." and ".." aside.
std::vector<std::string> namesIn(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str()))
    {
        while (const dirent* e = ::readdir(d))
        {
            const std::string name = e->d_name;
            if (name != "." && name != "..")
            {
                names.push_back(name);
            }
        }
        ::closedir(d);
    }
    return names;
}

/// A run with a cache holding a feasible and an infeasible point, and a
/// top algorithm with the hot-restart flags given on the file `file`.
struct HotRestartRun
{
    HotRestartRun(bool readFiles, bool writeFiles, const std::string& file)
        : run(), main("Main"),
          algo(&main, "Test Algorithm", makeHotRestartRunParams(2, readFiles, writeFiles, file),
               makeCheckedPbParams(2))
    {
        algo.libraryRun = true;
        CacheBase::getInstance()->insert(feasible);
        CacheBase::getInstance()->insert(infeasible);
    }

    /// The algorithm's current mega-iteration := k with a barrier of both points.
    void setMegaIteration(size_t k)
    {
        auto barrier = std::make_shared<Barrier>(INF, Point(2), EvalType::BB,
                                                 std::vector<EvalPoint>{feasible, infeasible});
        algo.setMegaIteration(std::make_shared<TestMegaIteration>(&algo, k, barrier));
    }

    EvaluatorControl& evc() { return *run.evc; }

    const EvalPoint feasible = makeEvalPoint({1.0, 2.0}, 1.0, 0.0);
    const EvalPoint infeasible = makeEvalPoint({3.0, 4.0}, 0.0, 2.0);
    EvcHarness run;
    RecordingStep main;
    TestAlgorithm algo;
};

} // namespace

TEST(HotRestartFile, WrittenThenReadBack)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::TempDir dir;
    const std::string file = dir.file("hotrestart.txt");
    {
        HotRestartRun writing(false, true, file);
        writing.setMegaIteration(4);
        CacheBase::_nbCacheHits.store(2);
        writing.evc().setBbEval(9);
        writing.evc().setNbEval(12);
        RNG::_x = 11;
        RNG::_y = 22;
        RNG::_z = 4000000000u;

        StreamCapture out(std::cout);
        writing.algo.saveInformationForHotRestart();
        EXPECT_EQ("Save information for hot restart.\nWrite hot restart file.\n", out.text());
    }

    const auto lines = linesOf(QarnoTest::readTextFile(file));
    ASSERT_EQ(10u, lines.size()) << QarnoTest::readTextFile(file);
    EXPECT_EQ("MEGA_ITERATION ", lines[0]);
    EXPECT_EQ("ITERATION_COUNT 4", lines[1]);
    EXPECT_EQ("BARRIER ", lines[2]);
    EXPECT_EQ(0u, lines[3].find("X_FEAS "));
    EXPECT_EQ(0u, lines[4].find("X_INF "));
    EXPECT_EQ(0u, lines[5].find("H_MAX "));
    EXPECT_EQ("", lines[6]);
    EXPECT_EQ("NB_EVAL 12", lines[7]);
    EXPECT_EQ("NB_BB_EVAL 9", lines[8]);
    EXPECT_EQ("RNG 11 22 4000000000", lines[9]);

    // A later run in the same process, from a fresh state.
    ProcessStateGuard::resetToLoadState();
    HotRestartRun reading(true, false, file);
    CacheBase::_nbCacheHits.store(2);
    reading.algo.readInformationForHotRestart();
    const auto& mega = reading.algo.getMegaIteration();
    ASSERT_NE(nullptr, mega);
    EXPECT_EQ(4u, mega->getK());
    EXPECT_EQ((Coords{{1, 2}}), QarnoTest::coordsOf(mega->getBarrier()->getAllXFeas()));
    EXPECT_EQ((Coords{{3, 4}}), QarnoTest::coordsOf(mega->getBarrier()->getAllXInf()));
    EXPECT_EQ(9u, reading.evc().getBbEval());
    EXPECT_EQ(12u, reading.evc().getNbEval());
    EXPECT_EQ((RngWords{11, 22, 4000000000u}), rngWords());
}

TEST(HotRestartFile, ReaderActsOnWhatItReadsAndStopsAtWhatItRefuses)
{
    struct Case
    {
        const char* label;
        std::string text;
        size_t bb;
        size_t nb;
        RngWords words;
    };
    const Case cases[] = {
        {"NB_EVAL only: blackbox count 0", "NB_EVAL 12\n", 0, 12, DEFAULT_WORDS},
        {"no final line end after the RNG words",
         "NB_EVAL 3\nNB_BB_EVAL 2\nRNG 7 8 9",
         2,
         3,
         {7, 8, 9}},
        {"a value ending the file", "RNG 7 8 9\nNB_BB_EVAL 2\nNB_EVAL 3", 2, 3, {7, 8, 9}},
        {"unknown keyword stops reading", "NB_EVAL 5\nFOO 1\nNB_BB_EVAL 4\nRNG 7 8 9\n", 0, 5,
         DEFAULT_WORDS},
        {"negative count refused", "NB_BB_EVAL 4\nNB_EVAL -3\nRNG 7 8 9\n", 4, 0, DEFAULT_WORDS},
        {"explicit plus sign refused", "NB_BB_EVAL +4\nNB_EVAL 3\n", 0, 0, DEFAULT_WORDS},
        {"count beyond 64 bits refused", "NB_EVAL 18446744073709551616\nNB_BB_EVAL 4\n", 0, 0,
         DEFAULT_WORDS},
        {"counts beyond 32 bits kept", "NB_EVAL 5000000000\nNB_BB_EVAL 4000000000\n", 4000000000u,
         5000000000u, DEFAULT_WORDS},
        {"random word beyond 32 bits refused, none stored", "RNG 7 8 4294967296\nNB_EVAL 3\n", 0, 0,
         DEFAULT_WORDS},
        {"empty file", "", 0, 0, DEFAULT_WORDS},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.label);
        ProcessStateGuard guard;
        StreamCapture quiet(std::cout);
        QarnoTest::TempDir dir;
        const std::string file = dir.file("hotrestart.txt");
        QarnoTest::writeTextFile(file, c.text);
        // Only read, never written: the reader needs no more.
        ASSERT_EQ(0, ::chmod(file.c_str(), 0444));
        HotRestartRun reading(true, false, file);
        reading.evc().setBbEval(50);
        reading.evc().setNbEval(60);

        CerrCapture err;
        reading.algo.readInformationForHotRestart();
        EXPECT_EQ("", err.text());
        EXPECT_EQ(c.bb, reading.evc().getBbEval());
        EXPECT_EQ(c.nb, reading.evc().getNbEval());
        EXPECT_EQ(c.words, rngWords());
    }
}

TEST(HotRestartFile, FewerEvaluationsThanCacheHitsAreRefused)
{
    // The evaluations of a run include the cache hits of the cache file it
    // wrote at the same time: fewer come from another run's file.
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::TempDir dir;
    const std::string file = dir.file("hotrestart.txt");
    QarnoTest::writeTextFile(file, "NB_EVAL 3\nNB_BB_EVAL 2\n");
    HotRestartRun reading(true, false, file);
    CacheBase::_nbCacheHits.store(12);
    reading.evc().setBbEval(50);
    reading.evc().setNbEval(60);

    CerrCapture err;
    EXPECT_EQ("NB_EVAL 3 is smaller than the 12 cache hits of the cache file",
              messageOf([&] { reading.algo.readInformationForHotRestart(); }));
    EXPECT_EQ("", err.text());
    // The counters are left as they were.
    EXPECT_EQ(50u, reading.evc().getBbEval());
    EXPECT_EQ(60u, reading.evc().getNbEval());
}

TEST(HotRestartFile, NoMegaIterationToWriteOrToReadInto)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::TempDir dir;
    const std::string file = dir.file("hotrestart.txt");
    HotRestartRun run(false, true, file);
    run.evc().setBbEval(9);
    run.evc().setNbEval(12);

    // A run that ended before its first mega-iteration.
    run.algo.saveInformationForHotRestart();
    EXPECT_EQ(
        (std::vector<std::string>{"NB_EVAL 12", "NB_BB_EVAL 9",
                                  "RNG " + itos(size_t(RNG::x_def)) + " " +
                                      itos(size_t(RNG::y_def)) + " " + itos(size_t(RNG::z_def))}),
        linesOf(QarnoTest::readTextFile(file)));

    // A mega-iteration block with nothing to read it into is reported and
    // ends reading at its first line.
    run.evc().setBbEval(0);
    run.evc().setNbEval(0);
    std::istringstream in("MEGA_ITERATION\nITERATION_COUNT 3\nNB_EVAL 4\n");
    CerrCapture err;
    in >> run.algo;
    EXPECT_EQ("Error: Reading a MegaIteration onto a NULL pointer\n", err.text());
    EXPECT_EQ(0u, run.evc().getNbEval());
    std::string next;
    in >> next;
    EXPECT_EQ("ITERATION_COUNT", next);
}

TEST(HotRestartFile, SavingWritesTheCacheFileAndTheHotRestartFileWhenAsked)
{
    for (const bool writeFiles : {false, true})
    {
        SCOPED_TRACE(writeFiles ? "HOT_RESTART_WRITE_FILES" : "default");
        ProcessStateGuard guard;
        QarnoTest::TempDir dir;
        QarnoTest::startCache({BBOutputType::OBJ, BBOutputType::PB}, dir.file("cache.txt"));
        HotRestartRun run(false, writeFiles, dir.file("hotrestart.txt"));
        run.setMegaIteration(1);

        StreamCapture out(std::cout);
        run.algo.saveInformationForHotRestart();
        EXPECT_TRUE(checkReadFile(dir.file("cache.txt")));
        EXPECT_EQ(writeFiles, checkReadFile(dir.file("hotrestart.txt")));
        EXPECT_EQ(writeFiles, !out.text().empty());
    }
}

TEST(HotRestartFile, FailedWriteWarnsAndKeepsWhatWasThere)
{
    ProcessStateGuard guard;
    StreamCapture quiet(std::cout);
    QarnoTest::TempDir dir;
    // A directory in the place of the file: it cannot be replaced, whatever
    // the user's rights.
    const std::string target = dir.file("hotrestart.txt");
    ASSERT_EQ(0, ::mkdir(target.c_str(), 0755));
    HotRestartRun run(false, true, target);
    run.setMegaIteration(1);

    CerrCapture err;
    run.algo.saveInformationForHotRestart();
    EXPECT_EQ("Warning: N11QARNO_4_0_09AlgorithmE: Cannot write to file " + target + "\n",
              err.text());
    struct stat st;
    ASSERT_EQ(0, ::stat(target.c_str(), &st));
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    // No temporary file is left behind.
    EXPECT_EQ(std::vector<std::string>{"hotrestart.txt"}, namesIn(dir.path()));
}
