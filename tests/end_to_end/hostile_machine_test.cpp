// Hostile machines, generated: many small images whose registry and INF files
// come from a grammar of nasty data (names and paths that are empty, huge,
// made of separators of both kinds, "..", drive letters, "\??\", reserved
// device names, trailing dots and spaces, characters beyond the BMP,
// embedded NULs, values of the wrong type), each run through the built
// program. Whatever the data, the run must end by itself with an exit code
// its log explains, close every device it announced, and write nothing
// outside Tessaro\Drivers\<category>\<service>\ of the image, nor read a
// file from outside the image into it.
//
// Every image comes from one seed. A failure prints the seed and the image;
// DRAVOLIN_HOSTILE_SEED=<seed> runs that image alone.
#include "support/test_image.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

namespace {

using Files = std::map<std::string, std::string>;  // as TestImage::Snapshot gives them

constexpr unsigned kFirstSeed = 1000;
constexpr unsigned kBlocks = 8;
constexpr unsigned kImagesPerBlock = 25;

const char kOutsideBytes[] = "bytes of a file outside the image";
const char kCatrootFolder[] = "drive_c/Windows/System32/catroot/{F750E6C3-38EE-11D1-85E5-00C04FC295EE}";

// The grammar's words. A text may hold NULs; such a text is stored as hex.
const std::vector<std::string> kNames = {
    "svc", "e1d", "iaStorAVC", "usbxhci", "", std::string(300, 'A'), std::string(4000, 'n'),
    "a\\b", "a/b", ".", "..", "..\\..\\..", "../../x", "\\", "/", "C:", "C:evil", "D:\\x", "\\??\\C:\\x",
    "\\\\?\\C:\\x", "\\\\server\\share", "CON", "nul", "COM1", "lpt9", "AUX", "PRN", "con.sys", "NUL.inf",
    "svc.", "svc ", "svc. .", "...", " ", "sv\xF0\x9F\x98\x80", "\xCE\xA9mega", "<>|?*\"", "svc\tx",
    std::string("svc\0evil", 8), std::string("\0", 1), "%SystemRoot%", "win.ini"};
const std::vector<std::string> kPathPrefixes = {
    "", "\\SystemRoot\\", "System32\\drivers\\", "\\SystemRoot\\System32\\drivers\\", "%SystemRoot%\\",
    "\\??\\C:\\Windows\\System32\\drivers\\", "C:\\Windows\\System32\\drivers\\", "C:/Windows/System32/drivers/",
    "..\\..\\..\\", "C:", "\\\\server\\share\\", "/", "\\??\\", "Windows\\System32\\drivers\\"};
const std::vector<std::string> kExtensions = {"", ".sys", ".inf", ".cat", ".", " ", ".SYS."};
const std::vector<std::string> kRoots = {
    "C:\\Windows", "C:\\Windows", "C:\\Windows\\", "c:/windows", "", "Windows", ".", "..\\..", "\\??\\C:\\Windows",
    "C:\\Windows.", "C:\\Windows ", "C:", "\\", "D:\\Windows", "C:\\Windows\\..\\..\\..", "CON", std::string(600, 'w')};
const std::vector<std::string> kInstallDirs = {
    "C:\\Program Files\\Tessaro\\Pelvane", "C:\\Program Files\\Tessaro\\Pelvane",
    "C:\\Program Files\\Tessaro\\Pelvane\\", "c:/program files/tessaro/pelvane", "", "Program Files\\Tessaro\\Pelvane",
    ".", "..\\..\\..", "\\??\\C:\\Program Files\\Tessaro\\Pelvane", "C:\\Program Files\\Tessaro\\Pelvane.",
    "C:\\Program Files\\Tessaro\\Pelvane ", "C:", "\\", "C:\\Program Files\\Tessaro\\Pelvane\\..\\..\\..",
    "NUL", "C:\\Program Files\\Tessaro\\Pelvane\\Tessaro\\Drivers\\Disk"};
const std::vector<std::string> kClassGuids = {
    "{4d36e96a-e325-11ce-bfc1-08002be10318}", "{4d36e97b-e325-11ce-bfc1-08002be10318}",
    "{4d36e972-e325-11ce-bfc1-08002be10318}", "{36fc9e60-c465-11cf-8056-444553540000}",
    "{4D36E972-E325-11CE-BFC1-08002BE10318}", "{4d36e968-e325-11ce-bfc1-08002be10318}", "", "{", "net"};
const std::vector<std::string> kHardwareIds = {
    "ACPI\\PNP0A03", "ACPI\\VEN_SOC&DEV_0001", "*PNP0C0A", "", "ACPI\\", "\\", std::string(500, 'H'),
    "ACPI\\PNP0A03\\..\\..", "ACPI\\PNP\xF0\x9F\x98\x80", std::string("ACPI\\PNP0A03\0X", 14)};

// Draws the image's data. Each image has its own share of nasty choices, from
// nearly clean (so that copies succeed and their files are checked) to
// nearly all nasty.
class CGrammar {
public:
    explicit CGrammar(unsigned nSeed) : m_rng(nSeed) { m_nNastyPercent = std::vector<unsigned>{3, 15, 40, 80}[Below(4)]; }

