// Extracts one member of an archive whose central directory is sound: decrypted by our own
// code (traditional PKWARE or WinZip AES), decoded by its method, checked, then committed.
#pragma once

#include <libdeflate.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "common/disk_writer.h"
#include "common/job.h"
#include "common/status.h"
#include "zip/central_directory.h"
#include "zip/directory_survey.h"
#include "zip/raw_member_reader.h"

namespace arc::zip {

// Where and how one member is written.
struct MemberTarget {
    std::string name;  // decoded, for messages and the passphrase question
    std::string path;  // safeRelativePath() of the name
    std::uint32_t mode = 0;
    std::int64_t mtime = -1;
};

enum class MemberOutcome {
    Committed,
    Failed,     // `failure` says why; nothing of the member stays
    Cancelled,  // the job was cancelled; nothing of the member stays
};

// What a member whose decoding ended with `status` (not Ok, not Stopped) failed with: a read
// the system refused says so with its reason (`systemError`), anything else is damage.
ArcResult decodeFailure(RawMemberStatus status, const std::string& name, int systemError);

// Members whose compressed and decoded sizes both fit kWholeMemberLimit are read with one read,
// decrypted in place and inflated whole by libdeflate, whose CRC-32 checks them; larger ones
// are streamed through bounded buffers. Both give the same bytes and the same verdicts.
//
// Encrypted members: the passphrase comes from job.passphrase() with an attempt number that
// grows per member (attempt 1 reuses the archive's passphrase that worked before). One that
// fails the quick check (AES: 2 bytes, traditional: 1 byte) is asked again at once; one that
// passes it but then fails the authentication code or CRC is asked again too, and the same
// passphrase failing twice means the data is damaged (CrcMismatch). A listener that gives no
// passphrase is not asked again in this archive. No passphrase ever given is PasswordRequired;
// once one was given, a member it does not open is WrongPassword.
//
// Threading: one extractor per extraction, on its thread.
class MemberExtractor {
public:
    static constexpr unsigned kMaxAttempts = 20;

    MemberExtractor(const ByteSource& source, SafeDiskWriter& writer, Job& job, std::string archivePath);
    ~MemberExtractor();
    MemberExtractor(const MemberExtractor&) = delete;
    MemberExtractor& operator=(const MemberExtractor&) = delete;

    // A regular file.
    MemberOutcome extractFile(const SurveyedEntry& entry, const MemberTarget& target, ArcResult& failure);
    // A small member's decoded bytes (a symbolic link's target, at most `maxSize` bytes).
    MemberOutcome readSmall(const SurveyedEntry& entry, const std::string& name, std::size_t maxSize,
                            std::string& bytes, ArcResult& failure);

private:
    enum class Verdict { Done, Checked, VerifierFailed, DataFailed, Stopped };

    MemberOutcome withPassphrases(const SurveyedEntry& entry, const std::string& name, ArcResult& failure,
                                  const std::function<Verdict(const std::string*, ArcResult&)>& attempt);
    Verdict writeMember(const SurveyedEntry& entry, const MemberTarget& target, const std::string* passphrase,
                        ArcResult& failure);
    Verdict decodeInto(const SurveyedEntry& entry, const std::string& name, const std::string* passphrase,
                       const std::function<bool(const unsigned char*, std::size_t)>& sink, bool wholeFirst,
                       ArcResult& failure);

    const ByteSource& source_;
    SafeDiskWriter& writer_;
    Job& job_;
    std::string archivePath_;
    bool gaveUp_ = false;           // the listener gave no passphrase: no more questions
    bool passphraseGiven_ = false;  // one was given for this archive, so a failure is "wrong"
    libdeflate_decompressor* decompressor_ = nullptr;
    std::unique_ptr<unsigned char[]> input_;
    std::size_t inputCapacity_ = 0;
    std::unique_ptr<unsigned char[]> output_;
    std::size_t outputCapacity_ = 0;
};

}  // namespace arc::zip
