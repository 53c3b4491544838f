// The -lz5- and -lzs- decoders. Matches name an absolute place in a small window; the output
// window keeps the same bytes at a relative distance, so a match becomes a copy from
// (position - source) bytes back, where a distance of 0 means a whole window back: the
// window's byte there has not been overwritten yet when it is read.
#include "lzh/larc_decoder.h"

#include <cstring>
#include <memory>
#include <vector>

#include "lzh/bit_reader.h"
#include "lzh/output_window.h"

namespace lzh {
namespace {

struct LarcParams {
    std::uint32_t window;
    std::uint32_t start;  // where writing begins
};

constexpr LarcParams kLz5{4096, 4096 - 18};
constexpr LarcParams kLzs{2048, 2048 - 17};

// Puts the window's starting contents before the first output byte: the byte that a match
// naming window place p reads there is initial[p], at distance (start - p) mod window.
void fillHistory(OutputWindow& out, const LarcParams& p, const std::uint8_t* initial)
{
    std::uint8_t* history = out.history(p.window);
    for (std::uint32_t back = 1; back <= p.window; ++back)
        history[p.window - back] = initial[(p.start + p.window - back) % p.window];
}

std::vector<std::uint8_t> lz5InitialWindow()
{
    std::vector<std::uint8_t> w;
    w.reserve(kLz5.window);
    for (int v = 0; v < 256; ++v)
        w.insert(w.end(), 13, static_cast<std::uint8_t>(v));
    for (int v = 0; v < 256; ++v)
        w.push_back(static_cast<std::uint8_t>(v));
    for (int v = 255; v >= 0; --v)
        w.push_back(static_cast<std::uint8_t>(v));
    w.insert(w.end(), 128, 0);
    w.resize(kLz5.window, 0x20);
    return w;
}

// Reads a byte-aligned source one byte at a time from a buffer.
class ByteReader {
public:
    explicit ByteReader(ByteSource& source) : source_(source), buffer_(new std::uint8_t[kBufferSize]) {}

    // False at the end of the source (or on its failure).
    bool next(std::uint8_t& byte)
    {
        if (pos_ == end_ && !fetch())
            return false;
        byte = buffer_[pos_++];
        return true;
    }
    LzhStatus sourceStatus() const { return status_; }

private:
    static constexpr std::size_t kBufferSize = 65536;

    bool fetch()
    {
        if (ended_)
            return false;
        std::size_t got = 0;
        status_ = source_.read(buffer_.get(), kBufferSize, got);
        if (status_ != LzhStatus::Ok || got == 0) {
            ended_ = true;
            return false;
        }
        pos_ = 0;
        end_ = got;
        return true;
    }

    ByteSource& source_;
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool ended_ = false;
    LzhStatus status_ = LzhStatus::Ok;
};

LzhStatus finishOrFail(OutputWindow& out, LzhStatus st, std::uint16_t& crc)
{
    if (st == LzhStatus::Ok)
        st = out.flush();
    if (st == LzhStatus::Ok)
        crc = out.crc();
    return st;
}

// The distance back from the current window place to the source `from`, 1..window.
std::uint32_t backTo(std::uint64_t written, const LarcParams& p, std::uint32_t from)
{
    const std::uint32_t here = static_cast<std::uint32_t>((p.start + written) % p.window);
    return ((here - from - 1) & (p.window - 1)) + 1;
}

LzhStatus decodeLz5(ByteSource& source, std::uint64_t remaining, OutputWindow& out)
{
    ByteReader in(source);
    unsigned flags = 0;
    int flagsLeft = 0;
    while (remaining > 0) {
        if (flagsLeft == 0) {
            std::uint8_t f;
            if (!in.next(f))
                break;
            flags = f;
            flagsLeft = 8;
        }
        std::uint8_t first;
        if (!in.next(first))
            break;
        if ((flags & 1) != 0) {
            out.put(first);
            --remaining;
        } else {
            std::uint8_t second;
            if (!in.next(second))
                break;
            const std::uint32_t from = first | ((second & 0xF0u) << 4);
            std::uint32_t length = (second & 0x0Fu) + 3;
            if (length > remaining)
                length = static_cast<std::uint32_t>(remaining);
            out.copy(backTo(out.written(), kLz5, from), length);
            remaining -= length;
        }
        flags >>= 1;
        --flagsLeft;
        if (out.flushDue()) {
            LzhStatus st = out.flush();
            if (st != LzhStatus::Ok)
                return st;
        }
    }
    if (in.sourceStatus() != LzhStatus::Ok)
        return in.sourceStatus();
    return remaining == 0 ? LzhStatus::Ok : LzhStatus::Truncated;
}

LzhStatus decodeLzs(ByteSource& source, std::uint64_t remaining, OutputWindow& out)
{
    BitReader bits(source);
    bits.start();
    while (remaining > 0) {
        if (bits.get(1) != 0) {
            out.put(static_cast<std::uint8_t>(bits.get(8)));
            --remaining;
        } else {
            const std::uint32_t item = bits.get(15);
            const std::uint32_t from = item >> 4;
            std::uint32_t length = (item & 0x0F) + 2;
            if (length > remaining)
                length = static_cast<std::uint32_t>(remaining);
            out.copy(backTo(out.written(), kLzs, from), length);
            remaining -= length;
        }
        if (out.flushDue()) {
            if (bits.overran())
                return LzhStatus::Truncated;
            LzhStatus st = out.flush();
            if (st != LzhStatus::Ok)
                return st;
        }
    }
    if (bits.sourceStatus() != LzhStatus::Ok)
        return bits.sourceStatus();
    return bits.overran() ? LzhStatus::Truncated : LzhStatus::Ok;
}

}  // namespace

LzhStatus decodeLarc(Method method, ByteSource& source, std::uint64_t originalSize, ByteSink& sink, std::uint16_t& crc)
{
    crc = 0;
    auto out = std::make_unique<OutputWindow>(sink);
    if (method == Method::Lz5) {
        fillHistory(*out, kLz5, lz5InitialWindow().data());
        return finishOrFail(*out, decodeLz5(source, originalSize, *out), crc);
    }
    if (method != Method::Lzs)
        return LzhStatus::UnsupportedMethod;
    const std::vector<std::uint8_t> spaces(kLzs.window, 0x20);
    fillHistory(*out, kLzs, spaces.data());
    return finishOrFail(*out, decodeLzs(source, originalSize, *out), crc);
}

}  // namespace lzh
