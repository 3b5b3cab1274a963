#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/IniFile.h"
#include "data/KestrimEnv.h"
#include "platform/MessageBox.h"
#include "platform/PrivateProfile.h"
#include "tests/support/Fixture.h"
#include "tests/support/LogCapture.h"
#include "tests/support/ScriptedMessages.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Runs the test body with the current directory set to a fresh folder holding Env/.
class InStartDir : public ::testing::Test {
protected:
    void SetUp() override {
        old_ = std::filesystem::current_path();
        std::filesystem::create_directory(dir_.File("Env"));
        std::filesystem::current_path(dir_.Path());
    }
    void TearDown() override { std::filesystem::current_path(old_); }
    TempDir dir_;
    std::filesystem::path old_;
};

TEST_F(InStartDir, ProfileNamesIgnoreCaseAndBlanksAndQuotes) {
    WriteFile("Env/a.ini", "; comment\r\n[ orvanta ]\r\n server_ip_addr = \"10.0.0.1\" \r\nOther=1\r\n[Next]\r\nSERVER_IP_ADDR=no\r\n");
    EXPECT_EQ(platform::GetPrivateProfileString("Orvanta", "SERVER_IP_ADDR", "d", ".\\Env\\a.ini"), "10.0.0.1");
    EXPECT_EQ(platform::GetPrivateProfileString("ORVANTA", "missing", "d", "./Env/a.ini"), "d");
    EXPECT_EQ(platform::GetPrivateProfileString("Nope", "Other", "d", "./Env/a.ini"), "d");
    EXPECT_EQ(platform::GetPrivateProfileString("Orvanta", "Other", "d", "./Env/missing.ini"), "d");
}

TEST_F(InStartDir, ProfileWriteKeepsOtherLinesAndLineEnds) {
    WriteFile("Env/a.ini", "; keep me\r\n[Orvanta]\r\nSERVER_IP_ADDR=old\r\nMINI_PRINT_DRIVER=P1\r\n\r\n[Other]\r\nX=1\r\n");
    ASSERT_TRUE(platform::WritePrivateProfileString("orvanta", "server_ip_addr", "new", ".\\Env\\a.ini"));
    EXPECT_EQ(ReadFile("Env/a.ini"),
              "; keep me\r\n[Orvanta]\r\nserver_ip_addr=new\r\nMINI_PRINT_DRIVER=P1\r\n\r\n[Other]\r\nX=1\r\n");
    // A new key goes below the section's last entry, not after the blank line.
    ASSERT_TRUE(platform::WritePrivateProfileString("Orvanta", "NEWKEY", "v", "./Env/a.ini"));
    EXPECT_EQ(ReadFile("Env/a.ini"),
              "; keep me\r\n[Orvanta]\r\nserver_ip_addr=new\r\nMINI_PRINT_DRIVER=P1\r\nNEWKEY=v\r\n\r\n[Other]\r\nX=1\r\n");
    // File and section are created when missing; a missing folder is not.
    ASSERT_TRUE(platform::WritePrivateProfileString("S", "K", "V", "./Env/new.ini"));
    EXPECT_EQ(ReadFile("Env/new.ini"), "[S]\nK=V\n");
    EXPECT_FALSE(platform::WritePrivateProfileString("S", "K", "V", "./NoSuchDir/new.ini"));
}

TEST_F(InStartDir, IniFileEmptyValueCountsAsMissing) {
    WriteFile("Env/Orvanta.INI", "[Orvanta]\nSERVER_IP_ADDR=\nMINI_PRINT_DRIVER=pdf:/tmp/x\n");
    CIniFile ini(".\\Env\\Orvanta.INI", "Orvanta");
    std::string value = "stale";
    EXPECT_FALSE(ini.ReadString(value, "SERVER_IP_ADDR"));
    EXPECT_EQ(value, "");
    EXPECT_TRUE(ini.ReadString(value, "MINI_PRINT_DRIVER"));
    EXPECT_EQ(value, "pdf:/tmp/x");
}

TEST_F(InStartDir, LoadEnvironmentReadsAddressAndPrinterAndLogs) {
    WriteFile("Env/Orvanta.INI", "[Orvanta]\nSERVER_IP_ADDR=db.example:9000\nMINI_PRINT_DRIVER=Receipt\n");
    LogCapture log;
    platform::ScriptedMessages boxes;
    CKestrimEnv env;
    ASSERT_TRUE(env.LoadEnvironment());
    EXPECT_EQ(env.m_strServerIp, "db.example:9000");
    EXPECT_EQ(env.m_strPort, "8907");
    EXPECT_EQ(env.m_strDbName, "NEW_ACS");
    EXPECT_EQ(env.m_strMiniPrintDriver, "Receipt");
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"[Orvanta]MINI_PRINT_DRIVER(Receipt)"});
    EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(InStartDir, LoadEnvironmentWithoutPrinterLogsEmptyValue) {
    WriteFile("Env/Orvanta.INI", "[Orvanta]\nSERVER_IP_ADDR=file:x.db\n");
    LogCapture log;
    CKestrimEnv env;
    ASSERT_TRUE(env.LoadEnvironment());
    EXPECT_EQ(env.m_strMiniPrintDriver, "");
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"[Orvanta]MINI_PRINT_DRIVER()"});
}

TEST_F(InStartDir, LoadEnvironmentFailsWithBoxWhenAddressMissingOrEmpty) {
    for (const char* content : {"[Orvanta]\nSERVER_IP_ADDR=\n", "[Orvanta]\nMINI_PRINT_DRIVER=x\n", ""}) {
        WriteFile("Env/Orvanta.INI", content);
        platform::ScriptedMessages boxes;
        CKestrimEnv env;
        EXPECT_FALSE(env.LoadEnvironment());
        ASSERT_EQ(boxes.Shown().size(), 1u);
        EXPECT_EQ(boxes.Shown()[0].text, "서버 IP 주소 설정 정보를 읽을수 없습니다.");
        EXPECT_EQ(boxes.Shown()[0].caption, "에러");
        EXPECT_EQ(boxes.Shown()[0].owner, nullptr);
        EXPECT_EQ(boxes.Shown()[0].type & platform::MB_ICONMASK, platform::MB_ICONERROR);
    }
}

TEST_F(InStartDir, SaveServerAddressWritesBothFiles) {
    WriteFile("Env/Orvanta.INI", "[Orvanta]\r\nSERVER_IP_ADDR=old\r\nMINI_PRINT_DRIVER=P\r\n");
    CKestrimEnv env;
    env.m_strServerIp = "10.1.2.3";
    EXPECT_TRUE(env.SaveServerAddress());
    EXPECT_EQ(ReadFile("Env/Orvanta.INI"), "[Orvanta]\r\nSERVER_IP_ADDR=10.1.2.3\r\nMINI_PRINT_DRIVER=P\r\n");
    EXPECT_EQ(platform::GetPrivateProfileString("VERSION_CHECK_CONNECT", "VC_SERVER_IP_ADDR", "", "./Env/zolt.INI"),
              "10.1.2.3");
    // Without the Env folder nothing can be written: both files are named, in order.
    std::filesystem::remove_all("Env");
    std::vector<std::string> failed;
    EXPECT_FALSE(env.SaveServerAddress(&failed));
    const std::filesystem::path here = std::filesystem::current_path();
    EXPECT_EQ(failed, (std::vector<std::string>{(here / "Env/Orvanta.INI").string(), (here / "Env/zolt.INI").string()}));
}

}  // namespace
