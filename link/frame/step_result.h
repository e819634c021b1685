#pragma once
// What one internal step of an operation gives back: that it succeeded, or the
// result code of its failure (a return_ name of TRK7700_DLL.h), which the
// exported function passes on unchanged. A step's result must be looked at.
#include "TRK7700_DLL.h"

#include <cstdint>

namespace trk7700 {

class [[nodiscard]] StepResult {
public:
    // A failure: `return return_device_time_out;` in a step.
    constexpr StepResult(TRK7700_Result failure) : value_(failure) {}

    static constexpr StepResult succeeded() { return StepResult(kSucceededValue); }
    constexpr bool ok() const { return value_ == kSucceededValue; }

    // The result code of a failed step, for the exported function to return.
    constexpr TRK7700_Result failure() const { return static_cast<TRK7700_Result>(value_); }

    // 1 for success, else the failure's code: the number that callers outside
    // the library (the conversion, the fuzzers, the tests) compare with.
    constexpr operator int32_t() const { return value_; }

private:
    // Outside the table of result codes, so that no entry point can pass it on.
    static constexpr int32_t kSucceededValue = 1;
    explicit constexpr StepResult(int32_t value) : value_(value) {}

    int32_t value_;
};

inline constexpr StepResult kStepSucceeded = StepResult::succeeded();

}  // namespace trk7700
