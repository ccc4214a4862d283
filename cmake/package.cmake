# The installed documents and the Debian package: `cpack -G DEB` in the build
# folder makes sentrel_<version>_<arch>.deb from what `cmake --install` puts
# in place.
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

# What Debian asks of every package goes into the installed tree itself, so
# that the package is exactly what `cmake --install` puts in place: the
# license as a machine-readable copyright file, the changelog, and the manual
# page. The last two are compressed with `gzip -9n`, which records neither
# name nor time: the same sources give the same bytes.
set(sentrel_documents ${CMAKE_BINARY_DIR}/documents)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/LICENSE)
file(READ ${CMAKE_SOURCE_DIR}/LICENSE sentrel_license)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" sentrel_copyright "${sentrel_license}")
set(sentrel_copyright ${CMAKE_MATCH_1})
# The terms, indented one blank, an empty line written as " .".
string(FIND "${sentrel_license}" "Redistribution" sentrel_terms_start)
string(SUBSTRING "${sentrel_license}" ${sentrel_terms_start} -1 sentrel_license_terms)
string(STRIP "${sentrel_license_terms}" sentrel_license_terms)
string(REPLACE "\n\n" "\n.\n" sentrel_license_terms "${sentrel_license_terms}")
string(REPLACE "\n" "\n " sentrel_license_terms " ${sentrel_license_terms}")
configure_file(cmake/copyright.in ${sentrel_documents}/copyright @ONLY)

find_program(SENTREL_GZIP gzip REQUIRED)
foreach(document docs/sentrel.1 cmake/changelog)
  get_filename_component(name ${document} NAME)
  add_custom_command(OUTPUT ${sentrel_documents}/${name}.gz
                     COMMAND ${SENTREL_GZIP} -9n -c ${CMAKE_SOURCE_DIR}/${document}
                             > ${sentrel_documents}/${name}.gz
                     DEPENDS ${document} VERBATIM)
  list(APPEND sentrel_compressed ${sentrel_documents}/${name}.gz)
endforeach()
add_custom_target(sentrel_documents ALL DEPENDS ${sentrel_compressed})

install(FILES ${sentrel_documents}/sentrel.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${sentrel_documents}/copyright ${sentrel_documents}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

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
