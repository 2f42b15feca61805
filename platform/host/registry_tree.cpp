#include "registry_tree.h"

#include "wide_text.h"

#include <cstring>

namespace host {

void RegistryNode::Materialise() {
    if (!m_pSource) return;
    RegistryNodeSource* pSource = m_pSource;
    m_pSource = nullptr;  // the fill itself adds children through this node
    pSource->Fill(*this, m_nSourceKey);
}

void RegistryNode::SetSource(RegistryNodeSource* pSource, size_t nSourceKey) {
    m_pSource = pSource;
    m_nSourceKey = nSourceKey;
}

const RegistryNode::ChildMap& RegistryNode::Children() {
    Materialise();
    return m_children;
}

const std::vector<RegistryValue>& RegistryNode::Values() {
    Materialise();
    return m_values;
}

RegistryNode* RegistryNode::FindChild(const std::wstring& name) {
    Materialise();
    auto it = m_children.find(FoldCase(name));
    if (it == m_children.end()) return nullptr;
    RegistryNode* child = it->second.get();
    return child->m_pLinkTarget ? child->m_pLinkTarget : child;
}

RegistryNode* RegistryNode::AddChild(const std::wstring& name) {
    Materialise();
    auto& slot = m_children[FoldCase(name)];
    if (!slot) {
        slot = std::make_unique<RegistryNode>();
        slot->strName = name;
    }
    return slot->m_pLinkTarget ? slot->m_pLinkTarget : slot.get();
}

void RegistryNode::AddLink(const std::wstring& name, RegistryNode* pTarget) {
    Materialise();
    auto node = std::make_unique<RegistryNode>();
    node->strName = name;
    node->m_pLinkTarget = pTarget;
    m_children[FoldCase(name)] = std::move(node);
}

void RegistryNode::RemoveChild(const std::wstring& name) {
    Materialise();
    m_children.erase(FoldCase(name));
}

const RegistryValue* RegistryNode::FindValue(const std::wstring& name) {
    Materialise();
    for (const RegistryValue& value : m_values) {
        if (EqualsNoCase(value.strName, name)) return &value;
    }
    return nullptr;
}

void RegistryNode::SetValue(RegistryValue value) {
    Materialise();
    for (RegistryValue& existing : m_values) {
        if (EqualsNoCase(existing.strName, value.strName)) {
            existing = std::move(value);
            return;
        }
    }
    m_values.push_back(std::move(value));
}

void RegistryNode::AppendValue(RegistryValue value) { m_values.push_back(std::move(value)); }

void RegistryNode::RemoveValue(const std::wstring& name) {
    Materialise();
    for (auto it = m_values.begin(); it != m_values.end(); ++it) {
        if (EqualsNoCase(it->strName, name)) {
            m_values.erase(it);
            return;
        }
    }
}

void RegistryNode::Clear() {
    m_children.clear();
    m_values.clear();
    m_pSource = nullptr;
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

void RegistryTree::Clear() { m_root.Clear(); }

std::vector<BYTE> TextUnitsFromUtf16Le(const BYTE* pBytes, size_t nBytes) {
    std::vector<BYTE> data((nBytes + 1) / 2 * sizeof(wchar_t));
    for (size_t i = 0; i < nBytes; i += 2) {
        const wchar_t unit = static_cast<wchar_t>(pBytes[i] | (i + 1 < nBytes ? pBytes[i + 1] << 8 : 0));
        std::memcpy(&data[i / 2 * sizeof(wchar_t)], &unit, sizeof unit);
    }
    return data;
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
