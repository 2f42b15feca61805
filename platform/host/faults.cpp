// Faults that tests inject into the platform calls.
#include "host_control.h"
#include "image_state.h"
#include "wide_text.h"

#include <cstdlib>
#include <vector>

namespace host {
namespace {

struct Fault {
    std::string call;
    std::wstring argContains;  // folded
    DWORD dwCode;
    int nTimes;  // -1: always
};

std::vector<Fault>& Faults() {
    static std::vector<Fault> faults;
    return faults;
}

}  // namespace

void InjectFault(const std::string& call, const std::wstring& argContains, DWORD dwCode, int nTimes) {
    Faults().push_back(Fault{call, FoldCase(argContains), dwCode, nTimes});
}

void ClearFaults() { Faults().clear(); }

bool InjectFaultRule(const std::string& rule, std::string* pError) {
    size_t eq = rule.rfind('=');
    if (eq == std::string::npos || eq == 0) {
        *pError = "--fault takes CALL[@TEXT]=CODE[xN], not \"" + rule + "\"";
        return false;
    }
    std::string target = rule.substr(0, eq);
    std::string rest = rule.substr(eq + 1);
    std::string call = target;
    std::string arg;
    size_t at = target.find('@');
    if (at != std::string::npos) {
        call = target.substr(0, at);
        arg = target.substr(at + 1);
    }
    int nTimes = -1;
    size_t x = rest.find('x');
    std::string code = rest.substr(0, x);
    if (x != std::string::npos) nTimes = std::atoi(rest.c_str() + x + 1);
    char* end = nullptr;
    unsigned long value = std::strtoul(code.c_str(), &end, 10);
    if (call.empty() || code.empty() || *end != '\0' || (x != std::string::npos && nTimes <= 0)) {
        *pError = "--fault takes CALL[@TEXT]=CODE[xN], not \"" + rule + "\"";
        return false;
    }
    InjectFault(call, WideFromUtf8(arg), static_cast<DWORD>(value), nTimes);
    return true;
}

bool TakeFault(const char* call, const std::wstring& arg, DWORD* pCode) {
    if (Faults().empty()) return false;
    const std::wstring folded = FoldCase(arg);
    for (Fault& fault : Faults()) {
        if (fault.nTimes == 0 || fault.call != call) continue;
        if (!fault.argContains.empty() && folded.find(fault.argContains) == std::wstring::npos) continue;
        if (fault.nTimes > 0) --fault.nTimes;
        *pCode = fault.dwCode;
        return true;
    }
    return false;
}

}  // namespace host
