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

# zelvor_split_sources(<dir> <names> <gui-var> <widget-var>)
# Globs the .cpp and .h files of <dir> and parts them: those whose base name is in the list
# <names> go to <widget-var>, the rest to <gui-var>. A listed name without a file is an error,
# so the list cannot fall behind a rename.
function(zelvor_split_sources dir names gui_var widget_var)
  file(GLOB all CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
  set(gui)
  set(widget)
  set(found)
  foreach(file IN LISTS all)
    get_filename_component(name ${file} NAME_WE)
    if(name IN_LIST names)
      list(APPEND widget ${file})
      list(APPEND found ${name})
    else()
      list(APPEND gui ${file})
    endif()
  endforeach()
  foreach(name IN LISTS names)
    if(NOT name IN_LIST found)
      message(FATAL_ERROR "${dir}: no file is named ${name}; update its list of widget files")
    endif()
  endforeach()
  set(${gui_var} ${gui} PARENT_SCOPE)
  set(${widget_var} ${widget} PARENT_SCOPE)
endfunction()
