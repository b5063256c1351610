#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include "app/StopSignals.h"

using namespace quindra;

namespace {

// A service manager's stop, Ctrl+C and the end of the desktop session each
// reach the program as a request to close, which it then carries out in
// order; none of them kills it on the spot. Each signal is raised in a child
// process, which says by its exit whether it lived to see the request.
TEST(StopSignals, EachStopSignalIsARequestToCloseNotADeath) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const int s : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(s);
        EXPECT_EXIT(
            {
                StopSignals stops;
                const bool before = stops.takeRequests();
                std::raise(s);
                std::raise(s);
                const bool taken = stops.takeRequests();
                // Both raised requests are taken at once.
                std::exit(stops.caught() && !before && taken && !stops.takeRequests() ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "");
    }
}

// A mail exchange under way holds the event loop: the stop must reach it
// from the signal itself.
TEST(StopSignals, WorkThatCannotWaitForTheEventLoopIsToldAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            static volatile std::sig_atomic_t told = 0;
            StopSignals stops;
            StopSignals::alsoAtOnce([] { told = told + 1; });
            std::raise(SIGTERM);
            StopSignals::alsoAtOnce(nullptr);
            std::raise(SIGTERM);
            std::exit(told == 1 && stops.takeRequests() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
