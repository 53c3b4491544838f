// The freedesktop form of the file association: a desktop entry plus mimeapps.list defaults.
#include "services/Association.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>

namespace {

constexpr char kEntryName[] = "pellum-file.desktop";
// The names shared-mime-info gives LZH and ZIP archives, with the LZH alias some tools use.
const QStringList kMimeTypes = {"application/x-lha", "application/x-lzh-compressed", "application/zip"};

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
                          "Name=Pellum file\n"
                          "Name[ja]=Pellum file\n"
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
        .arg(exec, kMimeTypes.join(QLatin1Char(';')));
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

}  // namespace

QString AssociationExec(const QString& path)
{
    return quoteArgument(path) + QStringLiteral(" %f");
}

QString WithOurDefaults(const QString& mimeapps)
{
    QStringList lines = mimeapps.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();

    const QString group = QStringLiteral("[Default Applications]");
    qsizetype start = lines.indexOf(group);
    if (start < 0) {
        if (!lines.isEmpty() && !lines.constLast().trimmed().isEmpty())
            lines << QString();
        lines << group;
        start = lines.size() - 1;
    }
    qsizetype end = start + 1;
    while (end < lines.size() && !lines[end].trimmed().startsWith(QLatin1Char('[')))
        ++end;

    for (const QString& type : kMimeTypes) {
        const QString line = type + QLatin1Char('=') + QLatin1String(kEntryName) + QLatin1Char(';');
        bool replaced = false;
        for (qsizetype i = start + 1; i < end; ++i) {
            if (lines[i].section(QLatin1Char('='), 0, 0).trimmed() == type) {
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

void AssociateArchives()
{
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    writeWhole(dataHome + QStringLiteral("/applications/") + QLatin1String(kEntryName),
               desktopEntry(AssociationExec(programPath())));
    const QString mimeapps = configHome + QStringLiteral("/mimeapps.list");
    writeWhole(mimeapps, WithOurDefaults(readWhole(mimeapps)));
}
