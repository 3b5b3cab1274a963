// The operator's commands on a PostgreSQL database, run by rdbcli:
//   --init URI                       install or migrate the schema; as a superuser also the
//                                    roles and row-level security for many customers
//   --create-demo URI [--days N] [--per-day N] [--seed N]
//                                    install the schema if needed and add the demo data set
//   --feed URI --every SECONDS [--count N]
//                                    add one new callback request every SECONDS
//   --copy FROM TO                   copy every row of the SQLite database FROM (PATH or
//                                    file:PATH) into the empty PostgreSQL database TO
//   --add-customer URI USER_ID ROLE  a customer's desk login (password on standard input)
#pragma once

namespace rdb::pg {

// True when the command line is one of the commands above (a PostgreSQL address after
// --init, --create-demo or --feed, or --copy or --add-customer).
bool ToolWants(int argc, char** argv);

// Runs it; returns the process exit status (0 done, 1 failed, 2 usage).
int RunTool(int argc, char** argv);

}  // namespace rdb::pg
