# lq_find_symbol_lister(<var>)
# Sets <var> to the command that prints the symbol table of a library given
# after it, or, saying so in one line, to "" when this toolchain has none.
#
# GCC and Clang bring an nm, which CMake finds. For MSVC's cl.exe CMake looks
# for none and leaves CMAKE_NM empty, so LLVM's llvm-nm (beside clang-cl, on
# the PATH, or where LLVM's installer puts it) is looked for, and else dumpbin,
# which lies beside cl.exe and its linker.
function(lq_find_symbol_lister var)
  if(CMAKE_NM)
    set(${var} "${CMAKE_NM}" PARENT_SCOPE)
    return()
  endif()
  get_filename_component(compiler_dir "${CMAKE_CXX_COMPILER}" DIRECTORY)
  get_filename_component(linker_dir "${CMAKE_LINKER}" DIRECTORY)
  find_program(LQ_LLVM_NM llvm-nm
    HINTS "${compiler_dir}" "$ENV{ProgramFiles}/LLVM/bin")
  if(LQ_LLVM_NM)
    set(${var} "${LQ_LLVM_NM}" PARENT_SCOPE)
    return()
  endif()
  find_program(LQ_DUMPBIN dumpbin HINTS "${compiler_dir}" "${linker_dir}")
  if(LQ_DUMPBIN)
    set(${var} "${LQ_DUMPBIN};/symbols" PARENT_SCOPE)
  else()
    message(STATUS "No nm, llvm-nm or dumpbin found: the check that the "
      "product carries no test-only symbol is not registered")
    set(${var} "" PARENT_SCOPE)
  endif()
endfunction()
