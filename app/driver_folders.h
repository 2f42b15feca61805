// Stage 2: the category folders of the tree of copied drivers under the
// installation. The per-device folders below them are the scans' own.
#pragma once

// Sets the three category folder globals and creates those that are
// missing; false if any of them cannot be created.
bool CreateDriverFolders();
