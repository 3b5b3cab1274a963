// The desktop shell's look-up of a file's program, against stand-in desktop tools on PATH.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/qt/DesktopShell.h"

namespace fs = std::filesystem;

namespace {

class DesktopShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::path(::testing::TempDir()) / "desktop-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        fs::create_directories(dir_ / "bin");
        fs::create_directories(dir_ / "share/applications");
        std::ofstream(dir_ / "share/applications/sheets.desktop") << "[Desktop Entry]\nType=Application\nExec=sheets %U\n";
        Tool("xdg-open", "exit 0\n");
        for (const char* name : {"PATH", "XDG_DATA_HOME", "XDG_DATA_DIRS"}) {
            const char* value = getenv(name);
            saved_.emplace_back(name, value != nullptr ? value : "");
        }
        setenv("PATH", (dir_ / "bin").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir_ / "share").c_str(), 1);
        setenv("XDG_DATA_DIRS", (dir_ / "share").c_str(), 1);
        file_ = (dir_ / "list.xls").string();
        std::ofstream(file_) << "x";
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) setenv(name.c_str(), value.c_str(), 1);
        std::error_code error;
        fs::remove_all(dir_, error);
    }
    void Tool(const std::string& name, const std::string& body) {
        const fs::path path = dir_ / "bin" / name;
        std::ofstream(path) << "#!/bin/sh\n" << body;
        chmod(path.c_str(), 0755);
    }

    fs::path dir_;
    std::string file_;
    std::vector<std::pair<std::string, std::string>> saved_;
};

TEST_F(DesktopShellTest, AssociatedTypeGivesTheLauncher) {
    Tool("xdg-mime",
         "[ \"$2\" = filetype ] && echo 'application/vnd.ms-excel'\n"
         "[ \"$2\" = default ] && [ \"$3\" = application/vnd.ms-excel ] && echo sheets.desktop\nexit 0\n");
    platform::DesktopShell shell;
    EXPECT_EQ(shell.FindExecutable(file_), (dir_ / "bin/xdg-open").string());
    EXPECT_EQ(shell.FindExecutable((dir_ / "absent.xls").string()), "");
}

TEST_F(DesktopShellTest, NoDefaultApplicationOrNoToolsGivesNothing) {
    Tool("xdg-mime", "[ \"$2\" = filetype ] && echo 'text/csv'\nexit 0\n");
    platform::DesktopShell shell;
    EXPECT_EQ(shell.FindExecutable(file_), "");

    Tool("xdg-mime", "[ \"$2\" = filetype ] && echo 'text/csv'\n[ \"$2\" = default ] && echo gone.desktop\nexit 0\n");
    EXPECT_EQ(shell.FindExecutable(file_), "");  // its desktop entry is not installed

    fs::remove(dir_ / "bin/xdg-mime");
    EXPECT_EQ(shell.FindExecutable(file_), "");
}

}  // namespace
