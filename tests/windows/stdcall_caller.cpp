// trk7700_stdcall_caller: a 32-bit Windows caller that declares every entry
// point stdcall and finds it by its plain name with GetProcAddress, as callers
// of TRK7700_DLL.dll do. Each call goes through a small assembler thunk that
// pushes the arguments, calls, and measures how far the stack pointer moved:
// a stdcall callee removes its own arguments, so it must come back unchanged.
// A callee built with another convention leaves its arguments behind.
//
// None of the calls needs a logger: without dump mode each returns at once.
#include "TRK7700_DLL.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#if !defined(_WIN32) || defined(_WIN64)
#error "the stdcall check is for 32-bit Windows"
#endif

// int32_t callMeasuringStack(const void *function, const uint32_t *arguments,
//                            int32_t count, int32_t *stackMovedBy)
asm(R"(
    .text
    .globl _callMeasuringStack
_callMeasuringStack:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    pushl %edi
    pushl %ebx
    movl 12(%ebp), %edi
    movl 16(%ebp), %ecx
    movl %esp, %esi
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%edi,%ecx,4)
    jmp 1b
2:  call *8(%ebp)
    movl %esp, %ecx
    subl %esi, %ecx
    movl %esi, %esp
    movl 20(%ebp), %edx
    movl %ecx, (%edx)
    popl %ebx
    popl %edi
    popl %esi
    popl %ebp
    ret
)");

extern "C" int32_t callMeasuringStack(const void *function, const uint32_t *arguments, int32_t count,
                                      int32_t *stackMovedBy);

namespace {

uint32_t word(const void *pointer) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer)); }

}  // namespace

int main()
{
    const HMODULE library = LoadLibraryA("TRK7700_DLL.dll");
    if (library == nullptr) {
        std::printf("FAIL TRK7700_DLL.dll cannot be loaded (error %lu)\n", GetLastError());
        return 1;
    }
    int32_t found = 0, time = 0, distance = 0, serial = 0;
    uint8_t bytes[6] = {};
    char text[16] = "           ";
    struct Call {
        const char *name;
        std::vector<uint32_t> arguments;
        int32_t expected;
    };
    // Device operations without dump mode: 26; the rest as the header says.
    const Call calls[] = {
        {"QZ_TRK7700_INTO_DUMP_MODE", {0}, return_can_not_open_com_port},
        {"QZ_TRK7700_EXIT_DUMP_MODE", {}, return_exit_dump_mode},
        {"QZ_TRK7700_DUMP_DB", {3, word("Wayfolk.txt")}, return_not_dump_mode},
        {"QZ_TRK7700_ERASE_All_DB", {3}, return_not_dump_mode},
        {"QZ_TRK7700_SETTING_DEVICE", {3, 60, 100, 0, 1, word(""), 0}, return_setting_value_error},
        {"QZ_TRK7700_READ_SETTING_VALUE",
         {3, word(&time), word(&distance), word(&bytes[0]), word(&bytes[1]), word(&bytes[2])},
         return_not_dump_mode},
        {"QZ_TRK7700_READ_DLL_VERSION", {word(text)}, return_read_dll_version_successful},
        {"QZ_TRK7700_READ_DEVICE_INFORMATION", {3, word(&serial), word(text)}, return_not_dump_mode},
        {"QZ_TRK7700_READ_GPS_UTC_TIME_DATE",
         {word(&bytes[0]), word(&bytes[1]), word(&bytes[2]), word(&bytes[3]), word(&bytes[4]), word(&bytes[5])},
         return_not_dump_mode},
        {"QZ_TRK7700_FW_UPGRADE", {3, word("")}, return_not_dump_mode},
        {"QZ_TRK7700_Read_BinFile_FW_Version", {word(text), word("C:\\no\\such\\folder")}, return_error_bin_file_path},
    };
    int failures = 0;
    for (const Call &call : calls) {
        const void *function = reinterpret_cast<const void *>(GetProcAddress(library, call.name));
        if (function == nullptr) {
            std::printf("FAIL %s is not exported under its plain name\n", call.name);
            ++failures;
            continue;
        }
        int32_t movedBy = 0;
        const int32_t result =
            callMeasuringStack(function, call.arguments.data(), static_cast<int32_t>(call.arguments.size()), &movedBy);
        const bool ok = movedBy == 0 && result == call.expected;
        std::printf("%s %s: result %d (expected %d), stack moved by %d bytes\n", ok ? "ok  " : "FAIL", call.name,
                    result, call.expected, movedBy);
        failures += ok ? 0 : 1;
    }
    (void)found;
    std::printf("%s\n", failures == 0 ? "all entry points are stdcall" : "FAILED");
    return failures == 0 ? 0 : 1;
}
