// The command strings of the two ZIP plug-ins, parsed and carried out.
#pragma once

#include <string_view>

#include "common/job.h"
#include "common/status.h"

namespace arc::zip {

// zip32j: `[switches] ARCHIVE [BASE/] ITEM...`. Every word that starts with "-" is a switch,
// wherever it stands: -r (recurse; folders always are), -j (store files by their bare names),
// -q, -v, -n, -n1 (accepted, no effect), -0 (store) .. -9 (smallest), default -6. Letters may
// be combined ("-rjq"). The first other word is the archive; a word ending in "/" right after
// it is the base directory, and each ITEM is then a folder pattern relative to it ("N/*.*",
// "N/*", "N", or "*.*" / "*" for everything in the base), stored as "N/...". Without a base
// each ITEM is a path: a file is stored by its bare name (with -j) or its path, a folder as
// its last component and everything below it. Nothing is written when a named item is missing;
// a FIFO, device or socket, the archive itself, or a file and a folder of one name are left out
// and named in the result (SpecialEntry, ArchiveItself, NameClash) while the rest is stored.
ArcResult runZipCommand(std::string_view command, Job& job);
ArcResult runZipCommand(std::string_view command);

// unzip32: `[switches] ARCHIVE DEST/`: extracts everything with paths under DEST, creating it.
// Switches: -x (extract), -v, --i, -n, -n1, -q, -o, combinable as "-xv"; all extract the same way.
// `-l ARCHIVE` lists instead: the message holds every member's decoded name, one per line.
ArcResult runUnzipCommand(std::string_view command, Job& job);
ArcResult runUnzipCommand(std::string_view command);

}  // namespace arc::zip
