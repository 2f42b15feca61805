// The one header through which the program reaches its platform.
//
// The build chooses the side: platform/win32/platform_api.h includes the real
// Windows headers, platform/host/platform_api.h declares the stand-in that
// serves an offline Windows image on Linux. Code outside platform/ includes
// this file and nothing else of the platform, and never tests which side it is
// built for.
#pragma once

#include "platform_api.h"

#include <string>

namespace platform {

// Process initialisation that the framework step of the run performs. On
// Windows there is nothing to do; the stand-in takes its image from the
// command line here. False ends the run with exit code 1.
bool InitProcessFramework(HMODULE hInstance, LPCWSTR pszCommandLine);

// Writes text to standard output: in the console's code page on Windows, as
// UTF-8 on Linux.
void PrintToConsole(const wchar_t* pszText);

// Decodes little-endian UTF-16 bytes (no mark) into wchar_t units, writing at
// most nLimit units; returns the number written. An odd last byte is one
// more character, U+0000 to U+00FF (the byte, its high byte zero), as if the
// text had been read into a zeroed buffer. On Windows the bytes are
// copied as they are; on Linux surrogate pairs are joined and a lone
// surrogate is kept as it is.
size_t DecodeUtf16Le(const unsigned char* pBytes, size_t nBytes, wchar_t* pOut, size_t nLimit);

// Comparisons ignoring case and upper-casing: the same answers whatever the
// locale (Windows' case mapping has no language's special rules). Decimal
// numbers are read under whatever locale the process has set.
int CompareNoCase(const wchar_t* pszA, const wchar_t* pszB);
int CompareNoCaseN(const wchar_t* pszA, const wchar_t* pszB, size_t nChars);
void UpperCaseInPlace(wchar_t* pszText);
double ReadDecimal(const wchar_t* pszText);

}  // namespace platform
