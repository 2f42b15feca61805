// MatchDeviceModel: does a parsed INF list a device for an architecture?
#pragma once

#include "inf/inf_file.h"
#include "inf/vendor_device.h"

#include <string>
#include <vector>

// Walks the INF's manufacturer entries, the models sections they name (the
// decorated ones before the plain one) and their model lines, and compares
// each line's hardware ID and first compatible ID with the device's IDs.
// platformWord is "x86" or "amd64"; with requireAmd64 set, only a manufacturer
// entry whose opening decoration names AMD64 is searched. The device IDs that
// take part in a comparison are upper-cased in place.
// True when a model line matched and its install section exists; the record
// is then complete. The search cuts and upper-cases copies only, never the
// INF's own text, so a second call on the same INF with the same device IDs
// (by then upper-cased) gives the same answer and the same record.
bool MatchDeviceModel(const wchar_t* platformWord, CInfFile& inf, std::vector<std::wstring>& hardwareIds,
                      CVendorDevice& device, bool requireAmd64);
