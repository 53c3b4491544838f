// Loading the archiver plug-ins and running their callback entry points.
#include "services/Pack.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QLibrary>
#include <QMutexLocker>
#include <QRegularExpression>
#include <cstring>
#include <iterator>
#include <utility>

#include "plugins/plugin_api.h"

namespace Pack {
namespace {

// The desktop's codes are the plug-ins' published codes (plugin_api.h), pair by pair.
constexpr std::pair<Code, ArchiverResult> kPublishedCodes[] = {
    {Ok, ARCHIVER_OK},
    {BadCommand, ARCHIVER_BAD_COMMAND},
    {InputMissing, ARCHIVER_INPUT_MISSING},
    {ArchiveUnreadable, ARCHIVER_ARCHIVE_UNREADABLE},
    {ArchiveCorrupt, ARCHIVER_ARCHIVE_CORRUPT},
    {WriteFailed, ARCHIVER_WRITE_FAILED},
    {UnsafeEntry, ARCHIVER_UNSAFE_ENTRY},
    {CrcMismatch, ARCHIVER_CRC_MISMATCH},
    {UnsupportedMethod, ARCHIVER_UNSUPPORTED_METHOD},
    {NoMemory, ARCHIVER_NO_MEMORY},
    {Cancelled, ARCHIVER_CANCELLED},
    {PasswordRequired, ARCHIVER_PASSWORD_REQUIRED},
    {WrongPassword, ARCHIVER_WRONG_PASSWORD},
    {ArchiveInUse, ARCHIVER_ARCHIVE_IN_USE},
    {NameClash, ARCHIVER_NAME_CLASH},
    {SpecialEntry, ARCHIVER_SPECIAL_ENTRY},
    {ArchiveItself, ARCHIVER_ARCHIVE_ITSELF},
    {Internal, ARCHIVER_INTERNAL},
};
constexpr bool codesAgree()
{
    for (const auto& [desktop, published] : kPublishedCodes)
        if (static_cast<int>(desktop) != static_cast<int>(published))
            return false;
    return std::size(kPublishedCodes) == ARCHIVER_ARCHIVE_ITSELF + 2;
}
static_assert(codesAgree(), "Pack::Code and plugin_api.h disagree");

const char* libraryStem(Plugin plugin)
{
    switch (plugin) {
    case Plugin::Unlha: return "unlha32";
    case Plugin::Zip: return "zip32j";
    case Plugin::UnZip: return "unzip32";
    case Plugin::UnArc: return "unarc32";
    }
    return "";
}

const char* versionSymbol(Plugin plugin)
{
    switch (plugin) {
    case Plugin::Unlha: return "UnlhaGetVersion";
    case Plugin::Zip: return "ZipGetVersion";
    case Plugin::UnZip: return "UnZipGetVersion";
    case Plugin::UnArc: return "UnArcGetVersion";
    }
    return "";
}

const char* runSymbol(Plugin plugin)
{
    switch (plugin) {
    case Plugin::Unlha: return "UnlhaRun";
    case Plugin::Zip: return "ZipRun";
    case Plugin::UnZip: return "UnZipRun";
    case Plugin::UnArc: return "UnArcRun";
    }
    return "";
}

QDateTime fromUnix(std::int64_t seconds)
{
    return seconds < 0 ? QDateTime() : QDateTime::fromSecsSinceEpoch(seconds);
}

// The C callbacks of one run, forwarding to the listener and gathering the failures.
struct RunContext {
    Listener* listener;
    QList<Failure> failures;

    static int progress(void* user, const ArchiverProgress* c)
    {
        auto* self = static_cast<RunContext*>(user);
        Progress report;
        report.entryName = QString::fromUtf8(c->entryName ? c->entryName : "");
        report.entryBytesDone = c->entryBytesDone;
        report.entryBytesTotal = c->entryBytesTotal;
        report.jobBytesDone = c->jobBytesDone;
        report.jobBytesTotal = c->jobBytesTotal;
        report.entriesDone = c->entriesDone;
        report.entriesTotal = c->entriesTotal;
        return self->listener->progress(report) ? ARCHIVER_CONTINUE : ARCHIVER_CANCEL;
    }

    static int passphrase(void* user, const char* archive, const char* entry, uint32_t attempt, char* buffer,
                          uint32_t bufferSize)
    {
        auto* self = static_cast<RunContext*>(user);
        const std::optional<QString> answer =
            self->listener->passphrase(QString::fromUtf8(archive), QString::fromUtf8(entry), attempt);
        if (!answer || bufferSize == 0)
            return ARCHIVER_CANCEL;
        QByteArray bytes = answer->toUtf8();
        if (static_cast<uint32_t>(bytes.size()) >= bufferSize)
            return ARCHIVER_CANCEL;  // cut, it could never be right
        std::memcpy(buffer, bytes.constData(), static_cast<std::size_t>(bytes.size()) + 1);
        bytes.fill('\0');
        return ARCHIVER_CONTINUE;
    }

