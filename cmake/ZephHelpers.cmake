# Adds every listed sub-folder that has a CMakeLists.txt; lets subsystems land independently.
function(zeph_add_subdirs)
  foreach(sub IN LISTS ARGN)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/CMakeLists.txt)
      add_subdirectory(${sub})
    endif()
  endforeach()
endfunction()

# zeph_test(NAME name SOURCES ... LIBS ...) builds a GoogleTest executable and registers it with CTest.
# Cross builds run it through CMAKE_CROSSCOMPILING_EMULATOR (Wine).
function(zeph_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  target_include_directories(${T_NAME} PRIVATE ${ZEPH_ROOT}/tests)
  target_compile_definitions(${T_NAME} PRIVATE ZEPH_TEST_DATA="${ZEPH_ROOT}/tests/data")
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_brief=1 WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()
