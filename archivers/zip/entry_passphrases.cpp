// Passphrase answers per encrypted entry, and the retry rule for ones that only seemed right.
#include "zip/entry_passphrases.h"

#include <algorithm>
#include <optional>

namespace arc::zip {

const char* EntryPassphrases::callback(archive* /*handle*/, void* self)
{
    try {
        return static_cast<EntryPassphrases*>(self)->next();
    } catch (...) {
        return nullptr;
    }
}

const char* EntryPassphrases::next()
{
    if (job_.cancelled() || gaveUp_ || attempt_ >= kMaxAttempts)
        return nullptr;
    const std::optional<std::string> answer = job_.passphrase(archivePath_, name_, ++attempt_);
    if (!answer || answer->empty()) {
        gaveUp_ = true;
        return nullptr;
    }
    last_ = *answer;
    givenNow_ = true;
    givenForEntry_ = true;
    return last_.c_str();
}

void EntryPassphrases::beginEntry(std::size_t position, const std::string& name)
{
    name_ = name;
    givenNow_ = false;
    if (position == position_)
        return;
    position_ = position;
    attempt_ = 0;
    givenForEntry_ = false;
    failed_.clear();
}

EntryPassphrases::DataVerdict EntryPassphrases::afterDataFailure()
{
    // When libarchive took a passphrase from its own list, which one is unknown; the next
    // reader asks afresh in any case.
    if (givenNow_ && !failed_.insert(last_).second)
        return DataVerdict::Damaged;
    attempt_ = std::max(attempt_, 1u);
    if (job_.listening() && !job_.cancelled() && !gaveUp_ && attempt_ < kMaxAttempts)
        return DataVerdict::AskAgain;
    return DataVerdict::Wrong;
}

}  // namespace arc::zip
