#pragma once
// Profile (INI) files with the behaviour of the Windows profile functions.
#include <optional>

#include "services/text.h"

namespace lirvo {

Text ReadProfile(const Text& file, const Text& section, const Text& key,
                 const Text& defaultValue = {});

// With a value the key is set; with the value left out the key is removed; with
// the key left out the whole section is removed.
bool WriteProfile(const Text& file, const Text& section, std::optional<Text> key = std::nullopt,
                  std::optional<Text> value = std::nullopt);

}  // namespace lirvo
