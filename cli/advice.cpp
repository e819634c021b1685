#include "advice.h"

#include "binding/result_text.h"

namespace trk7700::cli {
namespace {

const char *whatToDo(int32_t result)
{
    switch (result) {
    case 3:
        return "No logger could be opened there. Check that it is switched on and connected, that the port "
               "number is right (see 'trk7700 ports'), that no other program uses the port, and that you may "
               "use serial ports (group 'dialout').";
    case 4:
        return "The port opened but the logger did not enter its dump mode. Switch the logger off and on "
               "again, then retry.";
    case 5: return "The computer ran out of memory. Close other programs and retry.";
    case 6: return "The log file could not be created. Check the target folder: it must be writable.";
    case 7:
    case 8: return "A file in the target folder could not be written. Check the folder's permissions and free space.";
    case 9:
    case 10:
    case 11: return "A working file in the target folder could not be read back. Check the folder and retry.";
    case 12: return "The logger stopped answering. Check the connection (cable, Bluetooth range) and retry.";
    case 15: return "Give either a time interval or a distance interval, not both.";
    case 16: return "The voice prompt files are incomplete: reinstall the tool so that its wav folder holds all eight.";
    case 17: return "The voice prompt files are too large together (at most 131,327 bytes).";
    case 18: return "The logger reported a checksum error for the upload. Retry; if it repeats, check the connection.";
    case 19: return "The time interval can be at most 3600 seconds.";
    case 20: return "The distance interval can be at most 3000 metres.";
    case 23: return "The voice prompt folder cannot be entered: reinstall the tool.";
    case 26: return "The logger is not in dump mode. Connect again.";
    case 27: return "The logger sent invalid device information. Switch it off and on again, then retry.";
    case 28: return "The logger did not answer the information request. Check the connection and retry.";
    case 30: return "The minimum speed can be at most 36 km/h (20 knots).";
    case 31: return "The firmware folder cannot be entered. Check the folder name.";
    case 32: return "The folder holds no readable firmware image TRK7700_Encode.Bin.";
    case 33: return "The firmware image must be exactly 65,536 bytes long; this one is not.";
    case 34: return "This file is not a firmware image for the TRK-7700.";
    case 36: return "The firmware image is damaged (checksum error). Get a fresh copy.";
    case 38: return "The logger's GPS receiver has no valid time yet. Give it a view of the sky and retry.";
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
