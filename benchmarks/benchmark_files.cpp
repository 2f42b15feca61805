#include "benchmark_files.h"

#include <fstream>
#include <sys/stat.h>

namespace bench {

void MakeDirs(const std::string& path) {
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos == path.size() || path[pos] == '/') mkdir(path.substr(0, pos).c_str(), 0777);
    }
}

void WriteFile(const std::string& path, const std::string& bytes) {
    MakeDirs(path.substr(0, path.rfind('/')));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace bench
