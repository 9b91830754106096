# luma_write_layer_map(FILE): writes, for every target built from this source
# tree, its folder, its source files and the folders its sources may include
# from: its own, and those of the targets it links (LINK_LIBRARIES), followed
# on through what each of those exports (INTERFACE_LINK_LIBRARIES without
# $<LINK_ONLY:...>, which a PRIVATE link of a static library leaves there).
# Names that are no target of this tree (system and package libraries) are
# passed over.

function(luma_layer_targets dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    luma_layer_targets(${sub} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# The folder of a target relative to the source tree; empty when it lies
# outside it.
function(luma_layer_folder target out)
  get_target_property(dir ${target} SOURCE_DIR)
  file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${dir})
  if(rel MATCHES "^\\.\\./" OR rel STREQUAL "..")
    set(rel "")
  endif()
  set(${out} "${rel}" PARENT_SCOPE)
endfunction()

function(luma_write_layer_map file)
  luma_layer_targets(${PROJECT_SOURCE_DIR} all)
  set(code_targets)
  foreach(t IN LISTS all)
    get_target_property(type ${t} TYPE)
    luma_layer_folder(${t} folder)
    if(type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|OBJECT_LIBRARY|INTERFACE_LIBRARY|EXECUTABLE)$"
       AND NOT folder STREQUAL "")
      list(APPEND code_targets ${t})
    endif()
  endforeach()

  set(text "# Written by tests/layers/layer_map.cmake at configure time.\n")
  string(APPEND text "set(LUMA_SOURCE_DIR \"${PROJECT_SOURCE_DIR}\")\n")
  string(APPEND text "set(LUMA_TARGETS \"${code_targets}\")\n")
  set(folders)
  foreach(t IN LISTS code_targets)
    luma_layer_folder(${t} folder)
    list(APPEND folders ${folder})

    # The folders the target's sources see.
    set(allowed ${folder})
    get_target_property(queue ${t} LINK_LIBRARIES)
    if(NOT queue)
      set(queue)
    endif()
    set(seen)
    while(queue)
      list(POP_FRONT queue dep)
      if(NOT dep IN_LIST code_targets OR dep IN_LIST seen)
        continue()
      endif()
      list(APPEND seen ${dep})
      luma_layer_folder(${dep} dep_folder)
      list(APPEND allowed ${dep_folder})
      get_target_property(exported ${dep} INTERFACE_LINK_LIBRARIES)
      foreach(e IN LISTS exported)
        if(NOT e MATCHES "^\\$<LINK_ONLY:")
          list(APPEND queue ${e})
        endif()
      endforeach()
    endwhile()
    list(REMOVE_DUPLICATES allowed)

    # Its source files inside the tree, relative to it.
    get_target_property(dir ${t} SOURCE_DIR)
    get_target_property(sources ${t} SOURCES)
    set(own)
    foreach(s IN LISTS sources)
      if(s MATCHES "\\$<")
        continue()
      endif()
      cmake_path(ABSOLUTE_PATH s BASE_DIRECTORY ${dir} NORMALIZE OUTPUT_VARIABLE abs)
      file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${abs})
      if(NOT rel MATCHES "^\\.\\./")
        list(APPEND own ${rel})
      endif()
    endforeach()

    string(APPEND text "set(LUMA_FOLDER_${t} \"${folder}\")\n")
    string(APPEND text "set(LUMA_ALLOWED_${t} \"${allowed}\")\n")
    string(APPEND text "set(LUMA_SOURCES_${t} \"${own}\")\n")
  endforeach()
  list(REMOVE_DUPLICATES folders)
  string(APPEND text "set(LUMA_FOLDERS \"${folders}\")\n")
  file(CONFIGURE OUTPUT ${file} CONTENT "${text}" @ONLY)
endfunction()
