// Replay of hive transaction logs: a dirty hive comes back byte for byte as
// the save that was cut short would have left it; a log that breaks off
// stops the replay at the last sound entry and says so; forged fields never
// reach past the bytes that are there.
#include "hive_log_replay.h"
#include "support/hive_log_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace {

using host::HiveLogFile;
using host::HiveLogOutcome;
using host::HiveReplayResult;
using test::HiveBytes;

const char kHive[] = "config/SYSTEM";

// Old: four hive bins; new: six, every page changed, so each entry's pages
// can be told apart from the old ones.
constexpr std::size_t kOldBins = 4;
constexpr std::size_t kNewBins = 6;
constexpr std::uint32_t kNewSequence = 20;

HiveBytes OldHive() { return test::MakeSyntheticHive(kOldBins, 1, kNewSequence - 5); }
HiveBytes NewHive() { return test::MakeSyntheticHive(kNewBins, 2, kNewSequence); }

std::vector<HiveLogFile> Logs(const std::vector<HiveBytes>& logs) {
    std::vector<HiveLogFile> files;
    for (std::size_t i = 0; i < logs.size(); ++i) {
        files.push_back({"config/SYSTEM.LOG" + std::to_string(i + 1), logs[i]});
    }
    return files;
}

HiveReplayResult Replay(const test::DirtyHive& dirty) {
    return host::ReplayHiveLogs(dirty.hive, kHive, Logs(dirty.logs));
}

bool HasSoundBaseBlock(const HiveBytes& hive) {
    std::string error;
    return host::CheckHiveBaseBlock(hive.data(), hive.size(), "h", &error);
}

// The writer spreads the dirty pages evenly over the entries, so after n of
// them the first pages hold the new hive's bytes and the rest the old ones.
void ExpectPagesAfterEntries(const HiveBytes& result, unsigned nApplied, unsigned nEntries) {
    const HiveBytes oldHive = OldHive();
    const HiveBytes newHive = NewHive();
    const std::size_t nNewFrom = kNewBins * nApplied / nEntries;
    for (std::size_t page = 0; page < kNewBins; ++page) {
        const std::size_t at = host::kHiveBaseBlockSize + page * host::kHivePageSize;
        const bool bFromNew = page < nNewFrom;
        const HiveBytes& source = bFromNew ? newHive : oldHive;
        if (!bFromNew && at >= oldHive.size()) continue;  // not there before, not written yet
        ASSERT_LE(at + host::kHivePageSize, result.size());
        EXPECT_EQ(0, std::memcmp(&result[at], &source[at], host::kHivePageSize))
            << "page " << page << " should come from the " << (bFromNew ? "new" : "old") << " hive";
    }
}

TEST(HiveLogReplayTest, Marvin32MatchesPublishedVectors) {
    // The published test vectors of Marvin32 for seed 0x004FB61A001BDBCC:
    // the hashes Windows writes are only recognised if these hold.
    const struct {
        const char* hex;
        std::uint64_t hash;
    } cases[] = {
        {"", 0x30ED35C100CD3C7Dull},
        {"af", 0x48E73FC77D75DDC1ull},
        {"e70f", 0xB5F6E1FC485DBFF8ull},
        {"37f495", 0xF0B07C789B8CF7E8ull},
        {"8642dc59", 0x7008F2E87E9CF556ull},
        {"153fb79826", 0xE6C08C6DA2AFA997ull},
        {"0932e6246c47", 0x6F04BF1A5EA24060ull},
        {"ab427ea8d10fc7", 0xE11847E4F0678C41ull},
    };
    for (const auto& c : cases) {
        std::vector<unsigned char> bytes;
        for (std::size_t i = 0; c.hex[i] != 0; i += 2) {
            bytes.push_back(static_cast<unsigned char>(std::stoul(std::string(c.hex + i, 2), nullptr, 16)));
        }
        EXPECT_EQ(c.hash, host::ComputeMarvin32(bytes.data(), bytes.size(), 0x004FB61A001BDBCCull)) << c.hex;
    }
}

