// An image that is only read: the driver folders of the rescue-media builder
// are a host folder of the user's choice, and a builder that is not
// installed on the image can be named on the command line.
#pragma once

#include "image_state.h"

#include <string>
#include <vector>

namespace host {

// Called once the image's registry is read. With --output, the image becomes
// read-only and the builder's <InstallDir>\Tessaro\Drivers\ is that folder;
// with --variant and no builder in the registry, the builder is taken to be
// installed in C:\Program Files\Tessaro\Pelvane as that variant. False with
// *pError for an unusable option.
bool PrepareOutputFolder(ImageState& image, std::string* pError);

enum class OutputRedirect {
    None,           // an ordinary path of the image
    OutputFolder,   // below the driver folders: *pParts now start below them
    PresentFolder,  // the x64 marker of a builder named by --variant x64
    MissingFolder,  // the same for --variant x86
};

// Where a normalised image path (drive letter in lower case, components)
// leads in read-only mode.
OutputRedirect RedirectToOutputFolder(wchar_t drive, std::vector<std::wstring>* pParts);

}  // namespace host
