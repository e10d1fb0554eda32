// Runs the tests with a private temporary directory, and checks after
// every test that the analysis left no veskari-* temporary file in it.

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

#include "support/temp_dir.h"

namespace {

class NoLeftoverTemporaryFiles : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo& /*info*/) override
    {
        const auto leftovers = veskari::test::LeftoverTemporaryFiles();
        EXPECT_TRUE(leftovers.empty()) << "temporary files left behind: " << leftovers.size() << ", first "
                                       << (leftovers.empty() ? "" : leftovers.front());
        for (const std::string& name : leftovers) {
            std::error_code ignored;
            std::filesystem::remove(std::filesystem::path(std::getenv("TMPDIR")) / name, ignored);
        }
    }
};

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") + "/vsk-tests-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        return 1;
    }
    ::setenv("TMPDIR", pattern.c_str(), 1);
    ::testing::UnitTest::GetInstance()->listeners().Append(new NoLeftoverTemporaryFiles);
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(pattern, ignored);
    return result;
}
