#include "support/hive_writer.h"

#include "reg_file_reader.h"
#include "wide_text.h"

#include <hivex.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace test {
namespace {

void Put32(std::string& bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
}

void Put16(std::string& bytes, size_t offset, uint16_t value) {
    bytes[offset] = static_cast<char>(value);
    bytes[offset + 1] = static_cast<char>(value >> 8);
}

uint32_t Get32(const std::string& bytes, size_t offset) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[offset + static_cast<size_t>(i)]);
    return value;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// wchar_t units of registry text back to UTF-16LE; a unit beyond U+FFFF
// becomes its surrogate pair.
std::string Utf16LeFromUnits(const std::vector<BYTE>& data) {
    std::string out;
    const size_t nUnits = data.size() / sizeof(wchar_t);
    for (size_t i = 0; i < nUnits; ++i) {
        wchar_t unit = 0;
        std::memcpy(&unit, &data[i * sizeof(wchar_t)], sizeof unit);
        uint32_t cp = static_cast<uint32_t>(unit);
        if (cp > 0xFFFF) {
            cp -= 0x10000;
            const uint32_t high = 0xD800 + (cp >> 10);
            const uint32_t low = 0xDC00 + (cp & 0x3FF);
            out += {static_cast<char>(high), static_cast<char>(high >> 8), static_cast<char>(low),
                    static_cast<char>(low >> 8)};
        } else {
            out += {static_cast<char>(cp), static_cast<char>(cp >> 8)};
        }
    }
    return out;
}

}  // namespace

std::string EmptyHiveBytes() {
    const size_t kBin = 0x1000;
    std::string hive(2 * 0x1000, '\0');
    // Base block: signature, equal sequence numbers (clean), format 1.5,
    // the root key at the first cell of the bins, one bin of bins data.
    hive.replace(0, 4, "regf");
    Put32(hive, 4, 1);
    Put32(hive, 8, 1);
    Put32(hive, 20, 1);
    Put32(hive, 24, 5);
    Put32(hive, 28, 0);
    Put32(hive, 32, 1);
    Put32(hive, 36, 0x20);
    Put32(hive, 40, 0x1000);
    Put32(hive, 44, 1);
    // The hive bin.
    hive.replace(kBin, 4, "hbin");
    Put32(hive, kBin + 4, 0);
    Put32(hive, kBin + 8, 0x1000);
    // The root key cell: 4 bytes of size (negative: in use), then the key.
    const size_t root = kBin + 0x20;
    const size_t rootCell = 88;
    const size_t sk = root + rootCell;
    const size_t skCell = 48;
    Put32(hive, root, static_cast<uint32_t>(-static_cast<int32_t>(rootCell)));
    hive.replace(root + 4, 2, "nk");
    Put16(hive, root + 6, 0x2C);  // hive entry, not deletable, ASCII name
    Put32(hive, root + 4 + 16, 0xFFFFFFFF);  // parent
    Put32(hive, root + 4 + 28, 0xFFFFFFFF);  // subkey list
    Put32(hive, root + 4 + 32, 0xFFFFFFFF);  // volatile subkey list
    Put32(hive, root + 4 + 40, 0xFFFFFFFF);  // value list
    Put32(hive, root + 4 + 44, static_cast<uint32_t>(sk - kBin));  // security
    Put32(hive, root + 4 + 48, 0xFFFFFFFF);  // class name
    Put16(hive, root + 4 + 72, 4);
    hive.replace(root + 4 + 76, 4, "ROOT");
    // The security cell new keys inherit: a self-relative descriptor with
    // nothing in it, linked to itself.
    Put32(hive, sk, static_cast<uint32_t>(-static_cast<int32_t>(skCell)));
    hive.replace(sk + 4, 2, "sk");
    Put32(hive, sk + 4 + 4, static_cast<uint32_t>(sk - kBin));
    Put32(hive, sk + 4 + 8, static_cast<uint32_t>(sk - kBin));
    Put32(hive, sk + 4 + 12, 1);   // references
    Put32(hive, sk + 4 + 16, 20);  // descriptor size
    hive[sk + 4 + 20] = 1;         // revision
    Put16(hive, sk + 4 + 22, 0x8000);  // self-relative
    // The rest of the bin is one free cell.
    const size_t free = sk + skCell;
    Put32(hive, free, static_cast<uint32_t>(kBin + 0x1000 - free));
    uint32_t checksum = 0;
    for (size_t i = 0; i < 508; i += 4) checksum ^= Get32(hive, i);
    Put32(hive, 508, checksum);
    return hive;
}

