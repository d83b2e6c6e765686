# The runnable bundle, laid out as the application ships:
#   bundle/lanternquill.exe, flutter_windows.dll, the three plugin libraries
#   bundle/data/flutter_assets/, data/icudtl.dat, data/app.so
# The data files are stand-ins unless LQ_DATA_DIR names the real UI bundle:
# the simulated engine only checks that the assets folder exists and passes
# the paths on.
set(LQ_BUNDLE_DIR ${CMAKE_BINARY_DIR}/bundle)
if(LQ_DATA_DIR)
  foreach(required flutter_assets icudtl.dat)
    if(NOT EXISTS ${LQ_DATA_DIR}/${required})
      message(FATAL_ERROR "LQ_DATA_DIR=${LQ_DATA_DIR} holds no ${required}")
    endif()
  endforeach()
  set(LQ_BUNDLE_DATA ${LQ_DATA_DIR})
else()
  set(LQ_BUNDLE_DATA ${CMAKE_BINARY_DIR}/stand_in_data)
  # The marker of sim/stand_in_marker.h, by which scripts/package knows these
  # files for stand-ins wherever they are given from.
  set(marker "Lanternquill stand-in, not for release: stand-in data\n")
  file(WRITE ${LQ_BUNDLE_DATA}/flutter_assets/AssetManifest.json "{}\n")
  file(WRITE ${LQ_BUNDLE_DATA}/icudtl.dat "stand-in ICU data\n${marker}")
  file(WRITE ${LQ_BUNDLE_DATA}/app.so "stand-in ahead-of-time UI library\n${marker}")
endif()

set(LQ_BUNDLE_BINARIES
  lanternquill lq::flutter_windows
  lq::screen_retriever_windows_plugin lq::system_tray_plugin
  lq::window_manager_plugin)
set(LQ_BUNDLE_FILES)
foreach(target ${LQ_BUNDLE_BINARIES})
  list(APPEND LQ_BUNDLE_FILES $<TARGET_FILE:${target}>)
endforeach()

# data/ is laid out afresh each time: a file dropped from the UI bundle must
# not linger here and be shipped by the packages made from this folder.
add_custom_target(lanternquill_bundle ALL
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${LQ_BUNDLE_DIR}/data
  COMMAND ${CMAKE_COMMAND} -E make_directory ${LQ_BUNDLE_DIR}/data
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${LQ_BUNDLE_FILES} ${LQ_BUNDLE_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${LQ_BUNDLE_DATA} ${LQ_BUNDLE_DIR}/data
  DEPENDS ${LQ_BUNDLE_BINARIES}
  COMMENT "Laying out the bundle in ${LQ_BUNDLE_DIR}"
  VERBATIM)

# What scripts/package reads about this bundle: its version, and which of its
# binaries are built here and so ours to sign and strip (a real engine or
# plugin is not). Which of its files are stand-ins it reads from the files
# themselves.
set(LQ_OWN_BINARIES lanternquill.exe)
if(NOT LQ_ENGINE_DIR)
  list(APPEND LQ_OWN_BINARIES flutter_windows.dll)
endif()
if(NOT LQ_PLUGINS_DIR)
  list(APPEND LQ_OWN_BINARIES screen_retriever_windows_plugin.dll
    system_tray_plugin.dll window_manager_plugin.dll)
endif()
list(JOIN LQ_OWN_BINARIES "\", \"" LQ_OWN_BINARIES_JSON)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/package_info.json CONTENT [[{
  "version": "@LQ_APP_VERSION@",
  "version_text": "@LQ_APP_VERSION_TEXT@",
  "product_version": "@LQ_APP_PRODUCT_VERSION@",
  "own_binaries": ["@LQ_OWN_BINARIES_JSON@"]
}
]] @ONLY)
