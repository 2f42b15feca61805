#include "support/test_image.h"

#include "host_control.h"
#include "reg_file_reader.h"
#include "support/hive_writer.h"
#include "wide_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace test {
namespace {

std::string Escape(const std::string& text) {
    std::string out;
    for (char ch : text) {
        if (ch == '\\' || ch == '"') out.push_back('\\');
        out.push_back(ch);
    }
    return out;
}

// UTF-8 to UTF-16LE bytes (the tests only use the Basic Multilingual Plane).
std::string Utf16Le(const std::string& utf8) {
    std::string out;
    for (wchar_t ch : host::WideFromUtf8(utf8)) {
        out.push_back(static_cast<char>(ch & 0xFF));
        out.push_back(static_cast<char>((ch >> 8) & 0xFF));
    }
    return out;
}

std::string HexList(const std::string& bytes) {
    std::string out;
    char item[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(item, sizeof item, "%02x", static_cast<unsigned char>(bytes[i]));
        if (i > 0) out += ",";
        out += item;
    }
    return out;
}

void MakeDirs(const std::string& path) {
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos == path.size() || path[pos] == '/') mkdir(path.substr(0, pos).c_str(), 0777);
    }
}

void RemoveTree(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        chmod(path.c_str(), 0777);
        if (DIR* d = opendir(path.c_str())) {
            while (dirent* entry = readdir(d)) {
                std::string name = entry->d_name;
                if (name != "." && name != "..") RemoveTree(path + "/" + name);
            }
            closedir(d);
        }
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

void Walk(const std::string& root, const std::string& relative, std::map<std::string, std::string>* out) {
    DIR* d = opendir((root + "/" + relative).c_str());
    if (!d) return;
    while (dirent* entry = readdir(d)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        std::string child = relative.empty() ? name : relative + "/" + name;
        struct stat st {};
        lstat((root + "/" + child).c_str(), &st);
        if (S_ISDIR(st.st_mode)) {
            (*out)[child + "/"] = "";
            Walk(root, child, out);
        } else {
            (*out)[child] = ReadHostFile(root + "/" + child);
        }
    }
    closedir(d);
}

std::string MakeTempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/dravolin-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) {
        ADD_FAILURE() << "cannot create a temporary folder";
        return std::string();
    }
    return buffer.data();
}

}  // namespace

const char kInstallFolder[] = "drive_c/Program Files/Tessaro/Pelvane";

std::string RegKey(const std::string& path) { return "\r\n[HKEY_LOCAL_MACHINE\\" + path + "]\r\n"; }

std::string RegString(const std::string& name, const std::string& value) {
    return "\"" + Escape(name) + "\"=\"" + Escape(value) + "\"\r\n";
}

std::string RegExpandString(const std::string& name, const std::string& value) {
    return "\"" + Escape(name) + "\"=hex(2):" + HexList(Utf16Le(value) + std::string(2, '\0')) + "\r\n";
}

std::string RegMultiString(const std::string& name, const std::vector<std::string>& values) {
    std::string bytes;
    for (const std::string& value : values) bytes += Utf16Le(value) + std::string(2, '\0');
    bytes += std::string(2, '\0');
    return "\"" + Escape(name) + "\"=hex(7):" + HexList(bytes) + "\r\n";
}

std::string RegDword(const std::string& name, unsigned value) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08x", value);
    return "\"" + Escape(name) + "\"=dword:" + digits + "\r\n";
}

std::string RegHex(const std::string& name, unsigned type, const std::string& bytes) {
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "\"=hex(%x):", type);
    return "\"" + Escape(name) + prefix + HexList(bytes) + "\r\n";
}

TempFolder::TempFolder() : m_path(MakeTempFolder()) {}
TempFolder::~TempFolder() {
    if (!m_path.empty()) RemoveTree(m_path);
}

TestImage::TestImage() : m_root(MakeTempFolder()) {
    AddFolder("drive_c");
    AddFolder("registry");
}

TestImage::~TestImage() {
    host::UnloadImage();
    if (!m_root.empty()) RemoveTree(m_root);
}

