#pragma once

// What the signed-out screens show where the server gives no text of its own.

namespace SignInMessages {

// A failure that came without a reason to show (no reply, or a reply without its text).
inline constexpr const char* kUnexpectedError = "Unexpected error. Please try again.";

} // namespace SignInMessages
