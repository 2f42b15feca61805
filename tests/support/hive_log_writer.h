// Dirty hives and transaction logs of the format Windows 8.1 and later
// write, made from two versions of a hive, for the replay's tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace test {

using HiveBytes = std::vector<unsigned char>;

// A hive without keys: a base block (sequence numbers both dwSequence) and
// nBins hive bins of 4096 bytes whose bodies hold bytes derived from nFill.
// Enough for code that works on pages; hivex would find no root key in it.
HiveBytes MakeSyntheticHive(std::size_t nBins, unsigned nFill, std::uint32_t dwSequence = 1);

// Sets a base block field and fixes the checksum.
void SetBaseBlockField(HiveBytes& hive, std::size_t nOffset, std::uint32_t value);
std::uint32_t ReadBaseBlockField(const HiveBytes& hive, std::size_t nOffset);
constexpr std::size_t kPrimarySequenceField = 4;
constexpr std::size_t kSecondarySequenceField = 8;
constexpr std::size_t kHiveBinsSizeField = 40;

struct HiveLogOptions {
    unsigned nEntries = 1;  // the dirty pages spread over this many entries
    // Entries from this index on go to a second log (LOG2); none when past the end.
    unsigned nSecondLogFrom = ~0u;
    int nBadPagesEntry = -1;     // a byte of this entry's pages is changed: hash-1 fails
    int nBadHeaderEntry = -1;    // a byte of this entry's header is changed: hash-2 fails
    int nSequenceGapBefore = -1; // this entry and the ones after it skip a sequence number
    std::size_t nTruncateLastLogAt = ~std::size_t(0);  // the last log is cut to this size
};

struct DirtyHive {
    HiveBytes hive;               // the old hive, its base block saying it is dirty
    std::vector<HiveBytes> logs;  // LOG1 and, when split, LOG2
    // What a full replay gives: the new hive with both sequence numbers at the
    // last entry's (the old hive's tail kept where the new one is shorter).
    HiveBytes expected;
    std::uint32_t dwFirstSequence = 0;  // the dirty hive's secondary sequence number
    std::uint32_t dwLastSequence = 0;   // the new hive's secondary sequence number
    std::vector<std::size_t> entryOffsets;  // where each entry starts in its log
};

// The 4096-byte pages of hive bins data that differ turn oldHive into
// newHive; the entries carry sequence numbers that end at newHive's
// secondary one. The dirty hive's base block is newHive's with oldHive's
// hive bins data size and flags and the sequence numbers of a save that was
// cut short, so a full replay gives newHive byte for byte.
DirtyHive MakeDirtyHive(const HiveBytes& oldHive, const HiveBytes& newHive, const HiveLogOptions& options = {});

}  // namespace test
