// The image's hive files joined to its registry tree.
#pragma once

#include "image_state.h"

#include <string>

namespace host {

// Mounts the hive file at a host path as HKEY_LOCAL_MACHINE\<rootName>; its
// keys are read as the run looks into them. Warnings about the hive go to
// standard error. False with *pError naming the file.
bool MountHive(ImageState& image, const std::wstring& rootName, const std::string& path, std::string* pError);

// A hive on disk has no CurrentControlSet: Windows links it at boot to the
// ControlSetNNN that SYSTEM\Select Current names, and so does this.
bool LinkCurrentControlSet(RegistryTree& tree, const std::string& systemPath, std::string* pError);

}  // namespace host