TEST(HiveLogReplayTest, BaseBlockCheckNamesFileAndOffset) {
    const HiveBytes good = NewHive();
    HiveBytes badChecksum = good;
    badChecksum[100] ^= 0xFF;
    HiveBytes notHive = good;
    std::memcpy(notHive.data(), "rEgF", 4);
    const HiveBytes shortHive(good.begin(), good.begin() + 1000);
    const struct {
        const HiveBytes* pHive;
        const char* expected;  // empty: sound
    } cases[] = {
        {&good, ""},
        {&badChecksum, "SYSTEM: bad base block checksum at offset 508"},
        {&notHive, "SYSTEM: not a registry hive (no \"regf\" signature at offset 0)"},
        {&shortHive, "SYSTEM: truncated registry hive (the file ends at offset 1000"},
    };
    for (const auto& c : cases) {
        std::string error;
        const bool bSound = host::CheckHiveBaseBlock(c.pHive->data(), c.pHive->size(), "SYSTEM", &error);
        EXPECT_EQ(*c.expected == 0, bSound) << c.expected;
        EXPECT_EQ(0u, error.find(c.expected)) << error;
    }
    std::string error;
    EXPECT_FALSE(host::CheckHiveBaseBlock(nullptr, 0, "SYSTEM", &error));
}

TEST(HiveLogReplayTest, CleanHiveIsReadAsItIsEvenWithNewerEntriesInItsLog) {
    const test::DirtyHive dirty = test::MakeDirtyHive(OldHive(), NewHive());
    const HiveBytes clean = OldHive();
    const HiveReplayResult result = host::ReplayHiveLogs(clean, kHive, Logs(dirty.logs));
    EXPECT_EQ(HiveLogOutcome::Clean, result.outcome);
    EXPECT_EQ(clean, result.hive);
    EXPECT_EQ(0u, result.nEntriesApplied);
    EXPECT_EQ("", result.strWarning);
}

struct ReplayCase {
    const char* name;
    test::HiveLogOptions options;
    HiveLogOutcome outcome;
    unsigned nApplied;
    const char* warning;  // empty: none; else a part of it
};

void PrintTo(const ReplayCase& c, std::ostream* os) { *os << c.name; }

class HiveLogReplayCaseTest : public ::testing::TestWithParam<ReplayCase> {};

TEST_P(HiveLogReplayCaseTest, ReplaysUpToTheLastSoundEntry) {
    const ReplayCase& c = GetParam();
    const test::DirtyHive dirty = test::MakeDirtyHive(OldHive(), NewHive(), c.options);
    const HiveReplayResult result = Replay(dirty);

    EXPECT_EQ(c.outcome, result.outcome);
    EXPECT_EQ(c.nApplied, result.nEntriesApplied);
    if (*c.warning == 0) {
        EXPECT_EQ("", result.strWarning);
    } else {
        EXPECT_NE(std::string::npos, result.strWarning.find(c.warning)) << result.strWarning;
        EXPECT_NE(std::string::npos, result.strWarning.find(kHive)) << result.strWarning;
        EXPECT_NE(std::string::npos, result.strWarning.find("recent changes may be missing")) << result.strWarning;
    }
    if (c.outcome != HiveLogOutcome::Replayed) {
        EXPECT_EQ(dirty.hive, result.hive) << "a hive no log continues is read unchanged";
        return;
    }
    const unsigned nEntries = std::max(1u, c.options.nEntries);
    if (c.nApplied == nEntries) {
        EXPECT_EQ(dirty.expected, result.hive) << "a full replay gives the new hive byte for byte";
        EXPECT_EQ(NewHive(), result.hive);
    } else {
        ExpectPagesAfterEntries(result.hive, c.nApplied, nEntries);
    }
    EXPECT_TRUE(HasSoundBaseBlock(result.hive));
    EXPECT_EQ(dirty.dwFirstSequence + c.nApplied - 1, result.dwLastSequence);
    EXPECT_EQ(result.dwLastSequence, test::ReadBaseBlockField(result.hive, test::kPrimarySequenceField));
    EXPECT_EQ(result.dwLastSequence, test::ReadBaseBlockField(result.hive, test::kSecondarySequenceField));
    EXPECT_EQ(c.options.nSecondLogFrom == 0 ? "config/SYSTEM.LOG2"
              : c.options.nSecondLogFrom < c.nApplied ? "config/SYSTEM.LOG1, config/SYSTEM.LOG2"
                                                      : "config/SYSTEM.LOG1",
        result.strLogUsed);
}

test::HiveLogOptions Options(unsigned nEntries) {
    test::HiveLogOptions options;
    options.nEntries = nEntries;
    return options;
}
template <typename T, typename U>
test::HiveLogOptions With(unsigned nEntries, T test::HiveLogOptions::*pField, U value) {
    test::HiveLogOptions options = Options(nEntries);
    options.*pField = static_cast<T>(value);
    return options;
}
using Opt = test::HiveLogOptions;

