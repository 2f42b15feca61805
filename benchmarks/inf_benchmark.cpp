// How fast INF files are read, parsed and matched, against the floor of
// reading each file into memory and decoding it to wide text.
//
//   inf_benchmark --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// Files are served through the stand-in from a temporary image, as the
// program reads them; throughput counts file bytes.
#include "inf/inf_file.h"
#include "inf/model_matcher.h"

#include "platform.h"
#include "tests/inf/inf_test_image.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct FileSet {
    std::vector<std::wstring> paths;
    int64_t nBytes = 0;
};

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

// The files of the corpus and the generated one, in one temporary image.
void PlaceFiles(const inftest::CScratchImage& image, FileSet& corpus, FileSet& large) {
    const std::string corpusDir = inftest::CorpusDir();
    size_t nIndex = 0;
    for (const std::string& path : corpusDir.empty() ? std::vector<std::string>() : inftest::ListFiles(corpusDir)) {
        std::string ext = path.substr(path.rfind('.') + 1);
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char ch) { return std::tolower(ch); });
        if (ext != "inf" && ext != "inx") continue;
        const std::string bytes = inftest::ReadHostFile(path);
        corpus.paths.push_back(image.AddFile("corpus" + std::to_string(nIndex++) + ".inf", bytes));
        corpus.nBytes += static_cast<int64_t>(bytes.size());
    }
    const std::string bytes = GenerateLargeInf();
    large.paths.push_back(image.AddFile("large.inf", bytes));
    large.nBytes = static_cast<int64_t>(bytes.size());
}

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

    inftest::CScratchImage image;
    if (!image.IsReady()) {
        std::fprintf(stderr, "inf_benchmark: %s\n", image.Error().c_str());
        return 1;
    }
    FileSet corpus;
    FileSet large;
    PlaceFiles(image, corpus, large);
    if (corpus.paths.empty()) {
        std::fprintf(stderr, "inf_benchmark: no INF corpus at %s; measuring the generated file only\n",
                     DRAVOLIN_CORPUS_DIR);
    } else {
        std::fprintf(stderr, "inf_benchmark: corpus of %zu files, %lld bytes; generated file of %lld bytes\n",
                     corpus.paths.size(), static_cast<long long>(corpus.nBytes), static_cast<long long>(large.nBytes));
        benchmark::RegisterBenchmark("a_ReadDecode/corpus", RunFloor, &corpus);
        benchmark::RegisterBenchmark("b_LoadParse/corpus", RunLoadParse, &corpus);
        benchmark::RegisterBenchmark("c_LoadParseMatch/corpus", RunLoadParseMatch, &corpus);
    }
    benchmark::RegisterBenchmark("a_ReadDecode/generated", RunFloor, &large);
    benchmark::RegisterBenchmark("b_LoadParse/generated", RunLoadParse, &large);
    benchmark::RegisterBenchmark("c_LoadParseMatch/generated", RunLoadParseMatch, &large);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
