#include "wide_text.h"

#include "platform_api.h"

namespace host {

std::wstring WideFromUtf8(const std::string& text) {
    // The decoder that serves MultiByteToWideChar, so host names and registry
    // text decode exactly as file text does.
    if (text.empty()) return std::wstring();
    const int nBytes = static_cast<int>(text.size());
    std::wstring out(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(), nBytes, nullptr, 0)), L'\0');
    if (!out.empty()) MultiByteToWideChar(CP_UTF8, 0, text.data(), nBytes, &out[0], static_cast<int>(out.size()));
    return out;
}

std::string Utf8FromWide(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        uint32_t cp = static_cast<uint32_t>(wc);
        if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

wchar_t FoldCase(wchar_t ch) {
    const uint32_t c = static_cast<uint32_t>(ch);
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? static_cast<wchar_t>(c - 0x20) : ch;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<wchar_t>(c - 0x20);
    if (c == 0xFF) return static_cast<wchar_t>(0x178);
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A pairs an upper-case letter with the lower-case one
        // after it; the block shifts its pairing at U+0138 and again at U+0178.
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
            return (c % 2 == 0) ? static_cast<wchar_t>(c - 1) : ch;
        }
        if (c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c < 0x178) {
            return (c % 2 == 1) ? static_cast<wchar_t>(c - 1) : ch;
        }
        return ch;
    }
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<wchar_t>(c - 0x20);
    if (c >= 0x430 && c <= 0x44F) return static_cast<wchar_t>(c - 0x20);
    if (c >= 0x450 && c <= 0x45F) return static_cast<wchar_t>(c - 0x50);
    return ch;
}

std::wstring FoldCase(const std::wstring& text) {
    std::wstring out(text);
    for (wchar_t& ch : out) ch = FoldCase(ch);
    return out;
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    }
    return true;
}

}  // namespace host
