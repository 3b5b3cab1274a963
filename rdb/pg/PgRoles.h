// Locking a PostgreSQL database down for many customers on one server: group roles for the
// desks and for the answering service's feed, a schema owned by a role nobody logs in as,
// row-level security that ties every desk login to one customer's USER_ID, and the login
// roles of customers.
#pragma once

#include <libpq-fe.h>

#include <string>

namespace rdb::pg {

// Role names, the same in every database of the cluster.
inline constexpr const char kOwnerRole[] = "orvanta_owner";
inline constexpr const char kDeskRole[] = "orvanta_desk";
inline constexpr const char kFeedRole[] = "orvanta_feed";
// The table that ties a customer's login role to its USER_ID (one per database).
inline constexpr const char kCustomerTable[] = "orvanta_customer";

// How long the operator's commands wait for a lock when the session sets no lock_timeout of
// its own (PGOPTIONS='-c lock_timeout=...' changes it).
inline constexpr const char kOperatorLockWait[] = "30s";

enum class LockResult { Done, NotAllowed, Failed };

// Creates the group roles (once per cluster), hands the schema to kOwnerRole, grants the
// desk and feed roles what they need and nothing more, and (re)creates the row-level
// policies; idempotent, in one transaction. The schema must be installed. Needs a
// superuser: NotAllowed (nothing changed) otherwise.
LockResult LockDown(PGconn* conn, std::string* message);

// Ends the operator's lock waits on conn after kOperatorLockWait, unless the session has a
// lock_timeout already.
void BoundLockWaits(PGconn* conn);

// The other sessions holding the operator's advisory lock or a lock on one of this schema's
// tables, one line each (pid, login, application, address, state); empty when none.
std::string LockHolders(PGconn* conn);

// Creates or updates the login role `role` for the customer userId: member of kDeskRole,
// the password stored as a SCRAM verifier computed here (the plain password never reaches
// the server or its log), with the limits of a desk login where it has none (a connection
// limit, temp_file_limit, time limits, keepalives). Refuses a role that exists and is not
// this customer's desk login.
bool AddCustomer(PGconn* conn, const std::string& userId, const std::string& role, const std::string& password,
                 std::string* message);

}  // namespace rdb::pg
