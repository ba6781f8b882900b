# zembra_add_test_exe(NAME SOURCES src... [LIBS lib...] [LABELS l...])
#
# A GoogleTest program. Natively every test case becomes a CTest test; the
# Windows build registers the program as one CTest test, run under Wine
# through the cross-compiling emulator (starting Wine once per program, not
# once per case).
function(zembra_add_test_exe name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  zembra_warnings(${name})
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest_main)
  if(ZEMBRA_WINDOWS)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "wine;${A_LABELS}")
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES LABELS "native;${A_LABELS}")
  endif()
endfunction()
