# The Windows package, made by cpack from the build folder into a fresh folder and checked:
# the ZIP is the default generator's, holds exactly brixfilter.exe, README.md, LICENSE and
# brixfilter.txt in its top folder; the program is a 64-bit PE file, stripped of the symbol
# table the built one has, and filters when run (under the emulator); README.md and LICENSE are
# the sources' bytes; the manual is plain text of at most 78 columns that carries the man page's
# NAME line and every section heading. Every failed point is reported, then the script fails.
#
# cmake -DBRIX_CPACK=... -DBRIX_BUILD_DIR=... -DBRIX_SOURCE_DIR=... -DBRIX_VERSION=...
#       -DBRIX_EXE=... -DBRIX_OBJDUMP=... -DBRIX_EMULATOR=a|b|c -DBRIX_ARBEIT=... -P PaketZip.cmake
cmake_minimum_required(VERSION 3.25)

set(fehler 0)
macro(fehler text)
  message(SEND_ERROR "${text}")
  math(EXPR fehler "${fehler} + 1")
endmacro()

# The COFF header of a PE file: machine, number of symbols; "" where the file is no PE file.
function(lies_pe datei var_maschine var_symbole)
  set(${var_maschine} "" PARENT_SCOPE)
  set(${var_symbole} "" PARENT_SCOPE)
  file(READ "${datei}" mz LIMIT 2 HEX)
  if(NOT mz STREQUAL "4d5a")
    return()
  endif()
  # e_lfanew at 0x3C, little-endian, points to "PE\0\0" and the COFF header behind it.
  file(READ "${datei}" h OFFSET 60 LIMIT 4 HEX)
  string(REGEX REPLACE "^(..)(..)(..)(..)$" "\\4\\3\\2\\1" h "${h}")
  math(EXPR pe "0x${h}")
  # Signature, Machine, NumberOfSections, TimeDateStamp, PointerToSymbolTable, NumberOfSymbols.
  file(READ "${datei}" kopf OFFSET ${pe} LIMIT 20 HEX)
  if(NOT kopf MATCHES "^50450000(....)....(........)(........)(........)$")
    return()
  endif()
  set(m "${CMAKE_MATCH_1}")
  set(n "${CMAKE_MATCH_4}")
  string(REGEX REPLACE "^(..)(..)$" "\\2\\1" m "${m}")
  string(REGEX REPLACE "^(..)(..)(..)(..)$" "\\4\\3\\2\\1" n "${n}")
  math(EXPR n "0x${n}")
  set(${var_maschine} "${m}" PARENT_SCOPE)
  set(${var_symbole} "${n}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${BRIX_ARBEIT}")
file(MAKE_DIRECTORY "${BRIX_ARBEIT}/entpackt")

execute_process(COMMAND "${BRIX_CPACK}" --config "${BRIX_BUILD_DIR}/CPackConfig.cmake" -B "${BRIX_ARBEIT}"
  RESULT_VARIABLE status OUTPUT_VARIABLE log ERROR_VARIABLE log)
set(oben "brixfilter-${BRIX_VERSION}-win64")
set(zip "${BRIX_ARBEIT}/${oben}.zip")
if(NOT status EQUAL 0 OR NOT EXISTS "${zip}")
  message(FATAL_ERROR "cpack (status ${status}) made no ${oben}.zip:\n${log}")
endif()
file(GLOB pakete RELATIVE "${BRIX_ARBEIT}" "${BRIX_ARBEIT}/*.zip" "${BRIX_ARBEIT}/*.deb")
if(NOT pakete STREQUAL "${oben}.zip")
  fehler("cpack made other packages than the ZIP: ${pakete}")
endif()

# The file list (directory entries included, had there been any), so that nothing else comes
# along.
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar tf "${zip}"
  RESULT_VARIABLE status OUTPUT_VARIABLE liste ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot list ${zip}: ${err}")
endif()
string(STRIP "${liste}" liste)
string(REPLACE "\n" ";" liste "${liste}")
list(SORT liste)
set(erwartet "${oben}/LICENSE" "${oben}/README.md" "${oben}/brixfilter.exe" "${oben}/brixfilter.txt")
if(NOT liste STREQUAL erwartet)
  string(REPLACE ";" "\n  " liste "${liste}")
  string(REPLACE ";" "\n  " erwartet "${erwartet}")
  fehler("the ZIP holds\n  ${liste}\ninstead of\n  ${erwartet}")
endif()

