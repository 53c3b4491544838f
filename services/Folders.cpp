// Missing and empty folders.
#include "services/Folders.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

QStringList MissingFolders(const QString& folder)
{
    QStringList missing;
    for (QString at = QDir::cleanPath(QFileInfo(folder).absoluteFilePath()); !QFileInfo::exists(at);) {
        missing.prepend(at);
        const QString parent = QFileInfo(at).absolutePath();
        if (parent == at)
            break;
        at = parent;
    }
    return missing;
}

void RemoveEmptyFolders(const QStringList& made)
{
    QStringList deepestFirst = made;
    std::sort(deepestFirst.begin(), deepestFirst.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (const QString& folder : deepestFirst)
        QDir().rmdir(folder);  // refuses a folder that is not empty
}
