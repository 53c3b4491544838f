// The four archiver plug-ins: loaded on first use from one directory, probed by their version
// query, and run through their callback entry points (UnlhaRun, ZipRun, UnZipRun, UnArcRun).
//
// Threading: a PluginLoader may be used from several threads at once; loading is guarded, and
// each run calls the listener only on the thread that called run(). One run at a time per
// listener.
#pragma once

#include <QDateTime>
#include <QList>
#include <QMutex>
#include <QString>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>

class QLibrary;

namespace Pack {

enum class Plugin { Unlha, Zip, UnZip, UnArc };

// The plug-in file's name ("libunlha32.so").
QString fileName(Plugin plugin);

// A plug-in file or one of its entry points is missing: the failed probe.
class ArchiverMissing : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The plug-ins' result codes (ArchiverResult in plugin_api.h, checked pair by pair in Pack.cpp).
enum Code : int {
    Ok = 0,
    BadCommand = 1,
    InputMissing = 2,
    ArchiveUnreadable = 3,
    ArchiveCorrupt = 4,
    WriteFailed = 5,
    UnsafeEntry = 6,
    CrcMismatch = 7,
    UnsupportedMethod = 8,
    NoMemory = 9,
    Cancelled = 10,
    PasswordRequired = 11,
    WrongPassword = 12,
    ArchiveInUse = 13,
    NameClash = 14,
    SpecialEntry = 15,
    ArchiveItself = 16,
    Internal = 99,
};

// One failed entry or file, as the plug-in reported it.
struct Failure {
    QString path;  // the entry's name or the file's path; empty for the archive as a whole
    int reason = Internal;
    int systemError = 0;  // errno, or 0
    QString message;      // English
};

// What a command returned: 0 for success, else the plug-in's code, with its message and every
// failure it reported.
struct CommandResult {
    int code = 0;
    QString message;
    QList<Failure> failures;
    bool ok() const { return code == 0; }
};

struct Progress {
    QString entryName;  // "" between entries
    std::uint64_t entryBytesDone = 0, entryBytesTotal = 0;
    std::uint64_t jobBytesDone = 0, jobBytesTotal = 0;  // total 0 while unknown
    std::uint64_t entriesDone = 0, entriesTotal = 0;
};

struct ExistingFile {
    QString path;  // relative to the destination
    std::uint64_t existingSize = 0;
    QDateTime existingTime;
    std::uint64_t newSize = 0;
    QDateTime newTime;  // invalid when the entry has none
};

enum class Overwrite { Overwrite, Skip, OverwriteAll, SkipAll, Cancel };

// What a command asks of its caller while it runs. Every method has the answer of a caller
// that does not listen: go on, no passphrase, overwrite.
class Listener {
public:
    virtual ~Listener() = default;
    // False stops the command (it then returns Cancelled).
    virtual bool progress(const Progress&) { return true; }
    // nullopt gives up on the entry.
    virtual std::optional<QString> passphrase(const QString& /*archive*/, const QString& /*entry*/,
                                              unsigned /*attempt*/)
    {
        return std::nullopt;
    }
    virtual Overwrite exists(const ExistingFile&) { return Overwrite::Overwrite; }
};

// What the runs need of the plug-ins; tests put a scripted engine in its place.
class Archivers {
public:
    virtual ~Archivers() = default;
    // Loads the plug-in and asks its version; throws ArchiverMissing when it cannot.
    virtual int version(Plugin plugin) = 0;
    // Runs one command; throws ArchiverMissing without a loadable plug-in.
    virtual CommandResult run(Plugin plugin, const QString& command, Listener* listener = nullptr) = 0;
    // Runs a command whose answer is its message (a list of members), with room for all of it.
    virtual CommandResult runForText(Plugin plugin, const QString& command) { return run(plugin, command); }
};

// The real plug-ins. They stay loaded for the loader's life once loaded.
class PluginLoader final : public Archivers {
public:
    // An empty directory means the program's own.
    explicit PluginLoader(QString directory = {});
    ~PluginLoader() override;

    void setDirectory(const QString& directory);
    QString directory() const;

    int version(Plugin plugin) override;
    CommandResult run(Plugin plugin, const QString& command, Listener* listener = nullptr) override;
    // Runs the command again with a larger buffer while its message fills the buffer, so it is
    // only for commands that change nothing.
    CommandResult runForText(Plugin plugin, const QString& command) override;

private:
    void* entry(Plugin plugin, const char* symbol);
    CommandResult runWithBuffer(Plugin plugin, const QString& command, Listener* listener, int bufferSize);

    mutable QMutex mutex_;
    QString directory_;
    std::map<QString, std::unique_ptr<QLibrary>> loaded_;
};

}  // namespace Pack
