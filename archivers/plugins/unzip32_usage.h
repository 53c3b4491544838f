// The command grammar of libunzip32.so, as `pellum-arc --help` prints it.
#pragma once

inline constexpr char kUnzipUsage[] =
    "libunzip32.so  extracts ZIP archives\n"
    "  -xv --i \"ARCHIVE.zip\" \"/dest/dir/\"         extract everything with paths into /dest/dir,\n"
    "                                             creating it\n"
    "  Names are read as UTF-8 when the archive marks them so (or carries a Unicode path),\n"
    "  else as UTF-8, CP932 or CP437, whichever fits. Entries that would land outside the\n"
    "  destination, and symbolic links, are skipped and reported; the rest is extracted. A file\n"
    "  appears under its name only after its CRC-32 checked out.\n"
    "  Switches: -x -v --i -n -n1 -q -o (combinable, as in -xv); all extract the same way.\n"
    "  Result: 0 on success, else an error code with a message.\n";
