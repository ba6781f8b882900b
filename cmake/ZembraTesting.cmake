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
    # Discovery hands PROPERTIES on as a flat list, so only one label fits:
    # the area's own, which is what `ctest -L` is used with.
    if(A_LABELS)
      list(GET A_LABELS 0 label)
    else()
      set(label native)
    endif()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES LABELS ${label})
  endif()
endfunction()
