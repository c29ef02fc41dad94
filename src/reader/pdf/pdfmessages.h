// The words for a PDF file that cannot be read, the same for every route that opens one.
#pragma once

namespace aiimport {

inline constexpr const char* DamagedPdfMessage =
    "This PDF file is damaged or incomplete and cannot be read";
inline constexpr const char* PasswordPdfMessage = "This PDF file is protected by a password";

}  // namespace aiimport
