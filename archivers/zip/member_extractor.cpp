// One member: its encryption layer, its method, its checks, and the passphrase questions.
#include "zip/member_extractor.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "zip/member_decoder.h"
#include "zip/traditional_cipher.h"
#include "zip/winzip_aes.h"
#include "zip/zip_format.h"

namespace arc::zip {
namespace {

constexpr std::uint16_t kFlagEncrypted = 1u << 0;
constexpr std::uint16_t kFlagStrongEncryption = 1u << 6;
// Decoded bytes reach the writer in pieces of this size, so progress and cancel stay timely.
constexpr std::size_t kWritePiece = std::size_t{1} << 20;

ArcResult memberFailure(ArcStatus status, const std::string& name, const std::string& what)
{
    return ArcResult::failure(status, "\"" + name + "\": " + what, name);
}

// The encryption layer of one member with one passphrase: the bytes before the payload (and,
// for AES, the authentication code after it), and the decryption of the payload in place.
class Decryption {
public:
    // Sets up the layer for `entry`; false with `failure` set when the member cannot be read.
    bool prepare(const SurveyedEntry& entry, const std::string& name, ArcResult& failure)
    {
        const CentralRecord& record = *entry.record;
        if ((record.flags & kFlagEncrypted) == 0)
            return true;
        if ((record.flags & kFlagStrongEncryption) != 0) {
            failure = memberFailure(ArcStatus::UnsupportedMethod, name, "strong encryption is not supported");
            return false;
        }
        if (record.method == kMethodWinZipAes) {
            aes_ = parseWinZipAesField(record.extra);
            if (!aes_) {
                failure = memberFailure(ArcStatus::UnsupportedMethod, name, "an unknown kind of AES encryption");
                return false;
            }
            headerSize_ = aes_->saltSize() + kAesVerifierSize;
            trailerSize_ = kAesMacSize;
        } else {
            headerSize_ = kTraditionalHeaderSize;
            // Members whose CRC follows in a data descriptor are checked against the time instead.
            check_ = (record.flags & kFlagDataDescriptor) != 0 && record.raw.size() >= 14
                         ? bytesOf(record.raw)[13]
                         : static_cast<unsigned char>(record.crc32 >> 24);
        }
        if (record.compressedSize < headerSize_ + trailerSize_) {
            failure = memberFailure(ArcStatus::ArchiveCorrupt, name, "too short for its encryption; not extracted");
            return false;
        }
        return true;
    }

    std::size_t headerSize() const { return headerSize_; }
    std::size_t trailerSize() const { return trailerSize_; }

    // False when the passphrase fails the quick check; `readFailed` when the bytes were not there.
    bool open(const ByteSource& source, std::uint64_t dataOffset, const std::string& passphrase, bool& readFailed)
    {
        unsigned char header[32];
        readFailed = !source.readAt(dataOffset, header, headerSize_);
        if (readFailed)
            return false;
        if (aes_) {
            aesDecryptor_ = std::make_unique<WinZipAesDecryptor>();
            return aesDecryptor_->begin(*aes_, passphrase, header, header + aes_->saltSize());
        }
        traditional_.emplace(passphrase);
        return traditional_->acceptHeader(header, check_);
    }

    void decrypt(unsigned char* data, std::size_t size)
    {
        if (aesDecryptor_)
            aesDecryptor_->decrypt(data, size);
        else if (traditional_)
            traditional_->decrypt(data, size);
    }

