// Shared test fixtures: temporary folders, the small fixture database every statement test
// runs on, and an environment object connected to it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "data/KestrimEnv.h"

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Fixed dates of the fixture rows.
inline constexpr const char kDay1[] = "20261201";
inline constexpr const char kDay2[] = "20261202";
inline constexpr const char kDay3[] = "20261203";

// Creates the fixture database at path (users, agents, services and records of known
// content; see Fixture.cpp for the table of rows and what each row is for).
void CreateFixtureDatabase(const std::string& path);

// A CKestrimEnv connected to serverAddress, installed as g_pEnv while it lives.
class EnvSession {
public:
    explicit EnvSession(const std::string& serverAddress, const std::string& userId = "demo",
                        const std::string& agentName = "");
    ~EnvSession();
    EnvSession(const EnvSession&) = delete;
    EnvSession& operator=(const EnvSession&) = delete;
    CKestrimEnv& Env() { return env_; }

private:
    CKestrimEnv env_;
    CKestrimEnv* previous_;
};

// Runs a query through RDBQueryRecord with request id 0 and returns every row split into
// fields. result receives the call's result, error its record.
std::vector<std::vector<std::string>> QueryRows(CKestrimEnv& env, const std::string& sql,
                                                int32_t* result = nullptr, RDB_ERROR* error = nullptr);

// Reads the golden statements file: name -> statement text.
std::string GoldenStatement(const std::string& name);
