# Test helpers shared by both targets. Native tests are discovered one by one;
# Windows test executables run as a whole under Wine with one prefix for the
# build tree and one wineserver kept up for the length of the ctest run.
if(EXISTS /usr/src/googletest/CMakeLists.txt)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

if(CMAKE_CROSSCOMPILING)
  set(QUILL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  add_test(NAME wine_server_up
           COMMAND ${CMAKE_CURRENT_LIST_DIR}/wine-server.sh up ${QUILL_WINEPREFIX})
  set_tests_properties(wine_server_up PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
  add_test(NAME wine_server_down
           COMMAND ${CMAKE_CURRENT_LIST_DIR}/wine-server.sh down ${QUILL_WINEPREFIX})
  set_tests_properties(wine_server_down PROPERTIES FIXTURES_CLEANUP wine)
endif()

# quill_add_gtest(name SOURCES... [LIBS ...])
function(quill_add_gtest name)
  cmake_parse_arguments(Q "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${Q_SOURCES})
  target_link_libraries(${name} PRIVATE ${Q_LIBS} GTest::gtest_main)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    quill_wine_test(${name})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()

# Marks a test as needing the Wine prefix and its server.
function(quill_wine_test test)
  set_tests_properties(${test} PROPERTIES
    FIXTURES_REQUIRED wine
    TIMEOUT 600
    ENVIRONMENT "WINEPREFIX=${QUILL_WINEPREFIX};WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
endfunction()
