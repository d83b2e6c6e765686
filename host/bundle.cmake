# The runnable bundle, laid out as the application ships:
#   bundle/lanternquill.exe, flutter_windows.dll, the three plugin libraries
#   bundle/data/flutter_assets/, data/icudtl.dat, data/app.so
# The data files are stand-ins: the simulated engine only checks that the
# assets folder exists and passes the paths on.
set(LQ_BUNDLE_DIR ${CMAKE_BINARY_DIR}/bundle)
set(LQ_STAND_IN_DATA ${CMAKE_BINARY_DIR}/stand_in_data)
file(WRITE ${LQ_STAND_IN_DATA}/flutter_assets/AssetManifest.json "{}\n")
file(WRITE ${LQ_STAND_IN_DATA}/icudtl.dat "stand-in ICU data\n")
file(WRITE ${LQ_STAND_IN_DATA}/app.so "stand-in ahead-of-time UI library\n")

set(LQ_BUNDLE_BINARIES
  lanternquill lq::flutter_windows
  lq::screen_retriever_windows_plugin lq::system_tray_plugin
  lq::window_manager_plugin)
set(LQ_BUNDLE_FILES)
foreach(target ${LQ_BUNDLE_BINARIES})
  list(APPEND LQ_BUNDLE_FILES $<TARGET_FILE:${target}>)
endforeach()

add_custom_target(lanternquill_bundle ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${LQ_BUNDLE_DIR}/data
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${LQ_BUNDLE_FILES} ${LQ_BUNDLE_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${LQ_STAND_IN_DATA} ${LQ_BUNDLE_DIR}/data
  DEPENDS ${LQ_BUNDLE_BINARIES}
  COMMENT "Laying out the bundle in ${LQ_BUNDLE_DIR}"
  VERBATIM)
