#include "common/folders.h"

#include "platform.h"

bool EnsureFolder(const std::wstring& strPath) {
    if (GetFileAttributesW(strPath.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    return CreateDirectoryW(strPath.c_str(), nullptr) != FALSE;
}
