#include <gtest/gtest.h>

#include <string>

#include "tests/support/runvolta.h"

namespace {

const std::string kClient = "Running in Distributed Client Mode\n";

TEST(GlobalModes, ClientWithoutServerCannotOpenItsSocket) {
    // Port 1 on the loopback address refuses at once.
    RunResult r = runVolta({"/'127.0.0.1,1", "/l"});
    EXPECT_EQ(r.output, bannerText() + kClient + "Could Not Open Socket\n");
    EXPECT_EQ(r.exitCode, 99);
}

}  // namespace
