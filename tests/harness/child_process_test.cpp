// The child-process helper every server and command-line test starts its programs with.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/ChildProcess.h"
#include "tests/support/Fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(ChildProcess, RunCapturesBothStreamsInOrderOrApartAndTheExitCode) {
    const std::vector<std::string> argv{"sh", "-c", "echo one; echo two >&2; echo three; exit 3"};
    ChildResult together = RunChild(argv);
    EXPECT_EQ(together.exitCode, 3);
    EXPECT_FALSE(together.timedOut);
    EXPECT_EQ(together.out, "one\ntwo\nthree\n");
    EXPECT_EQ(together.err, "");

    TempDir dir;
    ChildOptions apart;
    apart.errPath = dir.File("err");
    ChildResult separate = RunChild(argv, apart);
    EXPECT_EQ(separate.exitCode, 3);
    EXPECT_EQ(separate.out, "one\nthree\n");
    EXPECT_EQ(separate.err, "two\n");

    // Arguments reach the program as they are: no shell reads them on the way.
    ChildResult quoted = RunChild({"printf", "%s|", "it's", "a b", "$HOME", ""});
    EXPECT_EQ(quoted.exitCode, 0);
    EXPECT_EQ(quoted.out, "it's|a b|$HOME||");
}

TEST(ChildProcess, AMissingProgramOrFolderFailsInsteadOfRunningSomethingElse) {
    ChildResult missing = RunChild({"/nonexistent/orvanta-no-such-program"});
    EXPECT_EQ(missing.exitCode, 127);

    ChildOptions nowhere;
    nowhere.workDir = "/nonexistent/orvanta-no-such-folder";
    EXPECT_EQ(RunChild({"true"}, nowhere).exitCode, 126);

    TempDir dir;
    ChildOptions here;
    here.workDir = dir.Path();
    EXPECT_EQ(RunChild({"pwd"}, here).out, dir.Path() + "\n");

    // Standard input is empty, so a program that reads it does not wait for the test.
    EXPECT_EQ(RunChild({"cat"}, {}, 5000).out, "");
}

TEST(ChildProcess, ACommandPastItsTimeLimitIsStoppedAndSaysSo) {
    const auto start = Clock::now();
    ChildResult slow = RunChild({"sleep", "30"}, {}, 200);
    EXPECT_TRUE(slow.timedOut);
    EXPECT_EQ(slow.exitCode, -1);
    EXPECT_LT(MillisecondsSince(start), 10000);

    // A limit the command keeps is no failure.
    ChildResult quick = RunChild({"sh", "-c", "sleep 0.1; echo done"}, {}, 20000);
    EXPECT_FALSE(quick.timedOut);
    EXPECT_EQ(quick.exitCode, 0);
    EXPECT_EQ(quick.out, "done\n");
}

TEST(ChildProcess, StopEndsAChildThatIgnoresTheSignalAndForgetsItsId) {
    TempDir dir;
    ChildProcess child;
    ChildOptions options;
    options.logPath = dir.File("log");
    // The ignored signal stays ignored in the program the shell becomes.
    ASSERT_TRUE(child.Start({"sh", "-c", "trap '' TERM; echo ready; exec sleep 30"}, options)) << child.Problem();
    const pid_t pid = child.Pid();
    ASSERT_GT(pid, 0);
    const auto ready = Clock::now() + std::chrono::seconds(10);
    while (child.Log() != "ready\n" && Clock::now() < ready) usleep(10000);
    EXPECT_EQ(child.Log(), "ready\n");
    EXPECT_TRUE(child.Running());
    EXPECT_FALSE(child.Wait(50));

    const auto start = Clock::now();
    child.Stop(SIGTERM, 300);
    EXPECT_LT(MillisecondsSince(start), 10000);
    EXPECT_EQ(child.Pid(), -1);
    EXPECT_FALSE(child.Running());
    EXPECT_EQ(child.ExitCode(), -1);
    EXPECT_NE(kill(pid, 0), 0);  // collected, not left behind
    // The log stays where the caller asked for it.
    std::ifstream log(dir.File("log"));
    EXPECT_TRUE(log.good());
}

TEST(ChildProcess, AChildThatEndsOnItsOwnIsCollectedWithItsExitCode) {
    ChildProcess child;
    ASSERT_TRUE(child.Start({"sh", "-c", "exit 7"}));
    EXPECT_TRUE(child.Wait(20000));
    EXPECT_EQ(child.ExitCode(), 7);
    EXPECT_EQ(child.Pid(), -1);
    child.Stop();  // nothing left to stop
    EXPECT_EQ(child.ExitCode(), 7);
}

TEST(ChildProcess, RunAsGivesTheChildThatUsersIdentityAndHome) {
    if (geteuid() != 0) GTEST_SKIP() << "switching users needs root";
    ChildOptions options;
    options.runAs = "postgres";
    TempDir dir;
    options.logPath = dir.File("log");
    ChildResult who = RunChild({"sh", "-c", "id -un; echo \"$HOME $USER\""}, options);
    ASSERT_EQ(who.exitCode, 0) << who.out << who.problem;
    std::istringstream lines(who.out);
    std::string name, env;
    std::getline(lines, name);
    std::getline(lines, env);
    EXPECT_EQ(name, "postgres");
    const passwd* pw = getpwnam("postgres");
    ASSERT_NE(pw, nullptr);
    EXPECT_EQ(env, std::string(pw->pw_dir) + " postgres");

    options.raiseOpenFileLimit = true;
    ChildResult raised = RunChild({"sh", "-c", "ulimit -Sn; ulimit -Hn"}, options);
    std::istringstream limits(raised.out);
    std::string raisedSoft, raisedHard;
    std::getline(limits, raisedSoft);
    std::getline(limits, raisedHard);
    EXPECT_EQ(raisedSoft, raisedHard);

    EXPECT_NE(RunChild({"true"}, ChildOptions{.runAs = "orvanta-no-such-user"}).problem, "");
}

// Run by the next test in a program of its own, to see what a failing test prints.
TEST(ChildProcessLogs, DISABLED_FailsAfterRunningACommand) {
    const ChildResult r = RunChild({"sh", "-c", "echo child-said-7f31"});
    const char* fail = std::getenv("ORVANTA_CHILD_LOG_FAIL");
    EXPECT_TRUE(fail == nullptr || std::string(fail) != "1") << "failing on purpose, exit " << r.exitCode;
}

TEST(ChildProcessLogs, AChildsOutputIsPrintedWhenItsTestFailsAndOnlyThen) {
    const std::vector<std::string> argv{std::filesystem::read_symlink("/proc/self/exe").string(),
                                        "--gtest_also_run_disabled_tests",
                                        "--gtest_filter=ChildProcessLogs.DISABLED_FailsAfterRunningACommand"};
    const ChildResult passing = RunChild({"env", "ORVANTA_CHILD_LOG_FAIL=0", argv[0], argv[1], argv[2]});
    EXPECT_EQ(passing.exitCode, 0) << passing.out;
    EXPECT_EQ(passing.out.find("child-said-7f31"), std::string::npos) << passing.out;

    const ChildResult failing = RunChild({"env", "ORVANTA_CHILD_LOG_FAIL=1", argv[0], argv[1], argv[2]});
    EXPECT_NE(failing.exitCode, 0) << failing.out;
    EXPECT_NE(failing.out.find("--- sh -c echo child-said-7f31 (exit 0)\nchild-said-7f31\n--- end\n"), std::string::npos)
        << failing.out;
}

}  // namespace
