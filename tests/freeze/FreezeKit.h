// Helpers for the compression tests: real file trees,
// and archives read back by peer tools.
#pragma once

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// relative path -> contents, "<dir>" for a directory
using Tree = QMap<QString, QByteArray>;
inline const QByteArray kDirectory = "<dir>";

inline void WriteFile(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

// Writes `tree` below `root`.
inline void WriteTree(const QString& root, const Tree& tree)
{
    for (auto it = tree.begin(); it != tree.end(); ++it) {
        if (it.value() == kDirectory)
            QDir().mkpath(root + "/" + it.key());
        else
            WriteFile(root + "/" + it.key(), it.value());
    }
}

inline Tree ReadTree(const QString& root)
{
    Tree tree;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(root).relativeFilePath(path);
        if (it.fileInfo().isDir()) {
            tree[relative] = kDirectory;
        } else {
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            tree[relative] = file.readAll();
        }
    }
    return tree;
}

inline bool RunPeer(const QString& program, const QStringList& arguments, QByteArray* output = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(600000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning() << program << arguments << process.readAllStandardError();
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return true;
}

// The archive extracted by a peer tool (bsdtar for LZH, 7zz for ZIP), read back as a tree.
inline Tree PeerExtracted(const QString& archive)
{
    QTemporaryDir out;
    const bool lzh = archive.endsWith(".lzh", Qt::CaseInsensitive);
    const bool ok = lzh ? RunPeer("bsdtar", {"-xf", archive, "-C", out.path()})
                        : RunPeer("7zz", {"x", "-y", "-bd", "-o" + out.path(), archive});
    if (!ok)
        return {{"<peer failed>", archive.toUtf8()}};
    return ReadTree(out.path());
}

// The member names a peer lists (bsdtar reads both formats), directories without their "/".
inline QStringList PeerListed(const QString& archive)
{
    QByteArray output;
    if (!RunPeer("bsdtar", {"-tf", archive}, &output))
        return {"<peer failed>"};
    QStringList names;
    for (QString name : QString::fromUtf8(output).split('\n', Qt::SkipEmptyParts)) {
        while (name.endsWith('/'))
            name.chop(1);
        names << name;
    }
    names.sort();
    return names;
}

inline QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// "LZH" or "ZIP" by the file's own signature.
inline QString FormatOf(const QString& path)
{
    const QByteArray head = FileBytes(path).left(8);
    if (head.startsWith("PK"))
        return "ZIP";
    if (head.mid(2, 3) == "-lh")
        return "LZH";
    return "?";
}