    bool Chance(unsigned nPercent) { return std::uniform_int_distribution<unsigned>(0, 99)(m_rng) < nPercent; }
    bool Nasty() { return Chance(m_nNastyPercent); }
    unsigned Below(size_t n) { return std::uniform_int_distribution<unsigned>(0, static_cast<unsigned>(n) - 1)(m_rng); }
    const std::string& Pick(const std::vector<std::string>& words) { return words[Below(words.size())]; }
    // The first word of a list is the sound one.
    const std::string& SoundOrNasty(const std::vector<std::string>& words) { return Nasty() ? Pick(words) : words[0]; }

    // A plain name, or a nasty one, now and then two glued together.
    std::string Name() {
        if (!Nasty()) return "drv" + std::to_string(Below(4));
        std::string name = Pick(kNames);
        if (Chance(10)) name += Pick(kNames);
        return name;
    }
    // Each draw is a statement of its own: the order in which the operands
    // of one expression are evaluated differs between compilers, and the
    // same seed must make the same image everywhere.
    std::string FileName(const std::string& extension) {
        std::string name = Name();
        return name + (Nasty() ? Pick(kExtensions) : extension);
    }
    std::string Path(const std::string& extension) {
        std::string folder = Nasty() ? Pick(kPathPrefixes) : std::string("System32\\drivers\\");
        return folder + FileName(extension);
    }

private:
    std::mt19937 m_rng;
    unsigned m_nNastyPercent = 0;
};

std::string Utf16Bytes(const std::string& utf8) {
    std::string out;
    size_t i = 0;
    while (i < utf8.size()) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        unsigned code = lead;
        size_t n = 1;
        if (lead >= 0xF0) {
            n = 4;
            code = lead & 0x07;
        } else if (lead >= 0xE0) {
            n = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xC0) {
            n = 2;
            code = lead & 0x1F;
        }
        for (size_t k = 1; k < n && i + k < utf8.size(); ++k) code = (code << 6) | (utf8[i + k] & 0x3F);
        i += n;
        std::vector<unsigned> units = {code};
        if (code > 0xFFFF) units = {0xD800 + ((code - 0x10000) >> 10), 0xDC00 + ((code - 0x10000) & 0x3FF)};
        for (unsigned unit : units) {
            out.push_back(static_cast<char>(unit & 0xFF));
            out.push_back(static_cast<char>(unit >> 8));
        }
    }
    return out;
}

// A text value, stored mostly as it should be and now and then as a type
// the program does not expect, or not at all.
std::string TextValue(CGrammar& grammar, const std::string& name, const std::string& text) {
    const std::string terminated = Utf16Bytes(text) + std::string(2, '\0');
    const unsigned roll = grammar.Nasty() ? grammar.Below(32) : 99;
    if (roll < 4) return std::string();
    if (roll < 8) return test::RegDword(name, 42);
    if (roll < 12) return test::RegHex(name, 3, text.substr(0, 7));
    if (roll < 17) return test::RegHex(name, 2, terminated);
    if (roll < 22) return test::RegHex(name, 7, terminated + std::string(2, '\0'));
    if (roll < 26) return test::RegHex(name, 1, Utf16Bytes(text));  // no terminator
    if (text.find('\0') != std::string::npos || roll < 32) return test::RegHex(name, 1, terminated);
    return test::RegString(name, text);
}

