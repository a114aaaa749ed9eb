#include "platform/PrivateText.h"

#include <cctype>
#include <cstring>

namespace platform {
namespace {

void ReplaceAll(std::string& text, const std::string& what) {
    if (what.empty()) {
        return;
    }
    const size_t replacementSize = std::strlen(kMaskedAccount);
    size_t at = 0;
    while (at + what.size() <= text.size()) {
        bool same = true;
        for (size_t i = 0; i < what.size() && same; ++i) {
            same = std::tolower(static_cast<unsigned char>(text[at + i])) ==
                   std::tolower(static_cast<unsigned char>(what[i]));
        }
        if (same) {
            text.replace(at, what.size(), kMaskedAccount);
            at += replacementSize;
        } else {
            ++at;
        }
    }
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

}  // namespace

std::string MaskAccount(std::string text, const std::string& account) {
    const std::string plain = Replaced(account, "%40", "@");
    if (plain.find('@') == std::string::npos) {
        return text;
    }
    ReplaceAll(text, plain);
    ReplaceAll(text, Replaced(plain, "@", "%40"));
    return text;
}

}  // namespace platform
