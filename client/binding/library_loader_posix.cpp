#include "binding/library_loader.h"

#include "binding/shipped_files.h"

#include <dlfcn.h>

namespace trk7700::client {

void *loadLibrary(const std::string &fileName, std::string &failure)
{
    // Looked up explicitly rather than through the executable's run path:
    // the loader applies the run path of dlopen's caller, which is not the
    // executable where a sanitizer runtime intercepts the call.
    for (const auto &candidate : libraryCandidates(fileName)) {
        if (void *handle = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
    }
    const char *reason = ::dlerror();
    failure = fileName + " cannot be loaded" + (reason != nullptr ? std::string(": ") + reason : ".");
    return nullptr;
}

void *findEntryPoint(void *library, const char *name)
{
    ::dlerror();
    return ::dlsym(library, name);
}

}  // namespace trk7700::client
