// The freedesktop form of the file association: a desktop entry plus mimeapps.list defaults.
#include "services/Association.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>

namespace {

constexpr char kEntryName[] = "pellum-file.desktop";
constexpr char kInstalledEntryName[] = "io.github.tembrel.Tembrel.desktop";
constexpr char kDefaultsGroup[] = "[Default Applications]";

// Each archive type under every name a mimeapps.list may give it: shared-mime-info's own name
// first, then its aliases, which the desktop reads as the same type.
const QList<QStringList> kArchiveTypes = {
    {"application/x-lha", "application/x-lzh-compressed"},
    {"application/zip", "application/x-zip-compressed", "application/x-zip"},
};

QStringList allTypeNames()
{
    QStringList names;
    for (const QStringList& type : kArchiveTypes)
        names << type;
    return names;
}

QString programPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/pellum");
}

// Desktop entries quote arguments in double quotes, escaping " ` $ \ inside; the file format
// then escapes each backslash once more.
QString quoteArgument(const QString& argument)
{
    QString quoted;
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString desktopEntry(const QString& exec)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Tembrel\n"
                          "Comment=LZH/ZIP archive\n"
                          "Exec=%1\n"
                          "Icon=tembrel\n"
                          "MimeType=%2;\n"
                          "NoDisplay=true\n"
                          "Terminal=false\n"
                          "Actions=melt;\n"
                          "\n"
                          "[Desktop Action melt]\n"
                          "Name=解凍\n"
                          "Exec=%1\n")
        .arg(exec, allTypeNames().join(QLatin1Char(';')));
}

bool writeWhole(const QString& path, const QString& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text.toUtf8());
    return file.commit();
}

QString readWhole(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QString userMimeapps()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/mimeapps.list");
}

bool isGroupHeader(const QString& line)
{
    return line.trimmed().startsWith(QLatin1Char('['));
}

QString keyOf(const QString& line)
{
    return line.section(QLatin1Char('='), 0, 0).trimmed();
}

// `mimeapps` with `entry` as the default for each of `types` in [Default Applications].
QString withDefaults(const QString& mimeapps, const QString& entry, const QStringList& types)
{
    QStringList lines = mimeapps.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();

    const QString group = QLatin1String(kDefaultsGroup);
    qsizetype start = lines.indexOf(group);
    if (start < 0) {
        if (!lines.isEmpty() && !lines.constLast().trimmed().isEmpty())
            lines << QString();
        lines << group;
        start = lines.size() - 1;
    }
    qsizetype end = start + 1;
    while (end < lines.size() && !isGroupHeader(lines[end]))
        ++end;

    for (const QString& type : types) {
        const QString line = type + QLatin1Char('=') + entry + QLatin1Char(';');
        bool replaced = false;
        for (qsizetype i = start + 1; i < end; ++i) {
            if (keyOf(lines[i]) == type) {
                lines[i] = line;
                replaced = true;
                break;
            }
        }
        if (!replaced)
            lines.insert(end++, line);
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

// The entries that `mimeapps` names as defaults for any of `names`.
QStringList defaultsNamed(const QString& mimeapps, const QStringList& names)
{
    QStringList entries;
    bool inDefaults = false;
    for (const QString& line : mimeapps.split(QLatin1Char('\n'))) {
        if (isGroupHeader(line))
            inDefaults = line.trimmed() == QLatin1String(kDefaultsGroup);
        else if (inDefaults && names.contains(keyOf(line)))
            entries << line.section(QLatin1Char('='), 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    }
    return entries;
}

// Every file the desktop reads defaults from, in its order: in each configuration folder, then
// each applications folder, the current desktops' own lists before the general one; last the
// older defaults.list that GLib still reads.
QStringList mimeappsFiles()
{
    const QStringList desktops =
        qEnvironmentVariable("XDG_CURRENT_DESKTOP").toLower().split(QLatin1Char(':'), Qt::SkipEmptyParts);
    const QStringList applicationFolders = QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
    QStringList files;
    for (const QString& folder :
         QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation) + applicationFolders) {
        for (const QString& desktop : desktops)
            files << folder + QLatin1Char('/') + desktop + QStringLiteral("-mimeapps.list");
        files << folder + QStringLiteral("/mimeapps.list");
    }
    for (const QString& folder : applicationFolders)
        files << folder + QStringLiteral("/defaults.list");
    return files;
}

bool isInstalled(const QString& entry)
{
    return !QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entry.trimmed()).isEmpty();
}

// A default that names an entry no longer installed is skipped by the desktop, and so here.
bool hasDefault(const QStringList& typeNames)
{
    for (const QString& file : mimeappsFiles()) {
        for (const QString& entry : defaultsNamed(readWhole(file), typeNames)) {
            if (isInstalled(entry))
                return true;
        }
    }
    return false;
}

// The installed entry runs `pellum` from PATH; it is ours only when that is this program, not
// another copy of it.
bool installedEntryStartsThisProgram()
{
    if (!isInstalled(QLatin1String(kInstalledEntryName)))
        return false;
    const QString command = QStandardPaths::findExecutable(QStringLiteral("pellum"));
    return !command.isEmpty() && QFileInfo(command).canonicalFilePath() ==
                                     QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
}

// The entry that opens archives with this program; our own is written afresh each time, so it
// names the program's current place.
QString handlerEntry()
{
    if (installedEntryStartsThisProgram())
        return QLatin1String(kInstalledEntryName);
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    writeWhole(dataHome + QStringLiteral("/applications/") + QLatin1String(kEntryName),
               desktopEntry(AssociationExec(programPath())));
    return QLatin1String(kEntryName);
}

}  // namespace

QString AssociationExec(const QString& path)
{
    return quoteArgument(path) + QStringLiteral(" %f");
}

QString WithOurDefaults(const QString& mimeapps)
{
    return withDefaults(mimeapps, QLatin1String(kEntryName), allTypeNames());
}

void AssociateArchives()
{
    const QString entry = handlerEntry();
    const QString mimeapps = userMimeapps();
    writeWhole(mimeapps, withDefaults(readWhole(mimeapps), entry, allTypeNames()));
}

void RegisterArchiveHandler()
{
    const QString entry = handlerEntry();
    QStringList types;
    for (const QStringList& type : kArchiveTypes) {
        if (!hasDefault(type))
            types << type;
    }
    if (types.isEmpty())
        return;
    const QString mimeapps = userMimeapps();
    writeWhole(mimeapps, withDefaults(readWhole(mimeapps), entry, types));
}
