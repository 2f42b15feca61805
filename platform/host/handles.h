// Kernel object handles of the stand-in: files, directory searches, tokens.
#pragma once

#include "platform_api.h"

#include <string>
#include <vector>

namespace host {

struct HostObject {
    enum class Kind { File, Search, Token, Process };
    explicit HostObject(Kind k) : kind(k) {}
    virtual ~HostObject() = default;
    Kind kind;
};

struct FileObject : HostObject {
    FileObject() : HostObject(Kind::File) {}
    ~FileObject() override;
    int fd = -1;
};

struct SearchObject : HostObject {
    SearchObject() : HostObject(Kind::Search) {}
    std::vector<WIN32_FIND_DATAW> entries;
    size_t next = 0;
};

struct TokenObject : HostObject {
    TokenObject() : HostObject(Kind::Token) {}
};

HANDLE RegisterHandle(HostObject* object);
// The live object of a handle, when it is of that kind; null otherwise.
HostObject* LookupHandle(HANDLE handle, HostObject::Kind kind);
bool ReleaseHandle(HANDLE handle, HostObject::Kind kind);

}  // namespace host
