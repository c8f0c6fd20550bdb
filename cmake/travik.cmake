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

function(travik_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  # Sources and narrow literals are UTF-8, as every compiler takes them by default.
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
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
