// The link library for the tool's tests whose clock runs fast: every wait of
// the library's tick count (the erase waits up to 80 "seconds") ends after a
// fiftieth of its time. The tests load it by its file name in place of the
// real library, which hides this seam.
#include "frame/link_state.h"
#include "support/test_clocks.h"

namespace {

[[gnu::constructor]] void useQuickClock()
{
    trk7700::linkState().testHooks.secondsSource = trk7700::testing::fastSeconds;
}

}  // namespace