void TestImage::AddRegistry(const std::string& fileName, const std::string& lines, RegEncoding encoding) {
    const std::string text = "Windows Registry Editor Version 5.00\r\n" + lines;
    if (encoding == RegEncoding::Utf16) {
        AddRawFile("registry/" + fileName, "\xFF\xFE" + Utf16Le(text));
    } else {
        AddRawFile("registry/" + fileName, text);
    }
}

void TestImage::AddRawFile(const std::string& relative, const std::string& bytes) {
    const std::string path = HostPath(relative);
    MakeDirs(path.substr(0, path.rfind('/')));
    WriteHostFile(path, bytes);
}

void TestImage::AddFolder(const std::string& relative) { MakeDirs(HostPath(relative)); }

bool TestImage::Exists(const std::string& relative) const {
    struct stat st {};
    return lstat(HostPath(relative).c_str(), &st) == 0;
}

std::string TestImage::Read(const std::string& relative) const { return ReadHostFile(HostPath(relative)); }

std::map<std::string, std::string> TestImage::Snapshot() const { return SnapshotFolder(m_root); }

std::map<std::string, std::string> SnapshotFolder(const std::string& root) {
    std::map<std::string, std::string> files;
    Walk(root, "", &files);
    return files;
}

void TestImage::Load() const {
    std::string error;
    ASSERT_TRUE(host::LoadImage(m_root, &error)) << error;
}

void BuildMachine(TestImage& image, const MachineOptions& options) {
    std::string reg;
    reg += RegKey("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");
    reg += RegString("SystemRoot", options.strSystemRoot);
    reg += RegDword("CurrentMajorVersionNumber", options.nMajorVersion);
    reg += RegKey("SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment");
    reg += RegString("PROCESSOR_ARCHITECTURE", options.b64BitWindows ? "AMD64" : "x86");
    reg += RegKey("SYSTEM\\CurrentControlSet\\Enum\\PCI");
    reg += RegKey("SYSTEM\\CurrentControlSet\\Enum\\ACPI");
    if (options.b64BitWindows) {
        // The 32-bit view of SOFTWARE, which a 32-bit program reads by default.
        reg += RegKey("SOFTWARE\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion");
        reg += RegString("SystemRoot", options.strSystemRoot);
    }
    if (options.bInstallKey) {
        reg += RegKey("SOFTWARE\\Tessaro\\Pelvane");
        reg += RegString("InstallDir", options.strInstallDir);
    }
    image.AddRegistry("00-machine.reg", reg);
    image.AddFolder("drive_c/Windows/Inf");
    image.AddFolder("drive_c/Windows/System32/drivers");
    image.AddFolder("drive_c/Windows/System32/catroot/{F750E6C3-38EE-11D1-85E5-00C04FC295EE}");
    if (options.b64BitWindows) image.AddFolder("drive_c/Windows/SysWOW64/drivers");
    image.AddFolder(kInstallFolder);
    if (options.bDriversFolder) image.AddFolder(std::string(kInstallFolder) + "/Tessaro/Drivers");
    if (options.bX64Target) image.AddFolder(std::string(kInstallFolder) + "/Tessaro/x64");
}

std::string ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteHostFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> LogLinesWithoutStamps(const std::string& logBytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < logBytes.size()) {
        size_t end = logBytes.find("\r\n", start);
        if (end == std::string::npos) end = logBytes.size();
        std::string line = logBytes.substr(start, end - start);
        if (line.size() >= 11 && line[2] == ':' && line[5] == ':' && line.compare(8, 3, " - ") == 0) {
            line.erase(0, 11);
        }
        lines.push_back(line);
        start = end + 2;
    }
    return lines;
}

void TestImage::ConvertRegistryToHives(unsigned nControlSet) {
    host::RegistryTree tree;
    for (const auto& entry : Snapshot()) {
        const std::string& relative = entry.first;
        if (relative.rfind("registry/", 0) != 0 || relative.size() < 4 ||
            relative.compare(relative.size() - 4, 4, ".reg") != 0) {
            continue;
        }
        std::string error;
        if (!host::ApplyRegText(entry.second, relative, tree, &error)) throw std::runtime_error(error);
        unlink(HostPath(relative).c_str());
    }
    AddRawFile("registry/SYSTEM", HiveFromRegistry(tree, "SYSTEM", nControlSet));
    AddRawFile("registry/SOFTWARE", HiveFromRegistry(tree, "SOFTWARE", 1));
}

}  // namespace test
