# How fast the project builds, switched in one place.
#
# A newcomer's first ./run-tests compiles three builds (plain, ASan+UBSan with
# the fuzz targets, TSan) from nothing on a small machine, and nearly two thirds
# of that compiling is test code: GoogleTest and Qt Test bodies, the simulators
# the tests talk to. The switches below keep that first run short without
# building less or testing less; VERTAMO_FAST_BUILD=OFF turns all of them off.
#
#  - Debug information is line tables only (-g1): a crash's backtrace, a
#    debugger's stack and a sanitizer report still name function, file and
#    line, at two thirds of the compile time of full information (no local
#    variables then: rebuild with VERTAMO_FAST_BUILD=OFF to inspect them).
#  - Test code (tests/, tools/) is compiled at -O1: about half the time of
#    -O2. The workstation, the phone program, the fuzz targets and the
#    benchmarks keep the build type's optimisation: they are what runs in the
#    field or what is measured.
#  - The files of a GoogleTest program are compiled a few at a time (batches
#    that include them), so GoogleTest, GoogleMock and the standard headers are
#    parsed once per batch instead of once per file.
#  - mold links, where installed: 27 window-test programs each link the whole
#    workstation, and the GNU linker spends seconds on each of them.
option(VERTAMO_FAST_BUILD "Compile test code quickly, unity-build the test programs, link with mold" ON)

# Compile options of test code; tests/ and tools/ add them to their folders.
set(VERTAMO_TEST_CODE_OPTIONS "")
# Files of one GoogleTest program compiled together.
set(VERTAMO_TEST_UNITY_BATCH 0)
if(VERTAMO_FAST_BUILD)
  # After the build type's -g, so that it wins.
  add_compile_options(-g1)
  set(VERTAMO_TEST_CODE_OPTIONS -O1)
  set(VERTAMO_TEST_UNITY_BATCH 4)
  find_program(VERTAMO_MOLD mold)
  if(VERTAMO_MOLD)
    add_link_options(-fuse-ld=mold)
  endif()
endif()

# vertamo_test_batches(OUT sources...): the sources of a GoogleTest program
# (files under tests/) as the files to compile: batches of a few that include
# them, or the sources themselves when batching is off. CMake's own unity build
# includes each file by its absolute path, which makes a checkout in another
# folder miss the compiler cache; these batches include them by their path under
# tests/ (an include folder of every test), so that a fresh clone hits the cache
# a developer's build filled.
function(vertamo_test_batches out)
  list(LENGTH ARGN count)
  if(VERTAMO_TEST_UNITY_BATCH LESS 1 OR count LESS 2)
    set(${out} ${ARGN} PARENT_SCOPE)
    return()
  endif()
  set(batches "")
  set(text "")
  set(filled 0)
  set(left ${count})
  foreach(src ${ARGN})
    file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR}/tests ${src})
    string(APPEND text "#include \"${rel}\"\n")
    math(EXPR filled "${filled} + 1")
    math(EXPR left "${left} - 1")
    if(filled EQUAL VERTAMO_TEST_UNITY_BATCH OR left EQUAL 0)
      list(LENGTH batches number)
      set(batch ${CMAKE_CURRENT_BINARY_DIR}/batch_${number}.cpp)
      # Written only when it changes, so that a new configure rebuilds nothing.
      file(CONFIGURE OUTPUT ${batch} CONTENT "${text}" @ONLY)
      list(APPEND batches ${batch})
      set(text "")
      set(filled 0)
    endif()
  endforeach()
  set(${out} ${batches} PARENT_SCOPE)
endfunction()
