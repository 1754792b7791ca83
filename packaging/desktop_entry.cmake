# Writes the desktop entry at install time, when the final prefix is known.
#   LIRVO_DESKTOP_TEMPLATE  the lirvo.desktop.in template
#   LIRVO_DESKTOP_FOR_USER  ON: into the user's own menu folder
#                           ($XDG_DATA_HOME or ~/.local/share), OFF: into the prefix
# The entry names the installed program and icon by absolute paths, so the menu
# finds them wherever the prefix lies; the library lives beside the program.

get_filename_component(prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
set(program "${prefix}/lirvo")
set(icon "${prefix}/share/icons/hicolor/128x128/apps/lirvo.png")

# Exec: one quoted argument, with the quoting rules of the Exec key, then the
# escapes of a string value. "%" introduces field codes and is doubled.
set(exec "${program}")
string(REPLACE "\\" "\\\\" exec "${exec}")
string(REPLACE "\"" "\\\"" exec "${exec}")
string(REPLACE "`" "\\`" exec "${exec}")
string(REPLACE "$" "\\$" exec "${exec}")
string(REPLACE "%" "%%" exec "${exec}")
string(REPLACE "\\" "\\\\" exec "${exec}")
set(LIRVO_DESKTOP_EXEC "\"${exec}\"")
string(REPLACE "\\" "\\\\" LIRVO_DESKTOP_PATH "${prefix}")
string(REPLACE "\\" "\\\\" LIRVO_DESKTOP_ICON "${icon}")

file(READ "${LIRVO_DESKTOP_TEMPLATE}" template)
string(CONFIGURE "${template}" entry @ONLY)

if(LIRVO_DESKTOP_FOR_USER)
  if(DEFINED ENV{XDG_DATA_HOME} AND NOT "$ENV{XDG_DATA_HOME}" STREQUAL "")
    set(menu "$ENV{XDG_DATA_HOME}/applications")
  else()
    set(menu "$ENV{HOME}/.local/share/applications")
  endif()
else()
  set(menu "$ENV{DESTDIR}${prefix}/share/applications")
endif()

set(target "${menu}/lirvo.desktop")
message(STATUS "Installing: ${target}")
file(MAKE_DIRECTORY "${menu}")
file(WRITE "${target}" "${entry}")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${target}")

if(NOT LIRVO_DESKTOP_FOR_USER)
  message(STATUS "Lirvo keeps its library beside ${program}; choose a prefix you can write to. "
                 "If the menu does not list Lirvo, add the entry to your own menu with: "
                 "cmake --install <build> --prefix \"${prefix}\" --component user-menu")
endif()
