// The LZSS parse with one step of lazy matching, feeding block-wise Huffman coding.
//
// At each position the matcher looks for the longest earlier occurrence. A match is not
// taken at once: the next position is searched too, and if it has a longer match the
// current byte goes out as a literal instead (the classic lazy evaluation). Short matches
// get a second look one byte further (see Settings::secondLookBelow). A three-byte
// match far back costs more bits than three literals, so such matches are dropped. Tokens
// gather until a block is full, and each block gets its own Huffman tables.
#include "lzh/lzh_encoder.h"

#include <algorithm>

#include "lzh/block_writer.h"
#include "lzh/lzss_matcher.h"

namespace lzh {
namespace {

constexpr int kGoodLength = 32;     // a pending match this long shortens the next search
constexpr int kSecondLookGain = 2;  // how much longer the match two bytes on must be

}  // namespace

LzhEncoder::LzhEncoder(Method method, std::uint64_t sizeHint) : LzhEncoder(method, Settings{}, sizeHint) {}

LzhEncoder::LzhEncoder(Method method, Settings settings, std::uint64_t sizeHint)
    : params_(paramsOf(method)), settings_(settings),
      matcher_(std::make_unique<LzssMatcher>(
          params_.dictionaryBits,
          LzssMatcher::Settings{settings.maxChain, settings.niceLength, settings.farForShortMatch}, sizeHint)),
      symbols_(static_cast<std::size_t>(std::clamp<std::uint64_t>(
          sizeHint != 0 ? std::min<std::uint64_t>(sizeHint, static_cast<std::uint64_t>(settings.blockCodes))
                        : settings.blockCodes,
          1, 65535))),
      distances_(symbols_.size())
{
}

LzhEncoder::~LzhEncoder() = default;

void LzhEncoder::write(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out)
{
    while (size > 0) {
        std::size_t taken = matcher_->append(data, size);
        data += taken;
        size -= taken;
        parse(matcher_->end() - kMaxMatch, out);
        int shift = matcher_->slideIfNeeded(pos_);
        pos_ -= shift;
    }
}

void LzhEncoder::finish(std::vector<std::uint8_t>& out)
{
    parse(matcher_->end(), out);
    if (pending_) {
        if (pendingLength_ >= kMinMatch)
            emitMatch(pendingLength_, pendingDistance_, out);
        else
            emitLiteral(matcher_->data()[pos_ - 1], out);
        pending_ = false;
    }
    if (tokens_ > 0)
        flushBlock(out);
    bits_.flush();
    out.insert(out.end(), blockBytes_.begin(), blockBytes_.end());
    blockBytes_.clear();
}

void LzhEncoder::parse(int limit, std::vector<std::uint8_t>& out)
{
    LzssMatcher& m = *matcher_;
    const std::uint8_t* data = m.data();
    const int end = m.end();
    while (pos_ < limit) {
        int length = 0;
        unsigned distance = 0;
        if (pos_ + kMinMatch <= end) {
            if (!pending_ || pendingLength_ < settings_.niceLength) {
                int chain = pendingLength_ >= kGoodLength ? settings_.maxChain / 4 : settings_.maxChain;
                int floor = pending_ ? std::max(pendingLength_, kMinMatch - 1) : kMinMatch - 1;
                length = m.insertAndFind(pos_, floor, chain, distance);
                if (length == kMinMatch && distance >= settings_.farForShortMatch)
                    length = 0;
            } else {
                m.insert(pos_);
            }
        }
        if (pending_ && pendingLength_ >= kMinMatch && length <= pendingLength_) {
            int inserted = pos_;
            // A second look ahead: two literals and a match two bytes on beat a short match
            // now when that match is clearly longer.
            if (pendingLength_ < settings_.secondLookBelow && pos_ + 1 + kMinMatch <= end) {
                unsigned nextDistance = 0;
                int next =
                    m.insertAndFind(pos_ + 1, pendingLength_ + kSecondLookGain, settings_.maxChain, nextDistance);
                inserted = pos_ + 1;
                if (next == kMinMatch && nextDistance >= settings_.farForShortMatch)
                    next = 0;
                if (next > pendingLength_ + kSecondLookGain) {
                    emitLiteral(data[pos_ - 1], out);
                    emitLiteral(data[pos_], out);
                    pendingLength_ = next;
                    pendingDistance_ = nextDistance;
                    pos_ += 2;
                    continue;
                }
            }
            emitMatch(pendingLength_, pendingDistance_, out);
            // Positions inside the match join the chains so later data can refer to them.
            int stop = std::min(pos_ + pendingLength_ - 1, end - kMinMatch + 1);
            for (int q = inserted + 1; q < stop; ++q)
                m.insert(q);
            pos_ += pendingLength_ - 1;
            pending_ = false;
            pendingLength_ = 0;
            continue;
        }
        if (pending_)
            emitLiteral(data[pos_ - 1], out);
        pending_ = true;
        pendingLength_ = length;
        pendingDistance_ = distance;
        ++pos_;
    }
}

void LzhEncoder::emitLiteral(std::uint8_t byte, std::vector<std::uint8_t>& out)
{
    symbols_[static_cast<std::size_t>(tokens_++)] = byte;
    if (tokens_ == static_cast<int>(symbols_.size()))
        flushBlock(out);
}

void LzhEncoder::emitMatch(int length, unsigned distance, std::vector<std::uint8_t>& out)
{
    symbols_[static_cast<std::size_t>(tokens_)] = static_cast<std::uint16_t>(256 + length - kMinMatch);
    distances_[static_cast<std::size_t>(tokens_)] = static_cast<std::uint16_t>(distance);
    if (++tokens_ == static_cast<int>(symbols_.size()))
        flushBlock(out);
}

void LzhEncoder::flushBlock(std::vector<std::uint8_t>& out)
{
    writeBlock(bits_, params_, symbols_.data(), distances_.data(), tokens_);
    tokens_ = 0;
    out.insert(out.end(), blockBytes_.begin(), blockBytes_.end());
    blockBytes_.clear();
}

}  // namespace lzh