// Each entry of 3 over 6 pages is 40 + 8 + 2 * 4096 bytes, padded to 8704;
// after the 512-byte base block the second starts at 9216.
INSTANTIATE_TEST_SUITE_P(Logs, HiveLogReplayCaseTest,
    ::testing::Values(
        ReplayCase{"OneEntry", Options(1), HiveLogOutcome::Replayed, 1, ""},
        ReplayCase{"ThreeEntries", Options(3), HiveLogOutcome::Replayed, 3, ""},
        ReplayCase{"Log2ContinuesLog1", With(3, &Opt::nSecondLogFrom, 1), HiveLogOutcome::Replayed, 3, ""},
        ReplayCase{"Log2HoldsAll", With(3, &Opt::nSecondLogFrom, 0), HiveLogOutcome::Replayed, 3, ""},
        ReplayCase{"BadHash1Stops", With(3, &Opt::nBadPagesEntry, 1), HiveLogOutcome::Replayed, 1,
            "config/SYSTEM: replayed 1 log entry up to sequence 18, then stopped: config/SYSTEM.LOG1: the entry "
            "at offset 9216 is damaged (its hash-1 does not match its pages); recent changes may be missing"},
        ReplayCase{"BadHash2Stops", With(3, &Opt::nBadHeaderEntry, 2), HiveLogOutcome::Replayed, 2, "(its hash-2"},
        ReplayCase{"BadFirstEntry", With(2, &Opt::nBadPagesEntry, 0), HiveLogOutcome::DirtyNoLogs, 0, "hash-1"},
        ReplayCase{"SequenceGapStops", With(3, &Opt::nSequenceGapBefore, 2), HiveLogOutcome::Replayed, 2,
            "has sequence 20 where 19 should follow"},
        ReplayCase{"SequenceGapAtStart", With(2, &Opt::nSequenceGapBefore, 0), HiveLogOutcome::DirtyNoLogs, 0,
            "no entry from sequence"},
        ReplayCase{"TruncatedLog", With(3, &Opt::nTruncateLastLogAt, 9216 + 5000), HiveLogOutcome::Replayed, 1,
            "is cut off by the end of the file"},
        ReplayCase{"TruncatedInsideHeader", With(3, &Opt::nTruncateLastLogAt, 9216 + 20), HiveLogOutcome::Replayed, 1,
            "cut off"},
        ReplayCase{"LogShorterThanBaseBlock", With(1, &Opt::nTruncateLastLogAt, 300), HiveLogOutcome::DirtyNoLogs, 0,
            "SYSTEM.LOG1: not a transaction log (shorter than a base block)"},
        ReplayCase{"EmptyLog", With(1, &Opt::nTruncateLastLogAt, 0), HiveLogOutcome::DirtyNoLogs, 0, "(empty)"},
        ReplayCase{"BaseBlockOnly", With(1, &Opt::nTruncateLastLogAt, 512), HiveLogOutcome::DirtyNoLogs, 0,
            "no entry from sequence"}),
    [](const ::testing::TestParamInfo<ReplayCase>& param) { return std::string(param.param.name); });

TEST(HiveLogReplayTest, DirtyHiveWithoutLogsIsReadWithAWarning) {
    const test::DirtyHive dirty = test::MakeDirtyHive(OldHive(), NewHive());
    const HiveReplayResult result = host::ReplayHiveLogs(dirty.hive, kHive, {});
    EXPECT_EQ(HiveLogOutcome::DirtyNoLogs, result.outcome);
    EXPECT_EQ(dirty.hive, result.hive);
    EXPECT_EQ("config/SYSTEM was not saved cleanly (sequence numbers 21 and 20) and no transaction log continues "
              "it (no transaction log is beside it); recent changes may be missing",
        result.strWarning);
}

