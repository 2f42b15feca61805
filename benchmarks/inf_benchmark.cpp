// How fast INF files are read, parsed and matched, against the floor of
// reading each file into memory and decoding it to wide text.
//
//   inf_benchmark --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// Files are served through the stand-in from a temporary image, as the
// program reads them; throughput counts file bytes.
#include "inf/inf_file.h"
#include "inf/model_matcher.h"

#include "host_control.h"
#include "platform.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct FileSet {
    std::vector<std::wstring> paths;
    int64_t nBytes = 0;
};

std::string ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

void WriteHostFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void CollectInfFiles(const std::string& dir, std::vector<std::string>& files) {
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    while (dirent* entry = readdir(d)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = dir + "/" + name;
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) continue;
        std::string ext = name.substr(name.rfind('.') + 1);
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char ch) { return std::tolower(ch); });
        if (S_ISDIR(st.st_mode)) {
            CollectInfFiles(path, files);
        } else if (ext == "inf" || ext == "inx") {
            files.push_back(path);
        }
    }
    closedir(d);
}

void RemoveTree(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        if (DIR* d = opendir(path.c_str())) {
            while (dirent* entry = readdir(d)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..") RemoveTree(path + "/" + name);
            }
            closedir(d);
        }
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

std::wstring WideAscii(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// A large driver INF as big storage and network packages write them: models
// lists under several decorations, install sections with registry lines,
// continuation lines, comments, key-less file lists and a long "Strings".
std::string GenerateLargeInf() {
    const int kDevices = 4000;
    std::ostringstream out;
    out << "; Generated driver package for throughput measurements\r\n;\r\n"
        << "[Version]\r\nSignature = \"$Windows NT$\"\r\nClass = SCSIAdapter\r\n"
        << "ClassGuid = {4d36e97b-e325-11ce-bfc1-08002be10318}\r\nProvider = %Mfg%\r\n"
        << "DriverVer = 01/02/2020, 1.2.3.4\r\nCatalogFile = synth.cat\r\n\r\n"
        << "[Manufacturer]\r\n%Mfg% = Models, NTx86, NTamd64, NTamd64.6.0\r\n\r\n";
    char line[512];
    for (const char* pszDecoration : {".NTamd64.6.0", ".NTamd64", ".NTx86", ""}) {
        out << "[Models" << pszDecoration << "]\r\n";
        for (int i = 0; i < kDevices; ++i) {
            std::snprintf(line, sizeof line,
                          "%%Dev%04X.Desc%% = Inst_%04X, PCI\\VEN_8086&DEV_%04X&SUBSYS_%08X, PCI\\VEN_8086&DEV_%04X ; "
                          "board %d\r\n",
                          i, i % 500, i, i * 7919, i, i);
            out << line;
        }
        out << "\r\n";
    }
    for (int i = 0; i < 500; ++i) {
        std::snprintf(line, sizeof line,
                      "[Inst_%04X.NT]\r\nCopyFiles = Drivers_Dir\r\nAddReg = Inst_%04X.AddReg, \\\r\n"
                      "    Common.AddReg\r\nDriverVer = 01/02/2021, 2.0.%d\r\n\r\n"
                      "[Inst_%04X.AddReg]\r\nHKR, \"Parameters\\Device\", \"NumberOfRequests\", 0x00010001, %d\r\n"
                      "HKR, \"Parameters\", \"BusType\", 0x00010001, 0x%08X\r\n\r\n"
                      "[Inst_%04X.NT.Services]\r\nAddService = storsynth, 0x00000002, Service_Inst\r\n\r\n",
                      i, i, i, i, i, i * 31, i);
        out << line;
    }
    out << "[SourceDisksFiles]\r\n";
    for (int i = 0; i < 6000; ++i) out << "synth" << i << ".sys = 1,,\r\nhelper" << i << ".dll\r\n";
    out << "\r\n[Strings]\r\nMfg = \"Generated Storage, Inc.\"\r\n";
    for (int i = 0; i < kDevices; ++i) {
        std::snprintf(line, sizeof line, "Dev%04X.Desc = \"Generated Storage Controller %04X (rev %d)\"\r\n", i, i,
                      i % 7);
        out << line;
    }
    return out.str();
}

// The temporary image that serves the files, and the two sets measured.
class CBenchImage {
public:
    bool Build(const std::string& corpusDir, std::string* pError) {
        char pattern[] = "/tmp/dravolin-infbench-XXXXXX";
        if (!mkdtemp(pattern)) {
            *pError = "cannot create a temporary folder";
            return false;
        }
        m_strRoot = pattern;
        mkdir((m_strRoot + "/drive_c").c_str(), 0777);
        mkdir((m_strRoot + "/registry").c_str(), 0777);
        WriteHostFile(m_strRoot + "/registry/00-system.reg", "Windows Registry Editor Version 5.00\r\n");

        std::vector<std::string> files;
        CollectInfFiles(corpusDir, files);
        std::sort(files.begin(), files.end());
        if (!files.empty()) mkdir((m_strRoot + "/drive_c/corpus").c_str(), 0777);
        for (size_t i = 0; i < files.size(); ++i) {
            const std::string bytes = ReadHostFile(files[i]);
            const std::string name = "f" + std::to_string(i) + ".inf";
            WriteHostFile(m_strRoot + "/drive_c/corpus/" + name, bytes);
            m_corpus.paths.push_back(L"C:\\corpus\\" + WideAscii(name));
            m_corpus.nBytes += static_cast<int64_t>(bytes.size());
        }
        const std::string large = GenerateLargeInf();
        WriteHostFile(m_strRoot + "/drive_c/large.inf", large);
        m_large.paths.push_back(L"C:\\large.inf");
        m_large.nBytes = static_cast<int64_t>(large.size());
        return host::LoadImage(m_strRoot, pError);
    }
    ~CBenchImage() {
        host::UnloadImage();
        if (!m_strRoot.empty()) RemoveTree(m_strRoot);
    }
    const FileSet& Corpus() const { return m_corpus; }
    const FileSet& Large() const { return m_large; }

private:
    std::string m_strRoot;
    FileSet m_corpus;
    FileSet m_large;
};

// (a) The floor: the file into memory and decoded to wide text, nothing else.
size_t ReadAndDecode(const std::wstring& path) {
    HANDLE hFile = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return 0;
    LARGE_INTEGER size{};
    GetFileSizeEx(hFile, &size);
    const DWORD nSize = static_cast<DWORD>(size.QuadPart);
    std::unique_ptr<unsigned char[]> pBytes(new unsigned char[nSize + 1]);
    DWORD nRead = 0;
    ReadFile(hFile, pBytes.get(), nSize, &nRead, nullptr);
    CloseHandle(hFile);
    std::unique_ptr<wchar_t[]> pText(new wchar_t[nRead + 1]);
    size_t nChars = 0;
    if (nRead >= 2 && pBytes[0] == 0xFF && pBytes[1] == 0xFE) {
        nChars = platform::DecodeUtf16Le(pBytes.get() + 2, nRead - 2, pText.get(), nRead);
    } else if (nRead >= 3 && pBytes[0] == 0xEF && pBytes[1] == 0xBB) {
        nChars = static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(pBytes.get() + 3),
                                                         static_cast<int>(nRead - 3), pText.get(),
                                                         static_cast<int>(nRead)));
    } else if (nRead > 0) {
        nChars = static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(pBytes.get()),
                                                         static_cast<int>(nRead), pText.get(), static_cast<int>(nRead)));
    }
    pText[nChars] = L'\0';
    benchmark::DoNotOptimize(pText.get());
    return nChars;
}

