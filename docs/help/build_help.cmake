# Compiles the guide: cmake -DSOURCE_DIR=... -DOUT_DIR=... -DCHMCMD=... -DICONV=... [-DIMAGES_DIR=...]
#   -P build_help.cmake
# A picture listed as images/NAME that the guide's folder lacks is taken from IMAGES_DIR (the
# README's pictures in docs/images, which the guide shows too).
# The sources are UTF-8; the help viewer reads the pages, contents and index in the code page of
# the file's language (1251 for Russian), so the text files are converted on the way.
foreach(var SOURCE_DIR OUT_DIR CHMCMD ICONV)
  if(NOT ${var})
    message(FATAL_ERROR "build_help.cmake: ${var} is not set")
  endif()
endforeach()

set(stage ${OUT_DIR}/stage)
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage})

# Every file the project lists must be there: a missing page would only be a warning of chmcmd.
file(STRINGS ${SOURCE_DIR}/Zeph_Help.hhp project_lines)
set(in_files FALSE)
set(listed "")
foreach(line IN LISTS project_lines)
  if(line MATCHES "^\\[")
    set(in_files FALSE)
    if(line STREQUAL "[FILES]")
      set(in_files TRUE)
    endif()
  elseif(in_files AND NOT line STREQUAL "")
    list(APPEND listed ${line})
  endif()
endforeach()

foreach(name Zeph_Help.hhp toc.hhc index.hhk ${listed})
  set(from ${SOURCE_DIR}/${name})
  if(NOT EXISTS ${from} AND IMAGES_DIR AND name MATCHES "^images/(.+)$")
    set(from ${IMAGES_DIR}/${CMAKE_MATCH_1})
  endif()
  if(NOT EXISTS ${from})
    message(FATAL_ERROR "help: ${name} is listed but missing in ${SOURCE_DIR} (and ${IMAGES_DIR})")
  endif()
  get_filename_component(dir ${stage}/${name} DIRECTORY)
  file(MAKE_DIRECTORY ${dir})
  if(name MATCHES "\\.(html|hhc|hhk|hhp)$")
    execute_process(COMMAND ${ICONV} -f UTF-8 -t CP1251 ${from}
                    OUTPUT_VARIABLE converted RESULT_VARIABLE rc ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "help: ${name} has text outside code page 1251: ${err}")
    endif()
    string(REPLACE "charset=utf-8" "charset=windows-1251" converted "${converted}")
    file(WRITE ${stage}/${name} "${converted}")
  else()
    file(COPY_FILE ${from} ${stage}/${name})
  endif()
endforeach()

execute_process(COMMAND ${CHMCMD} --verbosity 1 Zeph_Help.hhp WORKING_DIRECTORY ${stage}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT EXISTS ${stage}/Zeph_Help.chm)
  message(FATAL_ERROR "help: chmcmd failed (${rc}):\n${out}")
endif()
file(COPY_FILE ${stage}/Zeph_Help.chm ${OUT_DIR}/Zeph_Help.chm)
