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

// True when a key of that name can be written to that section and found
// again: no "=" or line break in the key, no "[" or ";" opening it, no "]"
// or line break in the section.
bool ProfileCanHold(const Text& section, const Text& key);

}  // namespace lirvo
