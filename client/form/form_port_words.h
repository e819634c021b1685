#pragma once
// Why a port cannot be opened, in the window's German.
#include "binding/port_diagnosis.h"

#include <string>

namespace trk7700::form {

std::string portFailureWords(const client::PortDiagnosis &diagnosis);

}  // namespace trk7700::form
