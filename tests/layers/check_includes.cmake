cmake_minimum_required(VERSION 3.25)

# Run as a test: cmake -DLUMA_LAYER_MAP=<map written at configure time> -P check_includes.cmake
#
# Every quoted include that names a folder of the source tree ("model/params.h",
# "platform/sdl/native_ui.h") must name one the including file's target may
# see (see layer_map.cmake). Source files are checked against each target that
# compiles them; the headers of a folder against what the folder's targets see
# together. Tests may also include the helpers of other test folders.
# Includes without a folder (a header beside the file) are not looked at.

include(${LUMA_LAYER_MAP})

# The folder an include names: the longest target folder it lies in; else its
# first directory when that is a folder of the tree (one without a target in
# this build); else empty.
function(include_folder path out)
  set(best "")
  foreach(f IN LISTS LUMA_FOLDERS)
    string(LENGTH "${f}/" n)
    string(SUBSTRING "${path}" 0 ${n} head)
    string(LENGTH "${best}" best_n)
    if(head STREQUAL "${f}/" AND n GREATER best_n)
      set(best ${f})
    endif()
  endforeach()
  if(best STREQUAL "" AND path MATCHES "^([^/.][^/]*)/")
    if(IS_DIRECTORY ${LUMA_SOURCE_DIR}/${CMAKE_MATCH_1})
      set(best ${CMAKE_MATCH_1})
    endif()
  endif()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

set(faults "")

# check(FILE WHO ALLOWED...): FILE relative to the tree, WHO names the target
# or folder for the message.
function(check file who)
  set(allowed ${ARGN})
  file(STRINGS ${LUMA_SOURCE_DIR}/${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  set(tests_may_share FALSE)
  foreach(a IN LISTS allowed)
    if(a MATCHES "^tests(/|$)")
      set(tests_may_share TRUE)
    endif()
  endforeach()
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "\"([^\"]+)\"")
      continue()
    endif()
    set(path ${CMAKE_MATCH_1})
    include_folder(${path} folder)
    if(folder STREQUAL "" OR folder IN_LIST allowed)
      continue()
    endif()
    if(tests_may_share AND folder MATCHES "^tests(/|$)")
      continue()
    endif()
    list(JOIN allowed ", " may)
    set(faults "${faults}${file}: includes \"${path}\", but ${who} does not link folder ${folder} (it may include: ${may})\n"
        PARENT_SCOPE)
  endforeach()
endfunction()

set(checked 0)
foreach(t IN LISTS LUMA_TARGETS)
  foreach(s IN LISTS LUMA_SOURCES_${t})
    check(${s} "target ${t}" ${LUMA_ALLOWED_${t}})
    math(EXPR checked "${checked} + 1")
  endforeach()
endforeach()

foreach(folder IN LISTS LUMA_FOLDERS)
  set(allowed)
  set(owners)
  foreach(t IN LISTS LUMA_TARGETS)
    if(LUMA_FOLDER_${t} STREQUAL folder)
      list(APPEND allowed ${LUMA_ALLOWED_${t}})
      list(APPEND owners ${t})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES allowed)
  list(JOIN owners ", " owners)
  file(GLOB headers RELATIVE ${LUMA_SOURCE_DIR} ${LUMA_SOURCE_DIR}/${folder}/*.h)
  foreach(h IN LISTS headers)
    check(${h} "folder ${folder} (${owners})" ${allowed})
    math(EXPR checked "${checked} + 1")
  endforeach()
endforeach()

if(checked EQUAL 0)
  message(FATAL_ERROR "layer check: no file to check in ${LUMA_LAYER_MAP}")
endif()
if(NOT faults STREQUAL "")
  message(FATAL_ERROR "layer check: includes across the layers:\n${faults}")
endif()
message(STATUS "layer check: ${checked} files include only what their targets link")
