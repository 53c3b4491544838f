// The table of archive kinds.
#include "services/ArchiveKind.h"

namespace {

struct KindRow {
    ArchiveKind kind;
    const char* extension;
    Pack::Plugin extractor;
    std::optional<Pack::Plugin> creator;
};

const KindRow kKinds[] = {
    {ArchiveKind::Lzh, ".lzh", Pack::Plugin::Unlha, Pack::Plugin::Unlha},
    {ArchiveKind::Zip, ".zip", Pack::Plugin::UnZip, Pack::Plugin::Zip},
};

const KindRow* rowOf(ArchiveKind kind)
{
    for (const KindRow& row : kKinds) {
        if (row.kind == kind)
            return &row;
    }
    return nullptr;
}

}  // namespace

ArchiveKind ArchiveKindOf(const QString& name)
{
    // The longest matching ending wins, so a ".tar.gz" row would beat a ".gz" row.
    const KindRow* best = nullptr;
    for (const KindRow& row : kKinds) {
        const QLatin1String extension(row.extension);
        if (name.endsWith(extension, Qt::CaseInsensitive) && (!best || extension.size() > qstrlen(best->extension)))
            best = &row;
    }
    return best ? best->kind : ArchiveKind::None;
}

QString ExtensionOf(ArchiveKind kind)
{
    const KindRow* row = rowOf(kind);
    return row ? QLatin1String(row->extension) : QString();
}

Pack::Plugin ExtractorOf(ArchiveKind kind)
{
    const KindRow* row = rowOf(kind);
    return row ? row->extractor : Pack::Plugin::UnZip;
}

std::optional<Pack::Plugin> CreatorOf(ArchiveKind kind)
{
    const KindRow* row = rowOf(kind);
    return row ? row->creator : std::nullopt;
}
