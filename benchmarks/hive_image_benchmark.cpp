// The whole run on a Windows volume whose SYSTEM hive is the size of a real
// one (about 12 MB, about 100,000 keys, 300 devices under Enum\PCI, 10 of
// them network adapters whose drivers are copied), against libhivex's own
// open of the same hive file in this program. The run reads the few hundred
// keys it needs, so it should cost little more than the open:
//
//   hive_image_benchmark --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// The ratio is FullRun / HivexOpen, from the medians; it should be at most 2.
#include "host_control.h"
#include "registry_tree.h"
#include "support/hive_writer.h"

#include <hivex.h>

#include "benchmark_files.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

int DravolinMain();

namespace {

const int kDevices = 300;
const int kCopiedDevices = 10;
const char kNetGuid[] = "{4d36e972-e325-11ce-bfc1-08002be10318}";
const char kDisplayGuid[] = "{4d36e968-e325-11ce-bfc1-08002be10318}";

using bench::MakeDirs;
using bench::WriteFile;

void SetText(host::RegistryNode* key, const std::wstring& name, const std::wstring& text, DWORD type = REG_SZ) {
    host::RegistryValue value;
    value.strName = name;
    value.dwType = type;
    const std::wstring units = text + L'\0';
    value.data.resize(units.size() * sizeof(wchar_t));
    std::memcpy(value.data.data(), units.data(), value.data.size());
    key->SetValue(value);
}

void SetDword(host::RegistryNode* key, const std::wstring& name, DWORD number) {
    host::RegistryValue value;
    value.strName = name;
    value.dwType = REG_DWORD;
    value.data.resize(4);
    std::memcpy(value.data.data(), &number, 4);
    key->SetValue(value);
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// The SYSTEM hive's tree: the machine's settings, 300 PCI devices with
// their services and class keys, and the bulk a real hive carries besides
// (device interface classes, more services), which the run never reads.
void BuildSystemTree(host::RegistryTree& tree) {
    const std::wstring cs = L"SYSTEM\\CurrentControlSet\\";
    SetText(tree.Create(cs + L"Control\\Session Manager\\Environment"), L"PROCESSOR_ARCHITECTURE", L"AMD64");
    // ACPI devices of classes the run passes over.
    for (const wchar_t* id : {L"PNP0A08\\0", L"PNP0C0A\\1", L"ACPI0003\\2", L"PNP0C0C\\3"}) {
        SetText(tree.Create(cs + L"Enum\\ACPI\\" + id), L"ClassGUID", L"{72631e54-78a4-11d0-bcf7-00aa00b7b32a}");
    }
    char buffer[160];
    for (int d = 0; d < kDevices; ++d) {
        const bool bCopied = d % (kDevices / kCopiedDevices) == 0;
        std::snprintf(buffer, sizeof buffer, "VEN_%04X&DEV_%04X&SUBSYS_%08X&REV_%02X", 0x1000 + d % 37, d, d * 7919,
                      d % 5);
        const std::string service = (bCopied ? "net" : "disp") + std::to_string(d);
        const std::string classKey = std::string(bCopied ? kNetGuid : kDisplayGuid) + "\\" + std::to_string(1000 + d);
        host::RegistryNode* device = tree.Create(cs + L"Enum\\PCI\\" + Wide(buffer) + L"\\3&11583659&0&" +
                                                 Wide(std::to_string(d)));
        SetText(device, L"ClassGUID", Wide(bCopied ? kNetGuid : kDisplayGuid));
        SetText(device, L"Service", Wide(service));
        SetText(device, L"DeviceDesc", L"@oem" + Wide(std::to_string(d)) + L".inf,%desc%;Benchmark device " +
                                           Wide(std::to_string(d)));
        SetText(device, L"Driver", Wide(classKey));
        SetText(device, L"Mfg", L"@oem" + Wide(std::to_string(d)) + L".inf,%mfg%;Benchmark maker");
        SetText(device, L"ContainerID", L"{00000000-0000-0000-ffff-ffffffffffff}");
        SetDword(device, L"ConfigFlags", 0);
        SetDword(device, L"Capabilities", 0x60);
        for (const wchar_t* sub : {L"Device Parameters\\Interrupt Management\\Affinity Policy",
                                   L"Device Parameters\\Interrupt Management\\MessageSignaledInterruptProperties",
                                   L"Properties\\{83da6326-97a6-4088-9453-a1923f573b29}\\0003", L"LogConf"}) {
            tree.Create(cs + L"Enum\\PCI\\" + Wide(buffer) + L"\\3&11583659&0&" + Wide(std::to_string(d)) + L"\\" + sub);
        }
        host::RegistryNode* serviceKey = tree.Create(cs + L"services\\" + Wide(service));
        SetText(serviceKey, L"ImagePath", L"\\SystemRoot\\System32\\drivers\\" + Wide(service) + L".sys",
                REG_EXPAND_SZ);
        SetDword(serviceKey, L"Start", 3);
        SetDword(serviceKey, L"Type", 1);
        SetText(tree.Create(cs + L"Control\\Class\\" + Wide(classKey)), L"InfPath",
                L"oem" + Wide(std::to_string(d)) + L".inf");
    }
    // The bulk: device interface classes the run never opens. libhivex
    // writes a key's subkey list anew for every subkey it adds and leaves the
    // old list as free space, so the bulk is spread over small groups to keep
    // the hive near a real one's size.
    for (int c = 0; c < 120; ++c) {
        std::snprintf(buffer, sizeof buffer, "{%08x-a7c3-4a7f-b4a3-1c2b%08x}", c * 2654435761u, c);
        const std::wstring classPath = cs + L"Control\\DeviceClasses\\" + Wide(buffer) + L"\\";
        for (int i = 0; i < 200; ++i) {
            std::snprintf(buffer, sizeof buffer, "Group%02d\\Set%d\\PCI#VEN_8086&DEV_%04X", i / 25, i / 5 % 5, i);
            const std::wstring interfaceKey = classPath + Wide(buffer);
            if (i % 4 == 0) SetText(tree.Create(interfaceKey), L"DeviceInstance", L"PCI\\VEN_8086");
            tree.Create(interfaceKey + L"\\#\\Control");
            tree.Create(interfaceKey + L"\\Control");
        }
    }
}

struct BenchmarkVolume {
    std::string root;
    std::string systemPath;
    long long nSystemBytes = 0;

    BenchmarkVolume() {
        char pattern[] = "/tmp/dravolin-bench-XXXXXX";
        root = mkdtemp(pattern);
        host::RegistryTree tree;
        BuildSystemTree(tree);
        const std::string config = root + "/Windows/System32/config/";
        systemPath = config + "SYSTEM";
        const std::string system = test::HiveFromRegistry(tree, "SYSTEM", 1);
        nSystemBytes = static_cast<long long>(system.size());
        WriteFile(systemPath, system);

        host::RegistryTree software;
        const wchar_t* version = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
        for (const wchar_t* path : {version, L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion"}) {
            SetText(software.Create(path), L"SystemRoot", L"C:\\Windows");
            SetDword(software.Create(path), L"CurrentMajorVersionNumber", 10);
        }
        SetText(software.Create(L"SOFTWARE\\Tessaro\\Pelvane"), L"InstallDir", L"C:\\Program Files\\Tessaro\\Pelvane");
        WriteFile(config + "SOFTWARE", test::HiveFromRegistry(software, "SOFTWARE", 1));

        MakeDirs(root + "/Program Files/Tessaro/Pelvane/Tessaro/Drivers");
        MakeDirs(root + "/Program Files/Tessaro/Pelvane/Tessaro/x64");
        for (int d = 0; d < kDevices; d += kDevices / kCopiedDevices) {
            const std::string n = std::to_string(d);
            WriteFile(root + "/Windows/System32/drivers/net" + n + ".sys", "driver");
            WriteFile(root + "/Windows/Inf/oem" + n + ".inf",
                      "[Version]\r\nSignature=\"$WINDOWS NT$\"\r\nClassGuid=" + std::string(kNetGuid) +
                          "\r\nCatalogFile=net" + n + ".cat\r\n");
            WriteFile(root + "/Windows/System32/catroot/{F750E6C3-38EE-11D1-85E5-00C04FC295EE}/oem" + n + ".cat",
                      "catalog");
        }
    }
    ~BenchmarkVolume() { std::system(("rm -rf '" + root + "'").c_str()); }
};

BenchmarkVolume& Volume() {
    static BenchmarkVolume volume;
    return volume;
}

// The run as a user starts it: a process of its own.
void FullRunProcess(benchmark::State& state) {
    const std::string command = "cd /tmp && '" DRAVOLIN_EXE "' --image '" + Volume().root + "' >/dev/null 2>&1";
    for (auto _ : state) {
        const int rc = std::system(command.c_str());
        if (rc != 0) state.SkipWithError("the run did not succeed");
    }
}

// The same run inside this program (command line, hive loading, scans,
// copies, log), so that it and the open share one process and its
// scheduling; the console goes to /dev/null, the log to /tmp.
void FullRun(benchmark::State& state) {
    const std::string root = Volume().root;
    const int console = dup(STDOUT_FILENO);
    const int devNull = open("/dev/null", O_WRONLY);
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd) || chdir("/tmp") != 0) state.SkipWithError("no working folder");
    for (auto _ : state) {
        std::fflush(stdout);
        dup2(devNull, STDOUT_FILENO);
        std::vector<std::string> args = {"dravolin", "--image", root, "--clock", "09:05:03"};
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(&arg[0]);
        host::TakeCommandLine(static_cast<int>(argv.size()), argv.data());
        const int rc = DravolinMain();
        std::fflush(stdout);
        dup2(console, STDOUT_FILENO);
        if (rc != 0) {
            state.SkipWithError("the run did not succeed");
            break;
        }
    }
    if (chdir(cwd) != 0) state.SkipWithError("cannot return to the working folder");
    close(devNull);
    close(console);
    host::UnloadImage();
}

void HivexOpen(benchmark::State& state) {
    for (auto _ : state) {
        hive_h* pHive = hivex_open(Volume().systemPath.c_str(), 0);
        if (!pHive) {
            state.SkipWithError("libhivex cannot open the hive");
            break;
        }
        benchmark::DoNotOptimize(hivex_root(pHive));
        hivex_close(pHive);
    }
}

// The hive's size in keys, counted once through libhivex.
size_t CountKeys(hive_h* pHive, hive_node_h node) {
    size_t count = 1;
    hive_node_h* children = hivex_node_children(pHive, node);
    for (size_t i = 0; children && children[i]; ++i) count += CountKeys(pHive, children[i]);
    std::free(children);
    return count;
}

void HiveSize(benchmark::State& state) {
    hive_h* pHive = hivex_open(Volume().systemPath.c_str(), 0);
    size_t nKeys = pHive ? CountKeys(pHive, hivex_root(pHive)) : 0;
    if (pHive) hivex_close(pHive);
    for (auto _ : state) benchmark::DoNotOptimize(nKeys);
    state.counters["keys"] = static_cast<double>(nKeys);
    state.counters["system_MB"] = static_cast<double>(Volume().nSystemBytes) / 1e6;
}

}  // namespace

BENCHMARK(HiveSize)->Iterations(1);
BENCHMARK(FullRun)->Unit(benchmark::kMillisecond);
BENCHMARK(FullRunProcess)->Unit(benchmark::kMillisecond);
BENCHMARK(HivexOpen)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