    // AES: the stored authentication code at `macOffset` against the bytes decrypted.
    bool authenticate(const ByteSource& source, std::uint64_t macOffset, bool& readFailed)
    {
        if (!aesDecryptor_)
            return true;
        unsigned char mac[kAesMacSize];
        readFailed = !source.readAt(macOffset, mac, sizeof mac);
        return !readFailed && aesDecryptor_->authenticate(mac);
    }

private:
    std::optional<WinZipAesField> aes_;
    std::unique_ptr<WinZipAesDecryptor> aesDecryptor_;
    std::optional<TraditionalDecryptor> traditional_;
    std::size_t headerSize_ = 0;
    std::size_t trailerSize_ = 0;
    unsigned char check_ = 0;
};

}  // namespace

ArcResult decodeFailure(RawMemberStatus status, const std::string& name, int systemError)
{
    if (status != RawMemberStatus::ReadFailed)
        return memberFailure(ArcStatus::ArchiveCorrupt, name, "the compressed data is damaged; not extracted");
    ArcResult failure = memberFailure(ArcStatus::ArchiveUnreadable, name,
                                      std::string("could not read the archive: ") +
                                          (systemError != 0 ? std::strerror(systemError) : "it ends early"));
    failure.systemError = systemError;
    return failure;
}

MemberExtractor::MemberExtractor(const ByteSource& source, SafeDiskWriter& writer, Job& job, std::string archivePath)
    : source_(source), writer_(writer), job_(job), archivePath_(std::move(archivePath))
{
}

MemberExtractor::~MemberExtractor()
{
    if (decompressor_ != nullptr)
        libdeflate_free_decompressor(decompressor_);
}

MemberExtractor::Verdict MemberExtractor::decodeInto(const SurveyedEntry& entry, const std::string& name,
                                                     const std::string* passphrase,
                                                     const std::function<bool(const unsigned char*, std::size_t)>& sink,
                                                     bool wholeFirst, ArcResult& failure)
{
    const CentralRecord& record = *entry.record;
    if (!methodDecoded(entry.method)) {
        failure = memberFailure(ArcStatus::UnsupportedMethod, name,
                                "compression method " + std::to_string(entry.method) + " is not supported");
        return Verdict::DataFailed;
    }
    Decryption decryption;
    if (!decryption.prepare(entry, name, failure))
        return Verdict::DataFailed;
    bool readFailed = false;
    if (passphrase != nullptr && !decryption.open(source_, entry.dataOffset, *passphrase, readFailed)) {
        if (!readFailed)
            return Verdict::VerifierFailed;
        failure = decodeFailure(RawMemberStatus::ReadFailed, name, errno);
        return Verdict::DataFailed;
    }
    const std::uint64_t payloadOffset = entry.dataOffset + decryption.headerSize();
    const std::uint64_t payloadSize = record.compressedSize - decryption.headerSize() - decryption.trailerSize();
    const std::uint64_t macOffset = payloadOffset + payloadSize;
    const bool whole = wholeFirst && (entry.method == kMethodStored || entry.method == kMethodDeflate) &&
                       payloadSize <= kWholeMemberLimit && record.uncompressedSize <= kWholeMemberLimit;
    RawMemberResult result;
    const unsigned char* decoded = nullptr;
    if (whole) {
        const auto inSize = static_cast<std::size_t>(payloadSize);
        if (inputCapacity_ < inSize) {
            input_.reset(new unsigned char[inSize]);
            inputCapacity_ = inSize;
        }
        if (!source_.readAt(payloadOffset, input_.get(), inSize)) {
            failure = decodeFailure(RawMemberStatus::ReadFailed, name, errno);
            return Verdict::DataFailed;
        }
        decryption.decrypt(input_.get(), inSize);
        if (!decryption.authenticate(source_, macOffset, readFailed)) {
            failure = readFailed ? decodeFailure(RawMemberStatus::ReadFailed, name, errno)
                                 : memberFailure(ArcStatus::CrcMismatch, name,
                                                 "data does not match its authentication code; not extracted");
            return Verdict::DataFailed;
        }
        const auto size = static_cast<std::size_t>(record.uncompressedSize);
        if (entry.method == kMethodStored) {
            result.status = inSize == size ? RawMemberStatus::Ok : RawMemberStatus::BadData;
            result.size = size;
            result.crc32 = inSize == size ? libdeflate_crc32(0, input_.get(), size) : 0;
            decoded = input_.get();
        } else {
            if (decompressor_ == nullptr)
                decompressor_ = libdeflate_alloc_decompressor();
            if (decompressor_ == nullptr)
                throw std::bad_alloc();
            if (outputCapacity_ < size) {
                output_.reset(new unsigned char[size]);
                outputCapacity_ = size;
            }
            result = inflateWhole(decompressor_, input_.get(), inSize, output_.get(), size);
            decoded = output_.get();
        }
    } else {
        std::uint64_t offset = payloadOffset;
        std::uint64_t remaining = payloadSize;
        int readError = 0;
        const auto input = [&](unsigned char* buffer, std::size_t capacity) -> std::size_t {
            const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, remaining));
            if (size == 0 || readFailed)
                return 0;
            if (!source_.readAt(offset, buffer, size)) {
                readFailed = true;
                readError = errno;
                return 0;
            }
            decryption.decrypt(buffer, size);
            offset += size;
            remaining -= size;
            return size;
        };
        result = decodeStreamed(StreamedMember{entry.method, record.flags, payloadSize, record.uncompressedSize}, input,
                                sink);
        if (result.status == RawMemberStatus::Stopped)
            return Verdict::Stopped;
        if (result.status == RawMemberStatus::Truncated && readFailed) {
            result.status = RawMemberStatus::ReadFailed;
            result.systemError = readError;
        }
        // The rest of the payload (an unused tail) still counts for the authentication code.
        std::unique_ptr<unsigned char[]> tail;
        while (result.status == RawMemberStatus::Ok && decryption.trailerSize() > 0 && remaining > 0) {
            if (!tail)
                tail.reset(new unsigned char[std::size_t{1} << 16]);
            if (input(tail.get(), std::size_t{1} << 16) == 0) {
                result.status = RawMemberStatus::ReadFailed;
                result.systemError = readError;
            }
        }
        if (result.status == RawMemberStatus::Ok && !decryption.authenticate(source_, macOffset, readFailed)) {
            failure = readFailed ? decodeFailure(RawMemberStatus::ReadFailed, name, errno)
                                 : memberFailure(ArcStatus::CrcMismatch, name,
                                                 "data does not match its authentication code; not extracted");
            return Verdict::DataFailed;
        }
    }
    if (result.status != RawMemberStatus::Ok) {
        failure = decodeFailure(result.status, name, result.systemError);
        return Verdict::DataFailed;
    }
    // AE-2 stores no CRC (0): its authentication code, checked above, stands for it.
    if ((!entry.aesAuthenticated && result.crc32 != record.crc32) || result.size != record.uncompressedSize) {
        failure = memberFailure(ArcStatus::CrcMismatch, name, "data does not match its CRC-32; not extracted");
        return Verdict::DataFailed;
    }
    if (decoded != nullptr) {
        for (std::size_t done = 0; done < result.size;) {
            const std::size_t piece = std::min<std::size_t>(kWritePiece, result.size - done);
            if (!sink(decoded + done, piece))
                return Verdict::Stopped;
            done += piece;
        }
    }
    return Verdict::Checked;
}

