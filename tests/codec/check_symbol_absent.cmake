# cmake "-DNM=<nm or dumpbin;/symbols>" -DSYMBOL=<text> -DLIBRARIES=<a;b;...> -P check_symbol_absent.cmake
# Fails when the symbol table of any of the libraries names SYMBOL.
foreach(library IN LISTS LIBRARIES)
  execute_process(COMMAND ${NM} ${library}
    OUTPUT_VARIABLE symbols ERROR_VARIABLE errors RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${NM} ${library} failed: ${errors}")
  endif()
  string(REGEX MATCHALL "[^\n]*${SYMBOL}[^\n]*" found "${symbols}")
  if(found)
    list(JOIN found "\n" lines)
    message(FATAL_ERROR "${library} carries ${SYMBOL}:\n${lines}")
  endif()
endforeach()
