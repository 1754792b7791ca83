#pragma once
// The update program the demo site serves, signed at build time with the
// demo's own minisign key (made once per build tree).
namespace lirvo::demo {

extern const char kSignedUpdateProgram[];    // a harmless shell script
extern const char kSignedUpdateSignature[];  // its .minisig, "lirvo version " + kDemoUpdateVersion
extern const char kDemoUpdatePublicKey[];    // base64 line of the demo's public key
extern const char kDemoUpdateVersion[];      // newer than the program's own version

}  // namespace lirvo::demo
