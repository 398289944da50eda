#pragma once
// Stand-in for LoadLibraryA / GetProcAddress / FreeLibrary. A Windows library name such as
// "BRVREG.DLL" stands for the shared object "libbrvreg.so", looked up through the library search
// path first (LD_LIBRARY_PATH, so tests can put fakes first) and then beside the program.

#include <memory>
#include <string>

namespace platform {

class Library {
public:
    ~Library();  // FreeLibrary
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // LoadLibraryA: null when the library cannot be found or loaded.
    static std::unique_ptr<Library> load(const std::string& windowsName);

    // GetProcAddress: null when the library does not export the name.
    void* symbol(const char* name) const;

    template <typename Fn> Fn function(const char* name) const { return reinterpret_cast<Fn>(symbol(name)); }

    // "BRVREG.DLL" -> "libbrvreg.so"
    static std::string sharedObjectName(const std::string& windowsName);

private:
    explicit Library(void* handle) : handle_(handle) {}
    void* handle_;
};

// Directory of the running program, with a trailing "/".
std::string programDirectory();
// Full path of the running program file.
std::string programPath();

}  // namespace platform
