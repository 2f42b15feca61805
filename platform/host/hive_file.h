// One registry hive file of the image, read through libhivex. The file and
// its transaction logs are only ever read; a dirty hive is brought up to date
// from its logs in memory first.
#pragma once

#include "registry_tree.h"

#include <memory>
#include <string>
#include <vector>

struct hive_h;

namespace host {

class HiveFile : public RegistryNodeSource {
public:
    ~HiveFile() override;
    HiveFile(const HiveFile&) = delete;
    HiveFile& operator=(const HiveFile&) = delete;

    // Opens the hive at a host path. Warnings (a dirty hive whose recent
    // changes may be missing, a log that stopped at a bad entry) are added to
    // *pWarnings, one line each. Null with *pError naming the file when it
    // is no hive that can be read.
    static std::unique_ptr<HiveFile> Open(const std::string& path, std::vector<std::string>* pWarnings,
                                          std::string* pError);

    // Makes the node stand for the hive's root key; its content is read when
    // it is first looked into, and so on down.
    void Attach(RegistryNode& node);

    void Fill(RegistryNode& node, size_t nSourceKey) override;

private:
    explicit HiveFile(hive_h* pHive) : m_pHive(pHive) {}

    hive_h* m_pHive;
};

}  // namespace host
