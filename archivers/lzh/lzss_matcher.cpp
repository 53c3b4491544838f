// Hash-chain match finder over a sliding window.
#include "lzh/lzss_matcher.h"

#include <algorithm>
#include <cstring>

#include "lzh/lzh_method.h"

namespace lzh {
namespace {

// Length of the common prefix of a and b, at most `limit`; reads up to 7 bytes past the
// limit, which the buffer's padding allows.
inline int commonLength(const std::uint8_t* a, const std::uint8_t* b, int limit)
{
    int n = 0;
    while (n < limit) {
        std::uint64_t x, y;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        std::uint64_t diff = x ^ y;
        if (diff != 0) {
            n += __builtin_ctzll(diff) >> 3;
            return n < limit ? n : limit;
        }
        n += 8;
    }
    return limit;
}

}  // namespace

namespace {

constexpr int kGoodLength = 32;  // a match this long makes a deep search unlikely to pay

int hashBitsFor(std::uint64_t sizeHint)
{
    if (sizeHint == 0)
        return 16;
    int bits = 10;
    while (bits < 16 && (std::uint64_t{1} << bits) < sizeHint)
        ++bits;
    return bits;
}

inline std::uint16_t load16(const std::uint8_t* p)
{
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

inline std::uint32_t load32(const std::uint8_t* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

}  // namespace

LzssMatcher::LzssMatcher(int windowBits, Settings settings, std::uint64_t sizeHint)
    : settings_(settings), windowMask_((1 << windowBits) - 1),
      capacity_(sizeHint != 0 && sizeHint + kMaxMatch < std::uint64_t{kSlideStep}
                    ? static_cast<int>(sizeHint) + 2 * kMaxMatch
                    : 2 * kSlideStep + (1 << windowBits)),
      hashShift_(32 - hashBitsFor(sizeHint)), hashSize_(std::size_t{1} << hashBitsFor(sizeHint)),
      buffer_(std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(capacity_) + 16)),
      head_(std::make_unique_for_overwrite<std::int32_t[]>(hashSize_)),
      head3_(std::make_unique_for_overwrite<std::int32_t[]>(std::size_t{1} << kHash3Bits)),
      prev_(std::make_unique_for_overwrite<std::int32_t[]>(static_cast<std::size_t>(windowMask_) + 1))
{
    std::fill_n(head_.get(), hashSize_, kNil);
    std::fill_n(head3_.get(), std::size_t{1} << kHash3Bits, kNil);
}

std::size_t LzssMatcher::append(const std::uint8_t* data, std::size_t size)
{
    if (end_ == capacity_ && capacity_ < 2 * kSlideStep) {
        // More input than the size hint promised (the file grew): move to a full-size buffer.
        const int full = 2 * kSlideStep + windowSize();
        auto bigger = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(full) + 16);
        std::memcpy(bigger.get(), buffer_.get(), static_cast<std::size_t>(end_));
        buffer_ = std::move(bigger);
        capacity_ = full;
    }
    std::size_t room = static_cast<std::size_t>(capacity_ - end_);
    std::size_t n = std::min(room, size);
    std::memcpy(buffer_.get() + end_, data, n);
    end_ += static_cast<int>(n);
    std::memset(buffer_.get() + end_, 0, 16);  // the padding that word-wise comparison reads
    return n;
}

int LzssMatcher::slideIfNeeded(int codedPosition)
{
    if (codedPosition < kSlideStep + windowSize() || end_ < capacity_ - kMaxMatch * 2)
        return 0;
    if (capacity_ < 2 * kSlideStep)
        return 0;  // sized for a small input that never slides
    std::memmove(buffer_.get(), buffer_.get() + kSlideStep, static_cast<std::size_t>(end_ - kSlideStep));
    end_ -= kSlideStep;
    auto shift = [](std::int32_t& v) { v = v - kSlideStep < 0 ? kNil : v - kSlideStep; };
    std::for_each(head_.get(), head_.get() + hashSize_, shift);
    std::for_each(head3_.get(), head3_.get() + (std::size_t{1} << kHash3Bits), shift);
    std::for_each(prev_.get(), prev_.get() + windowSize(), shift);
    return kSlideStep;
}

int LzssMatcher::insertAndFind(int p, int minLength, int chainLimit, unsigned& distance)
{
    const std::uint32_t h = hash4At(p);
    int candidate = head_[h];
    prev_[p & windowMask_] = candidate;
    head_[h] = p;
    const std::uint32_t h3 = hash3At(p);
    const int near = head3_[h3];
    head3_[h3] = p;

    const std::uint8_t* base = buffer_.get();
    const std::uint8_t* here = base + p;
    const int maxLength = std::min(kMaxMatch, end_ - p);
    if (maxLength <= minLength)
        return 0;
    const int oldest = std::max(0, p - windowMask_);  // keeps distance - 1 below the window size
    const int nice = std::min(settings_.niceLength, maxLength);
    int best = minLength;
    int bestCandidate = -1;
    if (near >= oldest && near < p && static_cast<unsigned>(p - near - 1) < settings_.shortMatchReach &&
        best < kMinMatch) {
        int length = commonLength(here, base + near, maxLength);
        if (length > best) {
            best = length;
            bestCandidate = near;
        }
    }
    int older = p;
    bool shortened = false;
    while (best < nice && candidate >= oldest && candidate < older && chainLimit-- > 0) {
        const std::uint8_t* there = base + candidate;
        // Cheap rejection first: the two bytes that would make this candidate longer than the
        // best so far, then the first three bytes (a 4-byte hash may still collide).
        if (load16(there + best - 1) == load16(here + best - 1) &&
            (load32(there) & 0xFFFFFF) == (load32(here) & 0xFFFFFF)) {
            int length = commonLength(here, there, maxLength);
            if (length > best) {
                best = length;
                bestCandidate = candidate;
                if (length >= nice)
                    break;
                if (length >= kGoodLength && !shortened) {
                    chainLimit >>= 2;
                    shortened = true;
                }
            }
        }
        older = candidate;
        candidate = prev_[candidate & windowMask_];
    }
    if (bestCandidate < 0)
        return 0;
    distance = static_cast<unsigned>(p - bestCandidate - 1);
    return best;
}

}  // namespace lzh
