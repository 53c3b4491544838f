// The command grammar of libunarc32.so, as `pellum-arc --help` prints it.
#pragma once

inline constexpr char kUnarcUsage[] =
    "libunarc32.so  extracts and lists 7z, RAR, tar, cpio, ISO, CAB and xar archives\n"
    "  x -n \"ARCHIVE\" \"/dest/dir/\"                extract everything with paths, creating dest\n"
    "  l \"ARCHIVE\"                                list the entry names, one per line, decoded as\n"
    "                                             extraction decodes them\n"
    "  Formats: 7z (every method libarchive has, BCJ/BCJ2, solid), RAR 4 and RAR 5 (solid too),\n"
    "  tar (ustar, gnu, pax; plain, gzip, bzip2, xz, zstd, lz4, lzip, lzma, compress), cpio,\n"
    "  ISO 9660 (Rock Ridge, Joliet), CAB, xar, and ZIP in split sets.\n"
    "  Sets: name the first volume or any other; the set is read from its first volume, through\n"
    "  every following one: x.part1.rar (.part01.rar ...), x.rar + x.r00, x.r01 ..., and\n"
    "  x.7z.001 / x.zip.001 (7-Zip's split sets). A missing volume fails the entries it held.\n"
    "  Names: Unicode names as stored; others as UTF-8 when valid, else CP932, else Latin-1; a\n"
    "  name ends at a NUL byte. Entries that would land outside the destination, links pointing\n"
    "  outside it, and devices, FIFOs and sockets are skipped and reported; hard links become\n"
    "  hard links to the file extracted under their target's name. A file appears under its name\n"
    "  only complete; a full destination stops the command.\n"
    "  Encryption: ZIP entries ask for the passphrase through the caller's callback (UnArcRun);\n"
    "  encrypted 7z and RAR entries are reported as encrypted, not supported.\n"
    "  Switches: -n -n1 -q -v --i -r -r2 -x -x1   accepted, no visible effect\n"
    "  Result: 0 on success, else an error code with a message.\n";
