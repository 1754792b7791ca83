# The demo site's signing key pair, made once per build tree with minisign
# (no password): the demo site signs the update program it serves with it. The
# program trusts this key only in a demo build (LIRVO_DEMO_UPDATE_KEY=ON); a
# packager sets LIRVO_UPDATE_PUBLIC_KEY to the project's own key instead.
find_program(LIRVO_MINISIGN minisign REQUIRED)
set(LIRVO_DEMO_KEY_DIR ${CMAKE_BINARY_DIR}/demo-update-key)
if(NOT EXISTS ${LIRVO_DEMO_KEY_DIR}/demo.pub OR NOT EXISTS ${LIRVO_DEMO_KEY_DIR}/demo.key)
  file(MAKE_DIRECTORY ${LIRVO_DEMO_KEY_DIR})
  execute_process(COMMAND ${LIRVO_MINISIGN} -G -W -f -p demo.pub -s demo.key
                  WORKING_DIRECTORY ${LIRVO_DEMO_KEY_DIR}
                  RESULT_VARIABLE made OUTPUT_QUIET ERROR_QUIET)
  if(NOT made EQUAL 0)
    message(FATAL_ERROR "minisign could not make the demo site's key pair")
  endif()
endif()
file(STRINGS ${LIRVO_DEMO_KEY_DIR}/demo.pub demo_pub_lines)
list(GET demo_pub_lines 1 LIRVO_DEMO_UPDATE_PUBLIC_KEY)
if(LIRVO_DEMO_UPDATE_KEY)
  set(LIRVO_UPDATE_PUBLIC_KEY ${LIRVO_DEMO_UPDATE_PUBLIC_KEY})
endif()
# The demo site offers one version more than this program's, signed as such.
math(EXPR LIRVO_DEMO_UPDATE_VERSION "${PROJECT_VERSION_MAJOR} + 10")