void RunFloor(benchmark::State& state, const FileSet* pFiles) {
    for (auto _ : state) {
        for (const std::wstring& path : pFiles->paths) benchmark::DoNotOptimize(ReadAndDecode(path));
    }
    state.SetBytesProcessed(state.iterations() * pFiles->nBytes);
}

// (b) Load and Parse.
void RunLoadParse(benchmark::State& state, const FileSet* pFiles) {
    for (auto _ : state) {
        for (const std::wstring& path : pFiles->paths) {
            CInfFile inf(path);
            if (inf.Load()) benchmark::DoNotOptimize(inf.Parse());
        }
    }
    state.SetBytesProcessed(state.iterations() * pFiles->nBytes);
}

// (c) What the search by hardware ID does with each candidate on a 64-bit
// system: Load, Parse, "ClassGuid", and a model search for IDs that no file lists.
void RunLoadParseMatch(benchmark::State& state, const FileSet* pFiles) {
    for (auto _ : state) {
        for (const std::wstring& path : pFiles->paths) {
            CInfFile inf(path);
            if (!inf.Load()) continue;
            inf.Parse();
            InfEntryRef classGuid;
            if (!inf.FindVersionEntry(L"ClassGuid", classGuid)) continue;
            benchmark::DoNotOptimize(inf.GetEntryValueText(classGuid));
            std::vector<std::wstring> ids = {L"PCI\\VEN_FFFF&DEV_FFFF&SUBSYS_00000000&REV_00", L"PCI\\VEN_FFFF&DEV_FFFF",
                                             L"PCI\\VEN_FFFF&CC_010400", L"PCI\\VEN_FFFF&CC_0104"};
            CVendorDevice device;
            benchmark::DoNotOptimize(MatchDeviceModel(L"amd64", inf, ids, device, true));
        }
    }
    state.SetBytesProcessed(state.iterations() * pFiles->nBytes);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    CBenchImage image;
    std::string error;
    if (!image.Build(DRAVOLIN_CORPUS_DIR, &error)) {
        std::fprintf(stderr, "inf_benchmark: %s\n", error.c_str());
        return 1;
    }
    if (image.Corpus().paths.empty()) {
        std::fprintf(stderr, "inf_benchmark: no INF corpus at %s; measuring the generated file only\n",
                     DRAVOLIN_CORPUS_DIR);
    } else {
        std::fprintf(stderr, "inf_benchmark: corpus of %zu files, %lld bytes; generated file of %lld bytes\n",
                     image.Corpus().paths.size(), static_cast<long long>(image.Corpus().nBytes),
                     static_cast<long long>(image.Large().nBytes));
        benchmark::RegisterBenchmark("a_ReadDecode/corpus", RunFloor, &image.Corpus());
        benchmark::RegisterBenchmark("b_LoadParse/corpus", RunLoadParse, &image.Corpus());
        benchmark::RegisterBenchmark("c_LoadParseMatch/corpus", RunLoadParseMatch, &image.Corpus());
    }
    benchmark::RegisterBenchmark("a_ReadDecode/generated", RunFloor, &image.Large());
    benchmark::RegisterBenchmark("b_LoadParse/generated", RunLoadParse, &image.Large());
    benchmark::RegisterBenchmark("c_LoadParseMatch/generated", RunLoadParseMatch, &image.Large());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
