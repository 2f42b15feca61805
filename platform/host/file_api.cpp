// Files and folders of the image.
#include "handles.h"
#include "image_paths.h"
#include "image_state.h"
#include "platform_api.h"
#include "wide_text.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Resolves a path for a call; on failure sets the last error and returns false.
bool Resolve(const char* call, LPCWSTR lpPath, host::ResolvedPath* pResolved) {
    const std::wstring path = lpPath ? lpPath : L"";
    DWORD code = host::ResolveImagePath(path, pResolved);
    if (code == ERROR_SUCCESS && host::TakeFault(call, path, &code)) {
        SetLastError(code);
        return false;
    }
    if (code != ERROR_SUCCESS) {
        SetLastError(code);
        return false;
    }
    return true;
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// A file served from memory, as a descriptor the reads treat like any other.
int OpenServedFile(const std::string& bytes) {
    const int fd = memfd_create("served", MFD_CLOEXEC);
    if (fd < 0) return -1;
    if (!WriteAll(fd, bytes.data(), bytes.size()) || lseek(fd, 0, SEEK_SET) != 0) {
        const int err = errno;
        close(fd);
        errno = err;
        return -1;
    }
    return fd;
}

}  // namespace

// Names that Windows reserves for devices (image_paths.h): the null device
// reads as empty and swallows what is written; the stand-in's machine has no
// console, serial or parallel port to open by name, so those answer as a
// port the machine lacks. Neither ever becomes a file of the image.

DWORD GetFileAttributesW(LPCWSTR lpFileName) {
    host::ResolvedPath path;
    if (!Resolve("GetFileAttributesW", lpFileName, &path)) return INVALID_FILE_ATTRIBUTES;
    if (path.eDevice != host::DosDevice::None) {
        SetLastError(ERROR_INVALID_PARAMETER);  // a device has no file attributes
        return INVALID_FILE_ATTRIBUTES;
    }
    if (!path.bExists) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    return path.dwAttributes;
}

BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES) {
    host::ResolvedPath path;
    if (!Resolve("CreateDirectoryW", lpPathName, &path)) return FALSE;
    if (path.eDevice != host::DosDevice::None) {
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    if (path.bExists) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (path.bReadOnly) {
        SetLastError(ERROR_WRITE_PROTECT);
        return FALSE;
    }
    if (mkdir(path.strHost.c_str(), 0777) != 0) {
        SetLastError(host::Win32ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

// Copies the bytes and the read-only attribute (the one the image keeps, as
// the owner's write permission). An existing target that is read-only is
// not overwritten: Windows fails such a copy with ERROR_ACCESS_DENIED.
BOOL CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists) {
    host::ResolvedPath source;
    host::ResolvedPath target;
    if (!Resolve("CopyFileW", lpExistingFileName, &source)) return FALSE;
    const bool bNullSource = source.eDevice == host::DosDevice::Null;
    if (source.eDevice == host::DosDevice::Other || (!bNullSource && !source.bExists)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (source.bIsDirectory) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!Resolve("CopyFileW", lpNewFileName, &target)) return FALSE;
    if (target.eDevice == host::DosDevice::Other) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    if (target.bExists && target.bIsDirectory) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (target.bExists && bFailIfExists) {
        SetLastError(ERROR_FILE_EXISTS);
        return FALSE;
    }
    if (target.bReadOnly) {
        SetLastError(ERROR_WRITE_PROTECT);
        return FALSE;
    }
    if (target.bExists && (target.dwAttributes & FILE_ATTRIBUTE_READONLY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    const int in = bNullSource ? -1 : open(source.strHost.c_str(), O_RDONLY | O_CLOEXEC);
    if (!bNullSource && in < 0) {
        SetLastError(host::Win32ErrorFromErrno(errno));
        return FALSE;
    }
    if (target.eDevice == host::DosDevice::Null) {
        if (in >= 0) close(in);
        return TRUE;  // written to the null device: nothing to keep
    }
    struct stat inStat {};
    struct stat outStat {};
    if (in >= 0) fstat(in, &inStat);
    if (in >= 0 && target.bExists && stat(target.strHost.c_str(), &outStat) == 0 &&
        outStat.st_dev == inStat.st_dev && outStat.st_ino == inStat.st_ino) {
        close(in);
        SetLastError(ERROR_SHARING_VIOLATION);  // a file cannot be copied onto itself
        return FALSE;
    }
    const int out = open(target.strHost.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0) {
        SetLastError(host::Win32ErrorFromErrno(errno));
        if (in >= 0) close(in);
        return FALSE;
    }
    char buffer[1 << 16];
    DWORD error = ERROR_SUCCESS;
    while (in >= 0) {
        ssize_t n = read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = ERROR_READ_FAULT;
            break;
        }
        if (n == 0) break;
        if (!WriteAll(out, buffer, static_cast<size_t>(n))) {
            error = host::Win32ErrorFromErrno(errno);
            break;
        }
    }
    if (in >= 0) close(in);
    struct stat written {};
    if (error == ERROR_SUCCESS && (source.dwAttributes & FILE_ATTRIBUTE_READONLY) &&
        (fstat(out, &written) != 0 || fchmod(out, written.st_mode & 0777 & ~0222u) != 0)) {
        error = host::Win32ErrorFromErrno(errno);
    }
    if (close(out) != 0 && error == ERROR_SUCCESS) error = host::Win32ErrorFromErrno(errno);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                   DWORD dwCreationDisposition, DWORD, HANDLE) {
    // The program only ever opens existing files for reading.
    if (dwDesiredAccess != GENERIC_READ || dwCreationDisposition != OPEN_EXISTING) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return INVALID_HANDLE_VALUE;
    }
    int fd = -1;
    const auto& served = host::Image().servedFiles;
    const auto it = served.empty() || !lpFileName ? served.end() : served.find(host::FoldCase(lpFileName));
    if (it != served.end()) {
        fd = OpenServedFile(it->second);
    } else {
        host::ResolvedPath path;
        if (!Resolve("CreateFileW", lpFileName, &path)) return INVALID_HANDLE_VALUE;
        if (path.eDevice == host::DosDevice::Null) return host::RegisterHandle(new host::FileObject());  // reads nothing
        if (path.eDevice == host::DosDevice::Other || !path.bExists) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        if (path.bIsDirectory) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        fd = open(path.strHost.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (fd < 0) {
        SetLastError(host::Win32ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    auto* file = new host::FileObject();
    file->fd = fd;
    return host::RegisterHandle(file);
}

BOOL GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize) {
    auto* file = static_cast<host::FileObject*>(host::LookupHandle(hFile, host::HostObject::Kind::File));
    if (!file || !lpFileSize) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    struct stat st {};
    if (file->fd < 0) {
        lpFileSize->QuadPart = 0;  // the null device
        return TRUE;
    }
    if (fstat(file->fd, &st) != 0) {
        SetLastError(host::Win32ErrorFromErrno(errno));
        return FALSE;
    }
    lpFileSize->QuadPart = st.st_size;
    return TRUE;
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPOVERLAPPED) {
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
    auto* file = static_cast<host::FileObject*>(host::LookupHandle(hFile, host::HostObject::Kind::File));
    if (!file) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD code = 0;
    if (host::TakeFault("ReadFile", L"", &code)) {
        SetLastError(code);
        return FALSE;
    }
    auto* out = static_cast<char*>(lpBuffer);
    DWORD total = 0;
    while (file->fd >= 0 && total < nNumberOfBytesToRead) {
        ssize_t n = read(file->fd, out + total, nNumberOfBytesToRead - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            SetLastError(ERROR_READ_FAULT);
            if (lpNumberOfBytesRead) *lpNumberOfBytesRead = total;
            return FALSE;
        }
        if (n == 0) break;
        total += static_cast<DWORD>(n);
    }
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = total;
    return TRUE;
}

BOOL CloseHandle(HANDLE hObject) {
    if (host::ReleaseHandle(hObject, host::HostObject::Kind::File) ||
        host::ReleaseHandle(hObject, host::HostObject::Kind::Token)) {
        return TRUE;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
