#include "rdb/client/ServerAddress.h"

#include "rdb/pg/PgConn.h"

namespace rdb {
namespace {

constexpr char kForms[] = "file:PATH (a database file) nor postgresql://... (a PostgreSQL server)";

// Whether text starts with scheme (given in lower case), in any case.
bool HasScheme(std::string_view text, std::string_view scheme) {
    if (text.size() < scheme.size()) return false;
    for (size_t i = 0; i < scheme.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != scheme[i]) return false;
    }
    return true;
}

ServerAddress Refuse(std::string display, std::string problem) {
    ServerAddress a;
    a.display = std::move(display);
    a.problem = std::move(problem);
    return a;
}

ServerAddress ReadPostgres(std::string_view text, std::string_view scheme) {
    // libpq knows the scheme in lower case only; given in capitals it would take the whole
    // text for a database name on its default server, password and all.
    const std::string uri = std::string(scheme) + std::string(text.substr(scheme.size()));
    pg::UriParts parts;
    std::string problem;
    if (!pg::ReadUri(uri, &parts, &problem))
        return Refuse("postgresql://(unreadable)",
                      problem + "; the form is postgresql://[user@]host[:port]/dbname[?param=value...]");
    ServerAddress a;
    a.kind = AddressKind::Postgres;
    a.target = uri;
    a.display = pg::DisplayUri(parts);
    return a;
}

}  // namespace

ServerAddress ReadServerAddress(std::string_view text) {
    if (HasScheme(text, "postgresql://")) return ReadPostgres(text, "postgresql://");
    if (HasScheme(text, "postgres://")) return ReadPostgres(text, "postgres://");
    if (HasScheme(text, "file:")) {
        const std::string path(text.substr(5));
        if (path.empty()) return Refuse("file:", "no database file after \"file:\"");
        ServerAddress a;
        a.kind = AddressKind::File;
        a.target = path;
        a.display = "file:" + pg::EscapeControlBytes(path);
        return a;
    }
    if (text.empty()) return Refuse("", "no server address: write file:PATH or postgresql://...");
    // Not an address of ours. It is shown only when it cannot hold a login (user:password@
    // or password=), so a 1.0 gateway address still reads in the log.
    const bool mayHoldLogin = text.find('@') != std::string_view::npos || text.find('=') != std::string_view::npos;
    return Refuse(mayHoldLogin ? "(unusable address)" : pg::EscapeControlBytes(text),
                  std::string("the server address is neither ") + kForms);
}

}  // namespace rdb
