#include "update/update_signature.h"

#include <sodium.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace lirvo::update {

namespace {

constexpr std::size_t kKeyNumberBytes = 8;
constexpr std::size_t kPublicKeyLineBytes = 2 + kKeyNumberBytes + crypto_sign_PUBLICKEYBYTES;
constexpr std::size_t kSignatureLineBytes = 2 + kKeyNumberBytes + crypto_sign_BYTES;
constexpr std::string_view kTrustedPrefix = "trusted comment: ";
constexpr std::string_view kVersionPrefix = "lirvo version ";

std::optional<std::vector<unsigned char>> FromBase64(std::string_view text, std::size_t size) {
  std::vector<unsigned char> bytes(size);
  std::size_t decoded = 0;
  const char* end = nullptr;
  if (sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &decoded,
                        &end, sodium_base64_VARIANT_ORIGINAL) != 0 ||
      decoded != size || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return bytes;
}

// Splits at line ends (LF, with an optional CR before it); a last line may
// lack its end.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

bool Verifies(const unsigned char* signature, const unsigned char* message, std::size_t size,
              const unsigned char* key) {
  return crypto_sign_verify_detached(signature, message, size, key) == 0;
}

std::optional<std::vector<unsigned char>> PublicKeyBytes(std::string_view publicKey) {
  if (sodium_init() < 0) return std::nullopt;
  auto key = FromBase64(publicKey, kPublicKeyLineBytes);
  if (!key || (*key)[0] != 'E' || (*key)[1] != 'd') return std::nullopt;
  return key;
}

}  // namespace

bool IsPublicKey(std::string_view publicKey) {
  return PublicKeyBytes(publicKey).has_value();
}

SignatureResult CheckSignature(std::string_view program, std::string_view signatureFile,
                               std::string_view publicKey) {
  SignatureResult result;
  const auto key = PublicKeyBytes(publicKey);
  if (!key) {
    result.check = SignatureCheck::kBadKey;
    return result;
  }
  const std::vector<std::string_view> lines = Lines(signatureFile);
  if (lines.size() < 4 || lines[2].substr(0, kTrustedPrefix.size()) != kTrustedPrefix) {
    return result;
  }
  const auto signature = FromBase64(lines[1], kSignatureLineBytes);
  const auto global = FromBase64(lines[3], crypto_sign_BYTES);
  if (!signature || !global || (*signature)[0] != 'E') return result;
  const bool prehashed = (*signature)[1] == 'D';
  if (!prehashed && (*signature)[1] != 'd') return result;

  if (!std::equal(signature->begin() + 2, signature->begin() + 2 + kKeyNumberBytes,
                  key->begin() + 2)) {
    result.check = SignatureCheck::kOtherKey;
    return result;
  }
  const unsigned char* keyBytes = key->data() + 2 + kKeyNumberBytes;
  const unsigned char* fileSignature = signature->data() + 2 + kKeyNumberBytes;
  result.check = SignatureCheck::kNotMatching;

  const auto* programBytes = reinterpret_cast<const unsigned char*>(program.data());
  if (prehashed) {
    std::array<unsigned char, crypto_generichash_BYTES_MAX> hash{};
    crypto_generichash(hash.data(), hash.size(), programBytes, program.size(), nullptr, 0);
    if (!Verifies(fileSignature, hash.data(), hash.size(), keyBytes)) return result;
  } else if (!Verifies(fileSignature, programBytes, program.size(), keyBytes)) {
    return result;
  }

  // The global signature binds the trusted comment to this signature.
  const std::string_view comment = lines[2].substr(kTrustedPrefix.size());
  std::vector<unsigned char> signedComment(fileSignature, fileSignature + crypto_sign_BYTES);
  signedComment.insert(signedComment.end(), comment.begin(), comment.end());
  if (!Verifies(global->data(), signedComment.data(), signedComment.size(), keyBytes)) {
    return result;
  }
  result.check = SignatureCheck::kVerified;
  result.trustedComment = std::string(comment);
  return result;
}

std::string SignedVersion(std::string_view trustedComment) {
  if (trustedComment.substr(0, kVersionPrefix.size()) != kVersionPrefix) return {};
  return std::string(trustedComment.substr(kVersionPrefix.size()));
}

}  // namespace lirvo::update
