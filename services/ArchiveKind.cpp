// The table of archive kinds.
#include "services/ArchiveKind.h"

#include "unarc/archive_names.h"

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

// What unarc32 reads is decided by its own name rules; this list only offers them in choosers
// (a first volume is what one chooses, so the later volumes' endings are left out).
const char* const kOtherPatterns[] = {"*.7z",      "*.rar", "*.tar",    "*.tgz",  "*.tar.gz",  "*.tbz",     "*.tbz2",
                                      "*.tar.bz2", "*.txz", "*.tar.xz", "*.tzst", "*.tar.zst", "*.tar.lz4", "*.tar.lz",
                                      "*.cab",     "*.iso", "*.cpio",   "*.xar",  "*.001"};

const KindRow* rowOf(ArchiveKind kind)
{
    for (const KindRow& row : kKinds) {
        if (row.kind == kind)
            return &row;
    }
    return nullptr;
}

const KindRow* rowEnding(const QString& name)
{
    for (const KindRow& row : kKinds) {
        if (name.endsWith(QLatin1String(row.extension), Qt::CaseInsensitive))
            return &row;
    }
    return nullptr;
}

QString fileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// The stem as the name spells it, blanks included.
QString untrimmedStem(const QString& name)
{
    const QString fileName = fileNameOf(name);
    if (const KindRow* row = rowEnding(fileName))
        return fileName.chopped(qstrlen(row->extension));
    const arc::unarc::ArchiveNameInfo info = arc::unarc::classifyArchiveName(fileName.toUtf8().toStdString());
    if (info.kind == arc::unarc::ArchiveNameKind::NotArchive)
        return fileName;
    return QString::fromStdString(info.stem);
}

QString trimmedBlanks(const QString& text)
{
    qsizetype start = 0;
    while (start < text.size() && text[start] == QLatin1Char(' '))
        ++start;
    qsizetype end = text.size();
    while (end > start && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.mid(start, end - start);
}

}  // namespace

ArchiveKind ArchiveKindOf(const QString& name)
{
    if (const KindRow* row = rowEnding(name))
        return row->kind;
    const arc::unarc::ArchiveNameInfo info = arc::unarc::classifyArchiveName(fileNameOf(name).toUtf8().toStdString());
    return info.kind == arc::unarc::ArchiveNameKind::NotArchive ? ArchiveKind::None : ArchiveKind::Other;
}

QString ExtensionOf(ArchiveKind kind)
{
    const KindRow* row = rowOf(kind);
    return row ? QLatin1String(row->extension) : QString();
}

Pack::Plugin ExtractorOf(ArchiveKind kind)
{
    if (kind == ArchiveKind::Other)
        return Pack::Plugin::UnArc;
    const KindRow* row = rowOf(kind);
    return row ? row->extractor : Pack::Plugin::UnZip;
}

std::optional<Pack::Plugin> CreatorOf(ArchiveKind kind)
{
    const KindRow* row = rowOf(kind);
    return row ? row->creator : std::nullopt;
}

QString ArchiveStem(const QString& name)
{
    return trimmedBlanks(untrimmedStem(name));
}

QString ArchiveEnding(const QString& name)
{
    return fileNameOf(name).mid(untrimmedStem(name).size()).toLower();
}

QString FirstVolumeOf(const QString& name)
{
    if (ArchiveKindOf(name) != ArchiveKind::Other)
        return name;
    return QString::fromStdString(arc::unarc::firstVolumePath(name.toUtf8().toStdString()));
}

QString NextVolumeOf(const QString& volume)
{
    if (ArchiveKindOf(volume) != ArchiveKind::Other)
        return {};
    const std::optional<std::string> next = arc::unarc::nextVolumePath(volume.toUtf8().toStdString());
    return next ? QString::fromStdString(*next) : QString();
}

QString ArchivePatterns()
{
    QStringList patterns;
    for (const KindRow& row : kKinds)
        patterns << QLatin1Char('*') + QLatin1String(row.extension);
    for (const char* pattern : kOtherPatterns)
        patterns << QLatin1String(pattern);
    return patterns.join(QLatin1Char(';'));
}
