# GoogleTest from the Debian sources, built with the same compiler as the code under test,
# so the very same test files run natively and, cross-compiled, under Wine.
set(QV_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${QV_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

# qv_add_test(<name> SOURCES <files...> LIBS <targets...>)
# A GoogleTest executable with the project's options (qv_project_options) and the given
# libraries; tests that drive qvbase's test hooks pass qvbase_private. Every test program
# has the same main (qvbase_testmain), which installs the platform stand-ins first.
# Natively every test case is its own ctest entry; under Wine one entry runs the whole
# executable once, because each Wine process start costs about a second.
function(qv_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE qv_project_options ${ARG_LIBS} qvbase_testmain GTest::gtest)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
  endif()
endfunction()
