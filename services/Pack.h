// The three archiver plug-ins, loaded on first use from the program's own directory.
#pragma once

#include <QString>
#include <cstdint>
#include <stdexcept>

namespace Pack {

// A plug-in file or one of its entry points is missing: the failed probe, for the caller's trap.
class ArchiverMissing : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What a command returned: 0 for success, else the plug-in's code, with its message.
struct CommandResult {
    int code = 0;
    QString message;
    bool ok() const { return code == 0; }
};

// The version queries probe the plug-in: they load it and throw ArchiverMissing when it
// cannot be loaded. The commands throw the same when called without a loadable plug-in.
int UnlhaGetVersion();
int ZipGetVersion();
int UnZipGetVersion();
CommandResult Unlha(std::uintptr_t owner, const QString& command);
CommandResult Zip(std::uintptr_t owner, const QString& command);
CommandResult UnZip(std::uintptr_t owner, const QString& command);

// Where the plug-ins are looked for; the program's own directory unless a test says otherwise.
void setLibraryDirectory(const QString& directory);
QString libraryDirectory();

}  // namespace Pack
