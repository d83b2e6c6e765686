# End-to-end tests: the bundle under Wine on a private display and prefix,
# driven through the simulated engine's test port. They share one prefix and
# inject real input, so they never run at the same time.
add_executable(input_probe input_probe_win.cc)
lq_set_warnings(input_probe)
lq_link_static_runtime(input_probe)

find_package(Python3 REQUIRED COMPONENTS Interpreter)
foreach(test_case StartupTest ArgumentsTest DpiTest FailureTest InputChannelTest
    WindowMessageTest)
  add_test(NAME end_to_end_${test_case}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/end_to_end_test.py
      --bundle ${CMAKE_BINARY_DIR}/bundle
      --probe $<TARGET_FILE:input_probe>
      --work ${CMAKE_BINARY_DIR}/end_to_end
      ${test_case})
  set_tests_properties(end_to_end_${test_case} PROPERTIES
    RESOURCE_LOCK lanternquill_desktop
    TIMEOUT 600)
endforeach()

# Creates real windows, so it runs like the tests above, on the private
# display and prefix.
add_executable(win32_window_test win32_window_test.cc flutter_window_test.cc)
target_link_libraries(win32_window_test PRIVATE lq::host_flutter_window
  lq::host_window lq::host_engine lq::messaging lq_engine_call_recorder
  lq::recording_engine ${LQ_GMOCK} ${LQ_GTEST_MAIN})
lq_set_warnings(win32_window_test)
lq_link_static_runtime(win32_window_test)
add_test(NAME win32_window_test
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/end_to_end_test.py
    --bundle ${CMAKE_BINARY_DIR}/bundle
    --probe $<TARGET_FILE:input_probe>
    --work ${CMAKE_BINARY_DIR}/end_to_end
    --exe $<TARGET_FILE:win32_window_test>)
set_tests_properties(win32_window_test PROPERTIES
  RESOURCE_LOCK lanternquill_desktop
  TIMEOUT 300)
