// The LZH methods this engine knows, and the constants of the -lh4- .. -lh7- bit stream.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace lzh {

// The writer produces -lh0-, -lh5-, -lh6-, -lh7- and -lhd-; the others are only read: -lh1-
// (LHarc 1.x), -lh2-/-lh3- (LHarc 2's adaptive and static test methods), -lh4- (the -lh5-
// coder with a 4 KiB window) and LArc's -lz4-, -lz5-, -lzs-.
enum class Method { Lh0, Lh5, Lh6, Lh7, Lhd, Lh1, Lh2, Lh3, Lh4, Lz4, Lz5, Lzs };

// The stream constants shared by the three sliding-dictionary methods.
inline constexpr int kMaxMatch = 256;
inline constexpr int kMinMatch = 3;
inline constexpr int kNC = 256 + kMaxMatch - kMinMatch + 1;  // 510 literal/length symbols
inline constexpr int kCBit = 9;
inline constexpr int kNT = 19;  // symbols of the table that codes the C lengths
inline constexpr int kTBit = 5;
inline constexpr int kMaxCodeBits = 16;
inline constexpr int kMaxNP = 17;

struct MethodParams {
    int dictionaryBits;  // window of 2^bits bytes
    int np;              // position slots: dictionaryBits + 1
    int pbit;            // bits of the P table's count field
};

constexpr MethodParams paramsOf(Method method)
{
    switch (method) {
    case Method::Lh4: return {12, 14, 4};
    case Method::Lh6: return {15, 16, 5};
    case Method::Lh7: return {16, 17, 5};
    default: return {13, 14, 4};
    }
}

constexpr bool isSlidingDictionary(Method method)
{
    return method == Method::Lh5 || method == Method::Lh6 || method == Method::Lh7;
}

constexpr std::string_view methodId(Method method)
{
    switch (method) {
    case Method::Lh0: return "-lh0-";
    case Method::Lh5: return "-lh5-";
    case Method::Lh6: return "-lh6-";
    case Method::Lh7: return "-lh7-";
    case Method::Lhd: return "-lhd-";
    case Method::Lh1: return "-lh1-";
    case Method::Lh2: return "-lh2-";
    case Method::Lh3: return "-lh3-";
    case Method::Lh4: return "-lh4-";
    case Method::Lz4: return "-lz4-";
    case Method::Lz5: return "-lz5-";
    case Method::Lzs: return "-lzs-";
    }
    return "-lh0-";
}

// The method named by a header's five method bytes; nullopt for methods we do not handle.
inline std::optional<Method> methodFor(std::string_view id)
{
    for (Method m : {Method::Lh0, Method::Lh5, Method::Lh6, Method::Lh7, Method::Lhd, Method::Lh1, Method::Lh2,
                     Method::Lh3, Method::Lh4, Method::Lz4, Method::Lz5, Method::Lzs})
        if (methodId(m) == id)
            return m;
    return std::nullopt;
}

}  // namespace lzh
