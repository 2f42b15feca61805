#include "support/run_capture.h"

#include "support/test_image.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace test {
namespace {

std::string Quote(const std::string& arg) {
    std::string out = "'";
    for (char ch : arg) {
        if (ch == '\'') {
            out += "'\\''";
        } else {
            out.push_back(ch);
        }
    }
    return out + "'";
}

// With DRAVOLIN_SCENARIO_EXPORT set, every image a test runs through
// RunDravolin without test options is copied there first, under the test's
// name, so that the same scenarios can be run by the Windows build.
void ExportScenario(const std::string& imageRoot, const std::vector<std::string>& extraArgs) {
    const char* exportDir = std::getenv("DRAVOLIN_SCENARIO_EXPORT");
    if (!exportDir || !*exportDir || imageRoot.empty() || !extraArgs.empty()) return;
    // The Windows build reads its registry from .reg imports: images whose
    // registry is hive files (a volume, registry/SYSTEM) are not for it.
    struct stat st {};
    if (stat((imageRoot + "/drive_c").c_str(), &st) != 0 || stat((imageRoot + "/registry/SYSTEM").c_str(), &st) == 0 ||
        stat((imageRoot + "/registry/SOFTWARE").c_str(), &st) == 0) {
        return;
    }
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!info) return;
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& ch : name) {
        if (ch == '/') ch = '_';
    }
    const std::string target = std::string(exportDir) + "/" + name;
    const std::string command = "rm -rf " + Quote(target) + " && mkdir -p " + Quote(exportDir) + " && cp -a " +
                                Quote(imageRoot) + " " + Quote(target);
    if (std::system(command.c_str()) != 0) ADD_FAILURE() << "cannot export " << name;
}

RunOutcome RunCaptured(const std::string& imageRoot, const std::vector<std::string>& extraArgs) {
    TempFolder work;
    std::string command = "cd " + Quote(work.Path()) + " && " + Quote(DRAVOLIN_EXE);
    if (!imageRoot.empty()) command += " --image " + Quote(imageRoot);
    command += " --clock 09:05:03";
    for (const std::string& arg : extraArgs) command += " " + Quote(arg);
    command += " >out.txt 2>err.txt </dev/null";
    const int status = std::system(command.c_str());

    RunOutcome outcome;
    outcome.nExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.strConsole = ReadHostFile(work.Path() + "/out.txt");
    outcome.strErrors = ReadHostFile(work.Path() + "/err.txt");
    struct stat st {};
    outcome.bLogWritten = stat((work.Path() + "/Dravolin.log").c_str(), &st) == 0;
    outcome.strLog = ReadHostFile(work.Path() + "/Dravolin.log");
    if (DIR* d = opendir(work.Path().c_str())) {
        while (dirent* entry = readdir(d)) {
            const std::string name = entry->d_name;
            if (name != "." && name != ".." && name != "out.txt" && name != "err.txt" && name != "Dravolin.log") {
                outcome.vecStrayEntries.push_back(name);
            }
        }
        closedir(d);
    }
    return outcome;
}

}  // namespace

RunOutcome RunDravolin(const std::string& imageRoot, const std::vector<std::string>& extraArgs) {
    ExportScenario(imageRoot, extraArgs);
    return RunCaptured(imageRoot, extraArgs);
}

RunOutcome RunDravolinOnLinuxOnlyImage(const std::string& imageRoot) {
    return RunCaptured(imageRoot, {});
}

}  // namespace test
