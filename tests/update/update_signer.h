#pragma once
// A minisign key pair of the test's own, made with libsodium, that signs
// update programs as `minisign -S` does (prehashed "ED", or legacy "Ed").
#include <sodium.h>

#include <array>
#include <cstdlib>
#include <string>
#include <string_view>

namespace lirvo::test {

class UpdateSigner {
 public:
  UpdateSigner() {
    if (sodium_init() < 0) std::abort();
    crypto_sign_keypair(m_public.data(), m_secret.data());
    randombytes_buf(m_keyNumber.data(), m_keyNumber.size());
  }

  std::string PublicKeyLine() const {  // the .pub file's second line
    return Base64(std::string("Ed") + Raw(m_keyNumber) + Raw(m_public));
  }

  // A whole .minisig file.
  std::string Sign(std::string_view program, std::string_view trustedComment,
                   bool prehashed = true) const {
    std::string message(program);
    if (prehashed) {
      std::array<unsigned char, crypto_generichash_BYTES_MAX> hash{};
      crypto_generichash(hash.data(), hash.size(), Bytes(program), program.size(), nullptr, 0);
      message = Raw(hash);
    }
    const std::string signature = Detached(message);
    const std::string global = Detached(signature + std::string(trustedComment));
    return "untrusted comment: signature from a test key\n" +
           Base64((prehashed ? "ED" : "Ed") + Raw(m_keyNumber) + signature) +
           "\ntrusted comment: " + std::string(trustedComment) + "\n" + Base64(global) + "\n";
  }

 private:
  static const unsigned char* Bytes(std::string_view s) {
    return reinterpret_cast<const unsigned char*>(s.data());
  }
  template <std::size_t N>
  static std::string Raw(const std::array<unsigned char, N>& bytes) {
    return std::string(reinterpret_cast<const char*>(bytes.data()), N);
  }
  static std::string Base64(const std::string& bytes) {
    std::string out(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(out.data(), out.size(), Bytes(bytes), bytes.size(),
                      sodium_base64_VARIANT_ORIGINAL);
    out.resize(out.find('\0'));
    return out;
  }
  std::string Detached(const std::string& message) const {
    std::array<unsigned char, crypto_sign_BYTES> signature{};
    crypto_sign_detached(signature.data(), nullptr, Bytes(message), message.size(),
                         m_secret.data());
    return Raw(signature);
  }

  std::array<unsigned char, crypto_sign_PUBLICKEYBYTES> m_public{};
  std::array<unsigned char, crypto_sign_SECRETKEYBYTES> m_secret{};
  std::array<unsigned char, 8> m_keyNumber{};
};

}  // namespace lirvo::test
