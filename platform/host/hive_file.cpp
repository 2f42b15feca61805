#include "hive_file.h"

#include "hive_log_replay.h"
#include "host_folder.h"
#include "wide_text.h"

#include <hivex.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace host {
namespace {

// Windows keeps a hive below 2 GiB; anything larger is not one.
const size_t kMaxHiveFileBytes = size_t{2} << 30;

std::uint32_t ReadLe32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Frees what libhivex hands out with malloc.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Malloced = std::unique_ptr<T, FreeDeleter>;

// The base block alone: enough to tell a clean hive (both sequence numbers
// equal, checksum right), which libhivex reads straight from the file, from
// one that needs its logs.
bool ReadBaseBlock(const std::string& path, std::vector<unsigned char>* pBlock, std::string* pError) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *pError = path + ": cannot be read (" + std::strerror(errno) + ")";
        return false;
    }
    pBlock->assign(kHiveBaseBlockSize, 0);
    size_t total = 0;
    while (total < pBlock->size()) {
        const ssize_t n = pread(fd, pBlock->data() + total, pBlock->size() - total, static_cast<off_t>(total));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        total += static_cast<size_t>(n);
    }
    close(fd);
    pBlock->resize(total);
    return true;
}

// The .LOG1 and .LOG2 beside a hive, names matched ignoring case.
std::vector<HiveLogFile> ReadLogsBeside(const std::string& path, std::vector<std::string>* pWarnings) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::vector<HiveLogFile> logs;
    for (const char* suffix : {".LOG1", ".LOG2"}) {
        const std::string entry = FindEntryNoCase(folder, name + suffix);
        if (entry.empty()) continue;
        HiveLogFile log;
        log.strName = folder + "/" + entry;
        std::string error;
        if (!ReadWholeFile(log.strName, kMaxHiveFileBytes, &log.bytes, &error)) {
            pWarnings->push_back(error);
            continue;
        }
        logs.push_back(std::move(log));
    }
    return logs;
}

// libhivex opens files by name: a replayed hive is handed over as an
// anonymous in-memory file, so that nothing is written anywhere.
hive_h* OpenHiveBytes(const std::vector<unsigned char>& bytes, const std::string& path, std::string* pError) {
    const int fd = memfd_create("dravolin-hive", MFD_CLOEXEC);
    if (fd < 0) {
        *pError = path + ": no memory file for the replayed hive (" + std::strerror(errno) + ")";
        return nullptr;
    }
    size_t total = 0;
    while (total < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + total, bytes.size() - total);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            *pError = path + ": no memory file for the replayed hive (" + std::strerror(errno) + ")";
            close(fd);
            return nullptr;
        }
        total += static_cast<size_t>(n);
    }
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    hive_h* pHive = hivex_open(procPath.c_str(), 0);
    const int openError = errno;
    close(fd);  // libhivex holds its own descriptor
    if (!pHive) *pError = path + ": not a registry hive that can be read (" + std::strerror(openError) + ")";
    return pHive;
}

// libhivex hands names out in UTF-8; nearly all are ASCII, which needs no
// decoder.
std::wstring WideFromHiveName(const char* name) {
    const char* end = name;
    while (*end) {
        if (static_cast<unsigned char>(*end++) >= 0x80) return WideFromUtf8(name);
    }
    return std::wstring(name, end);
}

}  // namespace

HiveFile::~HiveFile() { hivex_close(m_pHive); }

std::unique_ptr<HiveFile> HiveFile::Open(const std::string& path, std::vector<std::string>* pWarnings,
                                         std::string* pError) {
    std::vector<unsigned char> baseBlock;
    if (!ReadBaseBlock(path, &baseBlock, pError)) return nullptr;
    hive_h* pHive = nullptr;
    std::string baseBlockError;
    if (CheckHiveBaseBlock(baseBlock.data(), baseBlock.size(), path, &baseBlockError) &&
        ReadLe32(&baseBlock[4]) == ReadLe32(&baseBlock[8])) {
        pHive = hivex_open(path.c_str(), 0);
        if (!pHive) *pError = path + ": not a registry hive that can be read (" + std::strerror(errno) + ")";
    } else {
        // Dirty, or a base block that its logs may mend.
        std::vector<HiveLogFile> logs = ReadLogsBeside(path, pWarnings);
        if (!baseBlockError.empty() && logs.empty()) {
            *pError = baseBlockError;
            return nullptr;
        }
        std::vector<unsigned char> bytes;
        if (!ReadWholeFile(path, kMaxHiveFileBytes, &bytes, pError)) return nullptr;
        HiveReplayResult replay = ReplayHiveLogs(bytes, path, logs);
        if (replay.outcome == HiveLogOutcome::BadHive) {
            *pError = replay.strWarning;
            return nullptr;
        }
        if (!replay.strWarning.empty()) pWarnings->push_back(replay.strWarning);
        pHive = OpenHiveBytes(replay.hive, path, pError);
        if (!pHive && replay.outcome == HiveLogOutcome::Replayed && baseBlockError.empty()) {
            // Entries that stop part way can leave a hive that does not
            // hold together; the file as it is on disk is then the better
            // choice, as it is for a dirty hive without logs.
            pHive = hivex_open(path.c_str(), 0);
            if (pHive) {
                pWarnings->push_back(*pError + " after its logs were replayed; it is read as it is on disk, "
                                     "so recent changes may be missing");
                pError->clear();  // the caller's error text stays empty on success
            }
        }
    }
    if (!pHive) return nullptr;
    return std::unique_ptr<HiveFile>(new HiveFile(pHive));
}

void HiveFile::Attach(RegistryNode& node) { node.SetSource(this, hivex_root(m_pHive)); }

void HiveFile::Fill(RegistryNode& node, size_t nSourceKey) {
    // A damaged list or cell reads as no subkey or no value: the keys that
    // can be read still serve the run.
    const auto key = static_cast<hive_node_h>(nSourceKey);
    if (Malloced<hive_node_h> children{hivex_node_children(m_pHive, key)}) {
        for (const hive_node_h* pChild = children.get(); *pChild != 0; ++pChild) {
            Malloced<char> name{hivex_node_name(m_pHive, *pChild)};
            if (!name) continue;
            node.AddChild(WideFromHiveName(name.get()))->SetSource(this, *pChild);
        }
    }
    if (Malloced<hive_value_h> values{hivex_node_values(m_pHive, key)}) {
        for (const hive_value_h* pValue = values.get(); *pValue != 0; ++pValue) {
            Malloced<char> name{hivex_value_key(m_pHive, *pValue)};
            // Types beyond the ones libhivex names (device properties use
            // 0xFFFF00xx) are kept as the number they are, never loaded as
            // the library's enumeration.
            std::uint32_t type = 0;
            static_assert(sizeof(hive_type) == sizeof(type), "libhivex stores a type in 32 bits");
            size_t nBytes = 0;
            Malloced<char> data{hivex_value_value(m_pHive, *pValue, reinterpret_cast<hive_type*>(&type), &nBytes)};
            if (!name || (!data && nBytes != 0)) continue;
            RegistryValue value;
            value.strName = WideFromHiveName(name.get());
            value.dwType = type;
            const auto* pBytes = data ? reinterpret_cast<const BYTE*>(data.get()) : nullptr;
            if (value.dwType == REG_SZ || value.dwType == REG_EXPAND_SZ || value.dwType == REG_MULTI_SZ) {
                value.data = TextUnitsFromUtf16Le(pBytes, nBytes);
            } else {
                value.data.assign(pBytes, pBytes + nBytes);
            }
            node.AppendValue(std::move(value));
        }
    }
}

}  // namespace host
