// Text helpers of the stand-in: UTF-8 <-> wchar_t and the case folding used
// for registry and file names.
#pragma once

#include <string>

namespace host {

// Decodes UTF-8; every ill-formed sequence becomes one U+FFFD.
std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);

// Upper-cases one character the way Windows compares names: ASCII, Latin-1,
// Latin Extended-A, Greek and Cyrillic letters. The result does not depend
// on the C runtime locale, which the program changes while it runs.
wchar_t FoldCase(wchar_t ch);
std::wstring FoldCase(const std::wstring& text);
bool EqualsNoCase(const std::wstring& a, const std::wstring& b);

}  // namespace host
