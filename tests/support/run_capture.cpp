#include "support/run_capture.h"

#include "support/test_image.h"

#include <cstdlib>
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

}  // namespace

RunOutcome RunDravolin(const std::string& imageRoot, const std::vector<std::string>& extraArgs) {
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
    return outcome;
}

}  // namespace test
