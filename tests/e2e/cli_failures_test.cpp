// veskari-scan on what it cannot read, on names made to forge output, on
// its options and under signals: every failure told, a truthful exit
// status, the report's bytes unchanged, nothing left behind.

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <fcntl.h>
#include <thread>

#include "output/extraction.h"
#include "output/json_text.h"
#include "platform/anonymous_file.h"
#include "support/faults.h"
#include "support/lzh_writer.h"
#include "support/temp_dir.h"

#if defined(_WIN32)
#include "platform/windows/windows_api.h"
#else
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace veskari {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test::Bytes;
using test::CommandResult;
using test::MakeStoredMember;
using test::RunCommand;
using test::ShellQuote;
using test::TempDir;

const std::string kScan = ShellQuote(VESKARI_SCAN_BINARY);

Bytes Update(std::uint32_t revision)
{
    test::MicrocodeFields fields;
    fields.revision = revision;
    return test::MakeMicrocodeUpdate(fields);
}

#if !defined(_WIN32)
// Root reads files whatever their mode: run the command as nobody then,
// with the test's folders opened up to it.
std::string AsUnprivileged(const TempDir& dir)
{
    if (::geteuid() != 0) {
        return "";
    }
    for (fs::path path = dir.Path(); path != path.root_path(); path = path.parent_path()) {
        if (path.filename().string().starts_with("vsk-tests-") || path.filename().string().starts_with("work-")) {
            fs::permissions(path, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
        }
    }
    return "setpriv --reuid=65534 --regid=65534 --clear-groups -- ";
}
#endif

// Standard input with no temporary folder to copy it into: the folder is
// named as the cause, not the stream.
TEST(CliFailuresTest, StreamWithoutATemporaryFolderSaysSo)
{
    VESKARI_SKIP_ON_WINDOWS("a shell to feed standard input");
    const TempDir dir;
    const std::string file = dir.Write("one.bin", Update(1));
    const CommandResult result =
        RunCommand("TMPDIR=" + ShellQuote(dir / "missing") + " " + kScan + " - < " + ShellQuote(file));
    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_EQ(result.out, "<< - >>\n");
    EXPECT_EQ(result.err,
              "veskari-scan: -: cannot be copied, no file can be made in the temporary folder ($TMPDIR): not found\n");
    EXPECT_EQ(RunCommand(kScan + " - < " + ShellQuote(file)).exitStatus, 0);
}

TEST(CliFailuresTest, EveryFailureIsToldInTheUsersLanguageAndTheReportKeepsItsBytes)
{
#if defined(_WIN32)
    VESKARI_SKIP_ON_WINDOWS("FIFOs, POSIX permissions, setpriv and ulimit");
#else
    const TempDir dir;
    const std::string good = dir.Write("tree/a.bin", Update(1));
    (void)dir.Write("tree/locked.bin", Update(2));
    ::chmod((dir / "tree/locked.bin").c_str(), 0);
    ASSERT_EQ(::mkfifo((dir / "tree/fifo").c_str(), 0600), 0);
    (void)dir.Write("tree/shut/x.bin", Update(3));
    ::chmod((dir / "tree/shut").c_str(), 0);
    fs::permissions(dir / "tree", fs::perms::all, fs::perm_options::add);
    const std::string tree = dir / "tree";
    const std::string missing = dir / "missing.bin";
    const std::string as = AsUnprivileged(dir);

    const std::string arguments = " " + ShellQuote(tree) + " " + ShellQuote(missing);
    const CommandResult result = RunCommand("LC_ALL=C " + as + kScan + arguments);
    EXPECT_EQ(result.exitStatus, 3) << result.err;
    // Every file still has its headline and nothing else: exactly the report of before.
    EXPECT_EQ(result.out, "<< " + good + " >>\n < a.bin >\n1999/05/25 Rev. 0x01 (CPUID 0x652) SECC Pentium II Xeon "
                          "Processor\n\n<< " + tree + "/fifo >>\n\n<< " + tree + "/locked.bin >>\n\n<< " + missing +
                          " >>\n");
    EXPECT_EQ(result.err, "veskari-scan: " + tree + "/fifo: not a regular file, not read\n"
                          "veskari-scan: " + tree + "/locked.bin: cannot be read: access denied\n"
                          "veskari-scan: " + tree + "/shut: folder cannot be read: access denied\n"
                          "veskari-scan: " + missing + ": cannot be read: not found\n");

    const CommandResult japanese = RunCommand("LC_ALL=ja_JP.UTF-8 " + as + kScan + " " + ShellQuote(missing));
    EXPECT_EQ(japanese.err, "veskari-scan: " + missing + ": 読み込めません: 見つかりません\n");

    const CommandResult jsonRun = RunCommand(as + kScan + " --json" + arguments);
    EXPECT_EQ(jsonRun.exitStatus, 3);
    const json document = json::parse(jsonRun.out);
    EXPECT_EQ(document["paths"][0]["problems"][0]["kind"], "cannotList");
    EXPECT_EQ(document["paths"][0]["problems"][0]["cause"], "accessDenied");
    EXPECT_EQ(document["paths"][0]["files"][1]["problems"][0]["kind"], "notRegularFile");
    EXPECT_EQ(document["paths"][1]["files"][0]["problems"][0]["where"], missing);

#if !defined(__SANITIZE_ADDRESS__)  // the sanitizers' own runtime needs descriptors
    // Out of descriptors, a member too large for memory cannot be decoded:
    // told, not passed over.
    const std::string nested = dir.Write("nested.bin", MakeStoredMember("m.bin", Bytes(kMemoryFileLimit + 1, 0)));
    const CommandResult starved =
        RunCommand("sh -c " + ShellQuote("exec 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-; ulimit -n 4 && exec " + kScan +
                                         " -j1 " + ShellQuote(nested)));
    EXPECT_EQ(starved.exitStatus, 3);
    EXPECT_EQ(starved.err, "veskari-scan: nested.bin/m.bin: member not analysed, no file for its data: too many open files\n");

    // Few descriptors: as many jobs as asked for still give the report of one.
    for (int i = 0; i < 40; ++i) {
        (void)dir.Write("many/" + std::to_string(100 + i) + ".bin", Update(static_cast<std::uint8_t>(i + 1)));
    }
    const auto tight = [&](const std::string& jobs) {
        return RunCommand("sh -c " + ShellQuote("ulimit -n 24 && exec " + kScan + " " + jobs + " " +
                                                ShellQuote(dir / "many")));
    };
    const CommandResult one = tight("-j1");
    EXPECT_EQ(one.exitStatus, 0) << one.err;
    const CommandResult sixteen = tight("-j16");
    EXPECT_EQ(sixteen.exitStatus, 0) << sixteen.err;
    EXPECT_EQ(sixteen.out, one.out);
#endif

    // A named pipe given by name is read once its writer comes, not taken
    // for an empty file.
    const std::string pipe = dir / "late";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const CommandResult late = RunCommand("sh -c " + ShellQuote("(sleep 0.5; cat " + ShellQuote(good) + " > " +
                                                                ShellQuote(pipe) + ") & exec " + kScan + " " +
                                                                ShellQuote(pipe)));
    EXPECT_EQ(late.exitStatus, 0) << late.err;
    EXPECT_EQ(late.out, "<< " + pipe + " >>\n < late >\n1999/05/25 Rev. 0x01 (CPUID 0x652) SECC Pentium II Xeon "
                        "Processor\n");
#endif
}

TEST(CliFailuresTest, NamesCannotForgeReportLinesNorDriveATerminal)
{
    VESKARI_SKIP_ON_WINDOWS("file names with control characters and '<'");
    const TempDir dir;
    const std::string forged = dir.Write("a\n< forged >\x1B[2J\xC2\x9B\xFF", MakeStoredMember("m\x0A.bin", Update(1)));
    for (const std::string mode : {"", "--crlf ", "-v "}) {
        const CommandResult result = RunCommand(kScan + " " + mode + ShellQuote(forged));
        EXPECT_EQ(result.out.find('\x1B'), std::string::npos) << mode;
        EXPECT_EQ(result.err.find('\x1B'), std::string::npos) << mode;
        EXPECT_NE(result.out.find("a\\x0A< forged >\\x1B[2J\\xC2\\x9B\\xFF >>"), std::string::npos)
            << mode << result.out;
        EXPECT_NE(result.out.find(" < a\\x0A< forged >\\x1B[2J\\xC2\\x9B\\xFF/m\\x0A.bin >"), std::string::npos)
            << mode << result.out;
    }
    // JSON keeps the exact bytes: as text where they are UTF-8, beside it as hex where not.
    const json document = json::parse(RunCommand(kScan + " --json " + ShellQuote(forged)).out);
    const json& file = document["paths"][0]["files"][0];
    EXPECT_EQ(file["pathHex"], output::HexOf(forged));
    EXPECT_EQ(file["members"][0]["name"], "m\n.bin");
    EXPECT_EQ(file["members"][0]["nameHex"], "6d0a2e62696e");
}

TEST(CliFailuresTest, OptionsAreParsedAsGnuToolsParseThem)
{
    const TempDir dir;
    const std::string one = dir.Write("one.bin", Update(1));
    for (const char* refused : {"--crlf=no", "--json=false", "--verbose=0", "--jobs 4x", "-j 0", "--bogus", "-q"}) {
        const CommandResult result = RunCommand(kScan + " " + refused + " " + ShellQuote(one));
        EXPECT_EQ(result.exitStatus, 2) << refused;
        EXPECT_TRUE(result.err.ends_with("Try 'veskari-scan --help' for more information.\n")) << result.err;
    }
    const std::string expected = RunCommand(kScan + " " + ShellQuote(one)).out;
    const std::string twice = ShellQuote(one);  // options after a PATH, as well
    for (const std::string& accepted : {std::string("-j4"), std::string("-vj2"), std::string("--verb"),
                                        std::string("--jo=2"), twice + " -j1"}) {
        const CommandResult result = RunCommand(kScan + " " + accepted + " " + ShellQuote(one));
        EXPECT_EQ(result.exitStatus, 0) << accepted << result.err;
        EXPECT_EQ(result.out, accepted == twice + " -j1" ? expected + "\n" + expected : expected) << accepted;
    }
    EXPECT_EQ(RunCommand(kScan + " --cr " + ShellQuote(one)).out.find("\r\n"), expected.find('\n'));
    // Standard input and a pipe by name are read whole.
    VESKARI_SKIP_ON_WINDOWS("a shell to make pipes");
    const CommandResult stdinRun = RunCommand("sh -c " + ShellQuote("cat " + ShellQuote(one) + " | " + kScan + " -"));
    EXPECT_EQ(stdinRun.out, "<< - >>\n < - >\n1999/05/25 Rev. 0x01 (CPUID 0x652) SECC Pentium II Xeon Processor\n");
    const CommandResult pipeRun = RunCommand("bash -c " + ShellQuote(kScan + " <(cat " + ShellQuote(one) + ")"));
    EXPECT_NE(pipeRun.out.find("Rev. 0x01"), std::string::npos) << pipeRun.err;
}

// Every file of a folder, name and bytes, in name order.
std::string FolderContents(const std::string& folder)
{
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        files.push_back(entry.path().filename().string() + "\n" + test::ReadFile(entry.path().string()));
    }
    std::sort(files.begin(), files.end());
    std::string contents;
    for (const std::string& file : files) {
        contents += file;
    }
    return contents;
}

TEST(CliFailuresTest, ExtractionIsDeterministicTransactionalAndStaysInItsFolder)
{
    const TempDir dir;
    for (int i = 0; i < 12; ++i) {
        Bytes image = MakeStoredMember("same.bin", Update(static_cast<std::uint32_t>(i + 1)));
        test::Append(image, Bytes(static_cast<std::size_t>(i) * 30000, 0xFF));
        (void)dir.Write("tree/f" + std::to_string(i), image);
    }
    const std::string tree = ShellQuote(dir / "tree");
    // The same names for the same files whatever the number of jobs, also
    // when an error ends the run.
#if defined(_WIN32)
    const std::vector<std::string> runs{tree};
#else
    const std::vector<std::string> runs{tree, tree + " /proc/self/mem " + tree};
#endif
    for (const std::string& arguments : runs) {
        std::vector<std::string> contents;
        for (const char* jobs : {"-j1", "-j4"}) {
            const std::string out = dir / ("out" + std::string(jobs) + std::to_string(arguments.size()));
            (void)RunCommand(kScan + " " + jobs + " --extract " + ShellQuote(out) + " --extract-members " + arguments);
            contents.push_back(FolderContents(out));
        }
        EXPECT_EQ(contents[0], contents[1]);
    }
#if !defined(_WIN32)
    // A link as DIR is followed only when named with a trailing slash.
    fs::create_directory_symlink(dir / "elsewhere", dir / "link");
    fs::create_directory(dir / "elsewhere");
    EXPECT_EQ(RunCommand(kScan + " --extract " + ShellQuote(dir / "link") + " " + tree).exitStatus, 1);
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
    EXPECT_EQ(RunCommand(kScan + " --extract " + ShellQuote(dir / "link/") + " " + tree).exitStatus, 0);
    EXPECT_FALSE(fs::is_empty(dir / "elsewhere"));
#endif

    // A write that fails leaves no partial file; many equal names are all kept.
    output::Extractor unit(true);
    const Bytes member{'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'};
    MemberInfo info;
    info.displayName = "fw.bin/m.bin";
    for (int i = 0; i < 3000; ++i) {
        unit.MemberDecoded(info, ByteSource{nullptr, member}, member.size());
    }
    bool isLink = false;
    output::ExtractionFolder folder(dir / "transactional", isLink);
    {
        const test::RefusingHook hook({FileOperation::write, nullptr, 1});
        EXPECT_THROW(folder.Write(unit), FileError);
    }
    EXPECT_TRUE(fs::is_empty(dir / "transactional"));
    folder.Write(unit);
    EXPECT_TRUE(fs::exists(dir / "transactional/fw.bin_m-2999.bin"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "transactional"), fs::directory_iterator()), 3000);
}

