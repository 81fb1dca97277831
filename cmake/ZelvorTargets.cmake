# Helpers shared by the test and benchmark folders.

# zelvor_add_executable(<name> <MAIN-target> SOURCES <files...> LIBS <targets...>)
# An executable of the project's own code (warnings on) linked with `LIBS` and `MAIN`, the
# library that brings its main(). Arguments after the name as in zelvor_add_test/_bench.
function(zelvor_add_executable name main)
  cmake_parse_arguments(E "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${E_SOURCES})
  target_link_libraries(${name} PRIVATE ${E_LIBS} ${main})
  zelvor_warnings(${name})
endfunction()

# Adds every folder beside the calling CMakeLists.txt that has a CMakeLists.txt of its own.
macro(zelvor_add_groups)
  file(GLOB _zelvor_groups LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
    ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(_zelvor_group IN LISTS _zelvor_groups)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_zelvor_group}/CMakeLists.txt)
      add_subdirectory(${_zelvor_group})
    endif()
  endforeach()
endmacro()

# zelvor_link_closure(<target> <var>)
# Every target and library <target> links, directly or through the targets it links (their
# PUBLIC and INTERFACE links, and the LINK_ONLY ones of static libraries).
function(zelvor_link_closure target var)
  set(seen)
  set(todo ${target})
  while(todo)
    list(POP_FRONT todo item)
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
    if(item MATCHES "^\\$<" OR item IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${item})
    if(TARGET ${item})
      get_target_property(links ${item} INTERFACE_LINK_LIBRARIES)
      if(links)
        list(APPEND todo ${links})
      endif()
      get_target_property(imported ${item} IMPORTED)
      if(NOT imported)
        get_target_property(links ${item} LINK_LIBRARIES)
        if(links)
          list(APPEND todo ${links})
        endif()
      endif()
    endif()
  endwhile()
  set(${var} ${seen} PARENT_SCOPE)
endfunction()
