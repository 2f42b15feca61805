#include "handles.h"

#include <unistd.h>

#include <set>

namespace host {
namespace {

std::set<HostObject*>& LiveObjects() {
    static std::set<HostObject*> objects;
    return objects;
}

}  // namespace

FileObject::~FileObject() {
    if (fd >= 0) close(fd);
}

HANDLE RegisterHandle(HostObject* object) {
    LiveObjects().insert(object);
    return object;
}

HostObject* LookupHandle(HANDLE handle, HostObject::Kind kind) {
    auto* object = static_cast<HostObject*>(handle);
    if (LiveObjects().count(object) == 0 || object->kind != kind) return nullptr;
    return object;
}

bool ReleaseHandle(HANDLE handle, HostObject::Kind kind) {
    HostObject* object = LookupHandle(handle, kind);
    if (!object) return false;
    LiveObjects().erase(object);
    delete object;
    return true;
}

}  // namespace host
