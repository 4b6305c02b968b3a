// JSON string literals for the machine-readable output of the command line.
#pragma once

#include <string>

/// The text as a JSON string literal: quotes, backslash and control characters escaped,
/// bytes that are not UTF-8 replaced by U+FFFD.
std::string JsonString(const std::string& text);
