# DirectShow video capture for the video subsystem: the system's own on
# Windows; over V4L2 elsewhere, with a fake device backend for tests.
add_library(medley_platform_video STATIC)
target_link_libraries(medley_platform_video PUBLIC medley_platform)
if(WIN32)
  target_sources(medley_platform_video PRIVATE directshow_win.cpp)
  target_link_libraries(medley_platform_video PUBLIC strmiids ole32 oleaut32 uuid)
else()
  target_sources(medley_platform_video PRIVATE
    capture_filter_posix.cpp
    directshow_posix.cpp
    task_memory_posix.cpp
    variant_posix.cpp
    video_capture_backend.cpp
    video_capture_v4l2.cpp)
  add_library(medley_platform_video_fake STATIC fake_video_capture.cpp)
  target_link_libraries(medley_platform_video_fake PUBLIC medley_platform_video)
endif()
