// The rules for a new vault password, shared by the change-password dialog
// and the Linux vault tool: at most 15 characters, at least 8, no "^", and
// the same text typed twice.
#pragma once

#include "support/text.h"

namespace tessaly {

inline constexpr std::size_t kMaxPasswordChars = 15;
inline constexpr std::size_t kMinPasswordChars = 8;

// The message for the first rule that `first` and `second` (the new
// password as typed twice) break, in the dialog's order; nullptr when they
// keep them all.
const char16_t* NewPasswordProblem(const Text& first, const Text& second);

}  // namespace tessaly
