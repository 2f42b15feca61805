// The Linux command line: which image to serve, and the test options.
#include "host_control.h"
#include "image_state.h"
#include "platform.h"
#include "wide_text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace host {
namespace {

bool ParseClock(const std::string& text) {
    unsigned h = 0, m = 0, s = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%2u:%2u:%2u%c", &h, &m, &s, &tail) != 3 || h > 23 || m > 59 || s > 59) {
        return false;
    }
    PinClock(static_cast<WORD>(h), static_cast<WORD>(m), static_cast<WORD>(s));
    return true;
}

}  // namespace

const char* UsageText() {
    return "Usage: dravolin --image DIR [--output OUT [--variant x86|x64]]\n"
           "                [--clock HH:MM:SS] [--fault CALL[@TEXT]=CODE[xN]]...\n"
           "\n"
           "Copies the drivers of the disk controllers, network adapters and USB\n"
           "controllers of the offline Windows installation in DIR into the driver\n"
           "folders of its rescue-media builder, as the Windows program does on a\n"
           "running machine. The log, Dravolin.log, is written to the current folder.\n"
           "\n"
           "DIR is the root of a mounted Windows volume (Windows\\System32\\config\\\n"
           "SYSTEM and SOFTWARE are its registry), or a folder holding drive_c/ (C:\\),\n"
           "drive_d/ (D:\\) ... and registry/: SYSTEM and SOFTWARE hive files and\n"
           "*.reg files as regedit exports them, applied on top in file-name order.\n"
           "\n"
           "  --output OUT      leave DIR untouched and write the driver folders\n"
           "                    (Disk, Network, USB) into the host folder OUT\n"
           "  --variant V       with --output, when the rescue-media builder is not\n"
           "                    installed on DIR: go on as if its V variant (x86 or\n"
           "                    x64) were\n"
           "\n"
           "Options for tests:\n"
           "  --clock HH:MM:SS  stamp every log line with this time\n"
           "  --fault RULE      make a platform call fail with a Win32 error code:\n"
           "                    CALL[@TEXT]=CODE[xN], e.g. CopyFileW@e1g.sys=5x1,\n"
           "                    OpenProcessToken=5, GetProcAddress@IsWow64Process=127\n";
}

bool TakeCommandLine(int argc, char** argv) {
    ImageState& image = Image();
    image.args.assign(argv, argv + argc);
    image.strStartupError.clear();
    image.strOutputDir.clear();
    image.strVariant.clear();
    std::string imageDir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool bHasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            std::fputs(UsageText(), stdout);
            return false;
        }
        std::string error;
        if (arg == "--image" && bHasValue) {
            imageDir = argv[++i];
        } else if (arg == "--output" && bHasValue) {
            image.strOutputDir = argv[++i];
            if (image.strOutputDir.empty()) error = "--output takes a folder";
        } else if (arg == "--variant" && bHasValue) {
            image.strVariant = argv[++i];
            if (image.strVariant != "x86" && image.strVariant != "x64") error = "--variant takes x86 or x64";
        } else if (arg == "--clock" && bHasValue) {
            if (!ParseClock(argv[++i])) error = "--clock takes HH:MM:SS";
        } else if (arg == "--fault" && bHasValue) {
            InjectFaultRule(argv[++i], &error);
        } else {
            error = "unknown option \"" + arg + "\" (see --help)";
        }
        if (!error.empty() && image.strStartupError.empty()) image.strStartupError = error;
    }
    if (image.strStartupError.empty()) {
        if (imageDir.empty()) {
            image.strStartupError = "no image given: use --image DIR (see --help)";
        } else if (!LoadImage(imageDir, &image.strStartupError)) {
            // The reason is reported by the framework initialisation.
        }
    }
    return true;
}

}  // namespace host

LPWSTR GetCommandLineW() {
    static std::wstring line;
    line.clear();
    for (const std::string& arg : host::Image().args) {
        if (!line.empty()) line += L' ';
        const bool bQuote = arg.empty() || arg.find_first_of(" \t\"") != std::string::npos;
        if (bQuote) line += L'"';
        line += host::WideFromUtf8(arg);
        if (bQuote) line += L'"';
    }
    return &line[0];
}

namespace platform {

bool InitProcessFramework(HMODULE, LPCWSTR) {
    const std::string& error = host::Image().strStartupError;
    if (!error.empty()) {
        std::fprintf(stderr, "dravolin: %s\n", error.c_str());
        return false;
    }
    return host::Image().bLoaded;
}

}  // namespace platform
