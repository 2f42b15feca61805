// Runs the built dravolin on an image and gathers what a user sees.
#pragma once

#include <string>
#include <vector>

namespace test {

struct RunOutcome {
    int nExitCode = -1;
    std::string strConsole;  // standard output
    std::string strErrors;   // standard error
    bool bLogWritten = false;
    std::string strLog;      // Dravolin.log, as bytes
    std::vector<std::string> vecStrayEntries;  // anything else the run left in its working folder
};

// Runs dravolin in a fresh working folder with "--image <root>", a pinned
// clock and the extra arguments.
RunOutcome RunDravolin(const std::string& imageRoot, const std::vector<std::string>& extraArgs = {});

// The same for an image no Windows machine can have (a malformed .reg file):
// it is not exported for the Windows build's runs under Wine.
RunOutcome RunDravolinOnLinuxOnlyImage(const std::string& imageRoot);

}  // namespace test
