#pragma once
// The logger's texts, as the device sends and expects them: protocol texts
// travel with their terminating zero, the banner is a plain line.
#include <cstdint>
#include <string>
#include <vector>

namespace trk7700::sim {

inline const std::string kBannerText = "Ostravelle Tech. Co. TRK-7700\r\n";
inline const std::string kGreetingText = std::string("Q'Z Camera Detect") + '\0';
inline const std::string kReadyText = std::string("QZ GPS+BT") + '\0';
inline const std::string kExitText = std::string("QZ AP-Exit") + '\0';
inline const std::string kEndMarkerText = std::string("QZ Update Over") + '\0';
inline const std::string kChecksumOkText = std::string("Checksum    OK") + '\0';
inline const std::string kChecksumErrorText = std::string("Checksum Error") + '\0';

inline std::vector<uint8_t> bytesOf(const std::string &text) { return {text.begin(), text.end()}; }

}  // namespace trk7700::sim
