// Runs the tests with a private temporary directory, and checks after
// every test that the analysis left no veskari-* temporary file in it.

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

#include "platform/anonymous_file.h"
#include "support/temp_dir.h"
#if defined(_WIN32)
#include "platform/windows/windows_api.h"
#endif

namespace {

class NoLeftoverTemporaryFiles : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo& /*info*/) override
    {
        const auto leftovers = veskari::test::LeftoverTemporaryFiles();
        EXPECT_TRUE(leftovers.empty()) << "temporary files left behind: " << leftovers.size() << ", first "
                                       << (leftovers.empty() ? "" : leftovers.front());
        for (const std::string& name : leftovers) {
            std::error_code ignored;
            std::filesystem::remove(std::filesystem::path(veskari::TemporaryDirectory()) / name, ignored);
        }
    }
};

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    const std::string folder = veskari::test::MakeUniqueFolder(veskari::TemporaryDirectory(), "vsk-tests-");
#if defined(_WIN32)
    const std::wstring wide = veskari::windows::WideFromUtf8(folder);
    ::_wputenv_s(L"TMP", wide.c_str());
    ::_wputenv_s(L"TEMP", wide.c_str());
#else
    ::setenv("TMPDIR", folder.c_str(), 1);
#endif
    ::testing::UnitTest::GetInstance()->listeners().Append(new NoLeftoverTemporaryFiles);
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return result;
}
