# The self-drawn widgets of the window (icon buttons, feedback window, completion sound) and the
# resources they draw from. Included by ui/CMakeLists.txt; Windows only.
if(NOT WIN32)
  return()
endif()

enable_language(RC)
set(_widgets_dir ${CMAKE_CURRENT_LIST_DIR})

# The resources (icons, banner, chime) are drawn by ui/resources/make_resources.py, whose output is
# checked in. They are compiled into an object library whose object is put on the link line of
# every program that links travik_widgets, however indirectly: inside a static library the
# linker would drop it, as nothing refers to it by name.
add_library(travik_widgets_resources OBJECT ${_widgets_dir}/resources/widgets.rc)
set_source_files_properties(${_widgets_dir}/resources/widgets.rc PROPERTIES OBJECT_DEPENDS
  "${_widgets_dir}/resources/resource_ids.h;${_widgets_dir}/resources/travik.ico;\
${_widgets_dir}/resources/add_file.ico;${_widgets_dir}/resources/start_split.ico;\
${_widgets_dir}/resources/merge.ico;${_widgets_dir}/resources/start_processing.ico;\
${_widgets_dir}/resources/browse.ico;${_widgets_dir}/resources/feedback_banner.jpg;\
${_widgets_dir}/resources/completion.wav")

travik_library(travik_widgets
  ${_widgets_dir}/icon_button.cc
  ${_widgets_dir}/feedback_window.cc
  ${_widgets_dir}/completion_sound.cc
  ${_widgets_dir}/widget_resources.cc)
target_link_libraries(travik_widgets
  PUBLIC comctl32 gdi32 user32 ole32 oleaut32 uuid windowscodecs winmm
  INTERFACE $<TARGET_OBJECTS:travik_widgets_resources>)
add_dependencies(travik_widgets travik_widgets_resources)

# Runs under Wine in a (virtual) display, as one CTest test, with the program's manifest so that
# its buttons are the same common controls as the program's.
travik_test_program(travik_widgets_test
  ${_widgets_dir}/widgets_test_util.cc
  ${_widgets_dir}/icon_button_test.cc
  ${_widgets_dir}/icon_button_paint_test.cc
  ${_widgets_dir}/feedback_window_test.cc
  ${_widgets_dir}/widget_resources_test.cc)
target_link_libraries(travik_widgets_test PRIVATE travik_widgets uxtheme)
if(EXISTS ${CMAKE_SOURCE_DIR}/app/common_controls.rc)
  target_sources(travik_widgets_test PRIVATE ${CMAKE_SOURCE_DIR}/app/common_controls.rc)
endif()
# Its windows are not handed to an X window manager (a bare virtual display has none, and Wine
# would wait on each window it hides); explorer.exe keeps the tray.
add_test(NAME travik_widgets_test_settings
         COMMAND bash ${CMAKE_SOURCE_DIR}/tools/wine_window_settings.sh travik_widgets_test.exe
                 explorer.exe)
set_tests_properties(travik_widgets_test_settings PROPERTIES FIXTURES_SETUP travik_widgets_prefix)
set_tests_properties(travik_widgets_test PROPERTIES FIXTURES_REQUIRED travik_widgets_prefix)

# The checked-in resources are exactly what their script draws.
find_package(Python3 COMPONENTS Interpreter QUIET)
if(Python3_Interpreter_FOUND)
  add_test(NAME travik_widgets_resources_drawn
           COMMAND ${Python3_EXECUTABLE} ${_widgets_dir}/resources/make_resources.py --check)
endif()
