# One GoogleTest executable per component, registered with CTest.
#   rowvane_add_test(NAME engine_tests SOURCES a.cpp b.cpp LIBS rowvane_engine)
find_package(GTest REQUIRED)
include(GoogleTest)

function(rowvane_add_test)
  cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${ARG_NAME} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
