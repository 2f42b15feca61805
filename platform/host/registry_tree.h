// The image's registry, held in memory: one tree under HKEY_LOCAL_MACHINE.
#pragma once

#include "platform_api.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace host {

struct RegistryValue {
    std::wstring strName;
    DWORD dwType = REG_NONE;
    // Text types (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) hold wchar_t units,
    // terminators included; the others hold their bytes as written.
    std::vector<BYTE> data;
};

struct RegistryNode;

// Fills a node's subkeys and values from where they are stored (a hive file)
// the first time the node is looked into, so that a run reads the few
// hundred keys it needs of a hive that holds a hundred thousand.
class RegistryNodeSource {
public:
    virtual ~RegistryNodeSource() = default;
    virtual void Fill(RegistryNode& node, size_t nSourceKey) = 0;
};

struct RegistryNode {
    using ChildMap = std::map<std::wstring, std::unique_ptr<RegistryNode>>;

    std::wstring strName;

    // Keyed by the folded name, so iteration is the order Windows enumerates
    // subkeys in: sorted by name, ignoring case.
    const ChildMap& Children();
    const std::vector<RegistryValue>& Values();

    // A link child (CurrentControlSet) is found as the node it points to.
    RegistryNode* FindChild(const std::wstring& name);
    RegistryNode* AddChild(const std::wstring& name);
    void AddLink(const std::wstring& name, RegistryNode* pTarget);
    void RemoveChild(const std::wstring& name);
    const RegistryValue* FindValue(const std::wstring& name);
    void SetValue(RegistryValue value);
    // For a source filling the node: no look for a value of the same name,
    // which a key with very many values would pay for each one.
    void AppendValue(RegistryValue value);
    void RemoveValue(const std::wstring& name);

    // Leaves the content to the source until it is first looked into.
    void SetSource(RegistryNodeSource* pSource, size_t nSourceKey);
    void Clear();

private:
    void Materialise();

    ChildMap m_children;
    std::vector<RegistryValue> m_values;
    RegistryNode* m_pLinkTarget = nullptr;
    RegistryNodeSource* m_pSource = nullptr;
    size_t m_nSourceKey = 0;
};

class RegistryTree {
public:
    RegistryNode& Root() { return m_root; }
    // Path components are separated by "\"; empty components are ignored.
    RegistryNode* Find(const std::wstring& path);
    RegistryNode* Create(const std::wstring& path);
    void Remove(const std::wstring& path);
    void Clear();

private:
    RegistryNode m_root;
};

std::vector<std::wstring> SplitRegistryPath(const std::wstring& path);

// The wchar_t units of UTF-16LE value data, one per two bytes (an odd last
// byte becomes a unit of its own), as registry text is served.
std::vector<BYTE> TextUnitsFromUtf16Le(const BYTE* pBytes, size_t nBytes);

// Text of a string value, up to its first terminator; empty when missing or
// not a text type.
std::wstring ReadRegistryText(RegistryTree& tree, const std::wstring& keyPath, const std::wstring& valueName);
bool ReadRegistryDword(RegistryTree& tree, const std::wstring& keyPath, const std::wstring& valueName, DWORD* value);

}  // namespace host