std::string MultiValue(CGrammar& grammar, const std::string& name, const std::vector<std::string>& items) {
    if (grammar.Nasty() && grammar.Chance(20)) return TextValue(grammar, name, items.empty() ? std::string() : items[0]);
    std::string bytes;
    for (const std::string& item : items) bytes += Utf16Bytes(item) + std::string(2, '\0');
    return test::RegHex(name, 7, bytes + std::string(2, '\0'));
}

// The key a text value names: the text up to its first NUL, as the program
// reads it (a key name cannot hold a NUL).
std::string KeyName(const std::string& text) { return text.substr(0, text.find('\0')); }

// A name that can stand as one file or folder on the host, so the image can
// hold it; others only ever appear in the registry.
bool IsHostable(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.size() < 200 &&
           name.find_first_of(std::string("/\\:\0", 4)) == std::string::npos;
}

std::string Inf(CGrammar& grammar, const std::string& classGuid, const std::string& catalog,
                const std::vector<std::string>& hardwareIds) {
    std::string text = "[Version]\r\nSignature=\"$WINDOWS NT$\"\r\nClassGuid=" + classGuid + "\r\n";
    if (!(grammar.Nasty() && grammar.Chance(20))) text += "CatalogFile" + std::string(grammar.Chance(20) ? ".NTamd64" : "") + "=" + catalog + "\r\n";
    text += "\r\n[Manufacturer]\r\n%Mfg%=Models" + std::string(grammar.Chance(70) ? ",NTx86,NTamd64" : "") + "\r\n";
    for (const char* section : {"Models", "Models.NTx86", "Models.NTamd64"}) {
        text += std::string("[") + section + "]\r\n";
        for (const std::string& id : hardwareIds) text += "%Desc%=Install," + id + "\r\n";
    }
    text += "[Strings]\r\nMfg=\"Maker\"\r\nDesc=\"" + grammar.Name() + "\"\r\n";
    if (grammar.Nasty() && grammar.Chance(30)) text.resize(grammar.Below(text.size() + 1));  // cut anywhere
    return grammar.Chance(30) ? "\xFF\xFE" + Utf16Bytes(text) : text;
}

// One generated machine: its registry file and every other file of the image.
struct HostileImage {
    std::string strRegistry;
    Files files;
    std::vector<std::string> folders;
};

