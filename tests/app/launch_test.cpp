// Starting from the desktop menu: the folder the program works in, the first settings file,
// the file named when the settings are missing, and the per-user values in their new home.
#include <gtest/gtest.h>

#include <QSettings>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "app/StartFolder.h"
#include "data/KestrimEnv.h"
#include "platform/Format.h"
#include "platform/MessageBox.h"
#include "platform/qt/ProfileStore.h"
#include "res/Strings.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/support/LogCapture.h"
#include "tests/support/ScriptedMessages.h"

namespace {

namespace fs = std::filesystem;

// Sets an environment variable for the test's lifetime (unset when value is null).
class EnvVar {
public:
    EnvVar(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~EnvVar() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteAll(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

TEST(StartFolder, AFolderWithItsSettingsStaysTheWorkingFolder) {
    TempDir data;
    EnvVar dataHome("XDG_DATA_HOME", data.Path().c_str());
    StartDir start("[Orvanta]\nSERVER_IP_ADDR=file:x.db\n");
    const CStartFolder::Choice choice = CStartFolder::Enter();
    EXPECT_EQ(choice.kind, CStartFolder::Kind::Current);
    EXPECT_EQ(fs::current_path(), fs::path(start.Path()));
    EXPECT_FALSE(fs::exists(fs::path(data.Path()) / "orvanta"));
}

// A menu launch: the home folder (here with a Korean name) is the start folder.
TEST(StartFolder, MenuLaunchMakesTheUserFolderOnceAndKeepsWhatTheUserWrote) {
    TempDir root;
    const fs::path home = fs::path(root.Path()) / "\xEC\x82\xAC\xEC\x9A\xA9\xEC\x9E\x90";  // 사용자
    fs::create_directories(home);
    EnvVar homeVar("HOME", home.c_str());
    EnvVar dataHome("XDG_DATA_HOME", nullptr);
    EnvVar dataDirs("XDG_DATA_DIRS", (fs::path(root.Path()) / "share").c_str());
    WriteAll(fs::path(root.Path()) / "share/orvanta/notify.wav", "RIFF");
    StartDir start("");
    fs::current_path(home);

    const fs::path folder = home / ".local/share/orvanta";
    CStartFolder::Choice first = CStartFolder::Enter();
    EXPECT_EQ(first.kind, CStartFolder::Kind::Created);
    EXPECT_EQ(first.folder, folder.string());
    EXPECT_EQ(fs::current_path(), folder);
    EXPECT_EQ(ReadAll(folder / "Env/Orvanta.INI"), CStartFolder::GuideText());
    EXPECT_EQ(ReadAll(folder / "notify.wav"), "RIFF");
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);

    // The guide leaves the address empty, so the start still ends with the settings box.
    CKestrimEnv env;
    platform::ScriptedMessages boxes;
    EXPECT_FALSE(env.LoadEnvironment());

    WriteAll(folder / "Env/Orvanta.INI", "[Orvanta]\nSERVER_IP_ADDR=file:/srv/desk.db\n");
    fs::current_path(home);
    const CStartFolder::Choice second = CStartFolder::Enter();
    EXPECT_EQ(second.kind, CStartFolder::Kind::PerUser);
    EXPECT_TRUE(env.LoadEnvironment());
    EXPECT_EQ(env.m_strServerIp, "file:/srv/desk.db");
}

TEST(StartFolder, RelativeDataHomeIsIgnoredAndNoHomeMeansNoFolder) {
    EnvVar home("HOME", "/home/desk");
    {
        EnvVar dataHome("XDG_DATA_HOME", "relative/data");
        EXPECT_EQ(CStartFolder::PerUserFolder(), "/home/desk/.local/share/orvanta");
    }
    {
        EnvVar dataHome("XDG_DATA_HOME", "/var/data");
        EXPECT_EQ(CStartFolder::PerUserFolder(), "/var/data/orvanta");
    }
    EnvVar dataHome("XDG_DATA_HOME", nullptr);
    EnvVar noHome("HOME", nullptr);
    EXPECT_EQ(CStartFolder::PerUserFolder(), "");
    StartDir start("");
    EXPECT_EQ(CStartFolder::Enter().kind, CStartFolder::Kind::Failed);
    EXPECT_EQ(fs::current_path(), fs::path(start.Path()));
}

TEST(StartFolder, AFolderThatCannotBeMadeLeavesTheStartFolder) {
    TempDir data;
    WriteAll(fs::path(data.Path()) / "orvanta", "a file where the folder would go");
    EnvVar dataHome("XDG_DATA_HOME", data.Path().c_str());
    StartDir start("");
    EXPECT_EQ(CStartFolder::Enter().kind, CStartFolder::Kind::Failed);
    EXPECT_EQ(fs::current_path(), fs::path(start.Path()));
}

// The box keeps its text; the log and standard error say which file was looked for, and
// whether it was missing or only lacked the address.
TEST(MissingSettings, TheLogAndStandardErrorNameTheFileLookedFor) {
    struct Case {
        std::string ini;
        std::string logFormat;
    };
    const Case cases[] = {
        {"", "CKestrimEnv::LoadEnvironment settings file not found (%s)"},
        {"[Orvanta]\nSERVER_IP_ADDR=\n", "CKestrimEnv::LoadEnvironment SERVER_IP_ADDR missing or empty in (%s)"},
    };
    for (const Case& c : cases) {
        StartDir start(c.ini);
        const std::string file = (fs::path(start.Path()) / "Env/Orvanta.INI").string();
        const std::string logLine = "[Orvanta]" + platform::StrFormat(c.logFormat.c_str(), file.c_str());
        LogCapture log;
        platform::ScriptedMessages boxes;
        CKestrimEnv env;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(env.LoadEnvironment());
        const std::string err = testing::internal::GetCapturedStderr();
        ASSERT_EQ(boxes.Shown().size(), 1u);
        EXPECT_EQ(boxes.Shown()[0].text, "서버 IP 주소 설정 정보를 읽을수 없습니다.");
        ASSERT_EQ(log.Lines().size(), 1u);
        EXPECT_EQ(log.Lines()[0], logLine);
        EXPECT_NE(err.find(file), std::string::npos) << err;
    }
}

class LegacyProfile : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromUtf8(res::kProfileFolder),
                  QString::fromUtf8(res::kProfileFolder))
            .clear();
    }
    void TearDown() override { SetUp(); }
    static QSettings Old() {
        return QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromUtf8(res::kProfileRoot),
                         QString::fromUtf8(res::kAppTitle));
    }
};

