#pragma once
// The library's internal steps return 1 when they succeed and otherwise the
// result code of their failure, which the exported function passes on.
#include <cstdint>

namespace trk7700 {

inline constexpr int32_t kStepSucceeded = 1;

}  // namespace trk7700
