# Small helpers so that every folder declares its targets the same way.
#
# Core folders hold plain C++ files directly; window code of a folder lives in
# its ui/ sub-folder and is built into the Qt side only.

# vertamo_core_library(NAME folder-library DEPS ...)
# Builds every .cpp directly in the current folder into a static library.
function(vertamo_core_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} Threads::Threads)
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS} Threads::Threads)
  endif()
endfunction()

# vertamo_gtest(NAME test-binary DEPS ...)
# Builds every .cpp of the current folder into one GoogleTest binary and
# registers its cases with ctest.
function(vertamo_gtest name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  # Core tests have no Qt classes: skip the moc scan the window build switches on.
  set_target_properties(${name} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()

# vertamo_fuzzer(NAME source DEPS ...)
# A libFuzzer target; ctest runs it for a short bounded time on its seed corpus.
function(vertamo_fuzzer name source)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set(corpus ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${name})
  set(work ${CMAKE_CURRENT_BINARY_DIR}/corpus-${name})
  if(NOT DEFINED VERTAMO_FUZZ_SECONDS)
    set(VERTAMO_FUZZ_SECONDS 20)
  endif()
  add_test(NAME fuzz.${name}
           COMMAND ${CMAKE_COMMAND} -E env ${CMAKE_CURRENT_SOURCE_DIR}/run-fuzzer.sh
                   $<TARGET_FILE:${name}> ${corpus} ${work} ${VERTAMO_FUZZ_SECONDS})
  set_tests_properties(fuzz.${name} PROPERTIES TIMEOUT 600)
endfunction()
