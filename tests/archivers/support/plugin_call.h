// A plug-in library loaded from the build's bin directory as the program loads it, and one of
// its command entry points called the way the program calls it. TEMBREL_BIN_DIR comes from the
// test executable's compile definitions.
#pragma once

#include <dlfcn.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

namespace arc::testing {

struct PluginResult {
    int code = -1;
    std::string message;
};

class Plugin {
public:
    // `outputSize` is the message buffer handed to the entry point; each suite keeps the size
    // its plug-in's messages were tested with.
    Plugin(const std::string& library, const char* entry, std::size_t outputSize = 4096)
        : library_(library), outputSize_(outputSize)
    {
        // Never unmapped: what the plug-in's own C++ runtime keeps (its exception pool) stays
        // reachable, so that LeakSanitizer does not take it for a leak.
        handle_ = dlopen((std::string(TEMBREL_BIN_DIR) + "/" + library).c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (handle_ != nullptr)
            function_ = reinterpret_cast<Function>(dlsym(handle_, entry));
    }
    ~Plugin()
    {
        if (handle_ != nullptr)
            dlclose(handle_);
    }
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    bool loaded() const { return function_ != nullptr; }

    PluginResult operator()(const std::string& command) const
    {
        PluginResult result;
        if (function_ == nullptr) {
            ADD_FAILURE() << library_ << " or its entry point is missing";
            return result;
        }
        std::string output(outputSize_, '\0');
        result.code = function_(0, command.c_str(), output.data(), static_cast<std::uint32_t>(output.size()));
        result.message = output.c_str();
        return result;
    }

    // Another exported function of the same library (a version query, say); null if absent.
    template <typename Fn> Fn symbol(const char* name) const
    {
        return handle_ != nullptr ? reinterpret_cast<Fn>(dlsym(handle_, name)) : nullptr;
    }

private:
    using Function = int (*)(std::uintptr_t, const char*, char*, std::uint32_t);
    std::string library_;
    std::size_t outputSize_;
    void* handle_ = nullptr;
    Function function_ = nullptr;
};

}  // namespace arc::testing
