// Masking of the user's account in diagnostic text: the one rule every file
// that may leave the machine (maintenance log, communication log, libcurl
// trace, database dump) applies before it writes. Pure functions; any thread.
#pragma once

#include <string>

namespace platform {

// What the account is replaced by.
inline constexpr const char* kMaskedAccount = "[user_id]";

// Replaces every occurrence of `account` (UTF-8, given in either form) in
// its "@" form and in its URL-encoded "%40" form by "[user_id]". Letter case
// is ignored (the service may echo the address in another case, and "%40"
// may be written "%40" only, digits having no case). An account without
// "@" or "%40" (the local mode's "local") or an empty one changes nothing.
std::string MaskAccount(std::string text, const std::string& account);

}  // namespace platform