HostileImage GenerateImage(unsigned nSeed) {
    CGrammar grammar(nSeed);
    HostileImage image;
    const bool b64Bit = grammar.Chance(60);
    std::string& reg = image.strRegistry;
    const std::string systemRoot = grammar.SoundOrNasty(kRoots);
    for (const char* prefix : {"", "WOW6432Node\\"}) {
        reg += test::RegKey(std::string("SOFTWARE\\") + prefix + "Microsoft\\Windows NT\\CurrentVersion");
        reg += TextValue(grammar, "SystemRoot", systemRoot);
        reg += test::RegDword("CurrentMajorVersionNumber", grammar.Chance(90) ? 10 : 5);
    }
    reg += test::RegKey("SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment");
    reg += test::RegString("PROCESSOR_ARCHITECTURE", b64Bit ? "AMD64" : "x86");
    reg += test::RegKey("SOFTWARE\\Tessaro\\Pelvane");
    reg += TextValue(grammar, "InstallDir", grammar.SoundOrNasty(kInstallDirs));

    const std::string install = test::kInstallFolder;
    image.folders = {"drive_c/Windows/Inf", "drive_c/Windows/System32/drivers", "drive_c/Windows/SysWOW64/drivers",
                     kCatrootFolder, install + "/Tessaro/Drivers", "drive_c/Tessaro/Drivers"};
    if (b64Bit != grammar.Chance(3)) image.folders.push_back(install + "/Tessaro/x64");
    image.files["drive_c/Windows/win.ini"] = "a file of the image that no run may touch";
    image.files["drive_c/Windows/Inf/win.ini"] = "another one";

    reg += test::RegKey("SYSTEM\\CurrentControlSet\\Enum\\PCI");
    reg += test::RegKey("SYSTEM\\CurrentControlSet\\Enum\\ACPI");
    const unsigned nDevices = 1 + grammar.Below(6);
    for (unsigned i = 0; i < nDevices; ++i) {
        const bool bAcpi = grammar.Chance(40);
        const std::string service = grammar.Name();
        const std::string classGuid = grammar.Nasty() ? grammar.Pick(kClassGuids) : kClassGuids[grammar.Below(4)];
        const std::string instance = std::string(bAcpi ? "SYSTEM\\CurrentControlSet\\Enum\\ACPI\\DEV" :
                                                         "SYSTEM\\CurrentControlSet\\Enum\\PCI\\VEN_8086&DEV_") +
                                     std::to_string(i) + "\\" + std::to_string(grammar.Below(3));
        reg += test::RegKey(instance);
        reg += TextValue(grammar, "ClassGUID", classGuid);
        reg += TextValue(grammar, "Service", service);
        if (!grammar.Chance(10)) reg += TextValue(grammar, "DeviceDesc", "@x.inf,%d%;" + grammar.Name());

        // The INF: through the class key or Mfg for PCI devices, by hardware
        // ID for ACPI ones; its catalog in the catalog store.
        const std::string infName = grammar.Nasty() ? grammar.FileName(".inf") : "oem" + std::to_string(i) + ".inf";
        const std::string catalog = grammar.Nasty() ? grammar.FileName(".cat") : "c" + std::to_string(i) + ".cat";
        std::vector<std::string> hardwareIds;
        for (unsigned n = 1 + grammar.Below(2); n > 0; --n) hardwareIds.push_back(grammar.SoundOrNasty(kHardwareIds));
        std::string classKey;
        if (bAcpi) {
            reg += MultiValue(grammar, "HardwareID", hardwareIds);
        } else {
            const std::string driver = grammar.Nasty() ? grammar.Name() : classGuid + "\\000" + std::to_string(i);
            reg += TextValue(grammar, "Driver", driver);
            reg += TextValue(grammar, "Mfg", grammar.Nasty() ? grammar.Path(".inf") : "@" + infName + ",%m%;Maker");
            if (grammar.Chance(80)) {
                classKey = test::RegKey("SYSTEM\\CurrentControlSet\\Control\\Class\\" + KeyName(driver)) +
                           TextValue(grammar, "InfPath", grammar.Nasty() ? grammar.Path(".inf") : infName);
            }
        }
        if (IsHostable(infName)) {
            image.files["drive_c/Windows/Inf/" + infName] = Inf(grammar, classGuid, catalog, hardwareIds);
        }
        if (IsHostable(catalog) && grammar.Chance(90)) {
            image.files[std::string(kCatrootFolder) + "/" + catalog] = "catalog " + std::to_string(i);
        }

        // The driver binary: named by ImagePath, present when the image can hold it.
        const std::string binary = grammar.FileName(".sys");
        reg += classKey + test::RegKey("SYSTEM\\CurrentControlSet\\services\\" + KeyName(service));
        reg += TextValue(grammar, "ImagePath", (grammar.Nasty() ? grammar.Pick(kPathPrefixes) : "System32\\drivers\\") + binary);
        if (IsHostable(binary) && grammar.Chance(90)) {
            image.files[std::string("drive_c/Windows/") + (grammar.Nasty() ? "SysWOW64" : "System32") +
                        "/drivers/" + binary] = "driver " + std::to_string(i);
        }
    }
    return image;
}

std::string Describe(unsigned nSeed, const HostileImage& image) {
    std::ostringstream out;
    out << "image of seed " << nSeed << " (rerun: DRAVOLIN_HOSTILE_SEED=" << nSeed
        << " end_to_end_tests --gtest_filter='HostileMachine*')\n--- registry/00-machine.reg (UTF-8)\n"
        << image.strRegistry << "\n";
    for (const auto& file : image.files) {
        out << "--- " << file.first << " (" << file.second.size() << " bytes)\n" << file.second.substr(0, 1500) << "\n";
    }
    for (const std::string& folder : image.folders) out << "--- folder " << folder << "/\n";
    return out.str();
}

// The host's view of a Windows name rule: a name that Windows takes as
// given, not as a device, another folder or a shortened name.
bool IsPlainWindowsName(const std::string& name) {
    if (name.empty() || name.size() > 255 || name == "." || name == "..") return false;
    if (name.back() == '.' || name.back() == ' ') return false;
    for (unsigned char ch : name) {
        if (ch < 0x20 || std::strchr("<>:\"/\\|?*", ch)) return false;
    }
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& ch : stem) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    static const std::set<std::string> kDevices = {"CON", "PRN", "AUX", "NUL", "COM1", "COM2", "COM3", "COM4",
                                                   "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3",
                                                   "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
    return kDevices.count(stem) == 0;
}

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(path);
    while (std::getline(in, part, '/')) {
        if (!part.empty()) parts.push_back(part);
    }
    return parts;
}