// A folder whose file system has neither files without a name nor hard
// links (FAT, exFAT): each file is renamed into place from a hidden name,
// complete, never over a taken name, and an error leaves nothing.
TEST(CliFailuresTest, ExtractionWithoutHardLinksRenamesCompleteFiles)
{
    struct NoLinks final : FileFaultHook {
        int refusedWrite = 0;  // the n-th write is refused; 0: none
        int writes = 0;
        bool Refuse(FileOperation operation, const std::string& /*name*/) override
        {
            return operation == FileOperation::link ||
                   (operation == FileOperation::write && ++writes == refusedWrite);
        }
    };
    const TempDir dir;
    output::Extractor unit(true);
    const Bytes member{'f', 'a', 't'};
    MemberInfo info;
    info.displayName = "fw.bin/m.bin";
    for (int i = 0; i < 3; ++i) {
        unit.MemberDecoded(info, ByteSource{nullptr, member}, member.size());
    }
    (void)dir.Write("fat/fw.bin_m-1.bin", Bytes{'o', 'l', 'd'});
    bool isLink = false;
    output::ExtractionFolder folder(dir / "fat", isLink);
    NoLinks hook;
    SetFileFaultHook(&hook);
    hook.refusedWrite = 1;
    EXPECT_THROW(folder.Write(unit), FileError);
    hook.refusedWrite = 0;
    folder.Write(unit);
    SetFileFaultHook(nullptr);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir / "fat")) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"fw.bin_m-1.bin", "fw.bin_m-2.bin", "fw.bin_m-3.bin", "fw.bin_m.bin"}));
    EXPECT_EQ(test::ReadFile(dir / "fat/fw.bin_m-1.bin"), "old");
    EXPECT_EQ(test::ReadFile(dir / "fat/fw.bin_m-3.bin"), "fat");
}

