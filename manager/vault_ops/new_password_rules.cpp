#include "vault_ops/new_password_rules.h"

#include "vault_ops/texts.h"

namespace tessaly {

const char16_t* NewPasswordProblem(const Text& first, const Text& second)
{
    if (first.size() > kMaxPasswordChars) {
        return texts::kNewPasswordTooLong;
    }
    if (first != second) {
        return texts::kNewPasswordsDiffer;
    }
    if (first.empty() || second.empty()) {
        return texts::kNewPasswordEmpty;
    }
    if (first.size() < kMinPasswordChars) {
        return texts::kNewPasswordTooShort;
    }
    if (Contains(first, u"^")) {
        return texts::kNewPasswordCaret;
    }
    return nullptr;
}

}  // namespace tessaly
