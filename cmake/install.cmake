# What `cmake --install` puts in place for an integrator: the component with
# its SONAME, the voice engine beside it, the public headers under
# include/medley/, the medley program, a CMake package (find_package(Medley
# CONFIG) gives Medley::medley and, off Windows, Medley::activation) and a
# pkg-config file. The version is the project version, set once in the
# top-level CMakeLists.txt.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(medley_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Medley)

if(NOT WIN32)
  # libmedley.so.MAJOR.MINOR, SONAME libmedley.so.MAJOR. The engine keeps its
  # plain name: the component records it as a dependency and finds it beside
  # itself ($ORIGIN).
  set_target_properties(medley PROPERTIES VERSION ${PROJECT_VERSION}
                                          SOVERSION ${PROJECT_VERSION_MAJOR})
  # The installed program finds the engine and the component in the library
  # folder of its own prefix, wherever that prefix is.
  file(RELATIVE_PATH medley_bin_to_lib ${CMAKE_INSTALL_FULL_BINDIR}
       ${CMAKE_INSTALL_FULL_LIBDIR})
  set_target_properties(medley_tool PROPERTIES INSTALL_RPATH "$ORIGIN/${medley_bin_to_lib}")
  target_compile_definitions(medley_tools PRIVATE
    MEDLEY_INSTALLED_MODULE_FILE="${medley_bin_to_lib}/libmedley.so.${PROJECT_VERSION_MAJOR}")

  # Creating objects by ProgID as a host does (CLSIDFromProgID,
  # CoCreateInstance over the registry file): a static library for hosts,
  # with only what activation needs, so a host that also links the component
  # holds no second copy of the component's exported functions.
  add_library(medley_host_activation STATIC
    ${PROJECT_SOURCE_DIR}/platform/activation_posix.cpp
    ${PROJECT_SOURCE_DIR}/platform/registry_posix.cpp
    ${PROJECT_SOURCE_DIR}/platform/registry_file.cpp
    ${PROJECT_SOURCE_DIR}/platform/guid.cpp
    ${PROJECT_SOURCE_DIR}/platform/trace.cpp
    ${PROJECT_SOURCE_DIR}/platform/wide_text.cpp)
  set_target_properties(medley_host_activation PROPERTIES OUTPUT_NAME medley-activation
                                                          EXPORT_NAME activation)
  target_link_libraries(medley_host_activation PUBLIC ${CMAKE_DL_LIBS})
  # Built from the platform's sources, with the platform's own view of the tree.
  target_include_directories(medley_host_activation PRIVATE
                             $<TARGET_PROPERTY:medley_platform,INCLUDE_DIRECTORIES>)
  target_include_directories(medley_host_activation INTERFACE
                             $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
endif()

target_include_directories(medley INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

set(medley_installed_targets medley)
if(TARGET medley_host_activation)
  list(APPEND medley_installed_targets medley_host_activation)
endif()
install(TARGETS ${medley_installed_targets} EXPORT MedleyTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT runtime
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime)
install(TARGETS GIPSVoiceEngineDLL medley_tool
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/medley
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT runtime
        FILES_MATCHING PATTERN "*.h")
if(NOT WIN32)
  # Activation has the Windows names and is the COM runtime's on Windows.
  install(FILES ${PROJECT_SOURCE_DIR}/platform/activation.h
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/medley COMPONENT runtime)
endif()

install(EXPORT MedleyTargets NAMESPACE Medley:: DESTINATION ${medley_cmake_dir}
        COMPONENT runtime)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/package/MedleyConfig.cmake.in
  ${PROJECT_BINARY_DIR}/MedleyConfig.cmake INSTALL_DESTINATION ${medley_cmake_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/MedleyConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/MedleyConfig.cmake
              ${PROJECT_BINARY_DIR}/MedleyConfigVersion.cmake
        DESTINATION ${medley_cmake_dir} COMPONENT runtime)

if(NOT WIN32)
  # The prefix is found from the file's own place, so a moved tree still works.
  file(RELATIVE_PATH medley_pc_to_prefix ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig
       ${CMAKE_INSTALL_PREFIX})
  string(REGEX REPLACE "/$" "" medley_pc_to_prefix "${medley_pc_to_prefix}")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/package/medley.pc.in
                 ${PROJECT_BINARY_DIR}/medley.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/medley.pc
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT runtime)
endif()
