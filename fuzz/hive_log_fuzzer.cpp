// Feeds arbitrary bytes, split into a hive and up to two transaction logs,
// through the in-memory log replay.
//
// Input: byte 0 holds options (bits 0-1: number of logs, 0 to 2; bit 2: make
// the hive's base block checksum fit; bit 3: make the hashes of every "HvLE"
// entry fit), bytes 1-4 and 5-8 the lengths of the hive and of the first log
// (taken modulo what is left), the rest the parts in that order. The two
// "make fit" options let mutations reach past the checksum and the hashes.
#include "hive_log_replay.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::uint32_t ReadLe32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void WriteLe64(unsigned char* p, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::vector<unsigned char> TakePart(const std::uint8_t*& pData, std::size_t& nLeft, std::uint32_t nWanted) {
    const std::size_t n = nLeft == 0 ? 0 : nWanted % (nLeft + 1);
    std::vector<unsigned char> part(pData, pData + n);
    pData += n;
    nLeft -= n;
    return part;
}

void FitEntryHashes(std::vector<unsigned char>& log) {
    for (std::size_t offset = 512; offset + 40 <= log.size(); offset += 512) {
        unsigned char* p = log.data() + offset;
        if (std::memcmp(p, "HvLE", 4) != 0) continue;
        const std::size_t size = std::min<std::size_t>(std::max<std::uint32_t>(ReadLe32(p + 4), 40), log.size() - offset);
        WriteLe64(p + 24, host::ComputeMarvin32(p + 40, size - 40, host::kHiveLogHashSeed));
        WriteLe64(p + 32, host::ComputeMarvin32(p, 32, host::kHiveLogHashSeed));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    if (nSize < 9) return 0;
    const unsigned options = pData[0];
    const std::uint32_t nHiveWanted = ReadLe32(pData + 1);
    const std::uint32_t nLog1Wanted = ReadLe32(pData + 5);
    pData += 9;
    std::size_t nLeft = nSize - 9;

    std::vector<unsigned char> hive = TakePart(pData, nLeft, nHiveWanted);
    std::vector<host::HiveLogFile> logs;
    const unsigned nLogs = (options & 3) % 3;
    if (nLogs >= 1) logs.push_back({"H.LOG1", TakePart(pData, nLeft, nLogs == 1 ? 0xFFFFFFFFu : nLog1Wanted)});
    if (nLogs == 2) logs.push_back({"H.LOG2", std::vector<unsigned char>(pData, pData + nLeft)});

    if ((options & 4) != 0 && hive.size() >= 512) {
        const std::uint32_t checksum = host::ComputeHiveBaseBlockChecksum(hive.data());
        for (int i = 0; i < 4; ++i) hive[host::kHiveChecksumOffset + i] = static_cast<unsigned char>(checksum >> (8 * i));
    }
    if ((options & 8) != 0) {
        for (host::HiveLogFile& log : logs) FitEntryHashes(log.bytes);
    }

    std::size_t nInputs = hive.size();
    for (const host::HiveLogFile& log : logs) nInputs += log.bytes.size();

    const host::HiveReplayResult result = host::ReplayHiveLogs(hive, "H", logs);
    if (result.outcome != host::HiveLogOutcome::Replayed) {
        // Nothing replayed: the hive is handed back as it came.
        if (result.hive != hive) std::abort();
        return 0;
    }
    // A replayed hive is sound, holds its hive bins, and is no larger than
    // the files it was made from.
    std::string error;
    if (!host::CheckHiveBaseBlock(result.hive.data(), result.hive.size(), "H", &error)) std::abort();
    if (ReadLe32(result.hive.data() + 4) != ReadLe32(result.hive.data() + 8)) std::abort();
    if (result.hive.size() < host::kHiveBaseBlockSize + ReadLe32(result.hive.data() + 40)) std::abort();
    if (result.hive.size() > nInputs) std::abort();
    if (result.nEntriesApplied == 0 || result.dwLastSequence != ReadLe32(result.hive.data() + 4)) std::abort();
    return 0;
}
