# Shared settings for every target of the project: warnings, static runtime on
# Windows, and the helpers that add libraries and test executables. Flags
# belong to a compiler family (MSVC and clang-cl, or GCC and Clang), link
# flags of the MinGW runtime to MinGW alone.

# The bundle must run where no compiler runtime is installed: a bare Wine
# prefix, or a Windows machine without the Visual C++ redistributable. Every
# object of a program must agree on this, so it is set for all targets
# (with vcpkg, the x64-windows-static triplet builds the dependencies alike).
set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")

# Warnings (and, on Windows, NOMINMAX) apply to our own targets only, never to
# third-party sources such as the GoogleTest build on the Windows target. For
# MSVC they come with the switches that make it read our sources as the other
# compilers do: UTF-8 source files, standard conformance, the real
# __cplusplus.
function(lq_set_warnings target)
  if(MSVC)
    set(flags /W4 /permissive- /utf-8 /EHsc /Zc:__cplusplus)
    set(error_flag /WX)
  else()
    set(flags -Wall -Wextra -Wpedantic)
    set(error_flag -Werror)
  endif()
  # MinGW's GCC compiles the sources MSVC compiles, here where MSVC cannot
  # run, so it also warns of what /W4 reports there and -Wall leaves alone:
  # hidden declarations (C4456-C4459) and conversions that lose value or
  # sign (C4244, C4267, C4245, C4389).
  if(MINGW)
    list(APPEND flags -Wshadow -Wconversion -Wsign-conversion)
  endif()
  if(LQ_WARNINGS_AS_ERRORS)
    list(APPEND flags ${error_flag})
  endif()
  # Only the C++ compiler: resource compilers reject these switches.
  target_compile_options(${target} PRIVATE "$<$<COMPILE_LANGUAGE:CXX>:${flags}>")
  # MSVC's <windows.h> defines the macros min and max, MinGW's does not: the
  # next std::min( or numeric_limits<T>::max() would break on MSVC alone.
  # Every target of ours passes here, so every Windows compile gets it.
  if(WIN32)
    target_compile_definitions(${target} PRIVATE NOMINMAX)
  endif()
endfunction()

# MinGW programs must run under a bare Wine prefix, so nothing of the MinGW
# runtime may be needed beside them. MSVC takes CMAKE_MSVC_RUNTIME_LIBRARY.
# The build id (a CodeView record, the one a crash dump names) ties a binary
# that scripts/package stripped to the symbols it kept.
function(lq_link_static_runtime target)
  if(MINGW)
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++
      -Wl,--build-id)
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

# lq_find_symbol_lister(<var>), for the checks that read symbol tables.
include(LqSymbolLister)
