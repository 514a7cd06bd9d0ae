# build/windows/test-bundle: the Windows tests as one folder to copy to a Windows machine and run
# there with run-tests.cmd, which needs nothing but Windows. The test programs find the programs
# they start relative to themselves, so the folder keeps the build's layout: tests\, demo\ and
# fuzzers\ below it, uninstall.exe at its top, and the seeds that the fuzz targets replay in
# corpus\.
set(bundle ${CMAKE_BINARY_DIR}/test-bundle)
get_property(tests GLOBAL PROPERTY VORA_BUNDLE_TESTS)
get_property(helpers GLOBAL PROPERTY VORA_BUNDLE_HELPERS)
get_property(seed_replays GLOBAL PROPERTY VORA_BUNDLE_SEED_REPLAYS)

set(runs "")
set(copies "")
foreach(name IN LISTS tests helpers)
  list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${name}>
       ${bundle}/tests/)
endforeach()
foreach(name IN LISTS tests)
  string(APPEND runs "call :run tests\\${name}.exe\n")
endforeach()
foreach(name IN LISTS seed_replays)
  list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${name}>
       ${bundle}/fuzzers/)
  string(APPEND runs "call :replay ${name}\n")
endforeach()
foreach(name tool_probe powershell_stand_in)
  list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${name}>
       ${bundle}/demo/)
endforeach()

string(STRIP "${runs}" VORA_BUNDLE_RUNS)
configure_file(${PROJECT_SOURCE_DIR}/tests/run-tests.cmd.in ${bundle}/run-tests.cmd @ONLY
               NEWLINE_STYLE CRLF)
add_custom_target(test_bundle ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${bundle}/tests ${bundle}/demo ${bundle}/fuzzers
  ${copies}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:uninstall> ${bundle}/
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/fuzz/corpus ${bundle}/corpus
  COMMENT "Test bundle in ${bundle}"
  VERBATIM)
add_dependencies(test_bundle uninstall ${tests} ${helpers} ${seed_replays} tool_probe
                 powershell_stand_in)
