#pragma once
// Checks a downloaded update program against a detached minisign signature
// and the public key built into this program. Pure: no files, no windows.
//
// A signature file has four lines: an untrusted comment, the base64 of the
// algorithm ("Ed" over the file itself, "ED" over its BLAKE2b-512 hash), the
// key number and the Ed25519 signature, then "trusted comment: " and its text,
// and last the base64 of a global signature over the signature and that text.
#include <string>
#include <string_view>

namespace lirvo::update {

enum class SignatureCheck {
  kVerified,    // signed by the key; `trustedComment` holds the signed text
  kBadKey,      // the built-in key is not a minisign public key line
  kMalformed,   // the signature file does not have minisign's form
  kOtherKey,    // signed with another key (its key number differs)
  kNotMatching  // the file or the trusted comment was changed after signing
};

struct SignatureResult {
  SignatureCheck check = SignatureCheck::kMalformed;
  std::string trustedComment;
};

// True for the base64 line of a minisign Ed25519 public key.
bool IsPublicKey(std::string_view publicKey);

// `publicKey` is the base64 line of a minisign .pub file.
SignatureResult CheckSignature(std::string_view program, std::string_view signatureFile,
                               std::string_view publicKey);

// The version a verified trusted comment names: the text after
// "lirvo version "; empty when the comment does not begin so.
std::string SignedVersion(std::string_view trustedComment);

}  // namespace lirvo::update
