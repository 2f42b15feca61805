// Decoding of file text: UTF-8, the image's ANSI code page, UTF-16LE.
//
// Every decoder writes straight into the caller's buffer. ASCII, the bulk of
// any INF file, is widened eight bytes at a time before a decoder looks at a
// byte on its own. Decoders run in two modes: writing (pOut set) and counting
// (pOut null), so MultiByteToWideChar can size a result the way Windows does
// without building it twice.
#include "image_state.h"
#include "platform.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <string>

namespace {

const wchar_t kReplacement = 0xFFFD;
const size_t kOverflow = static_cast<size_t>(-1);

bool IsAsciiWord(const unsigned char* p) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return (word & 0x8080808080808080ull) == 0;
}

// Widens the ASCII run at the start of the bytes; returns its length.
size_t WidenAsciiRun(const unsigned char* p, size_t n, wchar_t* pOut) {
    size_t i = 0;
    while (i + 8 <= n && IsAsciiWord(p + i)) {
        if (pOut) {
            for (size_t k = 0; k < 8; ++k) pOut[i + k] = static_cast<wchar_t>(p[i + k]);
        }
        i += 8;
    }
    for (; i < n && p[i] < 0x80; ++i) {
        if (pOut) pOut[i] = static_cast<wchar_t>(p[i]);
    }
    return i;
}

// UTF-8 as Windows decodes it: every maximal ill-formed subpart (the longest
// start of a well-formed sequence, or else one byte) becomes one U+FFFD.
// Overlong forms, encoded surrogates and values above U+10FFFF are ill-formed.
size_t DecodeUtf8(const unsigned char* p, size_t n, wchar_t* pOut) {
    size_t i = 0;
    size_t o = 0;
    while (i < n) {
        const size_t nRun = WidenAsciiRun(p + i, n - i, pOut ? pOut + o : nullptr);
        i += nRun;
        o += nRun;
        if (i >= n) break;

        const unsigned char lead = p[i];
        int nNeed = 0;
        uint32_t cp = 0;
        unsigned char lo = 0x80;
        unsigned char hi = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            nNeed = 1;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            nNeed = 2;
            cp = lead & 0x0F;
            if (lead == 0xE0) lo = 0xA0;
            if (lead == 0xED) hi = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            nNeed = 3;
            cp = lead & 0x07;
            if (lead == 0xF0) lo = 0x90;
            if (lead == 0xF4) hi = 0x8F;
        }
        size_t j = i + 1;
        int nGot = 0;
        while (nGot < nNeed && j < n) {
            const unsigned char c = p[j];
            if (c < (nGot == 0 ? lo : 0x80) || c > (nGot == 0 ? hi : 0xBF)) break;
            cp = (cp << 6) | (c & 0x3F);
            ++j;
            ++nGot;
        }
        if (pOut) pOut[o] = (nNeed > 0 && nGot == nNeed) ? static_cast<wchar_t>(cp) : kReplacement;
        ++o;
        i = j;
    }
    return o;
}

// windows-1252 in 0x80-0x9F; the five bytes it leaves undefined map to the
// control character of the same value, as Windows maps them.
const wchar_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

size_t DecodeCp1252(const unsigned char* p, size_t n, wchar_t* pOut) {
    if (!pOut) return n;  // one character per byte
    for (size_t i = 0; i < n;) {
        i += WidenAsciiRun(p + i, n - i, pOut + i);
        for (; i < n && p[i] >= 0x80; ++i) {
            pOut[i] = p[i] < 0xA0 ? kCp1252High[p[i] - 0x80] : static_cast<wchar_t>(p[i]);
        }
    }
    return n;
}

