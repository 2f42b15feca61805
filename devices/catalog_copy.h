// The catalog of a copied INF, taken from the catalog store and stored under
// the name the INF's "CatalogFile" entry gives it. Nothing to copy (no
// catalog in the store, no "CatalogFile") is not a failure.
#pragma once

#include "devices/device_classes.h"
#include "registry/registry_key.h"

#include <string>

// PCI: the installed INF named by "Mfg"; the store's catalog carries the
// INF's name with ".cat" for ".inf". A failed copy is tried once more.
bool CopyCatalogFile(CRegistryKey& instanceKey, DeviceCategory category, const std::wstring& strServiceName);

// ACPI: reads "CatalogFile" from the copy in the device folder; the store's
// catalog carries the found INF's name when that begins with "oem", else the
// "CatalogFile" value.
bool CopyAcpiCatalogFile(DeviceCategory category, const std::wstring& strServiceName,
                         const std::wstring& strSourceInf, const std::wstring& strTargetInf);

// Every ".inf" (lower case only) replaced by ".cat", left to right.
std::wstring ReplaceInfWithCat(const std::wstring& strText);
