// The kinds of archive the program knows, decided from a name in this one place.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "services/Pack.h"

// Every kind is extracted through its plug-in and opens the extraction window when dropped;
// only the kinds with a creating plug-in can be made by the compression window. Other stands
// for everything unarc32 reads (7z, RAR, tar.*, CAB, cpio, ISO, xar, split sets), any volume of
// a set included. Nothing here looks at the disk: the names alone decide.
enum class ArchiveKind { None, Lzh, Zip, Other };

// The kind by the name's ending, in any case ("a.LZH" is LZH, "b.Tar.Gz" and "c.part3.rar" are
// Other); None for any other name.
ArchiveKind ArchiveKindOf(const QString& name);
// The ending that names a kind made by the compression window, in lower case (".lzh"); empty
// for the kinds whose ending varies.
QString ExtensionOf(ArchiveKind kind);
// The plug-in that extracts the kind.
Pack::Plugin ExtractorOf(ArchiveKind kind);
// The plug-in that creates the kind, if any.
std::optional<Pack::Plugin> CreatorOf(ArchiveKind kind);

// The archive's file name without its directories and its kind's ending (a set's volume number
// included), blanks around it trimmed: "/in/foo.lzh" and "/in/ foo.part2.rar" give "foo",
// "/in/.lzh" gives "".
QString ArchiveStem(const QString& name);
// What follows the stem in the file name, in lower case: ".zip", ".tar.gz", ".part2.rar".
QString ArchiveEnding(const QString& name);
// The path of the first volume of the set that `name` belongs to ("x.r03" -> "x.rar"); `name`
// itself for an archive that is no later volume.
QString FirstVolumeOf(const QString& name);
// The path of the volume that would follow `volume` in its set; empty when its naming has none.
QString NextVolumeOf(const QString& volume);

// The choosers' patterns for every archive the program extracts ("*.lzh;*.zip;*.7z;...").
QString ArchivePatterns();
