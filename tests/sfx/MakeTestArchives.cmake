# Archives for the stub's tests, each the stub followed by a 7z archive:
# a nested tree with empty files and folders, damaged ones, and ones whose
# names try to leave the working folder.
#   cmake -DSEVENZIP=7zz -DSTUB=sfx.exe -DOUT=dir -P MakeTestArchives.cmake
cmake_minimum_required(VERSION 3.25)

set(work "${OUT}/stage")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")

function(pack name folder)
    set(archive "${work}/${name}.7z")
    execute_process(COMMAND "${SEVENZIP}" a "${archive}" -t7z -bso0 -bsp0 ${ARGN}
        WORKING_DIRECTORY "${folder}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "7zz failed for ${name}")
    endif()
    execute_process(COMMAND "${CMAKE_COMMAND}" -E cat "${STUB}" "${archive}" OUTPUT_FILE "${OUT}/${name}.exe")
endfunction()

# Nested folders, empty files, an empty folder, a larger compressible file
# and two solid blocks.
set(tree "${work}/nested")
file(MAKE_DIRECTORY "${tree}/a/b/c" "${tree}/emptydir" "${tree}/a/b/emptier")
file(WRITE "${tree}/top.txt" "top level\r\n")
file(WRITE "${tree}/a/b/c/deep.txt" "deep inside")
file(WRITE "${tree}/a/empty.bin" "")
file(WRITE "${tree}/a/b/zero.dat" "")
string(REPEAT "0123456789abcdef" 20000 big)
file(WRITE "${tree}/a/big.txt" "${big}")
pack(nested "${tree}" . -ms=e)

# The stub alone, and the stub with bytes that are no archive.
file(COPY_FILE "${STUB}" "${OUT}/bare.exe")
string(REPEAT "not an archive " 100 junk)
file(WRITE "${work}/junk.bin" "${junk}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E cat "${STUB}" "${work}/junk.bin" OUTPUT_FILE "${OUT}/garbage.exe")

# The nested archive cut short.
file(SIZE "${OUT}/nested.exe" full)
math(EXPR cut "${full} - 200")
execute_process(COMMAND head -c ${cut} "${OUT}/nested.exe" OUTPUT_FILE "${OUT}/truncated.exe")

# One corrupted byte in the packed data of the nested archive.
file(SIZE "${STUB}" stubsize)
math(EXPR pos "${stubsize} + 64")
math(EXPR rest "${pos} + 2")
execute_process(COMMAND head -c ${pos} "${OUT}/nested.exe" OUTPUT_FILE "${work}/c1")
execute_process(COMMAND tail -c +${rest} "${OUT}/nested.exe" OUTPUT_FILE "${work}/c2")
file(READ "${OUT}/nested.exe" byte OFFSET ${pos} LIMIT 1 HEX)
if(byte STREQUAL "5a")
    file(WRITE "${work}/c3" "A")
else()
    file(WRITE "${work}/c3" "Z")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E cat "${work}/c1" "${work}/c3" "${work}/c2"
    OUTPUT_FILE "${OUT}/corrupt.exe")

# Hostile names. "../" and absolute paths come from 7zz's -spf; backslashes,
# drive letters and streams are ordinary characters in Linux file names.
set(h "${work}/hostile")
file(MAKE_DIRECTORY "${h}/inner")
file(WRITE "${h}/escape.txt" "escaped")
file(WRITE "${h}/inner/good.txt" "good")
pack(parent "${h}/inner" -spf ../escape.txt)
pack(mixed "${h}/inner" -spf good.txt ../escape.txt)
pack(absolute "${h}/inner" -spf "${h}/escape.txt")

foreach(pair "backslash=..\\escape.txt" "drive=C:\\escape.txt" "driverel=C:escape.txt"
             "stream=good.txt:hidden" "device=nul.txt" "deepparent=a\\..\\..\\escape.txt")
    string(FIND "${pair}" "=" eq)
    string(SUBSTRING "${pair}" 0 ${eq} name)
    math(EXPR after "${eq} + 1")
    string(SUBSTRING "${pair}" ${after} -1 entry)
    file(REMOVE_RECURSE "${work}/${name}")
    file(MAKE_DIRECTORY "${work}/${name}")
    file(WRITE "${work}/${name}/${entry}" "hostile")
    pack(${name} "${work}/${name}" "${entry}")
endforeach()

# Archives whose folders the stub can decode in pieces: LZMA2, LZMA and
# stored, one folder holding several files (with an empty file and a folder
# between them), and a folder behind a branch filter, which cannot be streamed.
set(s "${work}/streamed")
file(MAKE_DIRECTORY "${s}/sub/inner")
string(RANDOM LENGTH 60000 RANDOM_SEED 11 noise)
string(RANDOM LENGTH 40000 RANDOM_SEED 12 noise2)
string(REPEAT "larkspur 0123456789 " 15000 repeated)
file(WRITE "${s}/mixed.dat" "${noise}${repeated}${noise}tail")
file(WRITE "${s}/sub/second.txt" "${repeated}")
file(WRITE "${s}/sub/empty.txt" "")
file(WRITE "${s}/sub/inner/third.txt" "${noise2}")
pack(streamlzma2 "${s}" . -m0=lzma2 -mx=5 -ms=on)
pack(streamlzma "${s}" . -m0=lzma -mx=5 -ms=on)
pack(streamstored "${s}" . -mx=0)
file(COPY_FILE "${STUB}" "${s}/tool.exe")
pack(filtered "${s}" tool.exe mixed.dat -mx=9 -ms=on)

# The stored archive with one byte of sub/inner/third.txt changed: its data
# still decodes, only its checksum tells. Its bytes are found by their start.
string(SUBSTRING "${noise2}" 0 16 marker)
string(HEX "${marker}" markerhex)
file(READ "${OUT}/streamstored.exe" whole HEX)
string(FIND "${whole}" "${markerhex}" at)
math(EXPR at "${at} / 2 + 1000")
math(EXPR rest "${at} + 2")
execute_process(COMMAND head -c ${at} "${OUT}/streamstored.exe" OUTPUT_FILE "${work}/s1")
execute_process(COMMAND tail -c +${rest} "${OUT}/streamstored.exe" OUTPUT_FILE "${work}/s2")
file(WRITE "${work}/s3" "!")
execute_process(COMMAND "${CMAKE_COMMAND}" -E cat "${work}/s1" "${work}/s3" "${work}/s2"
    OUTPUT_FILE "${OUT}/storedbad.exe")
