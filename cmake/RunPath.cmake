# Every library the programs load is a system one. qt_standard_project_setup() gives installed
# programs "$ORIGIN:$ORIGIN/../lib", and CMake pads the build tree's empty RUNPATH with as many
# colons so the install can rewrite it in place; the loader reads each empty entry as the working
# folder. So: no search path of our own, only the absolute folders of libraries that live outside
# the system's (a Qt of one's own), and the same one in the build tree and installed, so nothing
# is ever padded or rewritten.
set(CMAKE_INSTALL_RPATH "")
set(CMAKE_INSTALL_RPATH_USE_LINK_PATH ON)
set(CMAKE_BUILD_WITH_INSTALL_RPATH ON)

function(quorvane_collect_binaries dir out)
  set(found ${${out}})
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(t ${targets})
    get_target_property(type ${t} TYPE)
    if(type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY)$")
      list(APPEND found "$<TARGET_FILE:${t}>")
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    quorvane_collect_binaries(${sub} found)
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# A test of its own reads the dynamic section of every program and library the build makes, and
# of what an install puts in place, and fails on an empty or relative search-path entry.
function(quorvane_add_runpath_test)
  find_program(READELF_EXECUTABLE NAMES readelf ${CMAKE_READELF} REQUIRED)
  quorvane_collect_binaries(${PROJECT_SOURCE_DIR} binaries)
  list(JOIN binaries "\n" content)
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/runpath-binaries.txt CONTENT "${content}\n")
  add_test(NAME runpath_check
           COMMAND ${CMAKE_COMMAND} -DREADELF=${READELF_EXECUTABLE}
                   -DLIST=${CMAKE_BINARY_DIR}/runpath-binaries.txt -DBUILD_DIR=${CMAKE_BINARY_DIR}
                   -DINSTALL_DIR=${CMAKE_BINARY_DIR}/runpath-install
                   -P ${PROJECT_SOURCE_DIR}/cmake/CheckRunPath.cmake)
endfunction()
