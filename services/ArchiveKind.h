// The kinds of archive the program knows, decided from a name in this one place.
#pragma once

#include <QString>
#include <optional>

#include "services/Pack.h"

// Every kind is extracted through its plug-in and opens the extraction window when dropped;
// only the kinds with a creating plug-in can be made by the compression window. A new kind
// is one more value here and one more row in the table behind ArchiveKindOf.
enum class ArchiveKind { None, Lzh, Zip };

// The kind by the name's ending, in any case ("a.LZH" is LZH); None for any other name.
ArchiveKind ArchiveKindOf(const QString& name);
// The ending that names the kind, in lower case (".lzh").
QString ExtensionOf(ArchiveKind kind);
// The plug-in that extracts the kind.
Pack::Plugin ExtractorOf(ArchiveKind kind);
// The plug-in that creates the kind, if any.
std::optional<Pack::Plugin> CreatorOf(ArchiveKind kind);
