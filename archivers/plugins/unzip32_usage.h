// The command grammar of libunzip32.so, as `pellum-arc --help` prints it.
#pragma once

inline constexpr char kUnzipUsage[] =
    "libunzip32.so  extracts ZIP archives\n"
    "  -xv --i \"ARCHIVE.zip\" \"/dest/dir/\"         extract everything with paths into /dest/dir,\n"
    "                                             creating it\n"
    "  -l \"ARCHIVE.zip\"                             list the member names, one per line, decoded\n"
    "                                             as extraction decodes them\n"
    "  Names are read as UTF-8 when the archive marks them so (or carries a Unicode path),\n"
    "  else as UTF-8, CP932 or CP437, whichever fits; a name ends at a NUL byte. Entries that\n"
    "  would land outside the destination, links pointing outside it, and devices, FIFOs and\n"
    "  sockets are skipped and reported; the rest is extracted. A file appears under its name\n"
    "  only after its CRC-32 (or AES authentication code) checked out.\n"
    "  Methods: stored, deflate, Deflate64, bzip2, LZMA, XZ, Zstandard, PPMd. Encryption:\n"
    "  ZipCrypto and WinZip AES; the passphrase is asked through the caller's callback (UnZipRun),\n"
    "  once per archive; without one, encrypted entries fail with a password code.\n"
    "  Switches: -x -v --i -n -n1 -q -o (combinable, as in -xv); all extract the same way.\n"
    "  Result: 0 on success, else an error code with a message.\n";
