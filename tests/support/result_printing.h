#pragma once
// Result codes by name in the messages of failed checks: a failing
//   EXPECT_EQ(QZ_TRK7700_DUMP_DB(kCom, path), return_dump_db_successful);
// shows "12 return_device_time_out" and "2 return_dump_db_successful" rather
// than 12 and 2. Include it before the checks (device_fixture.h does).
#include "TRK7700_DLL.h"
#include "frame/step_result.h"

#include <gtest/gtest.h>
#include <ostream>
#include <string>

namespace trk7700::testing {

// "12 return_device_time_out"; a value outside the table as the bare number.
inline std::string resultText(int32_t value)
{
    const char *name = trk7700_result_name(value);
    return name != nullptr ? std::to_string(value) + " " + name : std::to_string(value);
}

}  // namespace trk7700::testing

// Beside the enum of the public header (the global namespace), where gtest
// looks for it.
inline void PrintTo(TRK7700_Result result, std::ostream *os) { *os << trk7700::testing::resultText(result); }

namespace trk7700 {

inline void PrintTo(StepResult result, std::ostream *os)
{
    *os << (result.ok() ? std::string("1 (the step succeeded)") : testing::resultText(result));
}

}  // namespace trk7700

// The entry points return a plain int32_t, which gtest would show as a bare
// number; compared with a return_ name, it is shown with its name too.
namespace testing::internal {

template <>
class FormatForComparison<int32_t, TRK7700_Result> {
public:
    static std::string Format(int32_t value) { return trk7700::testing::resultText(value); }
};

template <>
class FormatForComparison<TRK7700_Result, int32_t> {
public:
    static std::string Format(TRK7700_Result value) { return trk7700::testing::resultText(value); }
};

}  // namespace testing::internal