execute_process(COMMAND "${CMAKE_COMMAND}" -E tar xf "${zip}"
  WORKING_DIRECTORY "${BRIX_ARBEIT}/entpackt" RESULT_VARIABLE status ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot unpack ${zip}: ${err}")
endif()
set(ordner "${BRIX_ARBEIT}/entpackt/${oben}")

# The program: x86-64 PE, its symbol table gone (the built program has one, so the check sees
# a table where there is one), no debug sections, smaller than the built one, and it still runs.
set(exe "${ordner}/brixfilter.exe")
if(EXISTS "${exe}")
  lies_pe("${BRIX_EXE}" maschine symbole_gebaut)
  if(NOT maschine STREQUAL "8664" OR NOT symbole_gebaut GREATER 0)
    fehler("the built ${BRIX_EXE} is no x86-64 PE file with a symbol table (machine '${maschine}', ${symbole_gebaut} symbols)")
  endif()
  lies_pe("${exe}" maschine symbole)
  if(NOT maschine STREQUAL "8664")
    fehler("brixfilter.exe in the ZIP is no x86-64 PE file (machine '${maschine}')")
  elseif(NOT symbole EQUAL 0)
    fehler("brixfilter.exe in the ZIP is not stripped: ${symbole} symbols")
  endif()
  execute_process(COMMAND "${BRIX_OBJDUMP}" -h "${exe}"
    RESULT_VARIABLE status OUTPUT_VARIABLE abschnitte ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    fehler("objdump -h brixfilter.exe: ${err}")
  else()
    string(REGEX MATCHALL " \\.debug[^ \t\n]*" debug "${abschnitte}")
    if(debug)
      fehler("brixfilter.exe in the ZIP has debug sections:${debug}")
    endif()
  endif()
  file(SIZE "${exe}" groesse)
  file(SIZE "${BRIX_EXE}" groesse_gebaut)
  if(NOT groesse LESS groesse_gebaut)
    fehler("brixfilter.exe in the ZIP (${groesse} bytes) is not smaller than the built one (${groesse_gebaut})")
  endif()
  # A regular file as standard input gains no final line feed.
  file(WRITE "${BRIX_ARBEIT}/ein.xml" "<a>x</a>")
  string(REPLACE "|" ";" emulator "${BRIX_EMULATOR}")
  execute_process(COMMAND ${emulator} "${exe}" -t INPUT_FILE "${BRIX_ARBEIT}/ein.xml"
    RESULT_VARIABLE status OUTPUT_VARIABLE aus ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR NOT aus STREQUAL "x")
    fehler("brixfilter.exe -t from the ZIP: status ${status}, output '${aus}', errors '${err}'")
  endif()
else()
  fehler("no brixfilter.exe in the ZIP")
endif()

foreach(name README.md LICENSE)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${BRIX_SOURCE_DIR}/${name}" "${ordner}/${name}"
    RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  if(NOT status EQUAL 0)
    fehler("${name} in the ZIP is not the source's ${name}")
  endif()
endforeach()

# The manual: no control characters but LF (no backspace overstrikes, no escape sequences, no
# CR), lines of at most 78 characters (UTF-8 continuation bytes not counted), the NAME line and
# every section heading of doc/brixfilter.1.
if(EXISTS "${ordner}/brixfilter.txt")
  file(READ "${ordner}/brixfilter.txt" text)
  file(READ "${BRIX_SOURCE_DIR}/doc/brixfilter.1" quelle)
  string(ASCII 1 2 3 4 5 6 7 8 9 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 31 127 steuer)
  if(text MATCHES "[${steuer}]")
    string(HEX "${CMAKE_MATCH_0}" zeichen)
    fehler("brixfilter.txt holds the control character 0x${zeichen}")
  endif()
  string(ASCII 128 u80)
  string(ASCII 191 ubf)
  string(REGEX REPLACE "[${u80}-${ubf}]" "" zeichen "${text}")
  string(REPEAT "[^\n]" 79 zu_lang)
  if(zeichen MATCHES "[^\n]*${zu_lang}[^\n]*")
    fehler("brixfilter.txt has a line longer than 78 characters: ${CMAKE_MATCH_0}")
  endif()

  string(REGEX REPLACE "[ \n]+" " " fliesstext "${text}")
  if(NOT quelle MATCHES "\n\\.SH NAME\n([^\n]+)\n")
    message(FATAL_ERROR "doc/brixfilter.1 has no NAME section")
  endif()
  string(REPLACE "\\-" "-" name_zeile "${CMAKE_MATCH_1}")
  string(REGEX REPLACE " +" " " name_zeile "${name_zeile}")
  string(FIND "${fliesstext}" "NAME ${name_zeile} " stelle)
  if(stelle EQUAL -1)
    fehler("brixfilter.txt lacks the NAME line \"${name_zeile}\"")
  endif()
  string(REGEX MATCHALL "\n\\.SH [^\n]+" ueberschriften "${quelle}")
  list(LENGTH ueberschriften anzahl)
  if(anzahl LESS 5)
    message(FATAL_ERROR "doc/brixfilter.1 has only ${anzahl} section headings")
  endif()
  foreach(ueberschrift IN LISTS ueberschriften)
    string(REGEX REPLACE "^\n\\.SH \"?([^\"]*)\"?$" "\\1" ueberschrift "${ueberschrift}")
    string(FIND "${text}" "\n${ueberschrift}\n" stelle)
    if(stelle EQUAL -1)
      fehler("brixfilter.txt lacks the section heading \"${ueberschrift}\"")
    endif()
  endforeach()
else()
  fehler("no brixfilter.txt in the ZIP")
endif()

# The README says how to make this package and what it is called.
file(READ "${BRIX_SOURCE_DIR}/README.md" readme)
foreach(satz "`(cd build-win && cpack)`" "`build-win/${oben}.zip`")
  string(FIND "${readme}" "${satz}" stelle)
  if(stelle EQUAL -1)
    fehler("README.md does not name ${satz}")
  endif()
endforeach()

if(fehler EQUAL 0)
  file(REMOVE_RECURSE "${BRIX_ARBEIT}")
else()
  message(STATUS "${fehler} faults; the package stays in ${BRIX_ARBEIT}")
endif()
