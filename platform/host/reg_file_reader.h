// Reads registry files in the format regedit exports and imports.
#pragma once

#include "registry_tree.h"

#include <string>

namespace host {

// Applies one .reg file to the tree: "Windows Registry Editor Version 5.00"
// (UTF-16LE with its FF FE mark, or UTF-8) or "REGEDIT4". Keys outside
// HKEY_LOCAL_MACHINE are read and ignored. On a malformed line nothing more
// is applied and *pError says "<name>:<line>: <reason>".
bool ReadRegFile(const std::string& path, std::string* pBytes, std::string* pError);
bool ApplyRegFile(const std::string& path, RegistryTree& tree, std::string* pError);
bool ApplyRegText(const std::string& bytes, const std::string& name, RegistryTree& tree, std::string* pError);

}  // namespace host
