// The standing of updates against the public releases and against a
// reference of the user's own.

#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <tuple>

#include "microcode/release_reference.h"
#include "microcode/release_table.h"
#include "support/temp_dir.h"

namespace veskari {
namespace {

const ReleaseReference& Public()
{
    return ReleaseReference::Public();
}

std::string Name(std::size_t release)
{
    return Public().ReleaseName(release);
}

// Hand-checked against the table of public updates: 0x652 was published as
// Rev. 0x2A (platform 0x01), 0x2C (0x02) and 0x2B (0x04), all of 1999, in
// every release; 0x906A4 as Rev. 0xB for 0x40 and, through an extended
// signature, up to Rev. 0x43A of 2025/10/12 for 0x80, which the releases
// microcode-20250512 to microcode-20250812 carried as Rev. 0x437.
TEST(StandingTest, RevisionsAgainstThePublicReleases)
{
    const UpdateStanding newest = Public().StandingOf(0x652, 0x01, 0x2A);
    EXPECT_EQ(newest.standing, Standing::newest);
    EXPECT_TRUE(newest.published);
    EXPECT_EQ(Name(newest.firstRelease), "microcode-20190312");
    EXPECT_EQ(Name(newest.lastRelease), "microcode-20251111");

    const UpdateStanding older = Public().StandingOf(0x652, 0x01, 0x29);
    EXPECT_EQ(older.standing, Standing::older);
    EXPECT_EQ(older.newestRevision, 0x2AU);
    EXPECT_EQ(older.newestDate, 0x05121999U);
    EXPECT_EQ(Name(older.newestFirstRelease), "microcode-20190312");
    EXPECT_FALSE(older.published);

    const UpdateStanding newer = Public().StandingOf(0x652, 0x04, 0x2C);
    EXPECT_EQ(newer.standing, Standing::newer);
    EXPECT_EQ(newer.newestRevision, 0x2BU);

    const UpdateStanding republished = Public().StandingOf(0x906A4, 0x80, 0x437);
    EXPECT_EQ(republished.standing, Standing::older);
    EXPECT_EQ(republished.newestRevision, 0x43AU);
    EXPECT_EQ(republished.newestDate, 0x10122025U);
    EXPECT_EQ(Name(republished.newestFirstRelease), "microcode-20251111");
    ASSERT_TRUE(republished.published);
    EXPECT_EQ(Name(republished.firstRelease), "microcode-20250512");
    EXPECT_EQ(Name(republished.lastRelease), "microcode-20250812");

    // Dates do not count: Rev. 0xB of 2025/06/13 is the newest for platform
    // 0x40 alone, but a mask that also names platform 0x80 meets Rev. 0x43A.
    EXPECT_EQ(Public().StandingOf(0x906A4, 0x40, 0xB).standing, Standing::newest);
    EXPECT_EQ(Public().StandingOf(0x906A4, 0xC0, 0xB).standing, Standing::older);
    // Platforms that share no bit with any published mask are not covered.
    EXPECT_EQ(Public().StandingOf(0x652, 0x08, 0x2A).standing, Standing::notCovered);
    EXPECT_FALSE(Public().StandingOf(0x652, 0x08, 0x2A).flagsZeroUnmatched);
    // A signature that no release covers.
    EXPECT_EQ(Public().StandingOf(0x6C0, 0x01, 1).standing, Standing::notCovered);
}

TEST(StandingTest, FlagsZeroMatchOnlyUpdatesPublishedWithoutAPlatform)
{
    // 0x1632 was published with mask 0 (Rev. 0x2); 0x652 only with masks.
    EXPECT_EQ(Public().StandingOf(0x1632, 0, 0x2).standing, Standing::newest);
    EXPECT_EQ(Public().StandingOf(0x1632, 0x01, 0x2).standing, Standing::notCovered);
    const UpdateStanding zero = Public().StandingOf(0x652, 0, 0x2A);
    EXPECT_EQ(zero.standing, Standing::notCovered);
    EXPECT_TRUE(zero.flagsZeroUnmatched);
    EXPECT_FALSE(Public().StandingOf(0x6C0, 0, 1).flagsZeroUnmatched);
}

// The generated table holds every row of the table of public updates, with
// its releases, and is sorted as the search needs it.
TEST(StandingTest, GeneratedTableMatchesThePublicUpdates)
{
    const std::string shared = test::SharedDir();
    if (shared.empty()) {
        GTEST_SKIP() << "shared test data not present";
    }
    std::ifstream tsv(shared + "/testdata/microcode-modern/public-updates.tsv");
    ASSERT_TRUE(tsv);
    std::string line;
    std::getline(tsv, line);  // the header
    std::set<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t, std::string, std::string>> expected;
    while (std::getline(tsv, line)) {
        std::istringstream fields(line);
        std::string signature, mask, revision, date, dataSize, totalSize, kind, file, first, last;
        std::getline(fields, signature, '\t');
        std::getline(fields, mask, '\t');
        std::getline(fields, revision, '\t');
        for (std::string* skipped : {&date, &dataSize, &totalSize, &kind, &file}) {
            std::getline(fields, *skipped, '\t');
        }
        std::getline(fields, first, '\t');
        std::getline(fields, last, '\t');
        expected.emplace(std::stoul(signature, nullptr, 16), std::stoul(mask, nullptr, 16),
                         std::stoul(revision, nullptr, 16), first, last);
    }
    ASSERT_EQ(expected.size(), 892U);
    std::set<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t, std::string, std::string>> generated;
    for (std::size_t i = 0; i < kPublishedUpdates.size(); ++i) {
        const PublishedUpdateRow& row = kPublishedUpdates[i];
        generated.emplace(row.signature, row.platformMask, row.revision,
                          std::string(kPublicReleases[row.firstRelease]),
                          std::string(kPublicReleases[row.lastRelease]));
        if (i > 0) {
            const PublishedUpdateRow& before = kPublishedUpdates[i - 1];
            EXPECT_LT(std::tie(before.signature, before.platformMask, before.revision),
                      std::tie(row.signature, row.platformMask, row.revision));
        }
    }
    EXPECT_EQ(generated, expected);
}

TEST(StandingTest, AReferenceOfTheUsersOwnAddsToThePublicReleases)
{
    ReleaseReference reference = Public();
    reference.BeginSource("/lib/firmware/intel-ucode");
    reference.Add(0x652, 0x01, 0x2D, 0x01152026);
    reference.Add(0x6C0, 0x03, 0x10, 0x02012001);
    reference.Add(0x652, 0x02, 0x2B, 0x01152026);  // a later date, a lower revision than the published 0x2C
    reference.Seal();

    const UpdateStanding older = reference.StandingOf(0x652, 0x01, 0x2A);
    EXPECT_EQ(older.standing, Standing::older);
    EXPECT_EQ(older.newestRevision, 0x2DU);
    EXPECT_EQ(reference.ReleaseName(older.newestFirstRelease), "/lib/firmware/intel-ucode");
    EXPECT_EQ(reference.StandingOf(0x6C0, 0x02, 0x10).standing, Standing::newest);
    EXPECT_EQ(reference.StandingOf(0x652, 0x02, 0x2C).standing, Standing::newest);  // revisions count, not dates
    EXPECT_EQ(reference.StandingOf(0x650, 0x01, 0x40).standing, Standing::newest);  // still the public releases
    EXPECT_EQ(reference.NewestDate(), 0x01152026U);
    ASSERT_EQ(reference.Sources().size(), 2U);
    EXPECT_EQ(reference.Sources()[1].updates, 3U);

    ReleaseReference alone;
    alone.BeginSource("mine");
    alone.Add(0x652, 0x01, 0x2D, 0x01152026);
    alone.Seal();
    EXPECT_EQ(alone.StandingOf(0x650, 0x01, 0x40).standing, Standing::notCovered);
}

TEST(StandingTest, SummaryKeepsTheHighestRevisionPerProcessorAndPlatform)
{
    ProcessorSummary summary;
    summary.Add(0x652, 0x01, 0x29, 1);
    summary.Add(0x650, 0x01, 0x40, 2);
    summary.Add(0x652, 0x01, 0x2A, 3);
    summary.Add(0x652, 0x01, 0x28, 4);
    summary.Add(0x652, 0x02, 0x01, 5);
    const std::vector<ProcessorSummary::Row> rows = summary.Rows(Public());
    ASSERT_EQ(rows.size(), 3U);
    EXPECT_EQ(rows[0].signature, 0x650U);
    EXPECT_EQ(rows[1].revision, 0x2AU);
    EXPECT_EQ(rows[1].date, 3U);
    EXPECT_EQ(rows[1].standing.standing, Standing::newest);
    EXPECT_EQ(rows[2].platformFlags, 0x02U);
    EXPECT_EQ(rows[2].standing.standing, Standing::older);
}

}  // namespace
}  // namespace veskari
