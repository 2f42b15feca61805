#include "hive_mount.h"

#include "hive_file.h"
#include "wide_text.h"

#include <cstdio>

namespace host {

bool MountHive(ImageState& image, const std::wstring& rootName, const std::string& path, std::string* pError) {
    std::vector<std::string> warnings;
    std::unique_ptr<HiveFile> hive = HiveFile::Open(path, &warnings, pError);
    for (const std::string& warning : warnings) std::fprintf(stderr, "dravolin: warning: %s\n", warning.c_str());
    if (!hive) return false;
    RegistryNode* root = image.registry.Create(rootName);
    root->Clear();
    hive->Attach(*root);
    image.hives.push_back(std::move(hive));
    return true;
}

bool LinkCurrentControlSet(RegistryTree& tree, const std::string& systemPath, std::string* pError) {
    RegistryNode* select = tree.Find(L"SYSTEM\\Select");
    if (!select) {
        *pError = systemPath + ": the SYSTEM hive has no Select key, so its current control set is unknown";
        return false;
    }
    DWORD current = 0;
    if (!ReadRegistryDword(tree, L"SYSTEM\\Select", L"Current", &current)) {
        *pError = systemPath + ": Select has no Current value of type REG_DWORD";
        return false;
    }
    char name[32];
    std::snprintf(name, sizeof name, "ControlSet%03u", static_cast<unsigned>(current));
    RegistryNode* system = tree.Find(L"SYSTEM");
    RegistryNode* controlSet = current == 0 ? nullptr : system->FindChild(WideFromUtf8(name));
    if (!controlSet) {
        *pError = systemPath + ": Select Current is " + std::to_string(current) + ", but the hive has no " + name;
        return false;
    }
    system->AddLink(L"CurrentControlSet", controlSet);
    return true;
}

}  // namespace host