HiveWriter::HiveWriter(const std::string& hiveBytes) {
    char path[] = "/tmp/dravolin-hive-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) throw std::runtime_error("cannot create a working file for a hive");
    const std::string base = hiveBytes.empty() ? EmptyHiveBytes() : hiveBytes;
    const bool bWritten = write(fd, base.data(), base.size()) == static_cast<ssize_t>(base.size());
    close(fd);
    m_path = path;
    m_pHive = bWritten ? hivex_open(m_path.c_str(), HIVEX_OPEN_WRITE) : nullptr;
    if (!m_pHive) {
        unlink(m_path.c_str());
        throw std::runtime_error("libhivex does not open the hive to write to");
    }
}

HiveWriter::~HiveWriter() {
    hivex_close(m_pHive);
    unlink(m_path.c_str());
}

size_t HiveWriter::FindOrAddKey(const std::string& keyPath) {
    hive_node_h key = hivex_root(m_pHive);
    for (const std::wstring& part : host::SplitRegistryPath(host::WideFromUtf8(keyPath))) {
        const std::string name = host::Utf8FromWide(part);
        hive_node_h child = hivex_node_get_child(m_pHive, key, name.c_str());
        if (child == 0) child = hivex_node_add_child(m_pHive, key, name.c_str());
        if (child == 0) throw std::runtime_error("libhivex cannot add key " + name);
        key = child;
    }
    return key;
}

void HiveWriter::WriteNode(host::RegistryNode& node, size_t hiveKey, bool bNewKey) {
    for (const host::RegistryValue& value : node.Values()) {
        std::string name = host::Utf8FromWide(value.strName);
        const bool bText = value.dwType == REG_SZ || value.dwType == REG_EXPAND_SZ || value.dwType == REG_MULTI_SZ;
        std::string data = bText ? Utf16LeFromUnits(value.data) : std::string(value.data.begin(), value.data.end());
        hive_set_value setValue{&name[0], hive_t_REG_NONE, data.size(), &data[0]};
        std::memcpy(&setValue.t, &value.dwType, sizeof setValue.t);  // any type number, named or not
        if (hivex_node_set_value(m_pHive, hiveKey, &setValue, 0) != 0) {
            throw std::runtime_error("libhivex cannot set value " + name + " of " + host::Utf8FromWide(node.strName));
        }
    }
    for (const auto& child : node.Children()) {
        const std::string name = host::Utf8FromWide(child.second->strName);
        // A key that is new has no subkeys to look through.
        hive_node_h hiveChild = bNewKey ? 0 : hivex_node_get_child(m_pHive, hiveKey, name.c_str());
        const bool bNewChild = hiveChild == 0;
        if (bNewChild) hiveChild = hivex_node_add_child(m_pHive, hiveKey, name.c_str());
        if (hiveChild == 0) throw std::runtime_error("libhivex cannot add key " + name);
        WriteNode(*child.second, hiveChild, bNewChild);
    }
}

void HiveWriter::AddTree(host::RegistryNode& node, const std::string& keyPath) {
    WriteNode(node, FindOrAddKey(keyPath), false);
}

std::string HiveWriter::Bytes() {
    char path[] = "/tmp/dravolin-hive-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) throw std::runtime_error("cannot create a file for a hive");
    close(fd);
    const bool bCommitted = hivex_commit(m_pHive, path, 0) == 0;
    std::string bytes = bCommitted ? ReadFile(path) : std::string();
    unlink(path);
    if (!bCommitted) throw std::runtime_error("libhivex cannot commit the hive");
    return bytes;
}

std::string HiveFromRegistry(host::RegistryTree& tree, const std::string& rootKey, unsigned nControlSet) {
    HiveWriter writer;
    host::RegistryNode* root = tree.Find(host::WideFromUtf8(rootKey));
    if (!root) return writer.Bytes();
    if (rootKey == "SYSTEM") {
        char controlSet[32];
        std::snprintf(controlSet, sizeof controlSet, "ControlSet%03u", nControlSet == 0 ? 1 : nControlSet);
        host::RegistryNode* current = root->FindChild(L"CurrentControlSet");
        if (current) writer.AddTree(*current, controlSet);
        root->RemoveChild(L"CurrentControlSet");
        if (nControlSet != 0 && !root->FindChild(L"Select")) {
            host::RegistryNode* select = root->AddChild(L"Select");
            for (const wchar_t* name : {L"Current", L"Default", L"LastKnownGood"}) {
                host::RegistryValue value;
                value.strName = name;
                value.dwType = REG_DWORD;
                value.data.assign(4, 0);
                std::memcpy(value.data.data(), &nControlSet, 4);
                select->SetValue(value);
            }
        }
    }
    writer.AddTree(*root);
    return writer.Bytes();
}

std::string HiveFromRegLines(const std::string& regLines, const std::string& rootKey, unsigned nControlSet) {
    host::RegistryTree tree;
    std::string error;
    if (!host::ApplyRegText("Windows Registry Editor Version 5.00\r\n" + regLines, "hive lines", tree, &error)) {
        throw std::runtime_error(error);
    }
    return HiveFromRegistry(tree, rootKey, nControlSet);
}

}  // namespace test
