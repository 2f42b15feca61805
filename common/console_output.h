// The program's console lines.
#pragma once

void ConsolePrintf(const wchar_t* pszFormat, ...);
