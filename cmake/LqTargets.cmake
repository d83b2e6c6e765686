# Shared settings for every target of the project: warnings, static runtime on
# Windows, and the helpers that add libraries and test executables.

# Warnings apply to our own targets only, never to third-party sources such as
# the GoogleTest build on the Windows target.
function(lq_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(LQ_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# Windows binaries must run under a bare Wine prefix, so nothing of the MinGW
# runtime may be needed beside them.
function(lq_link_static_runtime target)
  if(WIN32)
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
endfunction()

# lq_add_library(<name> [INTERFACE] SOURCES ... DEPS ...)
# Adds a library named lq_<name> with the alias lq::<name>, rooted at the
# project's source directory so that includes read "codec/encodable_value.h".
function(lq_add_library name)
  cmake_parse_arguments(ARG "INTERFACE" "" "SOURCES;DEPS" ${ARGN})
  if(ARG_INTERFACE)
    add_library(lq_${name} INTERFACE)
    target_include_directories(lq_${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_compile_features(lq_${name} INTERFACE cxx_std_17)
    if(ARG_DEPS)
      target_link_libraries(lq_${name} INTERFACE ${ARG_DEPS})
    endif()
  else()
    add_library(lq_${name} STATIC ${ARG_SOURCES})
    target_include_directories(lq_${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_features(lq_${name} PUBLIC cxx_std_17)
    lq_set_warnings(lq_${name})
    if(ARG_DEPS)
      target_link_libraries(lq_${name} PUBLIC ${ARG_DEPS})
    endif()
  endif()
  add_library(lq::${name} ALIAS lq_${name})
endfunction()
