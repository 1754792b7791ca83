# Writes the signed demo update program, its signature and the demo's public
# key into a source file of the demo site (cmake -P, with PROGRAM, SIGNATURE,
# PUBLIC_KEY, VERSION and OUT defined).
file(READ ${PROGRAM} program)
file(READ ${SIGNATURE} signature)
file(WRITE ${OUT} "// Generated at build time; signed with the demo site's own key.
#include \"demo_update.h\"

namespace lirvo::demo {
const char kSignedUpdateProgram[] = R\"lirvo(${program})lirvo\";
const char kSignedUpdateSignature[] = R\"lirvo(${signature})lirvo\";
const char kDemoUpdatePublicKey[] = \"${PUBLIC_KEY}\";
const char kDemoUpdateVersion[] = \"${VERSION}\";
}  // namespace lirvo::demo
")
