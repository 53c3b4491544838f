// The passphrases of one extraction: what libarchive is given for each encrypted entry, and
// what a failure of that entry's data means.
#pragma once

#include <cstddef>
#include <set>
#include <string>

#include "common/job.h"

struct archive;

namespace arc::zip {

// libarchive asks through passphraseCallback() for as long as the passphrases it has fail the
// format's quick check (one byte for ZipCrypto, two for AES), and gives up on the entry at the
// first null. Each answer comes from job.passphrase() with an attempt number that grows per
// entry, so the Job's remembered passphrase serves the next entries without asking. A listener
// that gives up does so for the whole archive; one that keeps answering is stopped after
// kMaxAttempts for an entry.
//
// A passphrase that passes the quick check may still be wrong; the data then fails its CRC,
// its authentication code or its decompression, and the entry is read again with a fresh
// reader (whose list is empty, so the listener is asked with the next attempt). The same
// passphrase accepted and failing twice means the data itself is damaged.
class EntryPassphrases {
public:
    static constexpr unsigned kMaxAttempts = 20;

    EntryPassphrases(Job& job, std::string archivePath) : job_(job), archivePath_(std::move(archivePath)) {}

    // For archive_read_set_passphrase_callback(), with `this` as client data.
    static const char* callback(archive* handle, void* self);

    // Entry `position` (counted in the archive) named `name` is about to be read; reading the
    // same position again keeps its attempts.
    void beginEntry(std::size_t position, const std::string& name);

    enum class DataVerdict {
        AskAgain,  // read the entry again: another passphrase will be asked for
        Damaged,   // an accepted passphrase failed twice: the data is damaged
        Wrong,     // no more passphrases will come: the entry fails with WrongPassword
    };
    // The data of the current (encrypted) entry failed after a passphrase was accepted.
    DataVerdict afterDataFailure();

    // True when a passphrase was given for the current entry (so "required" means "wrong").
    bool givenForEntry() const { return givenForEntry_; }

private:
    const char* next();

    Job& job_;
    std::string archivePath_;
    std::string name_;
    std::size_t position_ = static_cast<std::size_t>(-1);
    unsigned attempt_ = 0;   // answers asked for the current entry
    std::string last_;       // libarchive copies it; kept alive until the next ask
    bool givenNow_ = false;  // answered while reading the current entry this time
    bool givenForEntry_ = false;
    bool gaveUp_ = false;
    std::set<std::string> failed_;  // passed the quick check, failed on the data
};

}  // namespace arc::zip
