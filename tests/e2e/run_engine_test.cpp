// The run engine that both front ends use: parallel runs deliver exactly
// what one job delivers, a file error ends the run where one job would, and
// a stop takes effect inside a file.

#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#if !defined(_WIN32)
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "analysis/run_engine.h"
#include "support/faults.h"
#include "support/lzh_writer.h"
#include "support/temp_dir.h"

namespace veskari {
namespace {

using test::Bytes;
using test::TempDir;

struct Recorder final : RunClient {
    void ReportAppended(const std::string& text) override { report += text; }
    void UnitFinished(UnitResult& result) override
    {
        units += result.unit->path + (result.stopped ? " stopped" : "") + "\n";
        for (const Problem& problem : result.problems) {
            units += problem.Text(Language::English) + "\n";
        }
    }
    std::string report;
    std::string units;
};

RunSummary RunWith(unsigned jobs, const std::vector<std::string>& paths, Recorder& recorder)
{
    RunSettings settings;
    settings.jobs = jobs;
    RunEngine engine(settings, recorder);
    return engine.Run(paths);
}

#if !defined(_WIN32)
// A pipe named as a PATH is copied up to its bound: what came before it is
// analysed, and the cut is told as a problem of that file.
TEST(RunEngineTest, AStreamBeyondItsBoundIsCutAndTold)
{
    const TempDir dir;
    const std::string fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Bytes stream = test::MakeMicrocodeUpdate({});
    stream.resize(3 * 4096, 0);
    std::thread writer([&] {
        const auto previous = ::signal(SIGPIPE, SIG_IGN);
        const int descriptor = ::open(fifo.c_str(), O_WRONLY);
        if (descriptor >= 0) {
            (void)!::write(descriptor, stream.data(), stream.size());
            ::close(descriptor);
        }
        ::signal(SIGPIPE, previous);
    });
    RunSettings settings;
    settings.streamBytes = 4096;
    Recorder recorder;
    RunEngine engine(settings, recorder);
    const RunSummary summary = engine.Run({fifo});
    writer.join();
    EXPECT_EQ(summary.updates, 1U);
    EXPECT_EQ(recorder.units, fifo + "\n" + fifo + ": only its first 4096 bytes were copied and analysed\n");
}
#endif

TEST(RunEngineTest, ParallelRunsDeliverWhatOneJobDeliversAndEndWhereItEnds)
{
    const TempDir dir;
    test::MicrocodeFields fields;
    for (int i = 0; i < 30; ++i) {
        fields.revision = static_cast<std::uint32_t>(i + 1);
        Bytes image(static_cast<std::size_t>(i % 7) * 40000, 0xFF);
        test::Append(image, test::MakeStoredMember("m.bin", test::MakeStoredMember("n.bin", test::MakeMicrocodeUpdate(fields))));
        (void)dir.Write("tree/" + std::string(1, static_cast<char>('a' + i % 5)) + "/f" + std::to_string(i), image);
    }
    const std::vector<std::string> paths{dir / "tree", dir / "missing", dir / "tree/a"};
    StringReport sequential;
    Analyzer analyzer(sequential);
    for (const std::string& path : paths) {
        analyzer.AnalyzePath(path);
    }
    Recorder one;
    const RunSummary summary = RunWith(1, paths, one);
    EXPECT_EQ(one.report, sequential.Text());
    EXPECT_EQ(summary.files, 30U + 1U + 6U);
    EXPECT_EQ(summary.problems, 1U);
    for (const unsigned jobs : {2U, 3U, 8U}) {
        Recorder many;
        (void)RunWith(jobs, paths, many);
        EXPECT_EQ(many.report, one.report) << jobs;
        EXPECT_EQ(many.units, one.units) << jobs;
    }

#if defined(_WIN32)
    // No file refuses to be read by everyone: the test hook refuses this one.
    const std::string refused = dir.Write("refused.bin", Bytes(10, 0));
    const test::RefusingHook hook(test::ReadsOf(refused));
#else
    // Reading /proc/self/mem is refused with EIO: a file error for any user.
    const std::string refused = "/proc/self/mem";
#endif
    const std::vector<std::string> failing{dir / "tree", refused, dir / "tree"};
    Recorder oneFailing;
    const RunSummary failed = RunWith(1, failing, oneFailing);
    ASSERT_TRUE(failed.failure);
    EXPECT_EQ(failed.failure->CauseName(), std::string("hardIO"));
    EXPECT_TRUE(oneFailing.report.ends_with("<< " + refused + " >>\r\n"));
    Recorder manyFailing;
    EXPECT_TRUE(RunWith(4, failing, manyFailing).failure);
    EXPECT_EQ(manyFailing.report, oneFailing.report);
    EXPECT_EQ(manyFailing.units, oneFailing.units);
}

TEST(RunEngineTest, AStopTakesEffectInsideOneLargeFile)
{
    const TempDir dir;
    const std::string path = dir / "sparse.bin";
    test::WriteFile(path, Bytes(10, 0));
    std::filesystem::resize_file(path, std::uint64_t{4} << 30);  // a hole: no disk used
    Recorder recorder;
    RunSettings settings;
    settings.jobs = 2;
    RunEngine engine(settings, recorder);
    std::thread stopper([&engine] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        engine.RequestStop();
    });
    const RunSummary summary = engine.Run({path, path});
    stopper.join();
    // Only a stop noticed inside the file marks it stopped: after its end
    // the file would be finished, and the second one never started.
    EXPECT_TRUE(summary.stopped);
    EXPECT_EQ(recorder.units, path + " stopped\n");
    EXPECT_EQ(recorder.report, "<< " + path + " >>\r\n");
}

}  // namespace
}  // namespace veskari
