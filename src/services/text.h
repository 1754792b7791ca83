#pragma once
// Text and number services. A text is a std::string of GBK bytes; a byte set is
// a std::string that may hold zero bytes. Positions are 1-based byte positions,
// a search that finds nothing gives -1. None of these services fails.
//
// Characters here are the old runtime's: any byte of 0x80 or more pairs with
// the byte after it, whatever that is. The page cuts and their marker
// arithmetic depend on exactly this. The path mapping (native_path.h) reads
// real GBK/GB18030 characters instead, since there a wrong pairing would hide
// or invent a separator. The two rules differ on purpose; keep them apart.
#include <optional>
#include <string>

namespace lirvo {

using Text = std::string;
using Bytes = std::string;

int TextLength(const Text& text);
Text LeftText(const Text& text, int count);
Text RightText(const Text& text, int count);

// Both searches step over two-byte characters whole, so a match never starts
// on a trail byte.
int FindText(const Text& text, const Text& sought, std::optional<int> start = std::nullopt,
             bool ignoreCase = false);
int FindTextReverse(const Text& text, const Text& sought, std::optional<int> end = std::nullopt,
                    bool ignoreCase = false);

Text ToText(int value);
Text ToText(double value);  // "%.13g"
Text ToText(bool value);    // "真" / "假"
Text ToText(const Bytes& bytes);  // up to the first zero byte
Text ToText(const char*) = delete;  // would silently pick the bool overload

double ToNumber(const Text& text);
Bytes ToBytes(const Text& text);
double RoundNumber(double value, int places = 0);
int RandomNumber(int low = 0, int high = 2147483647);

// Puts the generator back to its start state (state 1), as at program start.
void ResetRandomNumber();

}  // namespace lirvo
