#include "binding/library_loader.h"

#include <windows.h>

namespace trk7700::client {

void *loadLibrary(const std::string &fileName, std::string &failure)
{
    // A bare name is found beside the executable first, then on the
    // system's search path.
    const HMODULE module = LoadLibraryA(fileName.c_str());
    if (module == nullptr) {
        failure = fileName + " cannot be loaded (error " + std::to_string(GetLastError()) + ").";
        return nullptr;
    }
    return reinterpret_cast<void *>(module);
}

void *findEntryPoint(void *library, const char *name)
{
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace trk7700::client
