// The -lh4-/-lh5-/-lh6-/-lh7- decoder: per block, read the three tables, then decode codes into
// the output window, which is flushed to the sink in 64 KiB steps. Other methods have their
// own decoders; this file dispatches to them.
//
// The window starts filled with spaces, as the format's reference decoders do, so a distance
// reaching before the first byte reads 0x20 rather than failing. -lh4- is the same stream with
// a 4 KiB window: its position codes can still name 8 KiB, so that much is filled.
#include "lzh/lzh_decoder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "lzh/bit_reader.h"
#include "lzh/crc16.h"
#include "lzh/huffman_decoder.h"
#include "lzh/larc_decoder.h"
#include "lzh/lh1_decoder.h"
#include "lzh/lh2_decoder.h"
#include "lzh/lh3_decoder.h"
#include "lzh/output_window.h"

namespace lzh {
namespace {

class StreamDecoder {
public:
    StreamDecoder(Method method, ByteSource& source, ByteSink& sink)
        : params_(paramsOf(method)), bits_(source), out_(sink)
    {
        // Only what the position codes can reach below position 0 is read before it is written.
        const std::uint32_t reach = 1u << (params_.np - 1);
        std::memset(out_.history(reach), 0x20, reach);
    }

    LzhStatus run(std::uint64_t originalSize, std::uint16_t& crc)
    {
        return decodeStream(
            bits_, out_, [&] { return decodeAll(originalSize); }, crc);
    }

private:
    LzhStatus decodeAll(std::uint64_t remaining)
    {
        while (remaining > 0) {
            if (bits_.overran())
                return LzhStatus::Truncated;
            std::uint32_t codes = bits_.get(16);
            if (codes == 0)
                return LzhStatus::BadBlockSize;
            if (!readTTable() || !readCTable() || !readPTable())
                return LzhStatus::BadCodeTable;
            while (codes-- > 0 && remaining > 0) {
                int c = cTable_.decode(bits_);
                if (c < 256) {
                    out_.put(static_cast<std::uint8_t>(c));
                    --remaining;
                } else {
                    std::uint32_t length = static_cast<std::uint32_t>(c - 256 + kMinMatch);
                    int slot = pTable_.decode(bits_);
                    std::uint32_t distance = slot <= 1
                                                 ? static_cast<std::uint32_t>(slot)
                                                 : (1u << (slot - 1)) + bits_.get(static_cast<unsigned>(slot - 1));
                    if (length > remaining)
                        length = static_cast<std::uint32_t>(remaining);
                    out_.copy(distance + 1, length);
                    remaining -= length;
                }
                if (out_.flushDue()) {
                    if (bits_.overran())
                        return LzhStatus::Truncated;
                    LzhStatus st = out_.flush();
                    if (st != LzhStatus::Ok)
                        return st;
                }
            }
        }
        return LzhStatus::Ok;
    }

    // Lengths of the T and P tables: 3 bits, or 7 and up as "111" plus a unary tail.
    bool readSmallLengths(std::uint8_t* lengths, int count, int zeroRunAfter)
    {
        for (int i = 0; i < count;) {
            unsigned length = bits_.get(3);
            if (length == 7) {
                while (bits_.get(1) == 1) {
                    if (++length > 16)
                        return false;
                }
            }
            lengths[i++] = static_cast<std::uint8_t>(length);
            if (i == zeroRunAfter) {
                int zeros = static_cast<int>(bits_.get(2));
                if (i + zeros > count)
                    return false;
                for (int k = 0; k < zeros; ++k)
                    lengths[i++] = 0;
            }
        }
        return true;
    }

    bool readSmallTable(HuffmanDecoder& table, int symbolCount, int countBits, int zeroRunAfter)
    {
        int count = static_cast<int>(bits_.get(static_cast<unsigned>(countBits)));
        if (count == 0) {
            int symbol = static_cast<int>(bits_.get(static_cast<unsigned>(countBits)));
            if (symbol >= symbolCount)
                return false;
            table.buildSingle(symbol);
            return true;
        }
        if (count > symbolCount)
            return false;
        std::uint8_t lengths[kMaxNP > kNT ? kMaxNP : kNT] = {};
        if (!readSmallLengths(lengths, count, zeroRunAfter))
            return false;
        return table.build(lengths, symbolCount);
    }

    bool readTTable() { return readSmallTable(tTable_, kNT, kTBit, 3); }
    bool readPTable() { return readSmallTable(pTable_, params_.np, params_.pbit, -1); }

    bool readCTable()
    {
        int count = static_cast<int>(bits_.get(kCBit));
        if (count == 0) {
            int symbol = static_cast<int>(bits_.get(kCBit));
            if (symbol >= kNC)
                return false;
            cTable_.buildSingle(symbol);
            return true;
        }
        if (count > kNC)
            return false;
        std::uint8_t lengths[kNC] = {};
        for (int i = 0; i < count;) {
            int t = tTable_.decode(bits_);
            if (t > 2) {
                lengths[i++] = static_cast<std::uint8_t>(t - 2);
                continue;
            }
            int zeros = t == 0   ? 1
                        : t == 1 ? static_cast<int>(bits_.get(4)) + 3
                                 : static_cast<int>(bits_.get(kCBit)) + 20;
            if (i + zeros > count)
                return false;
            i += zeros;  // already zero
        }
        return cTable_.build(lengths, kNC);
    }

    MethodParams params_;
    BitReader bits_;
    OutputWindow out_;
    HuffmanDecoder tTable_{8};
    HuffmanDecoder cTable_{12};
    HuffmanDecoder pTable_{8};
};

LzhStatus copyStored(ByteSource& source, std::uint64_t originalSize, ByteSink& sink, std::uint16_t& crc)
{
    std::vector<std::uint8_t> buffer(64 * 1024);  // one progress step
    std::uint16_t sum = 0;
    while (originalSize > 0) {
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(originalSize, buffer.size()));
        std::size_t got = 0;
        LzhStatus st = source.read(buffer.data(), want, got);
        if (st != LzhStatus::Ok)
            return st;
        if (got == 0)
            return LzhStatus::Truncated;
        sum = crc16Update(sum, buffer.data(), got);
        st = sink.write(buffer.data(), got);
        if (st != LzhStatus::Ok)
            return st;
        originalSize -= got;
    }
    crc = sum;
    return LzhStatus::Ok;
}

}  // namespace

LzhStatus decodeMember(Method method, ByteSource& source, std::uint64_t originalSize, ByteSink& sink,
                       std::uint16_t& crc)
{
    crc = 0;
    switch (method) {
    case Method::Lhd: return LzhStatus::Ok;
    case Method::Lh0:
    case Method::Lz4: return copyStored(source, originalSize, sink, crc);
    case Method::Lh1: return decodeLh1(source, originalSize, sink, crc);
    case Method::Lh2: return decodeLh2(source, originalSize, sink, crc);
    case Method::Lh3: return decodeLh3(source, originalSize, sink, crc);
    case Method::Lz5:
    case Method::Lzs: return decodeLarc(method, source, originalSize, sink, crc);
    case Method::Lh4:
    case Method::Lh5:
    case Method::Lh6:
    case Method::Lh7: break;
    }
    auto decoder = std::make_unique<StreamDecoder>(method, source, sink);
    return decoder->run(originalSize, crc);
}

}  // namespace lzh
