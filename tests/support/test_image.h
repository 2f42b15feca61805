// Builds offline Windows images for tests in a temporary folder, and reads
// back what a run left in them.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace test {

// Registry file lines.
std::string RegKey(const std::string& path);  // "[HKEY_LOCAL_MACHINE\<path>]"
std::string RegString(const std::string& name, const std::string& value);
std::string RegExpandString(const std::string& name, const std::string& value);
std::string RegMultiString(const std::string& name, const std::vector<std::string>& values);
std::string RegDword(const std::string& name, unsigned value);
// "name"=hex(type):bytes, the bytes as given.
std::string RegHex(const std::string& name, unsigned type, const std::string& bytes);

enum class RegEncoding { Utf16, Utf8 };

class TestImage {
public:
    TestImage();
    ~TestImage();
    TestImage(const TestImage&) = delete;
    TestImage& operator=(const TestImage&) = delete;

    const std::string& Root() const { return m_root; }
    std::string HostPath(const std::string& relative) const { return m_root + "/" + relative; }

    // A "Windows Registry Editor Version 5.00" file made of the given lines.
    void AddRegistry(const std::string& fileName, const std::string& lines,
                     RegEncoding encoding = RegEncoding::Utf16);
    void AddRawFile(const std::string& relative, const std::string& bytes);
    void AddFolder(const std::string& relative);
    bool Exists(const std::string& relative) const;
    std::string Read(const std::string& relative) const;

    // Every file (path -> bytes) and folder (path + "/" -> "") below the root.
    std::map<std::string, std::string> Snapshot() const;

    // Serves this image through the stand-in; fails the test on an error.
    void Load() const;

    // Replaces the .reg files by the hive files registry/SYSTEM and
    // registry/SOFTWARE that hold the same registry (CurrentControlSet as
    // ControlSet00N, see HiveFromRegistry).
    void ConvertRegistryToHives(unsigned nControlSet = 1);

private:
    std::string m_root;
};

// A machine as the tests usually want it: Windows in C:\Windows, the
// rescue-media builder in C:\Program Files\Tessaro\Pelvane with its driver
// folder, empty device trees.
struct MachineOptions {
    bool b64BitWindows = true;
    bool bX64Target = true;
    bool bInstallKey = true;
    bool bDriversFolder = true;
    unsigned nMajorVersion = 10;
    std::string strInstallDir = "C:\\Program Files\\Tessaro\\Pelvane";
    std::string strSystemRoot = "C:\\Windows";
};
void BuildMachine(TestImage& image, const MachineOptions& options = MachineOptions());

// The install folder of BuildMachine, as a path below the image root.
extern const char kInstallFolder[];

// Temporary folder that removes itself.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

std::string ReadHostFile(const std::string& path);
// Every file (path -> bytes) and folder (path + "/" -> "") below a folder.
std::map<std::string, std::string> SnapshotFolder(const std::string& root);
void WriteHostFile(const std::string& path, const std::string& bytes);

// The log's lines without their "HH:MM:SS - " stamps, split at CR LF.
std::vector<std::string> LogLinesWithoutStamps(const std::string& logBytes);

}  // namespace test
