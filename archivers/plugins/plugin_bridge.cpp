// Adapts the C callback struct to the engine's JobListener.
#include "plugins/plugin_bridge.h"

#include <cstddef>
#include <new>
#include <string>
#include <vector>

namespace arc {
namespace {

// A caller built against an older, shorter struct has only the fields that fit its size.
template <typename Field>
Field fieldOf(const ArchiverCallbacks* callbacks, Field ArchiverCallbacks::*member, std::size_t endOffset)
{
    if (callbacks == nullptr || callbacks->structSize < endOffset)
        return nullptr;
    return callbacks->*member;
}

class CallbackListener final : public JobListener {
public:
    explicit CallbackListener(const ArchiverCallbacks* callbacks)
        : user_(callbacks != nullptr ? callbacks->user : nullptr),
          progress_(
              fieldOf(callbacks, &ArchiverCallbacks::progress, offsetof(ArchiverCallbacks, progress) + sizeof(void*))),
          passphrase_(fieldOf(callbacks, &ArchiverCallbacks::passphrase,
                              offsetof(ArchiverCallbacks, passphrase) + sizeof(void*))),
          exists_(fieldOf(callbacks, &ArchiverCallbacks::exists, offsetof(ArchiverCallbacks, exists) + sizeof(void*))),
          failure_(
              fieldOf(callbacks, &ArchiverCallbacks::failure, offsetof(ArchiverCallbacks, failure) + sizeof(void*)))
    {
    }

    bool progress(const ProgressReport& report) override
    {
        if (progress_ == nullptr)
            return true;
        const std::string name(report.entryName);
        const ArchiverProgress c{name.c_str(),        report.entryBytesDone, report.entryBytesTotal,
                                 report.jobBytesDone, report.jobBytesTotal,  report.entriesDone,
                                 report.entriesTotal};
        return progress_(user_, &c) == ARCHIVER_CONTINUE;
    }

    std::optional<std::string> passphrase(std::string_view archive, std::string_view entry, unsigned attempt) override
    {
        if (passphrase_ == nullptr)
            return std::nullopt;
        std::vector<char> buffer(ARCHIVER_PASSPHRASE_MAX, '\0');
        const std::string archiveText(archive), entryText(entry);
        if (passphrase_(user_, archiveText.c_str(), entryText.c_str(), attempt, buffer.data(),
                        static_cast<std::uint32_t>(buffer.size())) != ARCHIVER_CONTINUE)
            return std::nullopt;
        buffer.back() = '\0';
        return std::string(buffer.data());
    }

    OverwriteAnswer exists(const ExistingFile& file) override
    {
        if (exists_ == nullptr)
            return OverwriteAnswer::Overwrite;
        const std::string path(file.path);
        const ArchiverExisting c{path.c_str(), file.existingSize, file.existingMtime, file.newSize, file.newMtime};
        switch (exists_(user_, &c)) {
        case ARCHIVER_OVERWRITE: return OverwriteAnswer::Overwrite;
        case ARCHIVER_SKIP: return OverwriteAnswer::Skip;
        case ARCHIVER_OVERWRITE_ALL: return OverwriteAnswer::OverwriteAll;
        case ARCHIVER_SKIP_ALL: return OverwriteAnswer::SkipAll;
        default: return OverwriteAnswer::Cancel;
        }
    }

    void failure(const EntryFailure& failure) override
    {
        if (failure_ == nullptr)
            return;
        const ArchiverFailure c{failure.path.c_str(), static_cast<int>(failure.reason), failure.systemError,
                                failure.message.c_str()};
        failure_(user_, &c);
    }

private:
    void* user_;
    int (*progress_)(void*, const ArchiverProgress*);
    int (*passphrase_)(void*, const char*, const char*, uint32_t, char*, uint32_t);
    int (*exists_)(void*, const ArchiverExisting*);
    void (*failure_)(void*, const ArchiverFailure*);
};

}  // namespace

int runPluginCommand(const EngineCommand& engine, const char* command, const ArchiverCallbacks* callbacks, char* output,
                     std::uint32_t outputSize)
{
    if (command == nullptr)
        return deliverResult(ArcResult::failure(ArcStatus::BadCommand, "no command"), output, outputSize);
    ArcResult result;
    try {
        CallbackListener listener(callbacks);
        Job job(&listener);
        result = engine(command, job);
        job.reportFailures(result);
    } catch (const std::bad_alloc&) {
        result = ArcResult::failure(ArcStatus::NoMemory, "out of memory");
    } catch (...) {
        // The engine reports errors as values; a callback that threw lands here.
        result = ArcResult::failure(ArcStatus::Internal, "internal error");
    }
    return deliverResult(result, output, outputSize);
}

}  // namespace arc
