# tarnwick_component(target [folder]): target exports the headers of its own folder only, still
# included as "folder/Name.h". The folder (default: the target's name) is reached through a link
# ${CMAKE_BINARY_DIR}/include/<target>/<folder>, and only that include root is exported, so a target
# sees the headers of the components it links and no others: an include of a component it does not
# link fails the build. Two targets may share a folder (capture and capture_pcap).
function(tarnwick_component target)
  set(folder ${target})
  if(ARGC GREATER 1)
    set(folder ${ARGV1})
  endif()
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT IS_SYMLINK ${root}/${folder})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()
