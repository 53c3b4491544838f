// File names of the formats unarc32 reads, and the numbering of multi-volume sets.
#include "unarc/archive_names.h"

#include <array>
#include <cctype>

namespace arc::unarc {
namespace {

// Longest first where one ends another (".tar.gz" before ".tar" is not needed, but ".tar.lz4"
// before ".tar.lz" keeps the reading plain).
constexpr std::array<std::string_view, 18> kExtensions = {
    ".tar.gz", ".tar.bz2", ".tar.xz", ".tar.zst", ".tar.lz4", ".tar.lz", ".tgz",  ".tbz2", ".tbz",
    ".txz",    ".tzst",    ".tar",    ".7z",      ".cab",     ".iso",    ".cpio", ".xar",  ".rar",
};
// What may stand before a split set's number: the format of the bytes that were split.
constexpr std::string_view kSplitZip = ".zip";
// Beyond this many digits a number is not a volume number (and could not be counted).
constexpr std::size_t kMaxVolumeDigits = 9;
// Old RAR sets: x.rar, then x.r00 .. x.r99, then x.s00 .. x.s99.
constexpr unsigned long kOldRarLastVolume = 200;

enum class Scheme { None, RarParts, RarOld, Numbered };

struct VolumeName {
    Scheme scheme = Scheme::None;
    std::size_t numberAt = 0;      // where the number stands (RarOld: the letters "rar", "rNN", "sNN")
    std::size_t numberLength = 0;  // its length; the width kept when counting
    unsigned long number = 0;      // 1 for a first volume; RarOld: 0 for ".rar", NN + 1 for ".rNN", NN + 101 for ".sNN"
    std::size_t stemEnd = 0;       // where the volume's extensions begin
};

std::string lowered(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::size_t nameStart(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? 0 : slash + 1;
}

// The start of the run of digits that ends at `end`.
std::size_t digitsBefore(std::string_view text, std::size_t end, std::size_t limit)
{
    std::size_t start = end;
    while (start > limit && isDigit(text[start - 1]))
        --start;
    return start;
}

unsigned long numberOf(std::string_view digits)
{
    unsigned long value = 0;
    for (char c : digits)
        value = value * 10 + static_cast<unsigned long>(c - '0');
    return value;
}

VolumeName parseVolume(std::string_view path)
{
    const std::string lower = lowered(path);
    const std::size_t start = nameStart(lower);
    const std::size_t size = lower.size();
    const std::string_view name = std::string_view(lower).substr(start);
    VolumeName volume;
    if (name.size() > 4 && name.ends_with(".rar")) {
        const std::size_t end = size - 4;
        const std::size_t digits = digitsBefore(lower, end, start);
        if (digits < end && end - digits <= kMaxVolumeDigits && digits >= start + 6 &&
            lower.compare(digits - 5, 5, ".part") == 0)
            return {Scheme::RarParts, digits, end - digits, numberOf(lower.substr(digits, end - digits)), digits - 5};
        return {Scheme::RarOld, end + 1, 3, 0, end};
    }
    if (name.size() > 4 && lower[size - 4] == '.' && (lower[size - 3] == 'r' || lower[size - 3] == 's') &&
        isDigit(lower[size - 2]) && isDigit(lower[size - 1])) {
        const unsigned long nn = numberOf(lower.substr(size - 2));
        return {Scheme::RarOld, size - 3, 3, nn + (lower[size - 3] == 'r' ? 1 : 101), size - 4};
    }
    const std::size_t digits = digitsBefore(lower, size, start);
    if (size - digits >= 3 && size - digits <= kMaxVolumeDigits && digits > start + 1 && lower[digits - 1] == '.')
        return {Scheme::Numbered, digits, size - digits, numberOf(lower.substr(digits)), digits - 1};
    return volume;
}

// `number` in at least `width` digits.
std::string padded(unsigned long number, std::size_t width)
{
    std::string digits = std::to_string(number);
    if (digits.size() < width)
        digits.insert(0, width - digits.size(), '0');
    return digits;
}

std::string replaced(std::string_view path, const VolumeName& volume, std::string_view text)
{
    std::string out(path.substr(0, volume.numberAt));
    out += text;
    out += path.substr(volume.numberAt + volume.numberLength);
    return out;
}

// "rar", "r07" or "s42" for an old-style RAR volume, in the case of the name's own letter.
std::string oldRarExtension(unsigned long number, bool upper)
{
    std::string text = number == 0 ? "rar" : (number <= 100 ? "r" : "s") + padded((number - 1) % 100, 2);
    for (char& c : text)
        c = upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
    return text;
}

// The length of one of our extensions (or ".zip") that ends `lower` at `end`, else 0.
std::size_t extensionEndingAt(std::string_view lower, std::size_t start, std::size_t end, bool zipToo)
{
    const std::string_view name = lower.substr(start, end - start);
    for (std::string_view extension : kExtensions) {
        if (name.ends_with(extension))
            return extension.size();
    }
    if (zipToo && name.ends_with(kSplitZip))
        return kSplitZip.size();
    return 0;
}

}  // namespace

ArchiveNameInfo classifyArchiveName(std::string_view path)
{
    const std::size_t start = nameStart(path);
    const VolumeName volume = parseVolume(path);
    ArchiveNameInfo info;
    switch (volume.scheme) {
    case Scheme::RarParts:
    case Scheme::RarOld:
        info.kind = volume.number <= (volume.scheme == Scheme::RarParts ? 1u : 0u) ? ArchiveNameKind::Archive
                                                                                   : ArchiveNameKind::LaterVolume;
        info.stem = std::string(path.substr(start, volume.stemEnd - start));
        return info;
    case Scheme::Numbered: {
        // Split sets count past .999 into .1000, but a name of four or more digits alone is more
        // likely a year or a serial number than a volume.
        if (volume.number == 0 || volume.numberLength != 3)
            return info;
        info.kind = volume.number == 1 ? ArchiveNameKind::Archive : ArchiveNameKind::LaterVolume;
        const std::string lower = lowered(path);
        const std::size_t inner = extensionEndingAt(lower, start, volume.stemEnd, true);
        info.stem = std::string(path.substr(start, volume.stemEnd - inner - start));
        return info;
    }
    case Scheme::None: break;
    }
    const std::string lower = lowered(path);
    const std::size_t extension = extensionEndingAt(lower, start, lower.size(), false);
    if (extension == 0)
        return info;
    info.kind = ArchiveNameKind::Archive;
    info.stem = std::string(path.substr(start, path.size() - extension - start));
    return info;
}

std::string firstVolumePath(std::string_view path)
{
    const VolumeName volume = parseVolume(path);
    switch (volume.scheme) {
    case Scheme::RarParts:
    case Scheme::Numbered:
        if (volume.number > 1)
            return replaced(path, volume, padded(1, volume.numberLength));
        break;
    case Scheme::RarOld:
        if (volume.number > 0)
            return replaced(path, volume,
                            oldRarExtension(0, std::isupper(static_cast<unsigned char>(path[volume.numberAt]))));
        break;
    case Scheme::None: break;
    }
    return std::string(path);
}

std::optional<std::string> nextVolumePath(std::string_view path)
{
    const VolumeName volume = parseVolume(path);
    switch (volume.scheme) {
    case Scheme::RarParts:
    case Scheme::Numbered:
        if (volume.number == 0 || std::to_string(volume.number + 1).size() > kMaxVolumeDigits)
            return std::nullopt;
        return replaced(path, volume, padded(volume.number + 1, volume.numberLength));
    case Scheme::RarOld:
        if (volume.number >= kOldRarLastVolume)
            return std::nullopt;
        return replaced(
            path, volume,
            oldRarExtension(volume.number + 1, std::isupper(static_cast<unsigned char>(path[volume.numberAt]))));
    case Scheme::None: break;
    }
    return std::nullopt;
}

}  // namespace arc::unarc