    static int exists(void* user, const ArchiverExisting* c)
    {
        auto* self = static_cast<RunContext*>(user);
        const ExistingFile file{QString::fromUtf8(c->path), c->existingSize, fromUnix(c->existingMtime), c->newSize,
                                fromUnix(c->newMtime)};
        switch (self->listener->exists(file)) {
        case Overwrite::Overwrite: return ARCHIVER_OVERWRITE;
        case Overwrite::Skip: return ARCHIVER_SKIP;
        case Overwrite::OverwriteAll: return ARCHIVER_OVERWRITE_ALL;
        case Overwrite::SkipAll: return ARCHIVER_SKIP_ALL;
        case Overwrite::Cancel: return ARCHIVER_STOP;
        }
        return ARCHIVER_STOP;
    }

    static void failure(void* user, const ArchiverFailure* c)
    {
        auto* self = static_cast<RunContext*>(user);
        self->failures.append({QString::fromUtf8(c->path ? c->path : ""), c->reason, c->systemError,
                               QString::fromUtf8(c->message ? c->message : "")});
    }
};

}  // namespace

QString fileName(Plugin plugin)
{
    return QStringLiteral("lib") + QLatin1String(libraryStem(plugin)) + QStringLiteral(".so");
}

PluginLoader::PluginLoader(QString directory) : directory_(std::move(directory)) {}

PluginLoader::~PluginLoader() = default;

void PluginLoader::setDirectory(const QString& directory)
{
    QMutexLocker lock(&mutex_);
    directory_ = directory;
}

QString PluginLoader::directory() const
{
    QMutexLocker lock(&mutex_);
    return directory_.isEmpty() ? QCoreApplication::applicationDirPath() : directory_;
}

void* PluginLoader::entry(Plugin plugin, const char* symbol)
{
    const QString path = directory() + QLatin1Char('/') + fileName(plugin);
    QMutexLocker lock(&mutex_);
    std::unique_ptr<QLibrary>& library = loaded_[path];
    if (!library)
        library = std::make_unique<QLibrary>(path);
    if (!library->isLoaded() && !library->load())
        throw ArchiverMissing(library->errorString().toStdString());
    auto* function = reinterpret_cast<void*>(library->resolve(symbol));
    if (!function)
        throw ArchiverMissing(fileName(plugin).toStdString() + " has no entry point " + symbol);
    return function;
}

int PluginLoader::version(Plugin plugin)
{
    return reinterpret_cast<ArchiverVersionFn>(entry(plugin, versionSymbol(plugin)))();
}

CommandResult PluginLoader::run(Plugin plugin, const QString& command, Listener* listener)
{
    return runWithBuffer(plugin, command, listener, 4096);
}

CommandResult PluginLoader::runForText(Plugin plugin, const QString& command)
{
    // A message too long for the buffer comes back as its leading whole lines and "… (N more
    // lines)", or cut at a character boundary and ending with "…".
    static const QRegularExpression cutShort(QStringLiteral("\u2026( \\(\\d+ more \\w+\\))?$"));
    for (int size = 1 << 16;; size *= 4) {
        CommandResult result = runWithBuffer(plugin, command, nullptr, size);
        if (!cutShort.match(result.message).hasMatch())
            return result;
        if (size >= (1 << 26))
            return {Internal, QStringLiteral("the answer is longer than 64 MiB"), {}};
    }
}

CommandResult PluginLoader::runWithBuffer(Plugin plugin, const QString& command, Listener* listener, int bufferSize)
{
    const auto function = reinterpret_cast<ArchiverRunFn>(entry(plugin, runSymbol(plugin)));
    Listener silent;
    RunContext context{listener ? listener : &silent, {}};
    ArchiverCallbacks callbacks{};
    callbacks.structSize = sizeof(ArchiverCallbacks);
    callbacks.user = &context;
    callbacks.progress = &RunContext::progress;
    callbacks.passphrase = &RunContext::passphrase;
    callbacks.exists = &RunContext::exists;
    callbacks.failure = &RunContext::failure;
    QByteArray output(bufferSize, '\0');
    CommandResult result;
    result.code =
        function(command.toUtf8().constData(), &callbacks, output.data(), static_cast<uint32_t>(output.size()));
    result.message = QString::fromUtf8(output.constData());
    result.failures = std::move(context.failures);
    return result;
}

}  // namespace Pack
