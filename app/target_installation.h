// Stage 1: finds the rescue-media builder's installation and refuses one
// whose architecture differs from the running Windows.
#pragma once

// Sets g_strInstallDir and g_bTargetIsX64; false when the installation is
// missing or of the other architecture.
bool LocateTargetInstallation();
