// A server address from the settings, read once: which home it names, the text that home
// is given, and how it may be shown (window title, log, messages). Everything that needs
// to tell the two forms apart asks here.
#pragma once

#include <string>
#include <string_view>

namespace rdb {

enum class AddressKind {
    File,      // "file:PATH": the embedded engine on PATH
    Postgres,  // "postgresql://..." or "postgres://...": a PostgreSQL server through libpq
    Refused,   // anything else, an empty path, or a PostgreSQL address libpq cannot read
};

struct ServerAddress {
    AddressKind kind = AddressKind::Refused;
    // File: the path. Postgres: the URI with its scheme in lower case, as libpq is given it.
    std::string target;
    // Never holds a password or a control byte: file:PATH, postgresql://USER@HOST:PORT/DB
    // (?service=NAME), or for a refused text the text itself when it cannot be carrying
    // credentials.
    std::string display;
    // Refused: why, naming the accepted forms; never quotes the address.
    std::string problem;
};

// Scheme letters count in any case ("File:", "POSTGRESQL://"), as in any URI.
ServerAddress ReadServerAddress(std::string_view text);

}  // namespace rdb
