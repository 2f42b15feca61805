// Stage 4: the ACPI devices of the four classes; their INF files are found
// by hardware ID among the installed INF files.
#pragma once

// False when the ACPI tree cannot be read or any selected device failed.
bool CopyAcpiDrivers();
