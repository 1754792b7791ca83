#pragma once
// The public key that update programs must be signed with.
#include <optional>
#include <string>

namespace lirvo::update {

// The base64 line of a minisign public key; empty when this build has none.
std::string UpdatePublicKey();

// Tests only: use this key instead of the built-in one (nullopt restores it).
void SetUpdatePublicKeyForTest(std::optional<std::string> key);

}  // namespace lirvo::update
