# Prints what lq_parse_version makes of VERSION, one line, for the tests:
#   cmake -DVERSION=1.2.3.4 -P parse_version.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/LqVersion.cmake)
lq_parse_version(LQ_APP "${VERSION}")
message(NOTICE "${LQ_APP_VERSION} ${LQ_APP_VERSION_MAJOR},${LQ_APP_VERSION_MINOR},"
  "${LQ_APP_VERSION_PATCH},${LQ_APP_VERSION_BUILD} ${LQ_APP_VERSION_TEXT} "
  "${LQ_APP_PRODUCT_VERSION}")
