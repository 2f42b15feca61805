// Stage 3: the PCI devices of the four classes, their drivers copied.
#pragma once

// False when the PCI tree cannot be read or any selected device failed.
bool CopyPciDrivers();
