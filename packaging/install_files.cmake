# Run by `cmake --install` (and by CPack): writes the files that name the install's own folders,
# which are known only now (the prefix can be given to `cmake --install`), and installs them:
#  - the desktop entry, whose Exec runs the program by its full path, so the menu starts it
#    whether or not the program's folder is on the desktop's PATH;
#  - the manual page, which names the data folder;
#  - the change log, compressed as Debian keeps it.
# Then, for an install straight into a prefix (no DESTDIR: not a package being staged), brings
# the prefix's MIME and desktop databases up to date, as a package's triggers would.
# Expects DRAVIK_SOURCE_DIR, DRAVIK_BINARY_DIR, DRAVIK_APP_ID, DRAVIK_BINDIR, DRAVIK_DATADIR,
# DRAVIK_DATAROOTDIR, DRAVIK_MANDIR, DRAVIK_DOCDIR, PROJECT_VERSION; CMAKE_INSTALL_PREFIX is the
# install's.
set(program "${CMAKE_INSTALL_PREFIX}/${DRAVIK_BINDIR}/dravik")
set(exec "${program}")
string(REPLACE "%" "%%" exec "${exec}")
# A path with a reserved character goes in double quotes, with ", `, $ and \ escaped inside.
if(exec MATCHES "[] \t\n\"'\\\\><~|&;$*?#()`[]")
  string(REPLACE "\\" "\\\\" exec "${exec}")
  string(REPLACE "\"" "\\\"" exec "${exec}")
  string(REPLACE "`" "\\`" exec "${exec}")
  string(REPLACE "$" "\\$" exec "${exec}")
  set(exec "\"${exec}\"")
  # The key's value is itself a string, whose backslashes are escaped once more.
  string(REPLACE "\\" "\\\\" exec "${exec}")
endif()
set(DRAVIK_EXEC "${exec}")
set(DRAVIK_FULL_DATADIR "${CMAKE_INSTALL_PREFIX}/${DRAVIK_DATADIR}")
# Man pages escape a minus and a backslash.
string(REPLACE "\\" "\\e" DRAVIK_FULL_DATADIR "${DRAVIK_FULL_DATADIR}")
string(REPLACE "-" "\\-" DRAVIK_FULL_DATADIR "${DRAVIK_FULL_DATADIR}")

set(staged "${DRAVIK_BINARY_DIR}/packaging/install")
configure_file("${DRAVIK_SOURCE_DIR}/packaging/${DRAVIK_APP_ID}.desktop.in"
               "${staged}/${DRAVIK_APP_ID}.desktop" @ONLY)
configure_file("${DRAVIK_SOURCE_DIR}/packaging/dravik.6.in" "${staged}/dravik.6" @ONLY)
file(INSTALL "${staged}/${DRAVIK_APP_ID}.desktop"
     DESTINATION "${CMAKE_INSTALL_PREFIX}/${DRAVIK_DATAROOTDIR}/applications")
# Compressed, as Debian keeps its manual pages; man reads either.
execute_process(COMMAND gzip -9nf "${staged}/dravik.6" RESULT_VARIABLE gzipped)
if(NOT gzipped EQUAL 0)
  message(FATAL_ERROR "gzip of the manual page failed")
endif()
file(INSTALL "${staged}/dravik.6.gz" DESTINATION "${CMAKE_INSTALL_PREFIX}/${DRAVIK_MANDIR}/man6")
configure_file("${DRAVIK_BINARY_DIR}/packaging/changelog" "${staged}/changelog" COPYONLY)
execute_process(COMMAND gzip -9nf "${staged}/changelog" RESULT_VARIABLE gzipped)
if(NOT gzipped EQUAL 0)
  message(FATAL_ERROR "gzip of the change log failed")
endif()
file(INSTALL "${staged}/changelog.gz" DESTINATION "${CMAKE_INSTALL_PREFIX}/${DRAVIK_DOCDIR}")

if("$ENV{DESTDIR}" STREQUAL "")
  find_program(update_mime update-mime-database)
  find_program(update_desktop update-desktop-database)
  if(update_mime)
    execute_process(COMMAND "${update_mime}" "${CMAKE_INSTALL_PREFIX}/${DRAVIK_DATAROOTDIR}/mime")
  endif()
  if(update_desktop)
    execute_process(COMMAND "${update_desktop}"
                            "${CMAKE_INSTALL_PREFIX}/${DRAVIK_DATAROOTDIR}/applications")
  endif()
endif()
