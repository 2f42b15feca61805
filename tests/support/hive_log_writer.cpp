#include "support/hive_log_writer.h"

#include "hive_log_replay.h"

#include <algorithm>
#include <cstring>

namespace test {
namespace {

constexpr std::size_t kSector = 512;
constexpr std::size_t kEntryHeader = 40;
constexpr std::size_t kFlagsField = 144;
constexpr std::size_t kFileTypeField = 28;

void PutU32(unsigned char* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint32_t GetU32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void PutU64(unsigned char* p, std::uint64_t value) {
    PutU32(p, static_cast<std::uint32_t>(value));
    PutU32(p + 4, static_cast<std::uint32_t>(value >> 32));
}

struct PageRun {
    std::uint32_t dwOffset;  // relative to the hive bins data
    std::uint32_t dwSize;
};

// One entry: header, references, the pages from newHive, padded to a sector.
HiveBytes BuildEntry(std::uint32_t dwSequence, std::uint32_t dwBinsSize, std::uint32_t dwFlags,
    const std::vector<PageRun>& runs, const HiveBytes& newHive) {
    std::size_t nSize = kEntryHeader + runs.size() * 8;
    for (const PageRun& run : runs) nSize += run.dwSize;
    nSize = (nSize + kSector - 1) / kSector * kSector;
    HiveBytes entry(nSize, 0);
    std::memcpy(entry.data(), "HvLE", 4);
    PutU32(&entry[4], static_cast<std::uint32_t>(nSize));
    PutU32(&entry[8], dwFlags);
    PutU32(&entry[12], dwSequence);
    PutU32(&entry[16], dwBinsSize);
    PutU32(&entry[20], static_cast<std::uint32_t>(runs.size()));
    unsigned char* pRef = &entry[kEntryHeader];
    unsigned char* pPage = pRef + runs.size() * 8;
    for (const PageRun& run : runs) {
        PutU32(pRef, run.dwOffset);
        PutU32(pRef + 4, run.dwSize);
        pRef += 8;
        std::memcpy(pPage, &newHive[host::kHiveBaseBlockSize + run.dwOffset], run.dwSize);
        pPage += run.dwSize;
    }
    PutU64(&entry[24], host::ComputeMarvin32(&entry[kEntryHeader], nSize - kEntryHeader, host::kHiveLogHashSeed));
    PutU64(&entry[32], host::ComputeMarvin32(entry.data(), 32, host::kHiveLogHashSeed));
    return entry;
}

// Contiguous dirty pages of one entry become one reference.
std::vector<PageRun> GroupPages(const std::vector<std::uint32_t>& pages) {
    std::vector<PageRun> runs;
    for (std::uint32_t page : pages) {
        if (!runs.empty() && runs.back().dwOffset + runs.back().dwSize == page) {
            runs.back().dwSize += host::kHivePageSize;
        } else {
            runs.push_back({page, static_cast<std::uint32_t>(host::kHivePageSize)});
        }
    }
    return runs;
}

}  // namespace

std::uint32_t ReadBaseBlockField(const HiveBytes& hive, std::size_t nOffset) {
    return GetU32(&hive.at(nOffset + 3) - 3);
}

void SetBaseBlockField(HiveBytes& hive, std::size_t nOffset, std::uint32_t value) {
    PutU32(&hive.at(nOffset + 3) - 3, value);
    PutU32(&hive.at(host::kHiveChecksumOffset), host::ComputeHiveBaseBlockChecksum(hive.data()));
}

HiveBytes MakeSyntheticHive(std::size_t nBins, unsigned nFill, std::uint32_t dwSequence) {
    HiveBytes hive(host::kHiveBaseBlockSize + nBins * host::kHivePageSize, 0);
    std::memcpy(hive.data(), "regf", 4);
    PutU32(&hive[20], 1);  // version 1.5
    PutU32(&hive[24], 5);
    PutU32(&hive[32], 1);
    PutU32(&hive[36], 0x20);
    PutU32(&hive[44], 1);
    for (std::size_t bin = 0; bin < nBins; ++bin) {
        unsigned char* p = &hive[host::kHiveBaseBlockSize + bin * host::kHivePageSize];
        std::memcpy(p, "hbin", 4);
        PutU32(p + 4, static_cast<std::uint32_t>(bin * host::kHivePageSize));
        PutU32(p + 8, static_cast<std::uint32_t>(host::kHivePageSize));
        for (std::size_t i = 32; i < host::kHivePageSize; ++i) {
            p[i] = static_cast<unsigned char>((nFill * 131 + bin * 7 + i) % 251);
        }
    }
    PutU32(&hive[4], dwSequence);
    SetBaseBlockField(hive, kSecondarySequenceField, dwSequence);
    SetBaseBlockField(hive, kHiveBinsSizeField, static_cast<std::uint32_t>(nBins * host::kHivePageSize));
    return hive;
}

DirtyHive MakeDirtyHive(const HiveBytes& oldHive, const HiveBytes& newHive, const HiveLogOptions& options) {
    DirtyHive result;
    const std::uint32_t dwNewBins = ReadBaseBlockField(newHive, kHiveBinsSizeField);
    const unsigned nEntries = std::max(1u, options.nEntries);
    result.dwLastSequence = ReadBaseBlockField(newHive, kSecondarySequenceField);
    result.dwFirstSequence = result.dwLastSequence - (nEntries - 1);
    if (options.nSequenceGapBefore >= 0) --result.dwFirstSequence;

    std::vector<std::uint32_t> dirtyPages;
    for (std::uint32_t page = 0; page < dwNewBins; page += host::kHivePageSize) {
        const std::size_t at = host::kHiveBaseBlockSize + page;
        const bool bSame = at + host::kHivePageSize <= oldHive.size() &&
                           std::equal(&newHive[at], &newHive[at] + host::kHivePageSize, &oldHive[at]);
        if (!bSame) dirtyPages.push_back(page);
    }

    // The dirty hive: old hive bins under the new base block, its save cut short.
    result.hive = oldHive;
    std::copy(newHive.begin(), newHive.begin() + host::kHiveBaseBlockSize, result.hive.begin());
    PutU32(&result.hive[kFlagsField], GetU32(&oldHive[kFlagsField]));
    PutU32(&result.hive[kHiveBinsSizeField], ReadBaseBlockField(oldHive, kHiveBinsSizeField));
    PutU32(&result.hive[kPrimarySequenceField], result.dwFirstSequence + 1);
    SetBaseBlockField(result.hive, kSecondarySequenceField, result.dwFirstSequence);

    result.expected = newHive;
    if (oldHive.size() > newHive.size()) {
        result.expected.insert(result.expected.end(), oldHive.begin() + newHive.size(), oldHive.end());
    }
    PutU32(&result.expected[kPrimarySequenceField], result.dwLastSequence);
    SetBaseBlockField(result.expected, kSecondarySequenceField, result.dwLastSequence);

    HiveBytes baseBlock(result.hive.begin(), result.hive.begin() + kSector);
    PutU32(&baseBlock[kFileTypeField], 6);
    PutU32(&baseBlock[kPrimarySequenceField], result.dwFirstSequence);
    SetBaseBlockField(baseBlock, kSecondarySequenceField, result.dwFirstSequence);
    result.logs.push_back(baseBlock);

    std::uint32_t dwSequence = result.dwFirstSequence;
    for (unsigned i = 0; i < nEntries; ++i) {
        if (static_cast<int>(i) == options.nSequenceGapBefore) ++dwSequence;
        const std::size_t nFrom = dirtyPages.size() * i / nEntries;
        const std::size_t nTo = dirtyPages.size() * (i + 1) / nEntries;
        const std::vector<std::uint32_t> pages(dirtyPages.begin() + nFrom, dirtyPages.begin() + nTo);
        HiveBytes entry =
            BuildEntry(dwSequence++, dwNewBins, GetU32(&newHive[kFlagsField]), GroupPages(pages), newHive);
        if (static_cast<int>(i) == options.nBadPagesEntry) entry.back() ^= 0x01;
        if (static_cast<int>(i) == options.nBadHeaderEntry) entry[8] ^= 0x01;
        if (i == options.nSecondLogFrom) result.logs.push_back(baseBlock);
        result.entryOffsets.push_back(result.logs.back().size());
        result.logs.back().insert(result.logs.back().end(), entry.begin(), entry.end());
    }
    if (options.nTruncateLastLogAt < result.logs.back().size()) result.logs.back().resize(options.nTruncateLastLogAt);
    return result;
}

}  // namespace test
