// The two kinds of archive the program knows, by their plug-ins.
#pragma once

// LHA archives go through unlha32, ZIP archives through zip32j (creating) and unzip32
// (extracting). Lzh names the same kind as Lha.
enum class ArchiveKind { None = 0, Lha = 1, Zip = 2, Lzh = Lha };
