/* trk7700_linked_caller: a C program that includes TRK7700_DLL.h unchanged
 * and links against the DLL's import library, as C callers on Windows do.
 * That it links at all on 32-bit Windows shows that the import library binds
 * the header's stdcall names to the DLL's plain exports; run, it checks the
 * calls that need no logger. */
#include "TRK7700_DLL.h"

#include <stdio.h>
#include <string.h>

static int failures = 0;

static void expect(int condition, const char *what)
{
    printf("%s %s\n", condition ? "ok  " : "FAIL", what);
    if (!condition) ++failures;
}

int main(void)
{
    char version[6] = "     ";
    int32_t serial = -7;
    char firmware[6] = "xxxxx";
    expect(QZ_TRK7700_READ_DLL_VERSION(version) == return_read_dll_version_successful && strcmp(version, "1.5") == 0,
           "QZ_TRK7700_READ_DLL_VERSION gives 1.5");
    expect(QZ_TRK7700_EXIT_DUMP_MODE() == return_exit_dump_mode, "QZ_TRK7700_EXIT_DUMP_MODE without dump mode");
    expect(QZ_TRK7700_ERASE_All_DB(3) == return_not_dump_mode, "QZ_TRK7700_ERASE_All_DB needs dump mode");
    expect(QZ_TRK7700_READ_DEVICE_INFORMATION(3, &serial, firmware) == return_not_dump_mode && serial == -7,
           "QZ_TRK7700_READ_DEVICE_INFORMATION needs dump mode and writes nothing");
    expect(QZ_TRK7700_SETTING_DEVICE(3, 60, 100, 0, 1, "", 0) == return_setting_value_error,
           "QZ_TRK7700_SETTING_DEVICE refuses both intervals");
    expect(fnTRK7700_DLL() == 42, "fnTRK7700_DLL gives 42");
    return failures == 0 ? 0 : 1;
}
