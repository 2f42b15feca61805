// Brings a dirty registry hive up to date from its transaction logs, in
// memory. The hive file and its logs are only read: the caller passes their
// bytes and reads the hive from the bytes it gets back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace host {

// Layout of a hive file that the replay and the loader's first check rely on.
constexpr std::size_t kHiveBaseBlockSize = 4096;  // the hive bins start here
constexpr std::size_t kHiveChecksumOffset = 508;  // XOR-32 of bytes 0..507
constexpr std::size_t kHivePageSize = 4096;       // granularity of dirty pages

// Checks what every reader of a hive needs before anything else: at least a
// base block, "regf" at offset 0, and a checksum at 508 that is the XOR of
// the 127 little-endian dwords before it. On failure *pError says
// "<name>: <reason> at offset <n>" (e.g. "...SYSTEM: bad base block checksum
// at offset 508"), and false is returned.
bool CheckHiveBaseBlock(const unsigned char* pData, std::size_t size, const std::string& name,
    std::string* pError);

// The XOR-32 checksum over the first 508 bytes of a base block; pData must
// hold at least 512 bytes.
std::uint32_t ComputeHiveBaseBlockChecksum(const unsigned char* pData);

// Marvin32 of the bytes with a 64-bit seed; log entries carry two such
// hashes with the seed below (its bytes in the file's order: 82 EF 4D 88
// 7A 4E 55 C5).
constexpr std::uint64_t kHiveLogHashSeed = 0xC5554E7A884DEF82ull;
std::uint64_t ComputeMarvin32(const unsigned char* pData, std::size_t size, std::uint64_t seed);

struct HiveLogFile {
    std::string strName;  // host path or file name, used in messages only
    std::vector<unsigned char> bytes;
};

enum class HiveLogOutcome {
    Clean,         // primary == secondary sequence number; logs not read
    Replayed,      // at least one log entry applied
    DirtyNoLogs,   // dirty, and no log held an entry that continues the hive
    OldLogFormat,  // dirty, a log of the format before Windows 8.1 (no "HvLE"
                   // entries): detected, not replayed
    BadHive,       // the hive's own base block fails CheckHiveBaseBlock
};

struct HiveReplayResult {
    HiveLogOutcome outcome = HiveLogOutcome::BadHive;
    // The hive to read: the input unchanged unless outcome is Replayed; then
    // the replayed copy with a clean base block (both sequence numbers equal,
    // hive bins data size of the last entry, checksum fixed).
    std::vector<unsigned char> hive;
    unsigned nEntriesApplied = 0;
    std::uint32_t dwLastSequence = 0;  // sequence number of the last entry applied
    std::string strLogUsed;            // strName of the logs replayed from, ", " between
    // A line (without newline) for standard error naming the hive, or empty
    // when there is nothing to say (Clean, or Replayed from a log that ended
    // cleanly). For DirtyNoLogs and OldLogFormat it says that recent changes
    // may be missing; for Replayed, when a log stopped at a bad entry, which
    // entry and why. For BadHive it holds the CheckHiveBaseBlock error.
    std::string strWarning;
};

// Replays the logs (0 to 2 of them, .LOG1 and .LOG2 in any order) onto the
// hive when its base block says it is dirty. The log whose entries continue
// from the hive's secondary sequence number and reach furthest is used;
// when both do, the second continues where the first stops and its entries
// are applied after the first's. Entries are applied in sequence order and
// the replay stops at the first entry whose hashes, sequence number or
// bounds do not fit. Any bytes are accepted: no crash, no hang, and the
// result never exceeds hive size + log sizes (and 2 GiB of hive bins).
HiveReplayResult ReplayHiveLogs(const std::vector<unsigned char>& hive, const std::string& hiveName,
    const std::vector<HiveLogFile>& logs);

}  // namespace host
