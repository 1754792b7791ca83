#pragma once
// The signed update program: the locator names it, its detached signature is
// fetched from its URL + ".minisig", and the program goes into a temporary
// file beside its target. Only a program whose signature verifies against the
// built-in key, and whose signed version is newer than this program's, takes
// the target's place; everything else is deleted. A box shows the download
// and lets the user cancel it.
#include <string>

#include "services/http.h"
#include "services/text.h"

namespace lirvo::update {

enum class UpdateStep {
  kDone,              // the verified program is at the target, executable
  kCancelled,         // the user (or a stop) ended the download
  kLocator,           // the locator could not be fetched or names no URL
  kSignatureMissing,  // the signature could not be fetched
  kProgram,           // the program could not be fetched whole
  kSignatureBad,      // the signature does not verify with the built-in key
  kNotNewer,          // verified, but its signed version is not newer than ours
  kWrite,             // the program could not be stored
};

struct UpdateOutcome {
  UpdateStep step = UpdateStep::kDone;
  HttpResult fetch;    // the failed fetch (kLocator, kSignatureMissing, kProgram)
  int writeError = 0;  // errno (kWrite)
};

// `localVersion` is this program's version text, `publicKey` the base64 line
// of the minisign key the program must be signed with.
UpdateOutcome DownloadSignedUpdate(const Text& target, const Text& localVersion,
                                   const std::string& publicKey);

// "更新失败，原因如下：" and what failed; empty for kDone and kCancelled.
Text UpdateFailureText(const UpdateOutcome& outcome, const Text& target);

}  // namespace lirvo::update
