# Read by cpack for each generator: a Debian package follows the Debian games layout, which the
# program's way to its data is built for at configure time.
if(CPACK_GENERATOR STREQUAL "DEB" AND NOT CPACK_DRAVIK_GAMES_LAYOUT)
  message(FATAL_ERROR "A Debian package of Dravik needs the games layout: configure the build "
                      "with -DDRAVIK_GAMES_LAYOUT=ON, or run bash scripts/package.sh")
endif()
