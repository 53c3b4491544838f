// Which file names the unarc32 plug-in reads, by their extension, and how multi-volume sets
// are named. No I/O: these rules only look at names.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace arc::unarc {

enum class ArchiveNameKind {
    NotArchive,   // no extension of ours (LZH and ZIP go to their own plug-ins)
    Archive,      // a whole archive, or the first volume of a set: open this one
    LaterVolume,  // a later volume of a set (".part2.rar", ".r00", ".002"): the set is opened at its first
};

struct ArchiveNameInfo {
    ArchiveNameKind kind = ArchiveNameKind::NotArchive;
    // The file name without its directories, its format extension and its volume number
    // ("photos" for ".../photos.tar.gz", "photos.part3.rar" and "photos.7z.001").
    std::string stem;
};

// Decides by the last extensions of `path`'s file name, ignoring ASCII case: .7z, .rar, .tar,
// .tgz, .tar.gz, .tbz, .tbz2, .tar.bz2, .txz, .tar.xz, .tzst, .tar.zst, .tar.lz4, .tar.lz, .cab,
// .iso, .cpio, .xar and the volume names .partN.rar (N = 1 first), .r00-.r99 and .s00-.s99
// (after a ".rar"), and .NNN with three digits (".001" first: 7-Zip's split sets of 7z, ZIP or
// any other archive). The one answer the desktop and the plug-in both use.
ArchiveNameInfo classifyArchiveName(std::string_view path);

// The path of the set's first volume for a volume's `path` ("x.part3.rar" -> "x.part1.rar",
// "x.r04" -> "x.rar", "x.7z.005" -> "x.7z.001"); `path` itself when it names no later volume.
// The number keeps its width (".part03.rar" -> ".part01.rar") and the letters their case.
std::string firstVolumePath(std::string_view path);

// The path of the volume after `path` in its set's naming ("x.part1.rar" -> "x.part2.rar",
// "x.rar" -> "x.r00", "x.r99" -> "x.s00", "x.001" -> "x.002"); nullopt for a name that has no
// volume numbering (a ".tar.gz", say) or whose numbering ends there (".s99").
std::optional<std::string> nextVolumePath(std::string_view path);

}  // namespace arc::unarc
