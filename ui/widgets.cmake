# The self-drawn widgets of the window (icon buttons, feedback window, completion sound) and the
# resources they draw from. Included by ui/CMakeLists.txt; Windows only.
if(NOT WIN32)
  return()
endif()

set(_widgets_dir ${CMAKE_CURRENT_LIST_DIR})

travik_library(travik_widgets
  ${_widgets_dir}/icon_button.cc
  ${_widgets_dir}/feedback_window.cc
  ${_widgets_dir}/completion_sound.cc
  ${_widgets_dir}/widget_resources.cc)
target_link_libraries(travik_widgets PUBLIC comctl32 gdi32 user32 ole32 oleaut32 uuid
                                            windowscodecs winmm)
