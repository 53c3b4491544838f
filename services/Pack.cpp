// Loading the archiver plug-ins and calling their entry points.
#include "services/Pack.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QLibrary>
#include <map>
#include <memory>

#include "plugins/plugin_api.h"

namespace Pack {
namespace {

QString overriddenDirectory;

// Plug-ins stay loaded for the rest of the run once loaded, as each entry point may be called
// many times per job.
QLibrary& library(const char* name)
{
    static std::map<QString, std::unique_ptr<QLibrary>> loaded;
    const QString path = libraryDirectory() + QStringLiteral("/lib") + QLatin1String(name) + QStringLiteral(".so");
    std::unique_ptr<QLibrary>& library = loaded[path];
    if (!library)
        library = std::make_unique<QLibrary>(path);
    if (!library->isLoaded() && !library->load())
        throw ArchiverMissing(library->errorString().toStdString());
    return *library;
}

template <typename Function>
Function entry(const char* libraryName, const char* symbol)
{
    auto function = reinterpret_cast<Function>(library(libraryName).resolve(symbol));
    if (!function)
        throw ArchiverMissing(std::string("lib") + libraryName + ".so has no entry point " + symbol);
    return function;
}

int version(const char* libraryName, const char* symbol) { return entry<ArchiverVersionFn>(libraryName, symbol)(); }

CommandResult command(const char* libraryName, const char* symbol, std::uintptr_t owner, const QString& text)
{
    const auto function = entry<ArchiverCommandFn>(libraryName, symbol);
    QByteArray output(4096, '\0');
    CommandResult result;
    result.code = function(owner, text.toUtf8().constData(), output.data(), static_cast<uint32_t>(output.size()));
    result.message = QString::fromUtf8(output.constData());
    return result;
}

}  // namespace

int UnlhaGetVersion() { return version("unlha32", "UnlhaGetVersion"); }
int ZipGetVersion() { return version("zip32j", "ZipGetVersion"); }
int UnZipGetVersion() { return version("unzip32", "UnZipGetVersion"); }

CommandResult Unlha(std::uintptr_t owner, const QString& text) { return command("unlha32", "Unlha", owner, text); }
CommandResult Zip(std::uintptr_t owner, const QString& text) { return command("zip32j", "Zip", owner, text); }
CommandResult UnZip(std::uintptr_t owner, const QString& text) { return command("unzip32", "UnZip", owner, text); }

void setLibraryDirectory(const QString& directory) { overriddenDirectory = directory; }

QString libraryDirectory()
{
    return overriddenDirectory.isEmpty() ? QCoreApplication::applicationDirPath() : overriddenDirectory;
}

}  // namespace Pack
