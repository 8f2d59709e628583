# Packages built by CPack from the install rules (cmake/install.cmake):
#   Linux:   medley_<version>_amd64.deb; its run-time dependencies come from
#            the shared libraries it links (dpkg-shlibdeps). Installing it
#            registers nothing: each user runs `medley register`.
#   Windows: medley-<version>-win64.zip with medley.dll, the engine DLL, the
#            type library, medley.exe, the headers and REGISTER.txt.
# Build with `cpack --config <build>/CPackConfig.cmake` (scripts/package-deb.sh,
# scripts/package-windows.sh).
set(CPACK_PACKAGE_NAME medley)
set(CPACK_PACKAGE_VENDOR "Medley")
set(CPACK_PACKAGE_CONTACT "Medley developers <medley@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Audio media plug-in of a SIP softphone (in-process COM component)")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  install(FILES ${PROJECT_BINARY_DIR}/component/medley.tlb DESTINATION ${CMAKE_INSTALL_BINDIR}
          COMPONENT runtime)
  install(FILES ${PROJECT_SOURCE_DIR}/cmake/package/REGISTER.txt DESTINATION .
          COMPONENT runtime)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The voice engine travels in the package, beside the component.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
      ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR})
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "The audio media plug-in of a SIP softphone: an in-process COM component\n\
(libmedley.so) that a host creates by ProgID, the stand-in voice engine, the\n\
headers, a CMake package and pkg-config file for hosts, and the medley program.\n\
Run `medley register` as the user whose host creates the component.")
endif()
include(CPack)