TEST_F(LegacyProfile, OldValuesMoveOnceAndNeverOverwriteNewOnes) {
    {
        QSettings old = Old();
        old.setValue("ORVANTA/LAST_LOGIN_ID", QString::fromUtf8("\xEA\xB9\x80@demo"));
        old.setValue("Orvanta/CALLBACK_ALARM_COUNT", "7");
    }
    EXPECT_EQ(platform::ProfileStore::ImportProfile(res::kProfileRoot, res::kAppTitle), 2);
    EXPECT_EQ(platform::ProfileStore::GetProfileString("ORVANTA", "LAST_LOGIN_ID", ""), "\xEA\xB9\x80@demo");
    EXPECT_EQ(platform::ProfileStore::GetProfileInt("Orvanta", "CALLBACK_ALARM_COUNT", 5), 7);
    EXPECT_NE(platform::ProfileStore::ProfileFileName().find("/orvanta/orvanta.conf"), std::string::npos);

    // Once moved, later changes of either side stay where they are.
    EXPECT_TRUE(platform::ProfileStore::WriteProfileInt("Orvanta", "CALLBACK_ALARM_COUNT", 3));
    Old().setValue("Orvanta/CALLBACK_ALARM_COUNT", "9");
    EXPECT_EQ(platform::ProfileStore::ImportProfile(res::kProfileRoot, res::kAppTitle), 0);
    EXPECT_EQ(platform::ProfileStore::GetProfileInt("Orvanta", "CALLBACK_ALARM_COUNT", 5), 3);
    Old().clear();
}

}  // namespace
