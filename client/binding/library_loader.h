#pragma once
// The operating system's way of binding a library at run time:
// library_loader_posix.cpp with dlopen/dlsym, library_loader_windows.cpp with
// LoadLibraryA/GetProcAddress.
#include <string>

namespace trk7700::client {

// Loads the library by its file name (a bare name is searched where the
// system searches, beside the executable first). The handle, or null with
// the reason in failure.
void *loadLibrary(const std::string &fileName, std::string &failure);

// The address of the exported name, or null.
void *findEntryPoint(void *library, const char *name);

}  // namespace trk7700::client
