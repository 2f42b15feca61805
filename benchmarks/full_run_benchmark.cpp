// The whole run on a machine with 1,000 INF files (about 40 MB, several
// classes and encodings) and 10 selected ACPI devices, against one Load +
// Parse pass over the same folder. Each selected device costs one pass over
// the INF folder, so the run should take little more than 10 passes.
//
//   full_run_benchmark --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// The ratio reported is FullRun / (10 x LoadParsePass), from the medians.
#include "host_control.h"
#include "inf/inf_file.h"
#include "platform.h"

#include "benchmark_files.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

const int kInfFiles = 1000;
const int kDevices = 10;

const char* const kClasses[][2] = {
    {"Net", "{4d36e972-e325-11ce-bfc1-08002be10318}"},    {"USB", "{36fc9e60-c465-11cf-8056-444553540000}"},
    {"hdc", "{4d36e96a-e325-11ce-bfc1-08002be10318}"},    {"SCSIAdapter", "{4d36e97b-e325-11ce-bfc1-08002be10318}"},
    {"Display", "{4d36e968-e325-11ce-bfc1-08002be10318}"}, {"Media", "{4d36e96c-e325-11ce-bfc1-08002be10318}"},
    {"System", "{4d36e97d-e325-11ce-bfc1-08002be10318}"},  {"HIDClass", "{745a17a0-74d3-11d0-b6fe-00a0c90f57da}"},
};

using bench::MakeDirs;
using bench::WriteFile;

std::string Utf16Le(const std::string& ascii) {
    std::string out = "\xFF\xFE";
    for (char ch : ascii) {
        out.push_back(ch);
        out.push_back('\0');
    }
    return out;
}

// An INF of about 40 KB as written (UTF-16 files are larger, as real ones are).
std::string MakeInf(int index, int classIndex, const std::string& extraId) {
    char line[256];
    std::string text = "; generated driver package\r\n[Version]\r\nSignature=\"$WINDOWS NT$\"\r\n";
    text += std::string("Class=") + kClasses[classIndex][0] + "\r\nClassGuid=" + kClasses[classIndex][1] + "\r\n";
    std::snprintf(line, sizeof line, "Provider=%%Mfg%%\r\nCatalogFile=pkg%04d.cat\r\nDriverVer=05/06/2022,10.1.%d.0\r\n\r\n",
                  index, index);
    text += line;
    text += "[Manufacturer]\r\n%Mfg%=Models,NTx86,NTamd64\r\n\r\n";
    const int nModels = index % 10 < 6 ? 420 : 240;
    for (const char* decoration : {"NTx86", "NTamd64"}) {
        text += std::string("[Models.") + decoration + "]\r\n";
        if (!extraId.empty()) text += "%Dev.Desc%=Install_0," + extraId + "\r\n";
        for (int m = 0; m < nModels / 2; ++m) {
            std::snprintf(line, sizeof line, "%%Dev%d.Desc%% = Install_%d, PCI\\VEN_%04X&DEV_%04X&SUBSYS_%08X\r\n", m,
                          m % 7, 0x1000 + index, m, index * 7919 + m);
            text += line;
        }
        text += "\r\n";
    }
    for (int s = 0; s < 7; ++s) {
        std::snprintf(line, sizeof line,
                      "[Install_%d.NT]\r\nCopyFiles=Drv_%d\r\nAddReg=Reg_%d\r\n\r\n[Install_%d.NT.Services]\r\n"
                      "AddService=svc%04d,0x00000002,Svc_%d\r\n\r\n",
                      s, s, s, s, index, s);
        text += line;
    }
    text += "[Strings]\r\nMfg=\"Benchmark Maker\"\r\nDev.Desc=\"Benchmark device\"\r\n";
    for (int m = 0; m < nModels / 2; ++m) {
        std::snprintf(line, sizeof line, "Dev%d.Desc=\"Benchmark device model %d of package %d\"\r\n", m, m, index);
        text += line;
    }
    switch (index % 10) {
        case 6:
        case 7:
        case 8: return Utf16Le(text);
        case 9: return "\xEF\xBB\xBF" + text;
        default: return text;
    }
}

std::string RegString(const std::string& name, const std::string& value) {
    std::string escaped;
    for (char ch : value) {
        if (ch == '\\' || ch == '"') escaped.push_back('\\');
        escaped.push_back(ch);
    }
    return "\"" + name + "\"=\"" + escaped + "\"\r\n";
}

