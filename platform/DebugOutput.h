// The diagnostics channel. Each message becomes one line: the sink adds the line end, the
// message bytes are unchanged. By default lines go to standard error; ORVANTA_LOG names a
// file to append to instead. Tests install their own sink.
#pragma once

#include <functional>
#include <string_view>

namespace platform {

using DebugSink = std::function<void(std::string_view message)>;

void OutputDebugString(std::string_view message);

// Replaces the sink; an empty function restores the default. Returns the previous sink.
DebugSink SetDebugSink(DebugSink sink);

// True when lines go to standard error: no sink installed and ORVANTA_LOG not set.
bool DebugOutputIsStandardError();

}  // namespace platform
