// A failed check of a result code names the code, so that a failure in the
// log reads "12 return_device_time_out" and not a bare number.
#include "TRK7700_DLL.h"
#include "frame/step_result.h"
#include "support/result_printing.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

using namespace trk7700;

namespace {

int32_t timedOut() { return return_device_time_out; }
StepResult failedStep() { return return_can_not_open_db_file; }

}  // namespace

TEST(ResultPrinting, AnEntryPointsNumberIsShownWithItsName)
{
    EXPECT_NONFATAL_FAILURE(EXPECT_EQ(timedOut(), return_dump_db_successful), "12 return_device_time_out");
    EXPECT_NONFATAL_FAILURE(EXPECT_EQ(timedOut(), return_dump_db_successful), "2 return_dump_db_successful");
    EXPECT_NONFATAL_FAILURE(EXPECT_EQ(return_dump_db_successful, timedOut()), "12 return_device_time_out");
}

TEST(ResultPrinting, AStepsResultIsShownWithItsName)
{
    EXPECT_NONFATAL_FAILURE(EXPECT_EQ(failedStep(), kStepSucceeded), "9 return_can_not_open_db_file");
    EXPECT_NONFATAL_FAILURE(EXPECT_EQ(failedStep(), kStepSucceeded), "1 (the step succeeded)");
}

TEST(ResultPrinting, ANumberOutsideTheTableStaysANumber)
{
    EXPECT_EQ(trk7700::testing::resultText(0), "0");
    EXPECT_EQ(trk7700::testing::resultText(40), "40");
}
