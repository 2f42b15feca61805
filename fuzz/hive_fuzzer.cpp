// libFuzzer target for the hive reader: the input is a hive file. It is
// opened as the stand-in opens the image's hives (base block check, the
// replay path for a dirty one, libhivex), then its keys are read through
// the lazily filled tree as a run reads them, CurrentControlSet included.
#include "hive_file.h"
#include "hive_mount.h"
#include "registry_tree.h"

#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

// Reads every key and value below a node, as far as a run could reach:
// a hive whose lists point back up must not make this endless.
void Walk(host::RegistryNode& node, int depth, int* pnBudget) {
    if (depth > 24 || --*pnBudget < 0) return;
    for (const host::RegistryValue& value : node.Values()) (void)value.data.size();
    for (const auto& child : node.Children()) Walk(*child.second, depth + 1, pnBudget);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = memfd_create("hive", 0);
    if (fd < 0) return 0;
    size_t written = 0;
    while (written < size) {
        const ssize_t n = write(fd, data + written, size - written);
        if (n <= 0) break;
        written += static_cast<size_t>(n);
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    std::vector<std::string> warnings;
    std::string error;
    if (std::unique_ptr<host::HiveFile> hive = host::HiveFile::Open(path, &warnings, &error)) {
        host::RegistryTree tree;
        hive->Attach(*tree.Create(L"SYSTEM"));
        (void)host::LinkCurrentControlSet(tree, path, &error);
        int nBudget = 5000;
        Walk(tree.Root(), 0, &nBudget);
        tree.Clear();
    }
    close(fd);
    return 0;
}
