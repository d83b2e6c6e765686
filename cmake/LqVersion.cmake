# lq_parse_version(<prefix> <version>)
# Checks a four-part version major.minor.patch.build and sets, in the caller's
# scope, <prefix>_VERSION and its four fields (<prefix>_VERSION_MAJOR ...),
# <prefix>_VERSION_TEXT ("1.0.0+1", the form the version strings show) and
# <prefix>_PRODUCT_VERSION, the installer's version.
#
# Windows Installer compares only major.minor.build of a product version,
# with major and minor below 256 and build below 65536. The installer's third
# field is patch * 1000 + build, so that every later four-part version, a
# build-number-only change included, is a later product version. That holds
# for patch up to 64 and build up to 999; anything outside is refused here
# rather than packaged as a version that would not upgrade.
function(lq_parse_version prefix version)
  set(number "(0|[1-9][0-9]*)")
  if(NOT version MATCHES "^${number}\\.${number}\\.${number}\\.${number}$")
    message(FATAL_ERROR
      "Version \"${version}\" is not four numbers major.minor.patch.build, like 1.0.0.1")
  endif()
  set(major ${CMAKE_MATCH_1})
  set(minor ${CMAKE_MATCH_2})
  set(patch ${CMAKE_MATCH_3})
  set(build ${CMAKE_MATCH_4})
  # if() compares long digit strings as floating-point numbers, so even
  # twenty digits are found too large rather than wrapped.
  if(major GREATER 255 OR minor GREATER 255 OR patch GREATER 64 OR build GREATER 999)
    message(FATAL_ERROR
      "Version ${version} out of range: major, minor <= 255, patch <= 64, build <= 999")
  endif()
  math(EXPR product_build "${patch} * 1000 + ${build}")
  set(${prefix}_VERSION ${version} PARENT_SCOPE)
  set(${prefix}_VERSION_MAJOR ${major} PARENT_SCOPE)
  set(${prefix}_VERSION_MINOR ${minor} PARENT_SCOPE)
  set(${prefix}_VERSION_PATCH ${patch} PARENT_SCOPE)
  set(${prefix}_VERSION_BUILD ${build} PARENT_SCOPE)
  set(${prefix}_VERSION_TEXT "${major}.${minor}.${patch}+${build}" PARENT_SCOPE)
  set(${prefix}_PRODUCT_VERSION "${major}.${minor}.${product_build}" PARENT_SCOPE)
endfunction()