// Where a run may write: <folder>/Tessaro/Drivers/<category>/[<service>/[<file>]]
// below a Tessaro/Drivers folder that was there before, with plain names.
std::string WhyNotAllowed(const std::string& path, const Files& before) {
    const std::vector<std::string> parts = SplitPath(path);
    for (size_t i = 0; i + 2 < parts.size(); ++i) {
        if (parts[i] != "Tessaro" || parts[i + 1] != "Drivers") continue;
        std::string prefix;
        for (size_t k = 0; k <= i + 1; ++k) prefix += parts[k] + "/";
        if (before.count(prefix) == 0) continue;
        const std::string& category = parts[i + 2];
        if (category != "Disk" && category != "Network" && category != "USB") return "not a category folder";
        if (parts.size() > i + 5) return "deeper than <category>/<service>/<file>";
        for (size_t k = i + 3; k < parts.size(); ++k) {
            if (!IsPlainWindowsName(parts[k])) return "\"" + parts[k] + "\" is not a plain Windows name";
        }
        if (parts.size() == i + 5 && path.back() == '/') return "a folder inside a device folder";
        return std::string();
    }
    return "outside Tessaro/Drivers/<category>/<service>/";
}

struct HostileRun {
    int nStatus = -1;
    std::string strConsole, strErrors, strLog;
    Files workBefore, workAfter;  // the working folder, the run's own output left out
};

// Runs the program in a working folder that holds an outside Windows tree:
// a relative path that escapes the image lands there, not in the image.
HostileRun RunInWorkFolder(const std::string& imageRoot) {
    test::TempFolder work;
    for (const char* name : {"Windows/System32/drivers/drv0.sys", "Windows/Inf/oem0.inf", "drv1.sys",
                             "Program Files/Tessaro/Pelvane/Tessaro/x64", "Tessaro/Drivers/readme.txt"}) {
        const std::string path = work.Path() + "/" + name;
        for (size_t pos = work.Path().size() + 1; (pos = path.find('/', pos)) != std::string::npos; ++pos) {
            mkdir(path.substr(0, pos).c_str(), 0777);
        }
        test::WriteHostFile(path, kOutsideBytes);
    }
    const std::string command = "cd '" + work.Path() + "' && timeout -k 5 60 '" DRAVOLIN_EXE "' --image '" +
                                imageRoot + "' --clock 09:05:03 >.out 2>.err </dev/null";
    HostileRun run;
    run.workBefore = test::SnapshotFolder(work.Path());
    const int status = std::system(command.c_str());
    run.nStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.strConsole = test::ReadHostFile(work.Path() + "/.out");
    run.strErrors = test::ReadHostFile(work.Path() + "/.err");
    run.strLog = test::ReadHostFile(work.Path() + "/Dravolin.log");
    run.workAfter = test::SnapshotFolder(work.Path());
    for (const char* own : {".out", ".err", "Dravolin.log"}) run.workAfter.erase(own);
    return run;
}

