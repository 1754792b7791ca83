#include "update/update_key.h"

#include "lirvo/update_public_key.h"

namespace lirvo::update {

namespace {
std::optional<std::string> g_testKey;
}  // namespace

std::string UpdatePublicKey() {
  return g_testKey ? *g_testKey : std::string(kUpdatePublicKey);
}

void SetUpdatePublicKeyForTest(std::optional<std::string> key) {
  g_testKey = std::move(key);
}

}  // namespace lirvo::update
