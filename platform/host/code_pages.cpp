// Decoding of file text: UTF-8, the image's ANSI code page, UTF-16LE.
#include "image_state.h"
#include "platform.h"
#include "wide_text.h"

#include <cstring>
#include <iconv.h>
#include <string>

namespace {

// windows-1252 in 0x80-0x9F; the five bytes it leaves undefined map to the
// control character of the same value, as Windows maps them.
const wchar_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

std::wstring DecodeAnsi(const unsigned char* p, size_t n, UINT codePage) {
    std::wstring out;
    out.reserve(n);
    size_t i = 0;
    while (i < n && p[i] < 0x80) out.push_back(static_cast<wchar_t>(p[i++]));
    if (i == n) return out;
    if (codePage == 1252) {
        for (; i < n; ++i) {
            const unsigned char b = p[i];
            out.push_back(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : static_cast<wchar_t>(b));
        }
        return out;
    }
    const std::string name = "CP" + std::to_string(codePage);
    iconv_t cd = iconv_open("UTF-32LE", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        for (; i < n; ++i) out.push_back(p[i] < 0x80 ? static_cast<wchar_t>(p[i]) : L'\uFFFD');
        return out;
    }
    while (i < n) {
        char* in = const_cast<char*>(reinterpret_cast<const char*>(p + i));
        size_t inLeft = n - i;
        uint32_t units[256];
        char* outPtr = reinterpret_cast<char*>(units);
        size_t outLeft = sizeof units;
        size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        const size_t produced = (sizeof units - outLeft) / 4;
        for (size_t k = 0; k < produced; ++k) out.push_back(static_cast<wchar_t>(units[k]));
        i = n - inLeft;
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            // A byte the code page does not define, or a cut-off sequence.
            out.push_back(L'\uFFFD');
            ++i;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

int MultiByteToWideChar(UINT CodePage, DWORD, LPCSTR lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                        int cchWideChar) {
    if (!lpMultiByteStr || cbMultiByte == 0 || cchWideChar < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t n = cbMultiByte < 0 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    const auto* bytes = reinterpret_cast<const unsigned char*>(lpMultiByteStr);
    std::wstring text;
    if (CodePage == CP_UTF8) {
        text = host::WideFromUtf8(std::string(lpMultiByteStr, n));
    } else if (CodePage == CP_ACP) {
        text = DecodeAnsi(bytes, n, host::Image().nAnsiCodePage);
    } else {
        text = DecodeAnsi(bytes, n, CodePage);
    }
    if (cchWideChar == 0) return static_cast<int>(text.size());
    if (text.size() > static_cast<size_t>(cchWideChar)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::wmemcpy(lpWideCharStr, text.data(), text.size());
    return static_cast<int>(text.size());
}

namespace platform {

size_t DecodeUtf16Le(const unsigned char* pBytes, size_t nBytes, wchar_t* pOut, size_t nLimit) {
    size_t written = 0;
    size_t i = 0;
    while (i + 1 < nBytes && written < nLimit) {
        uint32_t unit = pBytes[i] | (pBytes[i + 1] << 8);
        i += 2;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < nBytes) {
            const uint32_t low = pBytes[i] | (pBytes[i + 1] << 8);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        pOut[written++] = static_cast<wchar_t>(unit);
    }
    return written;
}

}  // namespace platform
