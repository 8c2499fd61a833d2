# Small helpers so that every folder declares its targets the same way.
#
# Layers are kept by the build. Sources include each other root-relative
# ("map/map_model.h"), but no target sees the source root: each library
# publishes an include view, a folder in the build tree holding a link to its
# own source folder only. A target therefore sees its own folder and the
# folders of the libraries it links (their views travel with them), and an
# include of any other folder fails to compile.
#
# Core folders hold plain C++ files directly; window code of a folder lives in
# its ui/ sub-folder and is built into a Qt library of its own.

# vertamo_include_view(target folder...)
# Creates the view of `target`: links to the given source folders (relative to
# the source root) under ${CMAKE_BINARY_DIR}/views/<target>/, and publishes it.
function(vertamo_include_view target)
  set(view ${CMAKE_BINARY_DIR}/views/${target})
  foreach(folder ${ARGN})
    get_filename_component(parent ${view}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    if(NOT IS_SYMLINK ${view}/${folder})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${view}/${folder} SYMBOLIC)
    endif()
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${view})
  else()
    target_include_directories(${target} PUBLIC ${view})
  endif()
endfunction()

# The current folder relative to the source root ("map/ui").
function(_vertamo_current_folder out)
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(${out} ${folder} PARENT_SCOPE)
endfunction()

# vertamo_core_library(NAME DEPS ...)
# Builds every .cpp directly in the current folder into a static library that
# sees its own folder and what DEPS publish. No Qt.
function(vertamo_core_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  _vertamo_current_folder(folder)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} Threads::Threads)
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS} Threads::Threads)
  endif()
  vertamo_include_view(${name} ${folder})
endfunction()

# vertamo_ui_library(NAME DEPS ...)
# The Qt side of a folder: every .cpp, .h and .ui of the current folder in a
# static library with moc and uic, seeing its own folder and what DEPS publish.
function(vertamo_ui_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  _vertamo_current_folder(folder)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.ui)
  list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp)
  add_library(${name} STATIC ${sources})
  set_target_properties(${name} PROPERTIES AUTOMOC ON AUTOUIC ON AUTORCC ON)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  vertamo_include_view(${name} ${folder})
endfunction()

# vertamo_gtest(NAME test-binary DEPS ...)
# Builds every .cpp of the current folder into one GoogleTest binary and
# registers its cases with ctest. Tests see tests/ (support/ and their
# neighbours' fixtures) and what DEPS publish.
function(vertamo_gtest name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  vertamo_test_batches(compiled ${sources})
  add_executable(${name} ${compiled})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
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
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  # No Qt classes: skip the moc scan the window build switches on.
  set_target_properties(${name} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
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

# vertamo_forbid_links(TARGET FROM folder)
# Fails the configuration when TARGET links, directly or through any library
# it links, a library defined under `folder` of the source tree.
function(vertamo_forbid_links target)
  cmake_parse_arguments(ARG "" "FROM" "" ${ARGN})
  set(queue ${target})
  set(seen)
  while(queue)
    list(POP_FRONT queue current)
    if(current IN_LIST seen OR NOT TARGET ${current})
      continue()
    endif()
    list(APPEND seen ${current})
    get_target_property(source ${current} SOURCE_DIR)
    file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${source})
    if(folder MATCHES "^${ARG_FROM}(/|$)")
      message(FATAL_ERROR "${target} links ${current} of ${folder}/, which it must not")
    endif()
    get_target_property(type ${current} TYPE)
    set(links)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct ${current} LINK_LIBRARIES)
      if(direct)
        list(APPEND links ${direct})
      endif()
    endif()
    get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
    if(interface)
      list(APPEND links ${interface})
    endif()
    foreach(lib ${links})
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" lib "${lib}")
      list(APPEND queue ${lib})
    endforeach()
  endwhile()
endfunction()
