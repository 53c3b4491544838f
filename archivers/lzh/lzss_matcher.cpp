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

LzssMatcher::LzssMatcher(int windowBits, Settings settings)
    : settings_(settings),
      windowMask_((1 << windowBits) - 1),
      capacity_(2 * kSlideStep + (1 << windowBits)),
      buffer_(new std::uint8_t[static_cast<std::size_t>(capacity_) + 16]()),
      head_(new std::int32_t[std::size_t{1} << kHashBits]),
      prev_(new std::int32_t[static_cast<std::size_t>(windowMask_) + 1])
{
    std::fill_n(head_.get(), std::size_t{1} << kHashBits, kNil);
    std::fill_n(prev_.get(), static_cast<std::size_t>(windowMask_) + 1, kNil);
}

std::size_t LzssMatcher::append(const std::uint8_t* data, std::size_t size)
{
    std::size_t room = static_cast<std::size_t>(capacity_ - end_);
    std::size_t n = std::min(room, size);
    std::memcpy(buffer_.get() + end_, data, n);
    end_ += static_cast<int>(n);
    return n;
}

int LzssMatcher::slideIfNeeded(int codedPosition)
{
    if (codedPosition < kSlideStep + windowSize() || end_ < capacity_ - kMaxMatch * 2) return 0;
    std::memmove(buffer_.get(), buffer_.get() + kSlideStep, static_cast<std::size_t>(end_ - kSlideStep));
    end_ -= kSlideStep;
    auto shift = [](std::int32_t& v) { v = v - kSlideStep < 0 ? kNil : v - kSlideStep; };
    std::for_each(head_.get(), head_.get() + (std::size_t{1} << kHashBits), shift);
    std::for_each(prev_.get(), prev_.get() + windowSize(), shift);
    return kSlideStep;
}

int LzssMatcher::insertAndFind(int p, int minLength, int chainLimit, unsigned& distance)
{
    std::uint32_t h = hashAt(p);
    int candidate = head_[h];
    prev_[p & windowMask_] = candidate;
    head_[h] = p;

    const std::uint8_t* base = buffer_.get();
    const std::uint8_t* here = base + p;
    const int maxLength = std::min(kMaxMatch, end_ - p);
    if (maxLength <= minLength) return 0;
    const int oldest = p - windowMask_;  // keeps distance - 1 below the window size
    const int nice = std::min(settings_.niceLength, maxLength);
    int best = minLength;
    int bestCandidate = -1;
    int older = p;
    while (candidate >= oldest && candidate < older && chainLimit-- > 0) {
        const std::uint8_t* there = base + candidate;
        if (there[best] == here[best] && there[0] == here[0] && there[1] == here[1]) {
            int length = commonLength(here, there, maxLength);
            if (length > best) {
                best = length;
                bestCandidate = candidate;
                if (length >= nice) break;
            }
        }
        older = candidate;
        candidate = prev_[candidate & windowMask_];
    }
    if (bestCandidate < 0) return 0;
    distance = static_cast<unsigned>(p - bestCandidate - 1);
    return best;
}

}  // namespace lzh
