// The command grammar of libzip32j.so, as `pellum-arc --help` prints it.
#pragma once

inline constexpr char kZipUsage[] =
    "libzip32j.so  creates ZIP archives and adds to them\n"
    "  -r -j -q \"ARCHIVE.zip\" \"/path/file\"       add one file under its bare name\n"
    "  -r -q \"ARCHIVE.zip\" \"/base/dir/\" N/*.*     add folder /base/dir/N recursively as N/...\n"
    "                                             (\"*.*\" or \"*\" alone: everything in the base)\n"
    "  The archive is created when missing; a member of the same name is replaced (its old\n"
    "  bytes are dropped). The new archive is built beside the old one and renamed over it, so\n"
    "  a crash leaves the old or the new archive, and a failure or cancel the old one as it was.\n"
    "  One command at a time changes an archive; another waits up to 10 s (archive-in-use).\n"
    "  FIFOs, devices and sockets, the archive itself, and a file and a folder of one name are\n"
    "  skipped and named (special-entry, archive-itself, name-clash); the rest is stored.\n"
    "  Switches (any word starting with \"-\", letters combinable):\n"
    "    -0            store without compression\n"
    "    -1 .. -9      deflate, fastest .. smallest (default -5)\n"
    "    -j            store files by their bare names\n"
    "    -r -q -v -n -n1   accepted, no visible effect (folders are always recursed)\n"
    "  Result: 0 on success, else an error code with a message.\n";