TEST(HiveLogReplayTest, OldFormatLogIsRecognisedAndNotReplayed) {
    const test::DirtyHive dirty = test::MakeDirtyHive(OldHive(), NewHive());
    // Before Windows 8.1 a log held a base block of file type 1, then a
    // bitmap of dirty 512-byte pages headed "DIRT", then the pages.
    HiveBytes oldLog(dirty.logs[0].begin(), dirty.logs[0].begin() + 512);
    test::SetBaseBlockField(oldLog, 28, 1);
    oldLog.resize(2048, 0);
    std::memcpy(&oldLog[512], "DIRT", 4);
    oldLog[516] = 0xFF;
    const HiveReplayResult result = host::ReplayHiveLogs(dirty.hive, kHive, Logs({oldLog}));
    EXPECT_EQ(HiveLogOutcome::OldLogFormat, result.outcome);
    EXPECT_EQ(dirty.hive, result.hive);
    EXPECT_NE(std::string::npos, result.strWarning.find("config/SYSTEM.LOG1 is a transaction log of the format "
                                                        "before Windows 8.1, which is not replayed; recent "
                                                        "changes may be missing"))
        << result.strWarning;
    EXPECT_EQ(0u, result.strWarning.find(kHive));
}

TEST(HiveLogReplayTest, NewFormatLogWinsOverAnOldFormatOne) {
    const test::DirtyHive dirty = test::MakeDirtyHive(OldHive(), NewHive());
    HiveBytes oldLog(dirty.logs[0].begin(), dirty.logs[0].begin() + 512);
    oldLog.resize(1024, 0);
    std::memcpy(&oldLog[512], "DIRT", 4);
    const HiveReplayResult result = host::ReplayHiveLogs(dirty.hive, kHive, Logs({oldLog, dirty.logs[0]}));
    EXPECT_EQ(HiveLogOutcome::Replayed, result.outcome);
    EXPECT_EQ(dirty.expected, result.hive);
}

TEST(HiveLogReplayTest, StaleLogGivesWayToTheOneThatContinuesTheHive) {
    const test::DirtyHive dirty = test::MakeDirtyHive(OldHive(), NewHive(), Options(2));
    // A log of saves the hive already holds: sequence numbers below its own.
    const test::DirtyHive older =
        test::MakeDirtyHive(test::MakeSyntheticHive(2, 3, 5), test::MakeSyntheticHive(4, 4, 8), Options(2));
    for (bool bStaleFirst : {true, false}) {
        const std::vector<HiveBytes> logs =
            bStaleFirst ? std::vector<HiveBytes>{older.logs[0], dirty.logs[0]}
                        : std::vector<HiveBytes>{dirty.logs[0], older.logs[0]};
        const HiveReplayResult result = Replay({dirty.hive, logs, {}, 0, 0, {}});
        EXPECT_EQ(HiveLogOutcome::Replayed, result.outcome);
        EXPECT_EQ(dirty.expected, result.hive);
        EXPECT_EQ(bStaleFirst ? "config/SYSTEM.LOG2" : "config/SYSTEM.LOG1", result.strLogUsed);
        EXPECT_EQ("", result.strWarning);
    }
}

TEST(HiveLogReplayTest, LongerChainWinsWhenBothLogsStartAtTheHive) {
    const test::DirtyHive full = test::MakeDirtyHive(OldHive(), NewHive(), Options(3));
    // LOG1 holds only the first entry (the log was cut after it), LOG2 all three.
    const HiveBytes shortLog(full.logs[0].begin(), full.logs[0].begin() + static_cast<long>(full.entryOffsets[1]));
    const HiveReplayResult result = host::ReplayHiveLogs(full.hive, kHive, Logs({shortLog, full.logs[0]}));
    EXPECT_EQ(HiveLogOutcome::Replayed, result.outcome);
    EXPECT_EQ(3u, result.nEntriesApplied);
    EXPECT_EQ("config/SYSTEM.LOG2", result.strLogUsed);
    EXPECT_EQ(full.expected, result.hive);
}

TEST(HiveLogReplayTest, DamagedLog1IsReportedEvenWhenLog2Replays) {
    const test::DirtyHive damaged = test::MakeDirtyHive(OldHive(), NewHive(), With(3, &Opt::nBadPagesEntry, 0));
    const test::DirtyHive sound = test::MakeDirtyHive(OldHive(), NewHive(), Options(3));
    const HiveReplayResult result = host::ReplayHiveLogs(sound.hive, kHive, Logs({damaged.logs[0], sound.logs[0]}));
    EXPECT_EQ(HiveLogOutcome::Replayed, result.outcome);
    EXPECT_EQ(sound.expected, result.hive);
    EXPECT_NE(std::string::npos, result.strWarning.find("config/SYSTEM.LOG1: the entry at offset 512 is damaged"))
        << result.strWarning;
}

