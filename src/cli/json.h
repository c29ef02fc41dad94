// Small helpers for the JSON lines the command-line modes print.
#pragma once

#include <string>
#include <string_view>

namespace aiimport {

// The shortest decimal text that reads back as the same float32 ("0.1", "-0", "1e+20").
void AppendFloat(std::string& out, float value);

// A JSON string literal with the needed escapes.
void AppendJsonString(std::string& out, std::string_view text);

}  // namespace aiimport
