// Points the run log at a temporary file for in-process tests and reads the
// lines back.
#pragma once

#include "support/test_image.h"

#include <string>
#include <vector>

namespace test {

class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    // Closes the log and returns its lines without stamps.
    std::vector<std::string> Lines();
    std::string Bytes();

private:
    TempFolder m_folder;
};

// Resets the process-wide state a run writes.
void ResetGlobals();

// Builds the usual machine in the image, serves it, and leaves the
// process-wide state as a run has it once stage 1 found the installation.
void ServeMachineWithInstallationFound(TestImage& image);

}  // namespace test
