// The manual page aiimport(1), written from the text of --help so that the two always agree.
#pragma once

#include <string>

namespace aiimport {

// One line of text as roff reads it: backslashes and hyphens escaped, and a leading "." or "'"
// kept from being read as a request.
std::string RoffText(const std::string& line);

// The manual page in man(7) form for the --help text `usage`: every command of its "Usage:"
// section with its description under MODES, every option of its "Options:" section under
// OPTIONS, the commands again under SYNOPSIS. `version` goes into the page's header.
std::string ManPage(const std::string& usage, const std::string& version);

}  // namespace aiimport
