// The system's message texts for the error codes the stand-in can return,
// worded as Windows (English) words them.
#include "image_state.h"
#include "platform_api.h"

#include <cstdlib>
#include <cwchar>

namespace {

struct SystemMessage {
    DWORD dwCode;
    const wchar_t* pszText;
};

const SystemMessage kMessages[] = {
    {0, L"The operation completed successfully.\r\n"},
    {1, L"Incorrect function.\r\n"},
    {2, L"The system cannot find the file specified.\r\n"},
    {3, L"The system cannot find the path specified.\r\n"},
    {5, L"Access is denied.\r\n"},
    {6, L"The handle is invalid.\r\n"},
    {8, L"Not enough memory resources are available to process this command.\r\n"},
    {18, L"There are no more files.\r\n"},
    {19, L"The media is write protected.\r\n"},
    {29, L"The system cannot write to the specified device.\r\n"},
    {30, L"The system cannot read from the specified device.\r\n"},
    {31, L"A device attached to the system is not functioning.\r\n"},
    {32, L"The process cannot access the file because it is being used by another process.\r\n"},
    {80, L"The file exists.\r\n"},
    {87, L"The parameter is incorrect.\r\n"},
    {112, L"There is not enough space on the disk.\r\n"},
    {120, L"This function is not supported on this system.\r\n"},
    {122, L"The data area passed to a system call is too small.\r\n"},
    {123, L"The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {126, L"The specified module could not be found.\r\n"},
    {127, L"The specified procedure could not be found.\r\n"},
    {145, L"The directory is not empty.\r\n"},
    {161, L"The specified path is invalid.\r\n"},
    {183, L"Cannot create a file when that file already exists.\r\n"},
    {206, L"The filename or extension is too long.\r\n"},
    {234, L"More data is available.\r\n"},
    {259, L"No more data is available.\r\n"},
    {267, L"The directory name is invalid.\r\n"},
    {1010, L"The configuration registry key is invalid.\r\n"},
    {1117, L"The request could not be performed because of an I/O device error.\r\n"},
    {1300, L"Not all privileges or groups referenced are assigned to the caller.\r\n"},
    {1313, L"A specified privilege does not exist.\r\n"},
    {1314, L"A required privilege is not held by the client.\r\n"},
};

}  // namespace

DWORD FormatMessageW(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD, LPWSTR lpBuffer, DWORD nSize, void*) {
    if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) || !lpBuffer) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return 0;
    }
    const wchar_t* text = nullptr;
    for (const SystemMessage& message : kMessages) {
        if (message.dwCode == dwMessageId) text = message.pszText;
    }
    if (!text) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    const size_t length = std::wcslen(text);
    if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
        // lpBuffer is where the address of the new buffer goes.
        auto* copy = static_cast<wchar_t*>(std::malloc((length + 1) * sizeof(wchar_t)));
        if (!copy) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        std::wmemcpy(copy, text, length + 1);
        *reinterpret_cast<LPWSTR*>(lpBuffer) = copy;
        return static_cast<DWORD>(length);
    }
    if (nSize < length + 1) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::wmemcpy(lpBuffer, text, length + 1);
    return static_cast<DWORD>(length);
}

HLOCAL LocalFree(HLOCAL hMem) {
    std::free(hMem);
    return nullptr;
}
