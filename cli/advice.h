#pragma once
// What the command line tells the user about a result: the number and name,
// and a sentence of what to do.
#include <cstdint>
#include <string>

namespace trk7700::cli {

// "12 return_device_time_out: The logger stopped answering. ..."
std::string explainFailure(int32_t result);

}  // namespace trk7700::cli
