#include "store/Icu.h"

#include <atomic>
#include <dlfcn.h>
#include <list>
#include <mutex>
#include <stdexcept>
#include <string>

namespace store::icu {
namespace {

// ICU renames its functions by version (unorm2_normalize -> unorm2_normalize_72); the headers'
// macros give the name the library exports.
#define COMMENT_ICU_NAME(f) COMMENT_ICU_STRING(f)
#define COMMENT_ICU_STRING(f) #f

template <typename Fn> void bind(void* library, Fn& fn, const char* name)
{
    fn = reinterpret_cast<Fn>(dlsym(library, name));
    if (!fn)
        throw std::runtime_error(std::string("ICU has no ") + name);
}

Functions load()
{
    const std::string name = std::string("libicuuc.so.") + U_ICU_VERSION_SHORT;
    // Kept for the life of the process: the functions are used until its end.
    void* library = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        throw std::runtime_error("cannot load " + name);
    Functions f{};
    bind(library, f.errorName, COMMENT_ICU_NAME(u_errorName));
    bind(library, f.strFromUTF8WithSub, COMMENT_ICU_NAME(u_strFromUTF8WithSub));
    bind(library, f.getNFKCCasefoldInstance, COMMENT_ICU_NAME(unorm2_getNFKCCasefoldInstance));
    bind(library, f.normalize, COMMENT_ICU_NAME(unorm2_normalize));
    bind(library, f.hasBoundaryBefore, COMMENT_ICU_NAME(unorm2_hasBoundaryBefore));
    bind(library, f.quickCheck, COMMENT_ICU_NAME(unorm2_quickCheck));
    bind(library, f.open, COMMENT_ICU_NAME(ucnv_open));
    bind(library, f.close, COMMENT_ICU_NAME(ucnv_close));
    bind(library, f.reset, COMMENT_ICU_NAME(ucnv_reset));
    bind(library, f.toUChars, COMMENT_ICU_NAME(ucnv_toUChars));
    return f;
}

std::mutex bindMutex;
std::function<Functions()> customLoader;
std::atomic<const Functions*> bound{nullptr};
std::list<Functions> everBound;  // a search may still hold functions bound before a new loader

}  // namespace

const Functions& functions()
{
    if (const Functions* f = bound.load(std::memory_order_acquire))
        return *f;
    const std::lock_guard lock(bindMutex);
    if (const Functions* f = bound.load(std::memory_order_relaxed))
        return *f;
    const Functions& f = everBound.emplace_back(customLoader ? customLoader() : load());
    bound.store(&f, std::memory_order_release);
    return f;
}

void setLoader(std::function<Functions()> loader)
{
    const std::lock_guard lock(bindMutex);
    customLoader = std::move(loader);
    bound.store(nullptr, std::memory_order_release);
}

}  // namespace store::icu
