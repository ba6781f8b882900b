# zembra_add_test_exe(NAME SOURCES src... [LIBS lib...] [LABELS l...])
#
# A GoogleTest program. Natively every test case becomes a CTest test; the
# Windows build registers the program as one CTest test, run under Wine
# through the cross-compiling emulator (starting Wine once per program, not
# once per case). Windows test programs start with COM initialised for the
# main thread (tests/support).
function(zembra_add_test_exe name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  zembra_warnings(${name})
  if(ZEMBRA_WINDOWS)
    # Our own main: COM for the main thread, as the saver's entry has it.
    target_link_libraries(${name} PRIVATE ${A_LIBS} zembra_win_test_main)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "wine;${A_LABELS}")
  else()
    target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest_main)
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
