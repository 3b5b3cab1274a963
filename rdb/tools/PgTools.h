// rdbcli's commands on a PostgreSQL database. Each takes an address as ReadServerAddress
// gives it to libpq and returns the exit status (0 done, 1 failed).
#pragma once

#include <string>

#include "rdb/demo/DemoData.h"

namespace rdb::pg {

// Installs or migrates the schema; as a superuser also the roles and row-level security
// for many customers.
int Init(const std::string& uri);
// Installs the schema if needed and adds the demo data set.
int CreateDemo(const std::string& uri, const DemoOptions& options);
// Adds one new callback request every `every` seconds, count times (below 0: for ever).
int Feed(const std::string& uri, double every, long long count);
// Copies every row of the database file at path into the empty PostgreSQL database to.
int Copy(const std::string& path, const std::string& to);
// A customer's desk login; the password is one line of standard input.
int AddCustomerLogin(const std::string& uri, const std::string& userId, const std::string& role);

}  // namespace rdb::pg
