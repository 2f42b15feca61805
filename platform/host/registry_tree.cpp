#include "registry_tree.h"

#include "wide_text.h"

#include <cstring>

namespace host {

RegistryNode* RegistryNode::FindChild(const std::wstring& name) const {
    auto it = children.find(FoldCase(name));
    return it == children.end() ? nullptr : it->second.get();
}

RegistryNode* RegistryNode::AddChild(const std::wstring& name) {
    auto& slot = children[FoldCase(name)];
    if (!slot) {
        slot = std::make_unique<RegistryNode>();
        slot->strName = name;
    }
    return slot.get();
}

void RegistryNode::RemoveChild(const std::wstring& name) { children.erase(FoldCase(name)); }

const RegistryValue* RegistryNode::FindValue(const std::wstring& name) const {
    for (const RegistryValue& value : values) {
        if (EqualsNoCase(value.strName, name)) return &value;
    }
    return nullptr;
}

void RegistryNode::SetValue(RegistryValue value) {
    for (RegistryValue& existing : values) {
        if (EqualsNoCase(existing.strName, value.strName)) {
            existing = std::move(value);
            return;
        }
    }
    values.push_back(std::move(value));
}

void RegistryNode::RemoveValue(const std::wstring& name) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (EqualsNoCase(it->strName, name)) {
            values.erase(it);
            return;
        }
    }
}

std::vector<std::wstring> SplitRegistryPath(const std::wstring& path) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

RegistryNode* RegistryTree::Find(const std::wstring& path) {
    RegistryNode* node = &m_root;
    for (const std::wstring& part : SplitRegistryPath(path)) {
        node = node->FindChild(part);
        if (!node) return nullptr;
    }
    return node;
}

RegistryNode* RegistryTree::Create(const std::wstring& path) {
    RegistryNode* node = &m_root;
    for (const std::wstring& part : SplitRegistryPath(path)) node = node->AddChild(part);
    return node;
}

void RegistryTree::Remove(const std::wstring& path) {
    std::vector<std::wstring> parts = SplitRegistryPath(path);
    if (parts.empty()) return;
    RegistryNode* parent = &m_root;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        parent = parent->FindChild(parts[i]);
        if (!parent) return;
    }
    parent->RemoveChild(parts.back());
}

void RegistryTree::Clear() {
    m_root.children.clear();
    m_root.values.clear();
}

std::wstring ReadRegistryText(RegistryTree& tree, const std::wstring& keyPath, const std::wstring& valueName) {
    RegistryNode* node = tree.Find(keyPath);
    const RegistryValue* value = node ? node->FindValue(valueName) : nullptr;
    if (!value || (value->dwType != REG_SZ && value->dwType != REG_EXPAND_SZ && value->dwType != REG_MULTI_SZ)) {
        return std::wstring();
    }
    std::wstring text(value->data.size() / sizeof(wchar_t), L'\0');
    if (!text.empty()) std::memcpy(&text[0], value->data.data(), text.size() * sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}

bool ReadRegistryDword(RegistryTree& tree, const std::wstring& keyPath, const std::wstring& valueName, DWORD* value) {
    RegistryNode* node = tree.Find(keyPath);
    const RegistryValue* found = node ? node->FindValue(valueName) : nullptr;
    if (!found || found->dwType != REG_DWORD || found->data.size() != 4) return false;
    std::memcpy(value, found->data.data(), 4);
    return true;
}

}  // namespace host