MemberExtractor::Verdict MemberExtractor::writeMember(const SurveyedEntry& entry, const MemberTarget& target,
                                                      const std::string* passphrase, ArcResult& failure)
{
    failure = writer_.beginFile(target.path, target.mode, target.mtime);
    if (!failure.ok())
        return Verdict::Stopped;
    ArcResult writeFailure;
    const auto sink = [&](const unsigned char* data, std::size_t size) {
        writeFailure = writer_.writeData(data, size);
        return writeFailure.ok() && job_.advance(size);
    };
    const Verdict verdict = decodeInto(entry, target.name, passphrase, sink, true, failure);
    if (verdict != Verdict::Checked) {
        writer_.abortFile();
        if (verdict == Verdict::Stopped)
            failure = writeFailure;
        return verdict;
    }
    failure = writer_.commitFile();
    return failure.ok() ? Verdict::Done : Verdict::Stopped;
}

MemberOutcome MemberExtractor::withPassphrases(const SurveyedEntry& entry, const std::string& name, ArcResult& failure,
                                               const std::function<Verdict(const std::string*, ArcResult&)>& attempt)
{
    const auto ended = [&](Verdict verdict) {
        if (job_.cancelled())
            return MemberOutcome::Cancelled;
        if (verdict == Verdict::Done)
            return MemberOutcome::Committed;
        if (failure.ok())
            return MemberOutcome::Cancelled;  // the listener asked to stop
        if (failure.path.empty())
            failure.path = name;
        return MemberOutcome::Failed;
    };
    if ((entry.record->flags & kFlagEncrypted) == 0)
        return ended(attempt(nullptr, failure));
    std::set<std::string> failedOnData;  // passed the quick check, then failed on the data
    for (unsigned number = 1; number <= kMaxAttempts && !gaveUp_; ++number) {
        if (job_.cancelled())
            return MemberOutcome::Cancelled;
        const std::optional<std::string> passphrase = job_.passphrase(archivePath_, name, number);
        // A listener that gives up does so for the whole archive.
        gaveUp_ = !passphrase || passphrase->empty();
        if (gaveUp_)
            break;
        passphraseGiven_ = true;
        failure = ArcResult::success();
        const Verdict verdict = attempt(&*passphrase, failure);
        if (verdict == Verdict::VerifierFailed)
            continue;
        if (verdict != Verdict::DataFailed)
            return ended(verdict);
        const bool dataFailure =
            failure.status == ArcStatus::CrcMismatch || failure.status == ArcStatus::ArchiveCorrupt;
        if (!dataFailure)
            return ended(verdict);
        if (!failedOnData.insert(*passphrase).second) {
            failure.status = ArcStatus::CrcMismatch;
            failure.message += " (with a passphrase that was accepted)";
            return ended(verdict);
        }
    }
    if (job_.cancelled())
        return MemberOutcome::Cancelled;
    failure = passphraseGiven_
                  ? memberFailure(ArcStatus::WrongPassword, name, "wrong passphrase; not extracted")
                  : memberFailure(ArcStatus::PasswordRequired, name, "a passphrase is required; not extracted");
    return MemberOutcome::Failed;
}

MemberOutcome MemberExtractor::extractFile(const SurveyedEntry& entry, const MemberTarget& target, ArcResult& failure)
{
    return withPassphrases(entry, target.name, failure, [&](const std::string* passphrase, ArcResult& attemptFailure) {
        return writeMember(entry, target, passphrase, attemptFailure);
    });
}

MemberOutcome MemberExtractor::readSmall(const SurveyedEntry& entry, const std::string& name, std::size_t maxSize,
                                         std::string& bytes, ArcResult& failure)
{
    return withPassphrases(entry, name, failure, [&](const std::string* passphrase, ArcResult& attemptFailure) {
        bytes.clear();
        const auto sink = [&](const unsigned char* data, std::size_t size) {
            if (size > maxSize - bytes.size())
                return false;
            bytes.append(reinterpret_cast<const char*>(data), size);
            return true;
        };
        const Verdict verdict = decodeInto(entry, name, passphrase, sink, false, attemptFailure);
        if (verdict == Verdict::Stopped)
            attemptFailure = memberFailure(ArcStatus::ArchiveCorrupt, name, "too long for a symbolic link");
        return verdict == Verdict::Checked ? Verdict::Done : verdict;
    });
}

}  // namespace arc::zip
