// Replays the transaction logs Windows 8.1 and later write beside a hive
// (a base block, then "HvLE" entries of dirty pages) onto a copy of the hive.
// Every field of a log is untrusted: lengths, counts and offsets are checked
// against the bytes that are really there before anything is read or copied.
#include "hive_log_replay.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_map>

namespace host {
namespace {

constexpr std::size_t kSectorSize = 512;
constexpr std::size_t kEntryHeaderSize = 40;
constexpr std::size_t kPageReferenceSize = 8;
// No real hive comes near this; it keeps a forged size from asking for more.
constexpr std::uint64_t kMaxHiveBinsSize = 0x80000000ull;
// A log written for a disk with 4096-byte sectors starts its entries there.
constexpr std::size_t kMaxFirstEntryOffset = 4096;

// Fields of a base block (the hive's own, and the copy at the start of a log).
constexpr std::size_t kPrimarySequenceOffset = 4;
constexpr std::size_t kSecondarySequenceOffset = 8;
constexpr std::size_t kFileTypeOffset = 28;
constexpr std::size_t kHiveBinsSizeOffset = 40;
constexpr std::size_t kFlagsOffset = 144;
constexpr std::uint32_t kFileTypePrimary = 0;
constexpr std::uint32_t kFileTypeOldLog = 1;
constexpr std::uint32_t kFileTypeNewLog = 6;

// Fields of a log entry.
constexpr std::size_t kEntrySizeOffset = 4;
constexpr std::size_t kEntryFlagsOffset = 8;
constexpr std::size_t kEntrySequenceOffset = 12;
constexpr std::size_t kEntryBinsSizeOffset = 16;
constexpr std::size_t kEntryPageCountOffset = 20;
constexpr std::size_t kEntryHash1Offset = 24;
constexpr std::size_t kEntryHash2Offset = 32;

std::uint32_t ReadU32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint64_t ReadU64(const unsigned char* p) {
    return static_cast<std::uint64_t>(ReadU32(p)) | static_cast<std::uint64_t>(ReadU32(p + 4)) << 32;
}

void WriteU32(unsigned char* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(value >> (8 * i));
}

bool HasSignature(const unsigned char* pData, std::size_t size, std::size_t offset, const char* signature) {
    return offset <= size && size - offset >= 4 && std::memcmp(pData + offset, signature, 4) == 0;
}

std::uint32_t RotateLeft(std::uint32_t value, int bits) {
    return (value << bits) | (value >> (32 - bits));
}

void MixMarvinBlock(std::uint32_t& s0, std::uint32_t& s1) {
    s1 ^= s0;
    s0 = RotateLeft(s0, 20) + s1;
    s1 = RotateLeft(s1, 9) ^ s0;
    s0 = RotateLeft(s0, 27) + s1;
    s1 = RotateLeft(s1, 19);
}

std::string FormatHex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

// Why the reading of a log's entries ended.
enum class LogEnd {
    Clean,        // no further entry: zeros, padding, or the end of the file
    Truncated,    // an entry reaches beyond the end of the file
    BadSize,      // an entry's size cannot hold its header
    BadHash1,     // the hash of its pages and references does not match
    BadHash2,     // the hash of its header does not match
    BadBinsSize,  // hive bins data size not a multiple of 4096, or too large
    BadPages,     // page references beyond the entry or the hive bins data
};

const char* DescribeLogEnd(LogEnd end) {
    switch (end) {
    case LogEnd::Clean: return "no further entry";
    case LogEnd::Truncated: return "the entry is cut off by the end of the file";
    case LogEnd::BadSize: return "its size is smaller than an entry header";
    case LogEnd::BadHash1: return "its hash-1 does not match its pages";
    case LogEnd::BadHash2: return "its hash-2 does not match its header";
    case LogEnd::BadBinsSize: return "its hive bins data size is not usable";
    case LogEnd::BadPages: return "its page references leave the entry or the hive bins data";
    }
    return "";
}

struct LogEntry {
    std::size_t nOffset = 0;  // in the log file
    std::uint32_t dwFlags = 0;
    std::uint32_t dwSequence = 0;
    std::uint32_t dwBinsSize = 0;
    std::uint32_t dwPageCount = 0;
};

enum class LogFormat { Unusable, Old, New };

struct ParsedLog {
    const HiveLogFile* pFile = nullptr;
    LogFormat format = LogFormat::Unusable;
    std::string strUnusableReason;
    std::vector<LogEntry> entries;  // the valid entries, in file order
    std::unordered_map<std::uint32_t, std::size_t> firstWithSequence;  // index into entries
    LogEnd end = LogEnd::Clean;
    std::size_t nEndOffset = 0;     // where reading stopped
};

// Checks one entry at nOffset; its pages are only looked at, not copied.
LogEnd CheckLogEntry(const std::vector<unsigned char>& log, std::size_t nOffset, std::uint64_t maxBinsSize,
    LogEntry* pEntry, std::size_t* pEntrySize) {
    const unsigned char* p = log.data() + nOffset;
    const std::size_t nLeft = log.size() - nOffset;
    if (nLeft < kEntryHeaderSize) return LogEnd::Truncated;
    const std::uint32_t dwSize = ReadU32(p + kEntrySizeOffset);
    if (dwSize < kEntryHeaderSize) return LogEnd::BadSize;
    if (dwSize > nLeft) return LogEnd::Truncated;
    if (ComputeMarvin32(p + kEntryHeaderSize, dwSize - kEntryHeaderSize, kHiveLogHashSeed) !=
        ReadU64(p + kEntryHash1Offset)) {
        return LogEnd::BadHash1;
    }
    if (ComputeMarvin32(p, kEntryHash2Offset, kHiveLogHashSeed) != ReadU64(p + kEntryHash2Offset)) {
        return LogEnd::BadHash2;
    }
    const std::uint32_t dwBinsSize = ReadU32(p + kEntryBinsSizeOffset);
    if (dwBinsSize == 0 || dwBinsSize % kHivePageSize != 0 || dwBinsSize > maxBinsSize) {
        return LogEnd::BadBinsSize;
    }
    // The count is only believed as far as the entry's own bytes go.
    const std::uint32_t dwPageCount = ReadU32(p + kEntryPageCountOffset);
    const std::uint64_t nBody = dwSize - kEntryHeaderSize;
    if (static_cast<std::uint64_t>(dwPageCount) * kPageReferenceSize > nBody) return LogEnd::BadPages;
    std::uint64_t nPageBytes = 0;
    for (std::uint32_t i = 0; i < dwPageCount; ++i) {
        const unsigned char* pRef = p + kEntryHeaderSize + i * kPageReferenceSize;
        const std::uint64_t pageOffset = ReadU32(pRef);
        const std::uint64_t pageSize = ReadU32(pRef + 4);
        if (pageSize == 0 || pageOffset + pageSize > dwBinsSize) return LogEnd::BadPages;
        nPageBytes += pageSize;
    }
    if (nPageBytes > nBody - static_cast<std::uint64_t>(dwPageCount) * kPageReferenceSize) return LogEnd::BadPages;

    pEntry->nOffset = nOffset;
    pEntry->dwFlags = ReadU32(p + kEntryFlagsOffset);
    pEntry->dwSequence = ReadU32(p + kEntrySequenceOffset);
    pEntry->dwBinsSize = dwBinsSize;
    pEntry->dwPageCount = dwPageCount;
    *pEntrySize = dwSize;
    return LogEnd::Clean;
}

ParsedLog ParseLog(const HiveLogFile& file, std::uint64_t maxBinsSize) {
    ParsedLog parsed;
    parsed.pFile = &file;
    const std::vector<unsigned char>& log = file.bytes;
    if (log.size() < kSectorSize) {
        parsed.strUnusableReason = log.empty() ? "empty" : "shorter than a base block";
        return parsed;
    }
    if (!HasSignature(log.data(), log.size(), 0, "regf")) {
        parsed.strUnusableReason = "no \"regf\" signature at offset 0";
        return parsed;
    }
    // Entries begin in the second sector: 512 bytes in, or one disk sector in
    // when the log was written for larger sectors.
    std::size_t nFirst = 0;
    for (std::size_t offset = kSectorSize; offset <= kMaxFirstEntryOffset; offset += kSectorSize) {
        if (HasSignature(log.data(), log.size(), offset, "HvLE")) {
            nFirst = offset;
            break;
        }
        if (HasSignature(log.data(), log.size(), offset, "DIRT")) {
            parsed.format = LogFormat::Old;
            return parsed;
        }
    }
    const std::uint32_t dwFileType = ReadU32(log.data() + kFileTypeOffset);
    if (nFirst == 0) {
        if (dwFileType == kFileTypeNewLog) {
            parsed.format = LogFormat::New;  // a log with no entries yet
        } else if (dwFileType == kFileTypeOldLog) {
            parsed.format = LogFormat::Old;
        } else {
            parsed.strUnusableReason = "neither log entries nor a dirty vector after its base block";
        }
        return parsed;
    }

    parsed.format = LogFormat::New;
    std::size_t nOffset = nFirst;
    // Every round moves at least one sector on, so this ends.
    while (nOffset < log.size()) {
        if (!HasSignature(log.data(), log.size(), nOffset, "HvLE")) break;
        LogEntry entry;
        std::size_t nEntrySize = 0;
        const LogEnd end = CheckLogEntry(log, nOffset, maxBinsSize, &entry, &nEntrySize);
        if (end != LogEnd::Clean) {
            parsed.end = end;
            break;
        }
        parsed.firstWithSequence.emplace(entry.dwSequence, parsed.entries.size());
        parsed.entries.push_back(entry);
        const std::size_t nStep = (nEntrySize + kSectorSize - 1) / kSectorSize * kSectorSize;
        nOffset += nStep;
    }
    parsed.nEndOffset = nOffset;
    return parsed;
}

// Index of the entry holding the sequence number, and how many entries from
// there follow on in sequence; 0 when the log has no such entry.
std::size_t MeasureChain(const ParsedLog& log, std::uint32_t dwSequence, std::size_t* pStart) {
    const auto found = log.firstWithSequence.find(dwSequence);
    if (found == log.firstWithSequence.end()) return 0;
    const std::size_t i = found->second;
    std::size_t n = 1;
    while (i + n < log.entries.size() &&
           log.entries[i + n].dwSequence == static_cast<std::uint32_t>(dwSequence + n)) {
        ++n;
    }
    *pStart = i;
    return n;
}

void ApplyLogEntry(const LogEntry& entry, const std::vector<unsigned char>& log, std::vector<unsigned char>& hive) {
    const std::size_t nNeeded = kHiveBaseBlockSize + entry.dwBinsSize;
    if (hive.size() < nNeeded) hive.resize(nNeeded, 0);
    const unsigned char* pRefs = log.data() + entry.nOffset + kEntryHeaderSize;
    const unsigned char* pPage = pRefs + static_cast<std::size_t>(entry.dwPageCount) * kPageReferenceSize;
    for (std::uint32_t i = 0; i < entry.dwPageCount; ++i) {
        const std::size_t nPageOffset = ReadU32(pRefs + i * kPageReferenceSize);
        const std::size_t nPageSize = ReadU32(pRefs + i * kPageReferenceSize + 4);
        std::memcpy(hive.data() + kHiveBaseBlockSize + nPageOffset, pPage, nPageSize);
        pPage += nPageSize;
    }
}

// Why a log's chain ended after dwNext - 1, when that may have cost changes;
// empty when the log simply holds nothing newer.
std::string DescribeChainEnd(const ParsedLog& log, std::size_t nLastApplied, std::uint32_t dwNext) {
    if (nLastApplied + 1 < log.entries.size()) {
        const LogEntry& next = log.entries[nLastApplied + 1];
        // Older entries left over from before the log was last reset are
        // expected; a newer one means some entries in between are missing.
        if (static_cast<std::int32_t>(next.dwSequence - dwNext) > 0) {
            return log.pFile->strName + ": the entry at offset " + std::to_string(next.nOffset) + " has sequence " +
                   std::to_string(next.dwSequence) + " where " + std::to_string(dwNext) + " should follow";
        }
        return "";
    }
    if (log.end != LogEnd::Clean) {
        return log.pFile->strName + ": the entry at offset " + std::to_string(log.nEndOffset) +
               " is damaged (" + DescribeLogEnd(log.end) + ")";
    }
    return "";
}

void FinishBaseBlock(std::vector<unsigned char>& hive, const LogEntry& last) {
    unsigned char* p = hive.data();
    WriteU32(p + kPrimarySequenceOffset, last.dwSequence);
    WriteU32(p + kSecondarySequenceOffset, last.dwSequence);
    WriteU32(p + kHiveBinsSizeOffset, last.dwBinsSize);
    WriteU32(p + kFlagsOffset, last.dwFlags);
    WriteU32(p + kHiveChecksumOffset, ComputeHiveBaseBlockChecksum(p));
}

// A log's copy of the base block, when it is sound enough to stand in for a
// hive's own damaged one.
bool HasUsableBaseBlock(const HiveLogFile& log) {
    return log.bytes.size() >= kSectorSize && HasSignature(log.bytes.data(), log.bytes.size(), 0, "regf") &&
           ComputeHiveBaseBlockChecksum(log.bytes.data()) == ReadU32(log.bytes.data() + kHiveChecksumOffset);
}

}  // namespace

std::uint64_t ComputeMarvin32(const unsigned char* pData, std::size_t size, std::uint64_t seed) {
    std::uint32_t s0 = static_cast<std::uint32_t>(seed);
    std::uint32_t s1 = static_cast<std::uint32_t>(seed >> 32);
    std::size_t i = 0;
    for (; size - i >= 4; i += 4) {
        s0 += ReadU32(pData + i);
        MixMarvinBlock(s0, s1);
    }
    // The tail is padded with a single 0x80 byte after the last data byte.
    std::uint32_t last = 0x80;
    for (std::size_t j = size; j > i; --j) last = (last << 8) | pData[j - 1];
    s0 += last;
    MixMarvinBlock(s0, s1);
    MixMarvinBlock(s0, s1);
    return static_cast<std::uint64_t>(s1) << 32 | s0;
}

std::uint32_t ComputeHiveBaseBlockChecksum(const unsigned char* pData) {
    std::uint32_t checksum = 0;
    for (std::size_t i = 0; i < kHiveChecksumOffset; i += 4) checksum ^= ReadU32(pData + i);
    return checksum;
}

bool CheckHiveBaseBlock(const unsigned char* pData, std::size_t size, const std::string& name,
    std::string* pError) {
    if (!HasSignature(pData, size, 0, "regf")) {
        *pError = name + ": not a registry hive (no \"regf\" signature at offset 0)";
        return false;
    }
    if (size < kHiveBaseBlockSize) {
        *pError = name + ": truncated registry hive (the file ends at offset " + std::to_string(size) +
                  ", inside the base block that ends at offset 4096)";
        return false;
    }
    const std::uint32_t stored = ReadU32(pData + kHiveChecksumOffset);
    const std::uint32_t computed = ComputeHiveBaseBlockChecksum(pData);
    if (stored != computed) {
        *pError = name + ": bad base block checksum at offset 508 (stored " + FormatHex(stored) + ", computed " +
                  FormatHex(computed) + ")";
        return false;
    }
    return true;
}

HiveReplayResult ReplayHiveLogs(const std::vector<unsigned char>& hive, const std::string& hiveName,
    const std::vector<HiveLogFile>& logs) {
    HiveReplayResult result;
    result.hive = hive;

    std::string strBaseBlockError;
    const bool bBaseBlockSound = CheckHiveBaseBlock(hive.data(), hive.size(), hiveName, &strBaseBlockError);
    // Only a bad checksum can be mended from a log; a file that is not a hive
    // at all is left to the caller's error.
    const bool bChecksumOnly =
        !bBaseBlockSound && hive.size() >= kHiveBaseBlockSize && HasSignature(hive.data(), hive.size(), 0, "regf");
    if (!bBaseBlockSound && !bChecksumOnly) {
        result.outcome = HiveLogOutcome::BadHive;
        result.strWarning = strBaseBlockError;
        return result;
    }
    const std::uint32_t dwPrimary = ReadU32(hive.data() + kPrimarySequenceOffset);
    const std::uint32_t dwSecondary = ReadU32(hive.data() + kSecondarySequenceOffset);
    if (bBaseBlockSound && dwPrimary == dwSecondary) {
        result.outcome = HiveLogOutcome::Clean;
        return result;
    }

    // The result never grows past what the hive and its logs could supply.
    std::uint64_t nLimit = hive.size();
    for (const HiveLogFile& log : logs) nLimit += log.bytes.size();
    const std::uint64_t maxBinsSize = std::min(kMaxHiveBinsSize, nLimit - kHiveBaseBlockSize);

    std::vector<ParsedLog> parsed;
    for (const HiveLogFile& log : logs) parsed.push_back(ParseLog(log, maxBinsSize));

    std::uint32_t dwExpected = dwSecondary;
    std::string strBaseBlockNote;
    if (!bBaseBlockSound) {
        // The log's copy of the base block stands in for the damaged one; the
        // first log (in the order given) with a sound copy and entries wins.
        const HiveLogFile* pSource = nullptr;
        for (const ParsedLog& log : parsed) {
            if (log.format == LogFormat::New && !log.entries.empty() && HasUsableBaseBlock(*log.pFile)) {
                pSource = log.pFile;
                break;
            }
        }
        if (pSource == nullptr) {
            result.outcome = HiveLogOutcome::BadHive;
            result.strWarning = strBaseBlockError;
            return result;
        }
        std::memcpy(result.hive.data(), pSource->bytes.data(), kSectorSize);
        WriteU32(result.hive.data() + kFileTypeOffset, kFileTypePrimary);
        dwExpected = ReadU32(result.hive.data() + kSecondarySequenceOffset);
        strBaseBlockNote = strBaseBlockError + "; the base block was taken from " + pSource->strName;
    }

    // Follow the sequence from the hive's own number: each round takes the
    // log whose entries continue furthest from there (the first log on a
    // tie), so LOG2 picks up where LOG1 stops and a stale or damaged log
    // loses to a sound one. Each round applies at least one entry, and a
    // chain measured but not taken is never longer than the one taken, so
    // the work stays in proportion to the entries applied.
    std::size_t nTotalEntries = 0;
    for (const ParsedLog& log : parsed) nTotalEntries += log.entries.size();
    const ParsedLog* pLastLog = nullptr;
    std::size_t nLastIndex = 0;
    const LogEntry* pLastEntry = nullptr;
    std::vector<bool> logUsed(parsed.size(), false);
    for (std::size_t nRound = 0; nRound < nTotalEntries; ++nRound) {
        const ParsedLog* pBest = nullptr;
        std::size_t nBestStart = 0;
        std::size_t nBestLength = 0;
        for (const ParsedLog& log : parsed) {
            std::size_t nStart = 0;
            const std::size_t nLength = MeasureChain(log, dwExpected, &nStart);
            if (nLength > nBestLength) {
                pBest = &log;
                nBestStart = nStart;
                nBestLength = nLength;
            }
        }
        if (pBest == nullptr) break;
        for (std::size_t i = nBestStart; i < nBestStart + nBestLength; ++i) {
            ApplyLogEntry(pBest->entries[i], pBest->pFile->bytes, result.hive);
        }
        pLastLog = pBest;
        nLastIndex = nBestStart + nBestLength - 1;
        pLastEntry = &pBest->entries[nLastIndex];
        result.nEntriesApplied += static_cast<unsigned>(nBestLength);
        logUsed[static_cast<std::size_t>(pBest - parsed.data())] = true;
        dwExpected = static_cast<std::uint32_t>(pLastEntry->dwSequence + 1);
    }

    if (pLastEntry != nullptr) {
        for (std::size_t i = 0; i < parsed.size(); ++i) {
            if (!logUsed[i]) continue;
            result.strLogUsed += (result.strLogUsed.empty() ? "" : ", ") + parsed[i].pFile->strName;
        }
        FinishBaseBlock(result.hive, *pLastEntry);
        result.outcome = HiveLogOutcome::Replayed;
        result.dwLastSequence = pLastEntry->dwSequence;
        std::string strStop = DescribeChainEnd(*pLastLog, nLastIndex, dwExpected);
        for (const ParsedLog& log : parsed) {
            // A damaged entry in another log may have been the next one, unless
            // that log already holds entries newer than the last one applied.
            if (&log == pLastLog || log.end == LogEnd::Clean) continue;
            const bool bNothingNewer = std::all_of(log.entries.begin(), log.entries.end(), [&](const LogEntry& e) {
                return static_cast<std::int32_t>(e.dwSequence - pLastEntry->dwSequence) <= 0;
            });
            if (!bNothingNewer) continue;
            strStop += (strStop.empty() ? "" : "; ") + log.pFile->strName + ": the entry at offset " +
                       std::to_string(log.nEndOffset) + " is damaged (" + DescribeLogEnd(log.end) + ")";
        }
        std::string strWarning = strBaseBlockNote;
        if (!strStop.empty()) {
            strWarning += (strWarning.empty() ? "" : "; ") + hiveName + ": replayed " +
                          std::to_string(result.nEntriesApplied) +
                          (result.nEntriesApplied == 1 ? " log entry" : " log entries") + " up to sequence " +
                          std::to_string(result.dwLastSequence) + ", then stopped: " + strStop +
                          "; recent changes may be missing";
        }
        result.strWarning = strWarning;
        return result;
    }

    // Nothing continued the hive: it is read as it is, with a warning.
    result.hive = hive;
    if (!bBaseBlockSound) {
        result.outcome = HiveLogOutcome::BadHive;
        result.strWarning = strBaseBlockError;
        return result;
    }
    const ParsedLog* pOld = nullptr;
    for (const ParsedLog& log : parsed) {
        if (log.format == LogFormat::Old && pOld == nullptr) pOld = &log;
    }
    const std::string strDirty = hiveName + " was not saved cleanly (sequence numbers " + std::to_string(dwPrimary) +
                                 " and " + std::to_string(dwSecondary) + ")";
    if (pOld != nullptr) {
        result.outcome = HiveLogOutcome::OldLogFormat;
        result.strWarning = strDirty + " and " + pOld->pFile->strName +
                            " is a transaction log of the format before Windows 8.1, which is not replayed;"
                            " recent changes may be missing";
        return result;
    }
    result.outcome = HiveLogOutcome::DirtyNoLogs;
    std::string strWhy;
    if (logs.empty()) {
        strWhy = "no transaction log is beside it";
    } else {
        for (const ParsedLog& log : parsed) {
            std::string strLog = log.pFile->strName + ": ";
            if (log.format == LogFormat::Unusable) {
                strLog += "not a transaction log (" + log.strUnusableReason + ")";
            } else if (log.end != LogEnd::Clean) {
                strLog += "no entry from sequence " + std::to_string(dwSecondary) + " on before the entry at offset " +
                          std::to_string(log.nEndOffset) + ", which is damaged (" + DescribeLogEnd(log.end) + ")";
            } else {
                strLog += "no entry from sequence " + std::to_string(dwSecondary) + " on";
            }
            strWhy += (strWhy.empty() ? "" : "; ") + strLog;
        }
    }
    result.strWarning = strDirty + " and no transaction log continues it (" + strWhy +
                        "); recent changes may be missing";
    return result;
}

}  // namespace host
