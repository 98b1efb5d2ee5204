# One warning policy for every target of the tree: the libraries, the
# program, the tests, the tools, the benchmarks and the fuzz targets, built
# with GCC or with clang (scripts/fuzz). Any warning fails the build.
set(KESTRELLE_WARNINGS -Wall -Wextra -Wshadow -Wno-unused-parameter -Werror)
# Under the sanitizers GCC's flow analysis sees uninitialised reads in the
# standard library's variant and Qt's containers that the plain build does not
# see (and that the sanitizers themselves would report): a warning there, not
# an error.
if(KESTRELLE_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  list(APPEND KESTRELLE_WARNINGS -Wno-error=maybe-uninitialized)
endif()
add_compile_options(${KESTRELLE_WARNINGS})

# kestrelle_required_subdirectory(<folder>): adds a folder of the tree; one
# without its CMakeLists.txt stops the configuration, so that no library or
# test program drops out of the build unnoticed.
function(kestrelle_required_subdirectory dir)
  if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR}/${dir}: no CMakeLists.txt")
  endif()
  add_subdirectory(${dir})
endfunction()

# kestrelle_library(<name> SOURCES ... DEPENDS ...)
# One static library per source folder; headers are included as
# "<folder>/<Header>.h". DEPENDS names the folder libraries (kestrelle_*) the
# folder uses, which it links PRIVATE, and the outside packages, which it links
# PUBLIC. The include path of a folder holds its own headers and those of the
# folders it names, nothing else: an include of any other folder does not
# compile. Each library's headers are reached through links under
# <build>/include/<name>/<folder>/, so that no include folder holds a second
# folder of the tree. Which folder may name which is the layer order that
# scripts/check-layers checks.
function(kestrelle_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(include_dir ${CMAKE_BINARY_DIR}/include/${name})
  file(REMOVE_RECURSE ${include_dir})
  file(MAKE_DIRECTORY ${include_dir}/${folder})
  foreach(source ${ARG_SOURCES})
    if(source MATCHES "\\.h$")
      get_filename_component(header ${source} ABSOLUTE)
      get_filename_component(header_name ${source} NAME)
      file(CREATE_LINK ${header} ${include_dir}/${folder}/${header_name} SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(${name} PUBLIC ${include_dir})
  set(uses)
  foreach(dep ${ARG_DEPENDS})
    if(dep MATCHES "^kestrelle_")
      list(APPEND uses ${dep})
      target_link_libraries(${name} PRIVATE ${dep})
    else()
      target_link_libraries(${name} PUBLIC ${dep})
    endif()
  endforeach()
  set_target_properties(${name} PROPERTIES KESTRELLE_USES "${uses}")
endfunction()

# kestrelle_use_folders(<target> <library> ...): the target links each folder
# library and may include what that library's folder may include (tests,
# benchmarks and fuzz targets of a folder).
function(kestrelle_use_folders target)
  foreach(lib ${ARGN})
    target_link_libraries(${target} PRIVATE ${lib})
    if(TARGET ${lib})
      get_target_property(uses ${lib} KESTRELLE_USES)
      if(uses)
        target_link_libraries(${target} PRIVATE ${uses})
      endif()
    endif()
  endforeach()
endfunction()

# kestrelle_test(<name> SOURCES ... DEPENDS ... [MAIN <library>] [LABELS ...]
#                [SLOW <test> ...])
# One GoogleTest executable per tested folder, run by ctest. It may include
# what the folders of the libraries it depends on may include, and the test
# support of tests/common. Its main() owns an offscreen QApplication and a
# private application-data folder; MAIN names another main
# (kestrelle_xsessionmain: a private X display with a window manager).
# LABELS go to every test of the program; the tests named under SLOW (a
# second or more on an idle machine) also carry the label "slow", which the
# quick run of the edit-test loop leaves out (ctest -LE 'slow|e2e').
function(kestrelle_test name)
  cmake_parse_arguments(ARG "" "MAIN" "SOURCES;DEPENDS;PROPERTIES;LABELS;SLOW" ${ARGN})
  if(NOT ARG_MAIN)
    set(ARG_MAIN kestrelle_testmain)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_MAIN})
  kestrelle_use_folders(${name} ${ARG_DEPENDS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KESTRELLE_BIN_DIR})
  set(properties ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  if(ARG_LABELS)
    list(APPEND properties LABELS "${ARG_LABELS}")
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${KESTRELLE_BIN_DIR}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${properties} ${ARG_PROPERTIES})
  # ctest reads the discovered tests (their names in <name>_TESTS), then this
  # file, which labels the slow ones among them; a name that is no test of
  # the program stops ctest, so that a renamed test does not lose its label.
  if(ARG_SLOW)
    set(slow_labels ${ARG_LABELS} slow)
    set(slow_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_slow.cmake)
    set(text "")
    foreach(test ${ARG_SLOW})
      string(APPEND text
        "if(DEFINED ${name}_TESTS)\n"
        "  list(FIND ${name}_TESTS [==[${test}]==] found)\n"
        "  if(found LESS 0)\n"
        "    message(FATAL_ERROR [==[${CMAKE_CURRENT_SOURCE_DIR}/CMakeLists.txt: ${name} has no test ${test} to label slow]==])\n"
        "  endif()\n"
        "  set_tests_properties([==[${test}]==] PROPERTIES LABELS [==[${slow_labels}]==])\n"
        "endif()\n")
    endforeach()
    file(WRITE ${slow_file} "${text}")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${slow_file})
  endif()
endfunction()

# kestrelle_benchmark(<name> SOURCES ... DEPENDS ...): built, never run by ctest.
function(kestrelle_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE benchmark::benchmark)
  kestrelle_use_folders(${name} ${ARG_DEPENDS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

# kestrelle_folder_sources(<out> <complaint>): every source file of the calling
# folder (subfolders excluded); a folder without a .cpp file (headers alone
# build nothing) stops the configuration with "<complaint> in <folder>"
# rather than building a target of nothing.
function(kestrelle_folder_sources out complaint)
  file(GLOB units CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT units)
    message(FATAL_ERROR "${complaint} in ${CMAKE_CURRENT_SOURCE_DIR}")
  endif()
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  set(${out} ${units} ${headers} PARENT_SCOPE)
endfunction()

# kestrelle_folder_library(<name> DEPENDS ...): a library of every source file
# in the calling folder, so that engineers adding files to one folder never
# edit the same list.
function(kestrelle_folder_library name)
  kestrelle_folder_sources(sources "${name}: no source files")
  kestrelle_library(${name} SOURCES ${sources} ${ARGN})
endfunction()

# kestrelle_folder_test(<name> DEPENDS ... [MAIN <library>]): a test executable
# of every source file in the calling folder.
function(kestrelle_folder_test name)
  kestrelle_folder_sources(sources "${name}: no test sources")
  kestrelle_test(${name} SOURCES ${sources} ${ARGN})
endfunction()
