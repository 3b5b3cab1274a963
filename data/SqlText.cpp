#include "data/SqlText.h"

std::string EscapeSqlText(std::string_view value) {
    std::string out;
    out.reserve(value.size() + 2);
    for (char c : value) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

bool IsIntegerText(std::string_view value) {
    if (!value.empty() && value.front() == '-') value.remove_prefix(1);
    if (value.empty() || value.size() > 19) return false;
    for (char c : value) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}
