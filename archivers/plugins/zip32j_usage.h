// The command grammar of libzip32j.so, as `pellum-arc --help` prints it.
#pragma once

inline constexpr char kZipUsage[] =
    "libzip32j.so  creates ZIP archives and adds to them\n"
    "  -r -j -q \"ARCHIVE.zip\" \"/path/file\"       add one file under its bare name\n"
    "  -r -q \"ARCHIVE.zip\" \"/base/dir/\" N/*.*     add folder /base/dir/N recursively as N/...\n"
    "                                             (\"*.*\" or \"*\" alone: everything in the base)\n"
    "  The archive is created when missing; a member of the same name is replaced. Adding\n"
    "  writes only the new data and a new directory; on failure the archive is left as it was.\n"
    "  Switches (any word starting with \"-\", letters combinable):\n"
    "    -0            store without compression\n"
    "    -1 .. -9      deflate, fastest .. smallest (default -6)\n"
    "    -j            store files by their bare names\n"
    "    -r -q -v -n -n1   accepted, no visible effect (folders are always recursed)\n"
    "  Result: 0 on success, else an error code with a message.\n";
