# The part of `cmake --install` that depends on where the program goes: run
# from the install script with LUMIVOX_PREFIX (the prefix being installed into)
# and LUMIVOX_DESKTOP_TEMPLATE. DESTDIR, when set, stages everything below itself.

set(stage "$ENV{DESTDIR}")

# The desktop entry. Exec is quoted, with the characters an Exec argument
# reserves escaped and % doubled; both keys are desktop-entry strings, so each
# backslash is doubled once more.
set(exec "${LUMIVOX_PREFIX}/bin/lumivox")
string(REPLACE "\\" "\\\\\\\\" exec "${exec}")
string(REPLACE "\"" "\\\\\"" exec "${exec}")
string(REPLACE "`" "\\\\`" exec "${exec}")
string(REPLACE "$" "\\\\$" exec "${exec}")
string(REPLACE "%" "%%" exec "${exec}")
set(LUMIVOX_DESKTOP_EXEC "\"${exec}\"")
set(icon "${LUMIVOX_PREFIX}/share/icons/hicolor/scalable/apps/lumivox.svg")
string(REPLACE "\\" "\\\\" LUMIVOX_DESKTOP_ICON "${icon}")
set(entry "${stage}${LUMIVOX_PREFIX}/share/applications/lumivox.desktop")
message(STATUS "Installing: ${entry}")
configure_file("${LUMIVOX_DESKTOP_TEMPLATE}" "${entry}" @ONLY)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${entry}")
