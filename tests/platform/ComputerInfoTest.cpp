#include "platform/ComputerInfo.h"

#include <gtest/gtest.h>

using namespace km;

TEST(ComputerInfo, ParsesTheKernelsAndTheDistributionsFiles) {
    EXPECT_EQ(CpuModelOf("processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Xeon(R) CPU @ 2.20GHz\n"
                         "model name\t: second\n"),
              "Intel(R) Xeon(R) CPU @ 2.20GHz");
    EXPECT_EQ(CpuModelOf("no such field\n"), "");
    const char* mem = "MemTotal:       24576000 kB\nMemFree:  1 kB\nSwapTotal:       2097148 kB\n";
    EXPECT_EQ(MemInfoKiB(mem, "MemTotal"), 24576000u);
    EXPECT_EQ(MemInfoKiB(mem, "SwapTotal"), 2097148u);
    EXPECT_EQ(MemInfoKiB(mem, "Mem"), 0u) << "a prefix of a key is not the key";
    EXPECT_EQ(OsReleaseName("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"),
              "Debian GNU/Linux 12 (bookworm)");
    EXPECT_FALSE(ReadComputerInfo().system.empty());
}
