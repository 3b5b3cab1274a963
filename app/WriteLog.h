// The diagnostics line: "[Orvanta]" directly followed by the formatted text.
#pragma once

void WriteLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
