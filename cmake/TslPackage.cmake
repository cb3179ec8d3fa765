# What the packages hold and how CPack makes them: on Linux a Debian package
# (cpack -G DEB: tessaline_<version>_amd64.deb), on Windows a zip of the programs
# (cpack -G ZIP: tessaline-<version>-win64.zip). The version is the project's.

set(TSL_PACKAGE_CONTACT "Quarnel Software Inc. <tessaline@quarnel.example>"
    CACHE STRING "Maintainer named in the packages")

if(WIN32)
  # The zip: the programs at its top, the examples, and the README with Windows line ends.
  install(TARGETS TslRun TslPattern RUNTIME DESTINATION .)
  install(DIRECTORY examples/ DESTINATION examples)
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/README.txt
    COMMAND ${CMAKE_COMMAND} -DIN=${CMAKE_SOURCE_DIR}/README.md -DOUT=${CMAKE_BINARY_DIR}/README.txt
            -P ${CMAKE_SOURCE_DIR}/cmake/TslTextCrlf.cmake
    DEPENDS ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/cmake/TslTextCrlf.cmake
    COMMENT "Writing README.txt with Windows line ends"
    VERBATIM)
  add_custom_target(tsl_readme_txt ALL DEPENDS ${CMAKE_BINARY_DIR}/README.txt)
  install(FILES ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)
else()
  # The Debian layout below /usr: programs, manual pages, then the README, the user
  # documents and the examples in the package's documentation folder.
  set(doc_dir share/doc/tessaline)
  install(TARGETS TslRun TslPattern RUNTIME DESTINATION bin)
  find_program(TSL_GZIP gzip REQUIRED)
  set(man_pages)
  foreach(page IN ITEMS TslRun.1 TslPattern.1)
    # The page with the project's version in its footer, then compressed beside it.
    set(copy ${CMAKE_BINARY_DIR}/man/${page})
    configure_file(docs/man/${page} ${copy} @ONLY)
    add_custom_command(
      OUTPUT ${copy}.gz
      COMMAND ${TSL_GZIP} -9 -n -k -f ${copy}
      DEPENDS ${copy}
      COMMENT "Compressing the manual page ${page}"
      VERBATIM)
    list(APPEND man_pages ${copy}.gz)
  endforeach()
  add_custom_target(tsl_man_pages ALL DEPENDS ${man_pages})
  install(FILES ${man_pages} DESTINATION share/man/man1)
  install(FILES README.md DESTINATION ${doc_dir})
  install(FILES docs/synchronization.md docs/filereplace.md docs/registry.md docs/architecture.md
          DESTINATION ${doc_dir}/docs)
  install(DIRECTORY examples DESTINATION ${doc_dir} USE_SOURCE_PERMISSIONS)
endif()

set(CPACK_PACKAGE_NAME tessaline)
set(CPACK_PACKAGE_VENDOR "Quarnel Software Inc.")
set(CPACK_PACKAGE_CONTACT "${TSL_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "scripted file maintenance batch tool")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "TslRun runs up to four maintenance scripts named by its one argument,\n"
    "unattended: folder synchronization, shortcut repair, registry find and\n"
    "replace, file find and replace. TslPattern tries the scripts' search\n"
    "patterns and mask lists on files beforehand.")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "tessaline-${PROJECT_VERSION}-win64")
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # tessaline_<version>_<architecture>.deb
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # Depends: from the programs' libraries
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
endif()

include(CPack)
