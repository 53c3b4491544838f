// libarchive's ZIP reader over one archive file, opened afresh as often as extraction needs.
#pragma once

#include <archive.h>

#include <memory>
#include <string>

#include "common/status.h"

namespace arc::zip {

// Seekable when the archive has its end records (libarchive then trusts the central
// directory); streamed otherwise. libarchive's streaming reader wants to look past the last
// data descriptor and calls a file that ends right there truncated, so it is given the file
// followed by an empty end record, which it takes as the end of the entries. That stream is
// not seekable, so the seekable reader (which would trust the empty record) stays out.
class LibarchiveZipReader {
public:
    LibarchiveZipReader();
    ~LibarchiveZipReader();
    LibarchiveZipReader(const LibarchiveZipReader&) = delete;
    LibarchiveZipReader& operator=(const LibarchiveZipReader&) = delete;

    // Closes what was open and opens `path` (streamed from a duplicate of `fd` when
    // `withoutEndRecord`), with the passphrase callback given.
    ArcResult open(const std::string& path, int fd, bool withoutEndRecord, archive_passphrase_callback* passphrase,
                   void* passphraseData);

    archive* get() const { return handle_; }
    std::string errorText() const;

private:
    struct Stream;
    void close();

    archive* handle_ = nullptr;
    std::unique_ptr<Stream> stream_;  // outlives handle_, which reads through it
};

// libarchive reports problems as text; maps the ones we can name.
ArcStatus classifyLibarchiveError(const std::string& text);

}  // namespace arc::zip
