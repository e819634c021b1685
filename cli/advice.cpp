#include "advice.h"

#include "TRK7700_DLL.h"
#include "binding/result_text.h"

namespace trk7700::cli {
namespace {

const char *whatToDo(int32_t result)
{
    switch (result) {
    case return_can_not_open_com_port:
        return "No logger could be opened there. Check that it is switched on and connected, that the port "
               "number is right (see 'trk7700 ports'), that no other program uses the port, and that you may "
               "use serial ports (group 'dialout').";
    case return_into_dump_mode_fail:
        return "The port opened but the logger did not enter its dump mode. Switch the logger off and on "
               "again, then retry.";
    case return_pc_not_enough_memory: return "The computer ran out of memory. Close other programs and retry.";
    case return_can_not_create_db_file:
        return "The log file could not be created. Check the target folder: it must be writable.";
    case return_can_not_create_sort_db_file:
    case return_can_not_create_output_file:
        return "A file in the target folder could not be written. Check the folder's permissions and free space.";
    case return_can_not_open_db_file:
    case return_can_not_open_sort_db_file:
    case return_can_not_open_output_tmp_file:
        return "A working file in the target folder could not be read back. Check the folder and retry.";
    case return_device_time_out:
        return "The logger stopped answering. Check the connection (cable, Bluetooth range) and retry.";
    case return_setting_value_error: return "Give either a time interval or a distance interval, not both.";
    case return_uncompleted_wave_files:
        return "The voice prompt files are incomplete: reinstall the tool so that its wav folder holds all eight.";
    case return_file_size_over_128K_bytes:
        return "The voice prompt files are too large together (at most 131,327 bytes).";
    case return_device_checksum_error:
        return "The logger reported a checksum error for the upload. Retry; if it repeats, check the connection.";
    case return_timeInterval_over_3600second_error: return "The time interval can be at most 3600 seconds.";
    case return_displacementinterval_over_3000meter_error: return "The distance interval can be at most 3000 metres.";
    case return_error_wave_file_path: return "The voice prompt folder cannot be entered: reinstall the tool.";
    case return_not_dump_mode: return "The logger is not in dump mode. Connect again.";
    case return_device_information_invalid:
        return "The logger sent invalid device information. Switch it off and on again, then retry.";
    case return_device_information_no_answer:
        return "The logger did not answer the information request. Check the connection and retry.";
    case return_log_min_speed_over_20_knot_error: return "The minimum speed can be at most 36 km/h (20 knots).";
    case return_error_bin_file_path: return "The firmware folder cannot be entered. Check the folder name.";
    case return_can_not_open_bin_file: return "The folder holds no readable firmware image TRK7700_Encode.Bin.";
    case return_bin_file_size_error: return "The firmware image must be exactly 65,536 bytes long; this one is not.";
    case return_not_correct_bin_file: return "This file is not a firmware image for the TRK-7700.";
    case return_bin_file_checksum_error: return "The firmware image is damaged (checksum error). Get a fresh copy.";
    case return_read_gps_utc_time_invalid:
        return "The logger's GPS receiver has no valid time yet. Give it a view of the sky and retry.";
    default: return "";
    }
}

}  // namespace

std::string explainFailure(int32_t result)
{
    std::string text = client::resultText(result);
    const std::string advice = whatToDo(result);
    if (!advice.empty()) text += ": " + advice;
    return text;
}

}  // namespace trk7700::cli