#if defined(_WIN32)
// Windows has no signals: Ctrl+C and a killed process both end it at once.
// Nothing may be left in %TEMP% after the hardest end, TerminateProcess.
TEST(CliFailuresTest, AKilledProcessLeavesNothingBehind)
{
    const TempDir dir;
    // Members big enough to go to disk, several levels deep.
    Bytes image = MakeStoredMember("big.bin", MakeStoredMember("inner.bin", Bytes(kMemoryFileLimit + 4096, 0)));
    for (int i = 0; i < 4; ++i) {
        (void)dir.Write("tree/" + std::to_string(i) + ".bin", image);
    }
    const std::wstring temporary = windows::WideFromUtf8(dir.MakeFolder("tmp"));
    std::wstring line = windows::SystemPath(VESKARI_SCAN_BINARY) + L" " + windows::WideFromUtf8(dir / "tree");
    std::wstring environment = L"TMP=" + temporary + L'\0' + L"TEMP=" + temporary + L'\0' + L'\0';
    for (const int delay : {50, 150, 300}) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                                     CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW, environment.data(), nullptr,
                                     &startup, &process));
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        ::TerminateProcess(process.hProcess, 137);
        ::WaitForSingleObject(process.hProcess, INFINITE);
        ::CloseHandle(process.hProcess);
        ::CloseHandle(process.hThread);
        EXPECT_TRUE(fs::is_empty(dir / "tmp")) << delay;
    }
}
#else
// Runs veskari-scan with the default handling of every signal, sends it
// `signal` once it is busy, and returns the signal that ended it.
int Interrupted(const std::vector<std::string>& arguments, int signal, const std::string& temporary)
{
    std::vector<char*> argv{const_cast<char*>(VESKARI_SCAN_BINARY)};
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int out[2];
    EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);  // the child keeps no read end of its own
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const std::string environment = "TMPDIR=" + temporary;
    std::vector<char*> env{const_cast<char*>(environment.c_str()), nullptr};
    pid_t child = 0;
    EXPECT_EQ(posix_spawn(&child, argv[0], &actions, &attributes, argv.data(), env.data()), 0);
    ::close(out[1]);
    if (signal == SIGPIPE) {
        ::close(out[0]);  // the reader goes away
    } else {
        ::usleep(150000);
        ::kill(child, signal);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (signal != SIGPIPE) {
        ::close(out[0]);
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return WIFSIGNALED(status) ? WTERMSIG(status) : -1;
}

TEST(CliFailuresTest, SignalsEndTheRunWithTheirStatusAndLeaveNothingBehind)
{
    const TempDir dir;
    // Members big enough to go to disk, several levels deep.
    Bytes image = MakeStoredMember("big.bin", MakeStoredMember("inner.bin", Bytes(kMemoryFileLimit + 4096, 0)));
    for (int i = 0; i < 4; ++i) {
        (void)dir.Write("tree/" + std::to_string(i) + ".bin", image);
    }
    const std::string temporary = dir.MakeFolder("tmp");
    // Work for far longer than the signal takes to come, however fast the
    // machine: the run is ended, never finished.
    const std::vector<std::string> trees(100, dir / "tree");
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGKILL, SIGPIPE}) {
        EXPECT_EQ(Interrupted(trees, signal, temporary), signal) << signal;
        EXPECT_TRUE(fs::is_empty(temporary)) << signal;
    }
}

#endif

}  // namespace
}  // namespace veskari
