# The warnings every target of the tree is built with; any of them fails the
# build.
set(KESTRELLE_WARNINGS -Wall -Wextra -Wno-unused-parameter -Werror)
# Under the sanitizers GCC's flow analysis sees uninitialised reads in the
# standard library's variant and Qt's containers that the plain build does not
# see (and that the sanitizers themselves would report): a warning there, not
# an error.
if(KESTRELLE_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  list(APPEND KESTRELLE_WARNINGS -Wno-error=maybe-uninitialized)
endif()

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
# One static library per source folder; headers are included as "<folder>/<Header>.h".
function(kestrelle_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  target_compile_options(${name} PRIVATE ${KESTRELLE_WARNINGS})
endfunction()

# kestrelle_test(<name> SOURCES ... DEPENDS ... [MAIN <library>])
# One GoogleTest executable per tested folder, run by ctest. Its main() owns an
# offscreen QApplication and a private application-data folder; MAIN names
# another main (kestrelle_xsessionmain: a private X display with a window
# manager).
function(kestrelle_test name)
  cmake_parse_arguments(ARG "" "MAIN" "SOURCES;DEPENDS;PROPERTIES" ${ARGN})
  if(NOT ARG_MAIN)
    set(ARG_MAIN kestrelle_testmain)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_MAIN} ${ARG_DEPENDS})
  target_compile_options(${name} PRIVATE ${KESTRELLE_WARNINGS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${KESTRELLE_BIN_DIR})
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${KESTRELLE_BIN_DIR}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" ${ARG_PROPERTIES})
endfunction()

# kestrelle_benchmark(<name> SOURCES ... DEPENDS ...): built, never run by ctest.
function(kestrelle_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE benchmark::benchmark ${ARG_DEPENDS})
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

# The platform libraries that exist so far, for folders above the platform.
function(kestrelle_platform_libraries out)
  set(libs kestrelle_platform)
  foreach(sub controls sockets sql crypto)
    if(TARGET kestrelle_${sub})
      list(APPEND libs kestrelle_${sub})
    endif()
  endforeach()
  set(${out} ${libs} PARENT_SCOPE)
endfunction()

# kestrelle_folder_test(<name> DEPENDS ... [MAIN <library>]): a test executable
# of every source file in the calling folder.
function(kestrelle_folder_test name)
  kestrelle_folder_sources(sources "${name}: no test sources")
  kestrelle_test(${name} SOURCES ${sources} ${ARGN})
endfunction()
