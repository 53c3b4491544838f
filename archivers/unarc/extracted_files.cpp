// Records of extracted files and the hard-link groups they form.
#include "unarc/extracted_files.h"

namespace arc::unarc {

void ExtractedFiles::addFile(const std::string& path, std::uint64_t size, bool placed)
{
    groups_.push_back(Group{size, {path}});
    records_[path] = Record{groups_.size() - 1, placed};
}

void ExtractedFiles::addLink(const std::string& path, const std::string& target, bool placed)
{
    const auto found = records_.find(target);
    if (found == records_.end())
        return;
    const std::size_t group = found->second.group;
    groups_[group].names.push_back(path);
    records_[path] = Record{group, placed};
}

void ExtractedFiles::setSize(const std::string& path, std::uint64_t size)
{
    if (const auto found = records_.find(path); found != records_.end())
        groups_[found->second.group].size = size;
}

const ExtractedFiles::Record* ExtractedFiles::find(const std::string& path) const
{
    const auto found = records_.find(path);
    return found == records_.end() ? nullptr : &found->second;
}

std::vector<std::string> ExtractedFiles::namesOf(const Record& record) const
{
    std::vector<std::string> names;
    for (const std::string& name : groups_[record.group].names) {
        const Record* now = find(name);
        if (now != nullptr && now->group == record.group)
            names.push_back(name);
    }
    return names;
}

}  // namespace arc::unarc
