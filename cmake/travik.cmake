# Shared settings for the project's own targets.

# Boost.Regex is used header-only. Only its boost/ folder is put on the include path, through a
# folder of its own, so that the cross compiler never sees the rest of /usr/include.
set(TRAVIK_BOOST_ROOT /usr/include/boost CACHE PATH "Boost headers (the boost/ folder)")
set(TRAVIK_BOOST_INCLUDE ${CMAKE_BINARY_DIR}/boost_include)
if(NOT EXISTS ${TRAVIK_BOOST_INCLUDE}/boost)
  file(MAKE_DIRECTORY ${TRAVIK_BOOST_INCLUDE})
  file(CREATE_LINK ${TRAVIK_BOOST_ROOT} ${TRAVIK_BOOST_INCLUDE}/boost SYMBOLIC)
endif()

# The project's version for the programs and their version resources.
configure_file(${CMAKE_SOURCE_DIR}/cmake/travik_version.h.in
               ${CMAKE_BINARY_DIR}/generated/travik_version.h @ONLY)

# The sample text the tests read lives in the repository (tests/data/README.md says what it is).
set(TRAVIK_CORPUS_DIR ${CMAKE_SOURCE_DIR}/tests/data)

# Narrow literals in the code are GBK. GCC encodes them with -fexec-charset=GBK; for a compiler
# without it (clang), tools/gbk_literals.py writes copies of the sources with the literals' non-ASCII
# characters as GBK escapes into the build tree, and the targets compile those: the same bytes,
# while the sources stay readable.
include(CheckCXXCompilerFlag)
check_cxx_compiler_flag(-fexec-charset=GBK TRAVIK_HAVE_EXEC_CHARSET_GBK)
if(NOT TRAVIK_HAVE_EXEC_CHARSET_GBK)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(TRAVIK_GBK_SOURCE_ROOT ${CMAKE_BINARY_DIR}/gbk_sources)
  set(TRAVIK_GBK_FILES)
  # Every folder of the tree that builds something (build folders hold no CMakeLists.txt at top).
  file(GLOB dirs RELATIVE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/*/CMakeLists.txt)
  list(TRANSFORM dirs REPLACE "/CMakeLists.txt$" "")
  foreach(dir ${dirs})
    file(GLOB_RECURSE files RELATIVE ${CMAKE_SOURCE_DIR} CONFIGURE_DEPENDS
         ${CMAKE_SOURCE_DIR}/${dir}/*.cc ${CMAKE_SOURCE_DIR}/${dir}/*.h)
    list(APPEND TRAVIK_GBK_FILES ${files})
  endforeach()
  list(TRANSFORM TRAVIK_GBK_FILES PREPEND ${TRAVIK_GBK_SOURCE_ROOT}/ OUTPUT_VARIABLE outputs)
  add_custom_target(travik_gbk_sources
    COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tools/gbk_literals.py ${CMAKE_SOURCE_DIR}
            ${TRAVIK_GBK_SOURCE_ROOT} ${TRAVIK_GBK_FILES}
    BYPRODUCTS ${outputs}
    COMMENT "GBK escapes for the narrow literals"
    VERBATIM)
endif()

# Points the target's own sources at their escaped copies (see above).
function(travik_use_gbk_sources target)
  get_target_property(sources ${target} SOURCES)
  set(mapped)
  foreach(source ${sources})
    get_filename_component(path ${source} ABSOLUTE)
    file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR} ${path})
    if(relative IN_LIST TRAVIK_GBK_FILES)
      list(APPEND mapped ${TRAVIK_GBK_SOURCE_ROOT}/${relative})
    else()
      list(APPEND mapped ${source})
    endif()
  endforeach()
  set_property(TARGET ${target} PROPERTY SOURCES ${mapped})
  add_dependencies(${target} travik_gbk_sources)
endfunction()

function(travik_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(TRAVIK_GBK_SOURCE_ROOT)
    travik_use_gbk_sources(${target})
    target_include_directories(${target} PUBLIC ${TRAVIK_GBK_SOURCE_ROOT})
  else()
    target_compile_options(${target} PRIVATE -fexec-charset=GBK)
    target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
  endif()
  target_include_directories(${target} PUBLIC ${CMAKE_BINARY_DIR}/generated)
  target_include_directories(${target} SYSTEM PUBLIC ${TRAVIK_BOOST_INCLUDE})
  if(MINGW)
    target_compile_definitions(${target} PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                                _WIN32_WINNT=0x0601)
  endif()
endfunction()

function(travik_library name)
  add_library(${name} STATIC ${ARGN})
  travik_target(${name})
endfunction()

function(travik_executable name)
  add_executable(${name} ${ARGN})
  travik_target(${name})
  if(MINGW)
    target_link_options(${name} PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
endfunction()

# One GoogleTest program per folder. Natively every case is its own CTest test; under Wine a
# process start costs seconds, so the whole program is one test.
function(travik_test_program name)
  travik_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE gtest gtest_main travik_testutil)
  if(TRAVIK_FUZZ)
    # The fuzzers' coverage counters are no use in the tests' own code and double its run time.
    target_compile_options(${name} PRIVATE -fno-sanitize=fuzzer-no-link)
  endif()
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 900)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 600)
  endif()
endfunction()
