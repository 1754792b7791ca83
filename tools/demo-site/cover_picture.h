#pragma once
// Cover pictures: small JPEGs with colours and a pattern that follow from a
// seed, so every novel has its own recognisable cover.
#include <cstdint>
#include <string>

namespace lirvo::demo {

inline constexpr int kCoverWidth = 120;
inline constexpr int kCoverHeight = 160;

// A baseline JPEG of kCoverWidth x kCoverHeight pixels; always well over
// 2000 bytes.
std::string CoverJpeg(std::uint32_t seed);

}  // namespace lirvo::demo