std::string HexMulti(const std::string& value) {
    std::string out = "hex(7):";
    char item[8];
    for (char ch : value) {
        std::snprintf(item, sizeof item, "%02x,00,", static_cast<unsigned char>(ch));
        out += item;
    }
    return out + "00,00,00,00";
}

struct BenchmarkImage {
    std::string root;
    int64_t nInfBytes = 0;

    BenchmarkImage() {
        char pattern[] = "/tmp/dravolin-bench-XXXXXX";
        root = mkdtemp(pattern);
        std::string reg = "Windows Registry Editor Version 5.00\r\n\r\n";
        reg += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\r\n" +
               RegString("SystemRoot", "C:\\Windows") + "\"CurrentMajorVersionNumber\"=dword:0000000a\r\n";
        reg += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion]\r\n" +
               RegString("SystemRoot", "C:\\Windows");
        reg += "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment]\r\n" +
               RegString("PROCESSOR_ARCHITECTURE", "AMD64");
        reg += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessaro\\Pelvane]\r\n" +
               RegString("InstallDir", "C:\\Program Files\\Tessaro\\Pelvane");
        reg += "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI]\r\n";
        for (int d = 0; d < kDevices; ++d) {
            // Device d is listed by one INF of a wanted class in the middle of the folder.
            const int classIndex = d % 4;
            char id[64];
            std::snprintf(id, sizeof id, "ACPI\\VEN_BNCH&DEV_%04d", d);
            reg += "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\ACPI\\BNCH" + std::to_string(d) + "\\0]\r\n";
            reg += RegString("ClassGUID", kClasses[classIndex][1]) + RegString("Service", "bench" + std::to_string(d)) +
                   RegString("DeviceDesc", "Benchmark device " + std::to_string(d)) + "\"HardwareID\"=" +
                   HexMulti(id) + "\r\n";
            reg += "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\services\\bench" + std::to_string(d) + "]\r\n" +
                   RegString("ImagePath", "System32\\drivers\\bench" + std::to_string(d) + ".sys");
            WriteFile(root + "/drive_c/Windows/System32/drivers/bench" + std::to_string(d) + ".sys", "driver");
        }
        WriteFile(root + "/registry/machine.reg", reg);
        MakeDirs(root + "/drive_c/Program Files/Tessaro/Pelvane/Tessaro/Drivers");
        MakeDirs(root + "/drive_c/Program Files/Tessaro/Pelvane/Tessaro/x64");
        for (int i = 0; i < kInfFiles; ++i) {
            int classIndex = i % 8;
            std::string extraId;
            if (i % 100 == 37) {
                const int d = i / 100;
                classIndex = d % 4;
                char id[64];
                std::snprintf(id, sizeof id, "ACPI\\VEN_BNCH&DEV_%04d", d);
                extraId = id;
            }
            const std::string bytes = MakeInf(i, classIndex, extraId);
            nInfBytes += static_cast<int64_t>(bytes.size());
            char name[32];
            std::snprintf(name, sizeof name, "oem%d.inf", i);
            WriteFile(root + "/drive_c/Windows/Inf/" + name, bytes);
        }
    }
    ~BenchmarkImage() { std::system(("rm -rf '" + root + "'").c_str()); }
};

BenchmarkImage& Image() {
    static BenchmarkImage image;
    return image;
}

void FullRun(benchmark::State& state) {
    const std::string command =
        "cd '" + Image().root + "' && '" DRAVOLIN_EXE "' --image . >/dev/null 2>&1";
    for (auto _ : state) {
        const int rc = std::system(command.c_str());
        if (rc != 0) state.SkipWithError("the run did not succeed");
    }
    state.counters["inf_MB"] = static_cast<double>(Image().nInfBytes) / 1e6;
}

void LoadParsePass(benchmark::State& state) {
    std::string error;
    if (!host::LoadImage(Image().root, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        WIN32_FIND_DATAW data{};
        HANDLE hFind = FindFirstFileW(L"C:\\Windows\\Inf\\*.inf", &data);
        int nParsed = 0;
        do {
            CInfFile inf(std::wstring(L"C:\\Windows\\Inf\\") + data.cFileName);
            if (inf.Load()) {
                inf.Parse();
                ++nParsed;
                inf.Unload();
            }
        } while (FindNextFileW(hFind, &data));
        FindClose(hFind);
        benchmark::DoNotOptimize(nParsed);
    }
    state.SetBytesProcessed(state.iterations() * Image().nInfBytes);
}

BENCHMARK(FullRun)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(LoadParsePass)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
