# End-to-end tests: the bundle driven through the simulated engine's test
# port, under Wine on a private display and prefix, or on Windows itself on
# the real desktop (only with LQ_DESKTOP_TESTS). They share one desktop and
# inject real input, so they never run at the same time.
foreach(tool input_probe window_messages)
  add_executable(${tool} ${tool}_win.cc)
  target_link_libraries(${tool} PRIVATE lq::json_string)
  lq_set_warnings(${tool})
  lq_link_static_runtime(${tool})
endforeach()
target_link_libraries(input_probe PRIVATE winmm)

# Reads the handle count of a running process for the soak.
add_executable(handle_count handle_count_win.cc)
lq_set_warnings(handle_count)
lq_link_static_runtime(handle_count)

# Creates real windows, so it runs like the end-to-end tests, on the private
# display and prefix or on the real desktop.
add_executable(win32_window_test win32_window_test.cc flutter_window_test.cc)
target_link_libraries(win32_window_test PRIVATE lq::host_flutter_window
  lq::host_window lq::host_engine lq::messaging lq::engine_double
  ${LQ_GMOCK} ${LQ_GTEST_MAIN})
lq_set_warnings(win32_window_test)
lq_link_static_runtime(win32_window_test)

if(NOT LQ_UNDER_WINE AND NOT LQ_DESKTOP_TESTS)
  return()
endif()
# On a real desktop the other tests' windows would be in the way of the
# injected clicks and keys, so these run alone; under Wine the private
# display keeps them apart already.
if(LQ_UNDER_WINE)
  set(LQ_DESKTOP_ALONE OFF)
else()
  set(LQ_DESKTOP_ALONE ON)
endif()

foreach(test_case StartupTest ArgumentsTest DpiTest FailureTest InputChannelTest
    WindowMessageTest EndSessionTest)
  add_test(NAME end_to_end_${test_case}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/end_to_end_test.py
      --bundle ${CMAKE_BINARY_DIR}/bundle
      --probe $<TARGET_FILE:input_probe>
      --messages $<TARGET_FILE:window_messages>
      --work ${CMAKE_BINARY_DIR}/end_to_end
      ${test_case})
  set_tests_properties(end_to_end_${test_case} PROPERTIES
    RESOURCE_LOCK lanternquill_desktop
    RUN_SERIAL ${LQ_DESKTOP_ALONE}
    LABELS desktop
    SKIP_RETURN_CODE 77
    TIMEOUT 600)
endforeach()

add_test(NAME win32_window_test
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/end_to_end_test.py
    --bundle ${CMAKE_BINARY_DIR}/bundle
    --probe $<TARGET_FILE:input_probe>
    --messages $<TARGET_FILE:window_messages>
    --work ${CMAKE_BINARY_DIR}/end_to_end
    --exe $<TARGET_FILE:win32_window_test>)
set_tests_properties(win32_window_test PROPERTIES
  RESOURCE_LOCK lanternquill_desktop
  RUN_SERIAL ${LQ_DESKTOP_ALONE}
  LABELS desktop
  TIMEOUT 300)
