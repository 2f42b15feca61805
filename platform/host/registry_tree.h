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

struct RegistryNode {
    std::wstring strName;
    // Keyed by the folded name, so iteration is the order Windows enumerates
    // subkeys in: sorted by name, ignoring case.
    std::map<std::wstring, std::unique_ptr<RegistryNode>> children;
    std::vector<RegistryValue> values;

    RegistryNode* FindChild(const std::wstring& name) const;
    RegistryNode* AddChild(const std::wstring& name);
    void RemoveChild(const std::wstring& name);
    const RegistryValue* FindValue(const std::wstring& name) const;
    void SetValue(RegistryValue value);
    void RemoveValue(const std::wstring& name);
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

// Text of a string value, up to its first terminator; empty when missing or
// not a text type.
std::wstring ReadRegistryText(RegistryTree& tree, const std::wstring& keyPath, const std::wstring& valueName);
bool ReadRegistryDword(RegistryTree& tree, const std::wstring& keyPath, const std::wstring& valueName, DWORD* value);

}  // namespace host
