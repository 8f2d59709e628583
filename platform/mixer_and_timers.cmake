# Thread timers with their message queue, and the sound-device mixer and
# wave-out functions, under their Windows names: user32 and winmm on Windows;
# elsewhere an emulation over ALSA (no devices when the build has no ALSA),
# with a manual clock for tests. The fake sound cards of the tests are a
# library of their own (medley_platform_audio_fake), never in the component.
if(WIN32)
  add_library(medley_platform_audio STATIC message_pump_win.cpp)
  target_link_libraries(medley_platform_audio PUBLIC medley_platform user32 winmm)
else()
  add_library(medley_platform_audio STATIC
    message_queue_posix.cpp
    mixer_posix.cpp
    mixer_state_posix.cpp
    wave_out_posix.cpp)
  target_link_libraries(medley_platform_audio PUBLIC medley_platform)
  add_library(medley_platform_audio_fake STATIC fake_audio_devices.cpp)
  target_link_libraries(medley_platform_audio_fake PUBLIC medley_platform_audio)
  find_package(ALSA)
  if(ALSA_FOUND)
    # The ALSA device numbering that the mixer and the stand-in engine share.
    add_library(medley_alsa_devices STATIC alsa_sound_devices.cpp)
    medley_expose_folders(medley_alsa_devices PUBLIC platform)
    target_link_libraries(medley_alsa_devices PUBLIC ALSA::ALSA medley_com_base)
    target_sources(medley_platform_audio PRIVATE mixer_alsa.cpp)
    target_link_libraries(medley_platform_audio PRIVATE ALSA::ALSA medley_alsa_devices)
  else()
    message(STATUS "ALSA not found (libasound2-dev): the build sees no sound devices")
    target_sources(medley_platform_audio PRIVATE mixer_none_posix.cpp)
  endif()
endif()
