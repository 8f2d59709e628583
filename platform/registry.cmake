# Self-registration and activation: the class registry (the system's on
# Windows, a text file elsewhere), the module's own file and type library,
# the DLL entry point (medley_platform_module, linked into the component
# only) and, elsewhere than Windows, creating objects by class identifier or
# ProgID (medley_activation, for hosts; Windows has the COM runtime).
target_sources(medley_platform PRIVATE registry_file.cpp)
if(WIN32)
  target_sources(medley_platform PRIVATE registry_win.cpp module_win.cpp)
  add_library(medley_platform_module STATIC module_entry_win.cpp)
  add_library(medley_activation INTERFACE)
  target_link_libraries(medley_activation INTERFACE medley_platform ole32 oleaut32)
else()
  target_sources(medley_platform PRIVATE registry_posix.cpp module_posix.cpp)
  add_library(medley_platform_module STATIC module_entry_posix.cpp)
  add_library(medley_activation STATIC activation_posix.cpp)
  target_link_libraries(medley_activation PUBLIC medley_platform ${CMAKE_DL_LIBS})
endif()
target_link_libraries(medley_platform_module PUBLIC medley_platform)
