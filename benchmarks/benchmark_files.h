// Writing the benchmark machines' files on the host.
#pragma once

#include <string>

namespace bench {

// Creates a folder and the ones above it that are missing.
void MakeDirs(const std::string& path);
// Writes a file, creating its folder.
void WriteFile(const std::string& path, const std::string& bytes);

}  // namespace bench
