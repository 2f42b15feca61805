#include "output_folder.h"

#include "image_paths.h"
#include "wide_text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace host {
namespace {

const wchar_t kInstallKey[] = L"SOFTWARE\\Tessaro\\Pelvane";
const wchar_t kNamedInstallDir[] = L"C:\\Program Files\\Tessaro\\Pelvane";

bool StartsWithParts(const std::vector<std::wstring>& parts, const std::vector<std::wstring>& prefix) {
    if (parts.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (!EqualsNoCase(parts[i], prefix[i])) return false;
    }
    return true;
}

}  // namespace

bool PrepareOutputFolder(ImageState& image, std::string* pError) {
    if (!image.strVariant.empty() && image.strOutputDir.empty()) {
        *pError = "--variant needs --output DIR: drivers of a builder that is not installed go to a host folder";
        return false;
    }
    if (image.strOutputDir.empty()) return true;

    struct stat st {};
    if (stat(image.strOutputDir.c_str(), &st) != 0 && mkdir(image.strOutputDir.c_str(), 0777) != 0) {
        *pError = "output folder \"" + image.strOutputDir + "\" cannot be created (" + std::strerror(errno) + ")";
        return false;
    }
    if (stat(image.strOutputDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        *pError = "output folder \"" + image.strOutputDir + "\" is not a folder";
        return false;
    }
    image.bReadOnly = true;

    // The 64-bit view, as the program reads it.
    std::wstring installDir = ReadRegistryText(image.registry, kInstallKey, L"InstallDir");
    if (installDir.empty() && !image.strVariant.empty()) {
        installDir = kNamedInstallDir;
        RegistryValue value;
        value.strName = L"InstallDir";
        value.dwType = REG_SZ;
        const std::wstring text = installDir + L'\0';
        value.data.resize(text.size() * sizeof(wchar_t));
        std::memcpy(value.data.data(), text.data(), value.data.size());
        image.registry.Create(kInstallKey)->SetValue(std::move(value));
        image.bNamedInstall = true;
    } else if (installDir.empty()) {
        std::fprintf(stderr,
                     "dravolin: warning: the rescue-media builder is not installed on this image; "
                     "name its variant with --variant x86 or --variant x64\n");
        return true;
    } else if (!image.strVariant.empty()) {
        std::fprintf(stderr,
                     "dravolin: warning: the rescue-media builder is installed on this image (%s); "
                     "its own variant counts, not --variant %s\n",
                     Utf8FromWide(installDir).c_str(), image.strVariant.c_str());
    }
    if (SplitImagePath(installDir, &image.installDrive, &image.installParts) != ERROR_SUCCESS ||
        image.installDrive == 0) {
        image.installDrive = 0;  // a path the program cannot write to in any case
        image.installParts.clear();
    }
    return true;
}

OutputRedirect RedirectToOutputFolder(wchar_t drive, std::vector<std::wstring>* pParts) {
    const ImageState& image = Image();
    if (!image.bReadOnly || image.installDrive == 0 || drive != image.installDrive) return OutputRedirect::None;
    std::vector<std::wstring> driverFolder = image.installParts;
    driverFolder.push_back(L"Tessaro");
    if (image.bNamedInstall) {
        std::vector<std::wstring> marker = driverFolder;
        marker.push_back(L"x64");
        if (pParts->size() == marker.size() && StartsWithParts(*pParts, marker)) {
            return image.strVariant == "x64" ? OutputRedirect::PresentFolder : OutputRedirect::MissingFolder;
        }
    }
    driverFolder.push_back(L"Drivers");
    if (!StartsWithParts(*pParts, driverFolder)) return OutputRedirect::None;
    pParts->erase(pParts->begin(), pParts->begin() + static_cast<std::ptrdiff_t>(driverFolder.size()));
    return OutputRedirect::OutputFolder;
}

}  // namespace host
