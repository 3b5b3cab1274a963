#include "tests/app/GuiTestSupport.h"

#include <fstream>

#include "data/KestrimEnv.h"

const std::string& FixtureAddress() {
    static TempDir dir;
    static const std::string address = [] {
        std::string path = dir.File("fixture.db");
        CreateFixtureDatabase(path);
        return "file:" + path;
    }();
    return address;
}

std::string FixtureAgent(const std::string& password) {
    CKestrimEnv env;
    env.m_strServerIp = FixtureAddress();
    env.m_strPort = "8907";
    env.m_strDbName = "NEW_ACS";
    env.RDBServerOpen();
    auto rows = QueryRows(env, "select AGENT_NM from USER_AGENT_INFO where USER_ID = 'demo' and PASSWORD = '" +
                                   password + "' order by SEQ_NO");
    return rows.empty() || rows[0].empty() ? std::string() : rows[0][0];
}

StartDir::StartDir(const std::string& iniText) : previous_(std::filesystem::current_path()) {
    std::filesystem::create_directory(dir_.File("Env"));
    if (!iniText.empty()) {
        std::ofstream out(dir_.File("Env/Orvanta.INI"), std::ios::binary);
        out << iniText;
    }
    std::filesystem::current_path(dir_.Path());
}

StartDir::~StartDir() { std::filesystem::current_path(previous_); }

std::string FixtureIni() { return "[Orvanta]\r\nSERVER_IP_ADDR=" + FixtureAddress() + "\r\nMINI_PRINT_DRIVER=\r\n"; }
