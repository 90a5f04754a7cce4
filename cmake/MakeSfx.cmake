# Builds a self-extracting archive: the stub followed by a 7z archive of the
# staged files.
#   cmake -DSEVENZIP=7zz -DSTUB=sfx.exe -DSTAGE=dir -DOUTPUT=out.exe
#         [-DFILES=src=dest;...] [-DTREES=srcdir=destdir;...] [-DOPTIONS=...]
#         -P MakeSfx.cmake
# FILES copies single files, TREES copies folders with their whole content;
# dest names are paths inside the archive ("Setup/stagehand.exe").
cmake_minimum_required(VERSION 3.25)

foreach(var SEVENZIP STUB STAGE OUTPUT)
    if(NOT ${var})
        message(FATAL_ERROR "MakeSfx: ${var} is not set")
    endif()
endforeach()

file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${STAGE}/content")

foreach(pair IN LISTS FILES)
    string(FIND "${pair}" "=" eq REVERSE)
    string(SUBSTRING "${pair}" 0 ${eq} src)
    math(EXPR after "${eq} + 1")
    string(SUBSTRING "${pair}" ${after} -1 dest)
    if(NOT EXISTS "${src}" OR IS_DIRECTORY "${src}")
        message(FATAL_ERROR "MakeSfx: missing input file ${src}")
    endif()
    get_filename_component(parent "${STAGE}/content/${dest}" DIRECTORY)
    file(MAKE_DIRECTORY "${parent}")
    file(COPY_FILE "${src}" "${STAGE}/content/${dest}")
endforeach()

foreach(pair IN LISTS TREES)
    string(FIND "${pair}" "=" eq REVERSE)
    string(SUBSTRING "${pair}" 0 ${eq} src)
    math(EXPR after "${eq} + 1")
    string(SUBSTRING "${pair}" ${after} -1 dest)
    if(NOT IS_DIRECTORY "${src}")
        message(FATAL_ERROR "MakeSfx: missing input folder ${src}")
    endif()
    file(MAKE_DIRECTORY "${STAGE}/content/${dest}")
    file(COPY "${src}/" DESTINATION "${STAGE}/content/${dest}")
endforeach()

if(NOT OPTIONS)
    # Solid blocks are decoded in memory by the stub: keep them bounded.
    set(OPTIONS "-mx=9 -ms=64m")
endif()
separate_arguments(options UNIX_COMMAND "${OPTIONS}")

set(archive "${STAGE}/archive.7z")
execute_process(COMMAND "${SEVENZIP}" a -t7z -bso0 -bsp0 ${options} "${archive}" .
    WORKING_DIRECTORY "${STAGE}/content" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "MakeSfx: ${SEVENZIP} failed (${rc})")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E cat "${STUB}" "${archive}" OUTPUT_FILE "${OUTPUT}"
    RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "MakeSfx: cannot write ${OUTPUT}")
endif()
