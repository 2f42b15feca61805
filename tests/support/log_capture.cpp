#include "support/log_capture.h"

#include "common/globals.h"
#include "host_control.h"

namespace test {

LogCapture::LogCapture() {
    g_log.Close();
    g_log.Open((m_folder.Path() + "/Dravolin.log").c_str());
    host::PinClock(9, 5, 3);
}

LogCapture::~LogCapture() {
    g_log.Close();
    host::ClearFaults();
}

std::string LogCapture::Bytes() {
    g_log.Close();
    return ReadHostFile(m_folder.Path() + "/Dravolin.log");
}

std::vector<std::string> LogCapture::Lines() {
    return LogLinesWithoutStamps(Bytes());
}

void ResetGlobals() {
    g_strInstallDir.clear();
    g_strSystemRoot = L"C:\\Windows\\";
    g_strDiskFolder.clear();
    g_strNetworkFolder.clear();
    g_strUsbFolder.clear();
    g_bTargetIsX64 = 0;
}

void ServeMachineWithInstallationFound(TestImage& image) {
    BuildMachine(image);
    image.Load();
    ResetGlobals();
    g_strInstallDir = L"C:\\Program Files\\Tessaro\\Pelvane\\";
}

}  // namespace test