TEST(HiveLogReplayTest, EntriesAfterAFourKilobyteSectorAreFound) {
    const test::DirtyHive dirty = test::MakeDirtyHive(OldHive(), NewHive(), Options(2));
    HiveBytes log = dirty.logs[0];
    log.insert(log.begin() + 512, 4096 - 512, 0);
    const HiveReplayResult result = host::ReplayHiveLogs(dirty.hive, kHive, Logs({log}));
    EXPECT_EQ(HiveLogOutcome::Replayed, result.outcome);
    EXPECT_EQ(dirty.expected, result.hive);
}

TEST(HiveLogReplayTest, BadChecksumIsMendedFromTheLogsBaseBlock) {
    test::DirtyHive dirty = test::MakeDirtyHive(OldHive(), NewHive(), Options(2));
    dirty.hive[200] ^= 0x55;  // a torn write of the base block
    const HiveReplayResult mended = Replay(dirty);
    EXPECT_EQ(HiveLogOutcome::Replayed, mended.outcome);
    EXPECT_EQ(dirty.expected, mended.hive);
    EXPECT_NE(std::string::npos, mended.strWarning.find("bad base block checksum at offset 508"));
    EXPECT_NE(std::string::npos, mended.strWarning.find("the base block was taken from config/SYSTEM.LOG1"));

    const HiveReplayResult unmended = host::ReplayHiveLogs(dirty.hive, kHive, {});
    EXPECT_EQ(HiveLogOutcome::BadHive, unmended.outcome);
    EXPECT_EQ(0u, unmended.strWarning.find("config/SYSTEM: bad base block checksum at offset 508"));
}

// Rewrites a field of the first entry and makes its hashes fit again, as a
// log forged on purpose would.
HiveBytes ForgeFirstEntry(HiveBytes log, std::size_t nField, std::uint32_t value) {
    unsigned char* p = &log[512];
    for (int i = 0; i < 4; ++i) p[nField + i] = static_cast<unsigned char>(value >> (8 * i));
    std::uint32_t size = 0;
    for (int i = 3; i >= 0; --i) size = size << 8 | p[4 + i];
    size = std::min<std::uint32_t>(size, static_cast<std::uint32_t>(log.size() - 512));
    const std::uint64_t hash1 = host::ComputeMarvin32(p + 40, size >= 40 ? size - 40 : 0, host::kHiveLogHashSeed);
    for (int i = 0; i < 8; ++i) p[24 + i] = static_cast<unsigned char>(hash1 >> (8 * i));
    const std::uint64_t hash2 = host::ComputeMarvin32(p, 32, host::kHiveLogHashSeed);
    for (int i = 0; i < 8; ++i) p[32 + i] = static_cast<unsigned char>(hash2 >> (8 * i));
    return log;
}

TEST(HiveLogReplayTest, ForgedFieldsStopTheReplayInsteadOfReachingOut) {
    const test::DirtyHive dirty = test::MakeDirtyHive(OldHive(), NewHive());
    const struct {
        const char* name;
        std::size_t nField;
        std::uint32_t value;
        const char* why;
    } cases[] = {
        {"page count beyond the entry", 20, 0x20000000u, "page references leave"},
        {"page count a little too high", 20, 3, "page references leave"},
        {"page beyond the hive bins", 40, 0x7FFFF000u, "page references leave"},
        {"page size wrapping", 44, 0xFFFFF000u, "page references leave"},
        {"hive bins of 4 GiB", 16, 0xFFFFF000u, "hive bins data size"},
        {"hive bins larger than the files", 16, 0x10000000u, "hive bins data size"},
        {"hive bins not whole pages", 16, 6 * 4096 + 1, "hive bins data size"},
        {"hive bins empty", 16, 0, "hive bins data size"},
        {"size below a header", 4, 39, "smaller than an entry header"},
        {"size beyond the file", 4, 0xFFFFFE00u, "cut off"},
    };
    for (const auto& c : cases) {
        const HiveBytes log = ForgeFirstEntry(dirty.logs[0], c.nField, c.value);
        const HiveReplayResult result = host::ReplayHiveLogs(dirty.hive, kHive, Logs({log}));
        EXPECT_EQ(HiveLogOutcome::DirtyNoLogs, result.outcome) << c.name;
        EXPECT_EQ(dirty.hive, result.hive) << c.name;
        EXPECT_NE(std::string::npos, result.strWarning.find(c.why)) << c.name << ": " << result.strWarning;
    }
}

}  // namespace
