// Looking up and reading files of the host by the rules Windows names follow.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>
#include <vector>

namespace host {

// The name of the entry of a host folder that equals `name` ignoring case
// (the exact spelling first); empty when there is none. With pStat, the
// entry's own status (links not followed) is left there.
std::string FindEntryNoCase(const std::string& folder, const std::string& name, struct stat* pStat = nullptr);

// Reads a regular file whole. False with *pError (naming the file) when it
// cannot be read or is larger than nMaxBytes.
bool ReadWholeFile(const std::string& path, size_t nMaxBytes, std::vector<unsigned char>* pBytes,
                   std::string* pError);

}  // namespace host
