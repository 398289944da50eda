#include "platform/Library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>

namespace platform {

Library::~Library()
{
    if (handle_)
        dlclose(handle_);
}

std::string Library::sharedObjectName(const std::string& windowsName)
{
    std::string stem = windowsName;
    const auto dot = stem.rfind('.');
    if (dot != std::string::npos)
        stem.erase(dot);
    std::transform(stem.begin(), stem.end(), stem.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return "lib" + stem + ".so";
}

std::unique_ptr<Library> Library::load(const std::string& windowsName)
{
    const std::string so = sharedObjectName(windowsName);
    void* handle = dlopen(so.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        handle = dlopen((programDirectory() + so).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return nullptr;
    return std::unique_ptr<Library>(new Library(handle));
}

void* Library::symbol(const char* name) const { return dlsym(handle_, name); }

std::string programPath()
{
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    return std::string(buf, static_cast<size_t>(n));
}

std::string programDirectory()
{
    std::string path = programPath();
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

}  // namespace platform