// Any other code page through iconv. A byte the code page does not define,
// or a sequence cut off by the end, becomes one U+FFFD. Writes at most
// nCapacity characters; kOverflow when the result does not fit.
size_t DecodeWithIconv(iconv_t cd, const unsigned char* p, size_t n, wchar_t* pOut, size_t nCapacity) {
    wchar_t chunk[256];
    size_t i = 0;
    size_t o = 0;
    while (i < n) {
        char* pIn = const_cast<char*>(reinterpret_cast<const char*>(p + i));
        size_t nInLeft = n - i;
        wchar_t* pDest = pOut ? pOut + o : chunk;
        const size_t nDestUnits = pOut ? nCapacity - o : sizeof chunk / sizeof chunk[0];
        char* pDestBytes = reinterpret_cast<char*>(pDest);
        size_t nDestLeft = nDestUnits * sizeof(wchar_t);
        const size_t rc = iconv(cd, &pIn, &nInLeft, &pDestBytes, &nDestLeft);
        const int err = errno;
        o += nDestUnits - nDestLeft / sizeof(wchar_t);
        i = n - nInLeft;
        if (rc != static_cast<size_t>(-1)) continue;
        if (err == E2BIG) {
            if (pOut) return kOverflow;
            continue;
        }
        if (pOut) {
            if (o >= nCapacity) return kOverflow;
            pOut[o] = kReplacement;
        }
        ++o;
        ++i;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return o;
}

// The ASCII start is widened here; iconv takes over from the first other byte
// (a double-byte code page may use ASCII values as trail bytes after it).
size_t DecodeAnsi(const unsigned char* p, size_t n, UINT nCodePage, wchar_t* pOut, size_t nCapacity) {
    if (nCodePage == 1252) return DecodeCp1252(p, n, pOut);
    const size_t nAscii = WidenAsciiRun(p, n, pOut);
    if (nAscii == n) return n;
    const std::string strName = "CP" + std::to_string(nCodePage);
    iconv_t cd = iconv_open("WCHAR_T", strName.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        // A code page the host cannot convert: ASCII stays, the rest is lost.
        for (size_t i = nAscii; i < n; ++i) {
            if (pOut) pOut[i] = p[i] < 0x80 ? static_cast<wchar_t>(p[i]) : kReplacement;
        }
        return n;
    }
    const size_t nRest = DecodeWithIconv(cd, p + nAscii, n - nAscii, pOut ? pOut + nAscii : nullptr,
                                         pOut ? nCapacity - nAscii : 0);
    iconv_close(cd);
    return nRest == kOverflow ? kOverflow : nAscii + nRest;
}

size_t DecodeBytes(UINT nCodePage, const unsigned char* p, size_t n, wchar_t* pOut, size_t nCapacity) {
    if (nCodePage == CP_UTF8) return DecodeUtf8(p, n, pOut);
    return DecodeAnsi(p, n, nCodePage == CP_ACP ? host::Image().nAnsiCodePage : nCodePage, pOut, nCapacity);
}

}  // namespace

int MultiByteToWideChar(UINT CodePage, DWORD, LPCSTR lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                        int cchWideChar) {
    if (!lpMultiByteStr || cbMultiByte == 0 || cchWideChar < 0 || (cchWideChar > 0 && !lpWideCharStr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t n = cbMultiByte < 0 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    const auto* pBytes = reinterpret_cast<const unsigned char*>(lpMultiByteStr);
    const size_t nCapacity = static_cast<size_t>(cchWideChar);
    // No decoding yields more characters than bytes, so a buffer of at least
    // n characters is written at once; a smaller one is measured first, and
    // like Windows nothing is written when the result does not fit.
    if (cchWideChar == 0 || nCapacity < n) {
        const size_t nNeeded = DecodeBytes(CodePage, pBytes, n, nullptr, 0);
        if (cchWideChar == 0) return static_cast<int>(nNeeded);
        if (nNeeded > nCapacity) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
    }
    const size_t nWritten = DecodeBytes(CodePage, pBytes, n, lpWideCharStr, nCapacity);
    if (nWritten == kOverflow) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return static_cast<int>(nWritten);
}

namespace platform {

size_t DecodeUtf16Le(const unsigned char* pBytes, size_t nBytes, wchar_t* pOut, size_t nLimit) {
    size_t nWritten = 0;
    size_t i = 0;
    while (i + 1 < nBytes && nWritten < nLimit) {
        uint32_t unit = pBytes[i] | (static_cast<uint32_t>(pBytes[i + 1]) << 8);
        i += 2;
        // A high surrogate followed by a low one is one character; any other
        // surrogate is kept as it stands.
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < nBytes) {
            const uint32_t low = pBytes[i] | (static_cast<uint32_t>(pBytes[i + 1]) << 8);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        pOut[nWritten++] = static_cast<wchar_t>(unit);
    }
    // An odd last byte is a character of its own, its high byte zero.
    if (i + 1 == nBytes && nWritten < nLimit) pOut[nWritten++] = static_cast<wchar_t>(pBytes[i]);
    return nWritten;
}

}  // namespace platform
