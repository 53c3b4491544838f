// The command grammar of libunlha32.so, as `pellum-arc --help` prints it.
#pragma once

inline constexpr char kUnlhaUsage[] =
    "libunlha32.so  creates, adds to, lists and extracts LZH archives\n"
    "  a -n1 \"ARCHIVE.lzh\" \"/path/file\"              add one file under its bare name\n"
    "  a \"ARCHIVE.lzh\" \"/base/dir/\" N/*.* -x -n1 -r2  add folder /base/dir/N recursively as N/...\n"
    "                                               (directory entries included; \"*.*\" alone:\n"
    "                                               everything in the base)\n"
    "  x -n \"ARCHIVE.lzh\" \"/dest/dir/\"               extract everything with paths, creating dest\n"
    "  l \"ARCHIVE.lzh\"                                list the member paths\n"
    "  Reading: methods -lh0- .. -lh7-, -lhd-, and LArc's -lz4-, -lz5-, -lzs-; header levels\n"
    "  0 to 3 (OS-9's short level-2 headers too). Other methods (-lhx-, -pm?-, ...) are\n"
    "  skipped and reported. Names are taken below the destination; a link\n"
    "  (\"name|target\") is made only when its target stays inside; FIFOs, devices and sockets\n"
    "  are skipped and reported. A cancelled extraction keeps the files already complete.\n"
    "  The archive is created when missing. New members are written over the end marker; a\n"
    "  member of the same path is replaced by rewriting the archive, copying the other members\n"
    "  as they are. On failure the archive is left exactly as it was.\n"
    "  Switches (any word starting with \"-\", anywhere):\n"
    "    -lh5          compress with -lh5- (8 KiB window; the default)\n"
    "    -lh6          compress with -lh6- (32 KiB window)\n"
    "    -lh7          compress with -lh7- (64 KiB window)\n"
    "    -lh0, -z      store without compression\n"
    "    -n -n1 -r -r2 -x -x1 -q -v --i   accepted, no visible effect\n"
    "  Members that do not shrink, and empty ones, are stored (-lh0-). Names are written in\n"
    "  CP932, with UTF-16 name headers when a name has characters outside CP932.\n"
    "  Result: 0 on success, else an error code with a message.\n";
