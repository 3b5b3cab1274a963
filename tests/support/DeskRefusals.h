// What a connection serving desks must refuse, checked through one handle of the client
// library.
#pragma once

#include <string>

#include "data/RdbClient.h"

// Sends every refused construct through h and expects each to fail with an engine error,
// leaving no file behind in dir (where the statements try to write), the schema whole and
// the integrity checks still allowed.
void ExpectDeskRefusals(RDBHANDLE h, const std::string& dir);
