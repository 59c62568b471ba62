# Delay-load import libraries for the mingw-w64 build. A DLL linked through
# one of these is loaded at the first call into it, not at start: a start that
# only hands its command line to the running program then never pays for
# loading the window and shell libraries (about 0.1 s of CPU a process under
# Wine). The library is made once, at configure time, from the toolchain's own
# import library: every name it exports.
function(nl_delay_import_library out dll)
  find_library(NL_IMPLIB_${dll} NAMES lib${dll}.a)
  if(NOT NL_IMPLIB_${dll} OR NOT CMAKE_NM OR NOT CMAKE_DLLTOOL)
    message(FATAL_ERROR "no import library or tool for a delay-loaded ${dll}")
  endif()
  set(dir ${CMAKE_BINARY_DIR}/delay-imports)
  set(lib ${dir}/lib${dll}_delay.a)
  set(${out} ${lib} PARENT_SCOPE)
  if(EXISTS ${lib} AND ${lib} IS_NEWER_THAN ${NL_IMPLIB_${dll}})
    return()
  endif()
  file(MAKE_DIRECTORY ${dir})
  execute_process(COMMAND ${CMAKE_NM} --defined-only ${NL_IMPLIB_${dll}}
                  OUTPUT_VARIABLE symbols RESULT_VARIABLE failed ERROR_QUIET)
  if(failed)
    message(FATAL_ERROR "${CMAKE_NM} could not read ${NL_IMPLIB_${dll}}")
  endif()
  string(REGEX MATCHALL "[0-9a-fA-F]+ T [A-Za-z_][A-Za-z0-9_@]*" entries "${symbols}")
  set(names)
  foreach(entry IN LISTS entries)
    string(REGEX REPLACE "^[0-9a-fA-F]+ T " "" name "${entry}")
    if(NOT name MATCHES "^__imp_")
      list(APPEND names "${name}")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES names)
  list(SORT names)
  list(JOIN names "\n" exports)
  file(WRITE ${dir}/${dll}.def "LIBRARY ${dll}.dll\nEXPORTS\n${exports}\n")
  execute_process(COMMAND ${CMAKE_DLLTOOL} --input-def ${dir}/${dll}.def --output-delaylib ${lib}
                          --dllname ${dll}.dll
                  RESULT_VARIABLE failed)
  if(failed OR NOT EXISTS ${lib})
    message(FATAL_ERROR "${CMAKE_DLLTOOL} could not make ${lib}")
  endif()
endfunction()
