// Text values go into statements between single quotes; every one passes through here so
// that a quote inside a value stays data ("it's" is stored as it's) and can never end the
// literal early (a login ID x' or '1'='1 finds no user).
#pragma once

#include <string>
#include <string_view>

// The value with each single quote doubled; the caller's template supplies the enclosing
// quotes.
std::string EscapeSqlText(std::string_view value);

// Numbers go into statements without quotes, so only a whole integer may: ASCII digits with
// an optional leading minus, nothing else (no blanks, no sign alone, at most 19 digits).
bool IsIntegerText(std::string_view value);
