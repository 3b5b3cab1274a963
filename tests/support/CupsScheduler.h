// A print scheduler of the test's own: cupsd with its configuration, spool and logs in a
// temporary folder, reachable only through a socket in that folder (never the machine's
// scheduler, never a port), with one receipt queue whose paper is an 80 × 200 mm roll and
// whose jobs end as a PDF file. CUPS_SERVER points at it while the object lives, for this
// process and the commands it runs.
#pragma once

#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/Fixture.h"

class CupsScheduler {
public:
    static constexpr char kQueue[] = "Receipt80";

    // Starts cupsd and sets up the queue; see Running() and QueueReady().
    CupsScheduler();
    ~CupsScheduler();  // stops cupsd and restores CUPS_SERVER
    CupsScheduler(const CupsScheduler&) = delete;
    CupsScheduler& operator=(const CupsScheduler&) = delete;

    // False when cupsd is not installed or did not come up; Problem() says why.
    bool Running() const { return cupsd_.Pid() > 0; }
    // The queue exists and takes jobs; otherwise Problem() says why.
    bool QueueReady() const { return queueReady_; }
    const std::string& Problem() const { return problem_; }

    // cupsaccept / cupsreject on the queue.
    bool SetAccepting(bool accepting);
    // Jobs the queue ever took (in any state), and those it finished; -1 when lpstat fails.
    int JobCount();
    int CompletedJobCount();
    // Waits until count jobs are finished; false after timeoutMs.
    bool WaitForCompletedJobs(int count, int timeoutMs = 30000);

    // Where the queue writes the document of its last job.
    std::string OutputFile() const { return dir_.File("out/ticket.pdf"); }
    // The scheduler's error log, for failure messages.
    std::string ErrorLog() const;

private:
    bool Start();
    void Stop();
    bool WaitUntilListening(int timeoutMs);
    // Runs a command; its standard output and error in output, true on exit status 0.
    static bool Run(const std::vector<std::string>& command, std::string* output = nullptr);

    TempDir dir_;
    ChildProcess cupsd_;
    bool queueReady_ = false;
    std::string problem_;
    std::string socket_;
    bool hadServer_ = false;
    std::string previousServer_;
};
