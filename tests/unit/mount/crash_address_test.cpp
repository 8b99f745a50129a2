#include <gtest/gtest.h>

#include <string>

#include "Mount/crash_address.h"

namespace {

CrashFacts SampleFacts()
{
    CrashFacts f = {};
    f.osMajor = 5;
    f.osMinor = 1;
    f.servicePack = 3;
    f.arch = "x64";
    f.cpus = 2;
    f.checksum = 0xCBF43926;
    f.dialog = "IDD_PASSWORD_DLG";
    f.code = 0xC0000005;
    f.address = 0x401A2B;
    return f;
}

TEST(CrashReportAddress, QueryKeysInFixedOrder)
{
    CrashFacts f = SampleFacts();
    char out[1024];
    int n = FormatCrashReportAddress(out, sizeof(out), "https://host/", f);
    EXPECT_EQ(std::string(out),
              "https://host/applink.php?version=2.0&dest=err-report&os=Windows&osver=5.1.3&arch=x64&cpus=2"
              "&app=main&cksum=cbf43926&dlg=IDD_PASSWORD_DLG&err=c0000005&addr=401a2b");
    EXPECT_EQ(n, static_cast<int>(std::string(out).size()));
}

TEST(CrashReportAddress, StackEntriesStopAtFirstEmptySlot)
{
    CrashFacts f = SampleFacts();
    f.stack[0] = 0x401000;
    f.stack[1] = 0x4fffff;
    f.stack[2] = 0;
    f.stack[3] = 0x402000;  // after the gap: not reported
    char out[1024];
    ASSERT_GT(FormatCrashReportAddress(out, sizeof(out), "", f), 0);
    std::string s(out);
    EXPECT_NE(s.find("&addr=401a2b&st0=401000&st1=4fffff"), std::string::npos) << s;
    EXPECT_EQ(s.find("st2"), std::string::npos);
    EXPECT_EQ(s.find("402000"), std::string::npos);
    EXPECT_EQ(s.substr(s.size() - 11), "&st1=4fffff");
}

TEST(CrashReportAddress, AllEightStackEntries)
{
    CrashFacts f = SampleFacts();
    for (int i = 0; i < 8; ++i)
        f.stack[i] = 0x401000 + i;
    char out[1024];
    ASSERT_GT(FormatCrashReportAddress(out, sizeof(out), "", f), 0);
    EXPECT_NE(std::string(out).find("&st7=401007"), std::string::npos);
}

TEST(CrashReportAddress, TooSmallBufferGivesEmptyTextNotOverrun)
{
    CrashFacts f = SampleFacts();
    f.stack[0] = 0x401000;
    char out[64];
    memset(out, 'x', sizeof(out));
    EXPECT_EQ(FormatCrashReportAddress(out, 40, "https://host/", f), -1);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[40], 'x');  // nothing written past the given size
}

TEST(CrashReportAddress, CriticalCodesGetNoReport)
{
    for (uint32_t code : {0xC0000006u, 0x0EEDFADEu, 0x80000003u, 0x80000004u, 0xC000001Du, 0xC000001Eu, 0xC0000096u})
        EXPECT_TRUE(IsCriticalException(code)) << std::hex << code;
    for (uint32_t code : {0xC0000005u, 0xC0000094u, 0xE06D7363u, 0u})
        EXPECT_FALSE(IsCriticalException(code)) << std::hex << code;
}

}  // namespace
