#include "devices/file_names.h"

namespace {

wchar_t FoldAscii(wchar_t ch) { return (ch >= L'a' && ch <= L'z') ? static_cast<wchar_t>(ch - 32) : ch; }

bool IsForbiddenCharacter(wchar_t ch) {
    return ch < 32 || ch == L'\\' || ch == L'/' || ch == L':' || ch == L'<' || ch == L'>' || ch == L'"' ||
           ch == L'|' || ch == L'?' || ch == L'*';
}

// The base name (up to the first dot, trailing spaces dropped) is what
// Windows compares with its device names.
bool IsDosDeviceName(const std::wstring& strName) {
    std::wstring strBase = strName.substr(0, strName.find(L'.'));
    while (!strBase.empty() && strBase.back() == L' ') strBase.pop_back();
    for (wchar_t& ch : strBase) ch = FoldAscii(ch);

    if (strBase == L"CON" || strBase == L"PRN" || strBase == L"AUX" || strBase == L"NUL") return true;
    if (strBase.size() != 4 || (strBase.compare(0, 3, L"COM") != 0 && strBase.compare(0, 3, L"LPT") != 0)) {
        return false;
    }
    const wchar_t digit = strBase[3];
    return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
}

}  // namespace

bool IsPlainFileName(const std::wstring& strName) {
    if (strName.empty() || strName == L"." || strName == L"..") return false;
    if (strName.back() == L'.' || strName.back() == L' ') return false;
    for (const wchar_t ch : strName) {
        if (IsForbiddenCharacter(ch)) return false;
    }
    return !IsDosDeviceName(strName);
}
