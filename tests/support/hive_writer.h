// Registry hives of our own making for tests and benchmarks: an empty hive
// written here, filled through libhivex's write API.
#pragma once

#include "registry_tree.h"

#include <string>

struct hive_h;

namespace test {

// A hive with a root key and nothing else: base block, one hive bin, the
// root key and its security cell.
std::string EmptyHiveBytes();

class HiveWriter {
public:
    // Starts from the given hive's bytes, or from EmptyHiveBytes().
    explicit HiveWriter(const std::string& hiveBytes = std::string());
    ~HiveWriter();
    HiveWriter(const HiveWriter&) = delete;
    HiveWriter& operator=(const HiveWriter&) = delete;

    // Adds the subkeys and values of a registry tree node below the hive's
    // key at keyPath ("" for the root), creating the keys that are missing
    // and setting the values over those there. Text values go back to
    // UTF-16LE as a hive stores them.
    void AddTree(host::RegistryNode& node, const std::string& keyPath = "");

    // The hive file's bytes as libhivex commits them.
    std::string Bytes();

private:
    size_t FindOrAddKey(const std::string& keyPath);
    void WriteNode(host::RegistryNode& node, size_t hiveKey, bool bNewKey);

    std::string m_path;  // the working file libhivex writes to
    hive_h* m_pHive = nullptr;
};

// The hive of one root key (SYSTEM or SOFTWARE) of a registry tree. For
// SYSTEM, CurrentControlSet is stored as ControlSet00N and, unless the tree
// has a Select key, Select Current = N is added, as Windows keeps them on
// disk; N = 0 stores ControlSet001 and adds no Select. The tree is changed.
std::string HiveFromRegistry(host::RegistryTree& tree, const std::string& rootKey, unsigned nControlSet = 1);
// The same for the registry that .reg lines describe (those of
// TestImage::AddRegistry, without the header).
std::string HiveFromRegLines(const std::string& regLines, const std::string& rootKey, unsigned nControlSet = 1);

}  // namespace test
