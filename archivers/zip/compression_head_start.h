// Compression that begins while the files to pack are still being listed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/job.h"
#include "common/source_tree.h"
#include "zip/compression_units.h"

namespace arc::zip {

// The members a command adds are final only once everything has been listed (their names are
// settled against each other and the archive's), but their data does not depend on that. So
// the files the listing finds first go to the compressing threads at once, and listing a large
// folder overlaps with compressing it instead of coming before it. The writer takes over the
// threads and the work when the members it writes begin with the entries offered, in order;
// the rest of the work is dropped.
//
// Bounded like the writer's own work: at most `inputBudget` bytes of files and kMaxOffered
// entries; the first entry refused (a file too large to compress whole, or over the budget)
// ends the offers, so what was offered is always a prefix of the listing.
//
// Threading: offer() and the writer's take-over run on the thread that runs the command; the
// threads started here only read `job`'s cancel flag.
class CompressionHeadStart {
public:
    struct Settings {
        int level = 5;
        unsigned threads = 0;  // 0: one per core
        std::size_t wholeMemberLimit = 0;
        std::size_t inputBudget = 0;
    };
    struct Offered {
        std::string diskPath;
        bool isDirectory = false;
        std::uint64_t listedSize = 0;
    };
    static constexpr std::size_t kMaxOffered = 4096;

    CompressionHeadStart(const Settings& settings, const Job& job) : settings_(settings), job_(job) {}

    void offer(const SourceEntry& entry);

    // For the writer: the pool whose jobs compress what was offered (null when nothing was
    // submitted), then offered(): those entries, in order. Taking the pool ends the offers.
    const std::vector<Offered>& offered() const { return offered_; }
    std::unique_ptr<CompressionPool> takePool();

private:
    void submit(const Offered& entry);

    Settings settings_;
    const Job& job_;
    std::unique_ptr<CompressionPool> pool_;
    std::vector<Offered> offered_;
    std::uint64_t bytes_ = 0;
    bool closed_ = false;
};

}  // namespace arc::zip
