# The Debian package: `cpack -G DEB` in the build folder makes
# sentrel_<version>_<arch>.deb from what `cmake --install` puts in place.
set(CPACK_PACKAGE_NAME sentrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "sentrel maintainers")
set(CPACK_PACKAGE_CONTACT "sentrel maintainers <maintainers@users.noreply.c-seed-c637364e.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "watch a Nagios status file and print every state change")
set(CPACK_PACKAGE_DESCRIPTION "\
sentrel polls the status file of Nagios, or of a compatible monitoring system,
from a local path or from a TCP service, and prints one report for each host
or service whose state changed since the previous poll; its first poll lists
the current HARD problems. It keeps no state on disk and has no configuration
file: the command line is the whole configuration.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The C and C++ runtimes the program links, with the versions this build
# needs, as dpkg-shlibdeps reads them off the binary; without dpkg-dev, the
# packages those runtimes come from.
find_program(SENTREL_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(SENTREL_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
endif()

include(CPack)
