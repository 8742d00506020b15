# The part of `cmake --install` that depends on where the program goes: run
# from the install script with LUMIVOX_PREFIX (the prefix being installed into),
# the folders below it (LUMIVOX_PROGRAM_DIR, LUMIVOX_BIN_DIR,
# LUMIVOX_APPLICATIONS_DIR, LUMIVOX_ICON_DIR), LUMIVOX_MAKEDB and
# LUMIVOX_DESKTOP_TEMPLATE. DESTDIR, when set, stages everything below itself.

set(stage "$ENV{DESTDIR}")
set(program_dir "${LUMIVOX_PREFIX}/${LUMIVOX_PROGRAM_DIR}")

# A fresh, empty database beside the program; an existing one is left alone.
execute_process(COMMAND "${LUMIVOX_MAKEDB}" "${stage}${program_dir}/Pennora.db"
                RESULT_VARIABLE made)
if(NOT made EQUAL 0)
  message(FATAL_ERROR "Could not create ${stage}${program_dir}/Pennora.db")
endif()

# The command on the PATH: a link to the program in its own folder (the program
# finds its folder through the link).
set(link "${stage}${LUMIVOX_PREFIX}/${LUMIVOX_BIN_DIR}/lumivox")
file(MAKE_DIRECTORY "${stage}${LUMIVOX_PREFIX}/${LUMIVOX_BIN_DIR}")
file(RELATIVE_PATH target "${LUMIVOX_PREFIX}/${LUMIVOX_BIN_DIR}" "${program_dir}/lumivox")
message(STATUS "Installing: ${link}")
file(CREATE_LINK "${target}" "${link}" SYMBOLIC)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${link}")

# The desktop entry. Exec is quoted, with the characters an Exec argument
# reserves escaped and % doubled; both keys are desktop-entry strings, so each
# backslash is doubled once more.
set(exec "${program_dir}/lumivox")
string(REPLACE "\\" "\\\\\\\\" exec "${exec}")
string(REPLACE "\"" "\\\\\"" exec "${exec}")
string(REPLACE "`" "\\\\`" exec "${exec}")
string(REPLACE "$" "\\\\$" exec "${exec}")
string(REPLACE "%" "%%" exec "${exec}")
set(LUMIVOX_DESKTOP_EXEC "\"${exec}\"")
set(icon "${LUMIVOX_PREFIX}/${LUMIVOX_ICON_DIR}/lumivox.svg")
string(REPLACE "\\" "\\\\" LUMIVOX_DESKTOP_ICON "${icon}")
set(entry "${stage}${LUMIVOX_PREFIX}/${LUMIVOX_APPLICATIONS_DIR}/lumivox.desktop")
message(STATUS "Installing: ${entry}")
configure_file("${LUMIVOX_DESKTOP_TEMPLATE}" "${entry}" @ONLY)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${entry}")
