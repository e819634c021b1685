/* TRK7700_DLL: the link library of the TRK-7700 GPS track logger.
 *
 * Every entry point is synchronous and returns one result code (2..39) from
 * the table below. Calls must not overlap: the library keeps one serial port,
 * one I/O buffer and its other state process-wide.
 *
 * Output texts are written with a terminating NUL into the caller's buffer;
 * the caller provides at least the room named at each function.
 */
#ifndef TRK7700_DLL_H
#define TRK7700_DLL_H

#include <stdint.h>

/* On Windows the library's .def file decides what is exported, and the twelve
 * entry points use the stdcall convention (32-bit Windows; 64-bit Windows has
 * one convention), so that a caller declaring them by name finds them. */
#if defined(_WIN32)
#define TRK7700_API
#define TRK7700_STDCALL __stdcall
#elif defined(__GNUC__)
#define TRK7700_API __attribute__((visibility("default")))
#define TRK7700_STDCALL
#else
#define TRK7700_API
#define TRK7700_STDCALL
#endif

/* The one table of result codes: value and name. The desktop tool and the
 * command line show results as "<value> <name>", e.g. "26 return_not_dump_mode".
 * Callers of the library know these names and values, as they know the entry
 * points' names: they stay exactly as they are, odd spellings included. */
#define TRK7700_RESULT_TABLE(X)                                                                                        \
    X(2, return_dump_db_successful)                                                                                    \
    X(3, return_can_not_open_com_port)                                                                                 \
    X(4, return_into_dump_mode_fail)                                                                                   \
    X(5, return_pc_not_enough_memory)                                                                                  \
    X(6, return_can_not_create_db_file)                                                                                \
    X(7, return_can_not_create_sort_db_file)                                                                           \
    X(8, return_can_not_create_output_file)                                                                            \
    X(9, return_can_not_open_db_file)                                                                                  \
    X(10, return_can_not_open_sort_db_file)                                                                            \
    X(11, return_can_not_open_output_tmp_file)                                                                         \
    X(12, return_device_time_out)                                                                                      \
    X(13, return_erase_db_successful)                                                                                  \
    X(14, return_setting_device_successful)                                                                            \
    X(15, return_setting_value_error)                                                                                  \
    X(16, return_uncompleted_wave_files)                                                                               \
    X(17, return_file_size_over_128K_bytes)                                                                            \
    X(18, return_device_checksum_error)                                                                                \
    X(19, return_timeInterval_over_3600second_error)                                                                   \
    X(20, return_displacementinterval_over_3000meter_error)                                                            \
    X(21, return_read_dll_version_successful)                                                                          \
    X(22, return_read_setting_value_successful)                                                                        \
    X(23, return_error_wave_file_path)                                                                                 \
    X(24, return_into_dump_mode_successful)                                                                            \
    X(25, return_exit_dump_mode)                                                                                       \
    X(26, return_not_dump_mode)                                                                                        \
    X(27, return_device_information_invalid)                                                                           \
    X(28, return_device_information_no_answer)                                                                         \
    X(29, return_read_device_information_successful)                                                                   \
    X(30, return_log_min_speed_over_20_knot_error)                                                                     \
    X(31, return_error_bin_file_path)                                                                                  \
    X(32, return_can_not_open_bin_file)                                                                                \
    X(33, return_bin_file_size_error)                                                                                  \
    X(34, return_not_correct_bin_file)                                                                                 \
    X(35, return_upgrade_firmware_successful)                                                                          \
    X(36, return_bin_file_checksum_error)                                                                              \
    X(37, return_read_binfile_FW_version_successful)                                                                   \
    X(38, return_read_gps_utc_time_invalid)                                                                            \
    X(39, return_read_gps_utc_time_successful)

#define TRK7700_RESULT_ENUM_ENTRY(value, name) name = value,
enum TRK7700_Result { TRK7700_RESULT_TABLE(TRK7700_RESULT_ENUM_ENTRY) };
#undef TRK7700_RESULT_ENUM_ENTRY

/* The name of a result code, or NULL for a value outside the table.
 * Header-only: it is not one of the library's exports. */
static inline const char *trk7700_result_name(int32_t result)
{
    switch (result) {
#define TRK7700_RESULT_NAME_CASE(value, name)                                                                          \
    case value: return #name;
        TRK7700_RESULT_TABLE(TRK7700_RESULT_NAME_CASE)
#undef TRK7700_RESULT_NAME_CASE
    default: return 0;
    }
}

#ifdef __cplusplus
extern "C" {
#endif

/* Arguments described as "byte" travel in 32 bits; only the low 8 bits count.
 * The comPort argument of the device operations is ignored: the port in use is
 * always the one opened when dump mode was entered. */

/* Dump mode */
TRK7700_API int32_t TRK7700_STDCALL QZ_TRK7700_INTO_DUMP_MODE(int32_t comPortByte);
TRK7700_API int32_t TRK7700_STDCALL QZ_TRK7700_AUTO_INTO_DUMP_MODE(int32_t *foundComPort);
TRK7700_API int32_t TRK7700_STDCALL QZ_TRK7700_EXIT_DUMP_MODE(void);

/* Log */
TRK7700_API int32_t TRK7700_STDCALL QZ_TRK7700_DUMP_DB(int32_t comPort, const char *textFilePath);
TRK7700_API int32_t TRK7700_STDCALL QZ_TRK7700_ERASE_All_DB(int32_t comPort);

/* Settings */
TRK7700_API int32_t TRK7700_STDCALL QZ_TRK7700_SETTING_DEVICE(int32_t comPort, uint32_t timeInterval,
                                                              uint32_t displacementInterval, int32_t vibrationByte,
                                                              int32_t tagByte, const char *waveFolder,
                                                              int32_t minSpeedByte);
TRK7700_API int32_t TRK7700_STDCALL QZ_TRK7700_READ_SETTING_VALUE(int32_t comPort, int32_t *timeInterval,
                                                                  int32_t *displacementInterval, uint8_t *vibration,
                                                                  uint8_t *tag, uint8_t *minSpeed);

/* Information and firmware */
TRK7700_API int32_t TRK7700_STDCALL QZ_TRK7700_READ_DLL_VERSION(char *version /* >= 4 bytes */);
TRK7700_API int32_t TRK7700_STDCALL QZ_TRK7700_READ_DEVICE_INFORMATION(int32_t comPort, int32_t *serialNumber,
                                                                       char *firmwareVersion /* >= 5 bytes */);
TRK7700_API int32_t TRK7700_STDCALL QZ_TRK7700_READ_GPS_UTC_TIME_DATE(uint8_t *hour, uint8_t *minute, uint8_t *second,
                                                                      uint8_t *year, uint8_t *month, uint8_t *day);
TRK7700_API int32_t TRK7700_STDCALL QZ_TRK7700_FW_UPGRADE(int32_t comPort, const char *imageFolder);
TRK7700_API int32_t TRK7700_STDCALL QZ_TRK7700_Read_BinFile_FW_Version(char *version /* >= 4 bytes */,
                                                                       const char *imageFolder);

/* Leftovers of the library template; nobody uses them. */
TRK7700_API int fnTRK7700_DLL(void);
TRK7700_API extern int nTRK7700_DLL;

#ifdef __cplusplus
} /* extern "C" */

class TRK7700_API CTRK7700_DLL {
public:
    CTRK7700_DLL();
    CTRK7700_DLL &operator=(const CTRK7700_DLL &);
};
#endif

#endif /* TRK7700_DLL_H */