// What a run left: the checks of one image, each failure a line.
std::vector<std::string> CheckRun(const HostileRun& run, const Files& before, const Files& after) {
    std::vector<std::string> faults;
    if (run.nStatus < 0 || run.nStatus > 4) {
        faults.push_back("exit status " + std::to_string(run.nStatus) + " (124: hung; over 128: died by a signal)");
    }
    if (run.nStatus == 1) faults.push_back("exit code 1 on an image whose registry loads");
    if (run.strErrors.find("Sanitizer") != std::string::npos || run.strErrors.find("runtime error") != std::string::npos) {
        faults.push_back("sanitizer report:\n" + run.strErrors.substr(0, 4000));
    }

    // Every announced device is closed, in the log and on the console alike.
    const std::vector<std::string> lines = test::LogLinesWithoutStamps(run.strLog);
    const std::string announce = "Copying files for device ";
    size_t nAnnounced = 0;
    size_t nFailed = 0;
    bool bOpen = false;
    for (const std::string& line : lines) {
        if (line.compare(0, announce.size(), announce) == 0) {
            if (bOpen) faults.push_back("a device announced before the one before it was closed");
            bOpen = true;
            ++nAnnounced;
        } else if (line == "Success" || line == "Failed") {
            if (!bOpen) faults.push_back("a device closed that was never announced");
            bOpen = false;
            nFailed += line == "Failed";
        }
    }
    if (bOpen) faults.push_back("the log ends inside an announced device");
    size_t nConsoleAnnounced = 0;
    for (size_t pos = 0; (pos = run.strConsole.find(announce, pos)) != std::string::npos; pos += announce.size()) {
        ++nConsoleAnnounced;
    }
    if (nConsoleAnnounced != nAnnounced) faults.push_back("the console and the log announce different devices");

    // The exit code and the log tell the same story.
    auto logHas = [&](const std::string& text) { return run.strLog.find(text) != std::string::npos; };
    const bool bClosingLine =
        run.strConsole.size() >= 53 &&
        run.strConsole.compare(run.strConsole.size() - 53, 53, "Errors occurred copying drivers, please see log file\n") == 0;
    if ((run.nStatus >= 2 && run.nStatus <= 4) != bClosingLine) faults.push_back("the closing console line does not fit the exit code");
    if (run.nStatus == 0 && (nFailed > 0 || logHas("Failed to query devices"))) faults.push_back("exit code 0 after a failure");
    if (nFailed > 0 && run.nStatus != 4) faults.push_back("a device failed but the exit code is not 4");
    if (run.nStatus == 4 && nFailed == 0 && !logHas("Failed to query devices")) faults.push_back("exit code 4 with no failure in the log");
    if ((run.nStatus == 2 || run.nStatus == 3) && nAnnounced > 0) faults.push_back("devices copied after stage 1 or 2 failed");
    if (run.nStatus == 2 && !logHas("Failed to retrieve Pelvane installation directory") && !logHas("Cannot copy ")) {
        faults.push_back("exit code 2 without its reason in the log");
    }
    if (run.nStatus == 3 && !logHas("Failed to create folder: ")) faults.push_back("exit code 3 without its reason in the log");

    // Nothing changed outside the driver folders, inside the image or out.
    for (const auto& entry : before) {
        const auto it = after.find(entry.first);
        if (it == after.end()) faults.push_back("removed: " + entry.first);
        else if (it->second != entry.second) faults.push_back("changed: " + entry.first);
    }
    for (const auto& entry : after) {
        if (before.count(entry.first)) continue;
        const std::string why = WhyNotAllowed(entry.first, before);
        if (!why.empty()) faults.push_back("written: " + entry.first + ": " + why);
        if (entry.second == kOutsideBytes) faults.push_back("copied from outside the image: " + entry.first);
    }
    for (const auto& entry : run.workAfter) {
        if (run.workBefore.count(entry.first) == 0) faults.push_back("written outside the image: ./" + entry.first);
    }
    return faults;
}

class HostileMachine : public ::testing::TestWithParam<unsigned> {};

TEST_P(HostileMachine, RunEndsCleanlyAndWritesOnlyDriverFolders) {
    std::vector<unsigned> seeds;
    if (const char* only = std::getenv("DRAVOLIN_HOSTILE_SEED")) {
        if (GetParam() != 0) GTEST_SKIP() << "DRAVOLIN_HOSTILE_SEED runs in the first block";
        seeds.push_back(static_cast<unsigned>(std::strtoul(only, nullptr, 10)));
    } else {
        for (unsigned i = 0; i < kImagesPerBlock; ++i) seeds.push_back(kFirstSeed + GetParam() * kImagesPerBlock + i);
    }
    for (const unsigned nSeed : seeds) {
        const HostileImage generated = GenerateImage(nSeed);
        test::TestImage image;
        for (const std::string& folder : generated.folders) image.AddFolder(folder);
        for (const auto& file : generated.files) image.AddRawFile(file.first, file.second);
        image.AddRegistry("00-machine.reg", generated.strRegistry, test::RegEncoding::Utf8);
        const Files before = image.Snapshot();
        const HostileRun run = RunInWorkFolder(image.Root());
        const std::vector<std::string> faults = CheckRun(run, before, image.Snapshot());
        if (faults.empty()) continue;
        std::string report;
        for (const std::string& fault : faults) report += "  " + fault + "\n";
        ADD_FAILURE() << "seed " << nSeed << ": exit " << run.nStatus << "\n" << report << "--- log\n"
                      << run.strLog.substr(0, 6000) << "\n" << Describe(nSeed, generated);
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, HostileMachine, ::testing::Range(0u, kBlocks));

}  // namespace
