// The operator's commands on a PostgreSQL database, run by rdbcli:
//   --init URI                       install or migrate the schema
//   --create-demo URI [--days N] [--per-day N] [--seed N]
//                                    install the schema if needed and add the demo data set
//   --feed URI --every SECONDS [--count N]
//                                    add one new callback request every SECONDS
//   --copy FROM TO                   copy every row of the SQLite database FROM (PATH or
//                                    file:PATH) into the empty PostgreSQL database TO
#pragma once

namespace rdb::pg {

// True when the command line is one of the commands above (a PostgreSQL address after
// --init, --create-demo or --feed, or --copy).
bool ToolWants(int argc, char** argv);

// Runs it; returns the process exit status (0 done, 1 failed, 2 usage).
int RunTool(int argc, char** argv);

}  // namespace rdb::pg
