# Include directories by layer. Sources include the tree's headers by their
# path from the project root ("platform/bstr.h", "engine/standin/jitter_buffer.h")
# and the public headers as "medley/...", but no target sees the whole root.
# Each library exposes its own folder, through a directory of the build tree
# that holds a link to that folder alone, and sees other folders only through
# the libraries it links. A header of a layer that a target does not link is
# not found, so a lower layer that includes a higher layer's header fails to
# build.
#
# The public headers under include/medley/ are split the same way: the COM
# basics (medley_com_base), the foundation's and the protocol's own headers
# (exposed by those libraries), and the host contract (medley_contract: the
# interfaces and everything else there).

set(MEDLEY_LAYER_DIR ${PROJECT_BINARY_DIR}/layers)

# medley_folder_include_dir(FOLDER OUT): OUT is the directory under which
# FOLDER (a path from the project root) and nothing else of the tree is seen,
# under its own path.
function(medley_folder_include_dir folder out)
  string(REPLACE "/" "." key "${folder}")
  set(root ${MEDLEY_LAYER_DIR}/${key})
  if(NOT IS_SYMLINK ${root}/${folder})
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  set(${out} ${root} PARENT_SCOPE)
endfunction()

# medley_expose_folders(TARGET SCOPE FOLDER...): TARGET's own sources
# (PRIVATE), its users (INTERFACE) or both (PUBLIC) see each FOLDER.
function(medley_expose_folders target scope)
  foreach(folder IN LISTS ARGN)
    medley_folder_include_dir(${folder} root)
    target_include_directories(${target} ${scope} $<BUILD_INTERFACE:${root}>)
  endforeach()
endfunction()

# medley_expose_headers(TARGET SCOPE GROUP BASE HEADER...): TARGET's sources
# or users see each HEADER, a path below the folder BASE of the project root,
# under that path (BASE include, HEADER medley/com_base.h: "medley/com_base.h"),
# and no other file of BASE. GROUP names the set; one call per group.
function(medley_expose_headers target scope group base)
  set(root ${MEDLEY_LAYER_DIR}/${group})
  file(REMOVE_RECURSE ${root})
  foreach(header IN LISTS ARGN)
    get_filename_component(parent ${root}/${header} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${base}/${header} ${root}/${header} SYMBOLIC)
  endforeach()
  target_include_directories(${target} ${scope} $<BUILD_INTERFACE:${root}>)
endfunction()

# The public headers of the foundation and the protocol libraries; their
# targets expose them.
set(MEDLEY_FOUNDATION_PUBLIC_HEADERS medley/hash_engine.h medley/mutex.h medley/ortus_date.h
    medley/ortus_string.h medley/random.h)
set(MEDLEY_PROTOCOL_PUBLIC_HEADERS medley/auto_char_ptr.h medley/digest_handler.h
    medley/interval_tracker.h)

# The COM and OLE Automation basics and the export macros, below every layer.
add_library(medley_com_base INTERFACE)
medley_expose_headers(medley_com_base INTERFACE include.base include
                      medley/com_base.h medley/export.h)

# The host contract: the interfaces, enumerations and identifiers a host
# compiles against, with the exported video functions. Every public header
# that is not one of the above belongs here.
file(GLOB medley_public_headers CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}/include
     ${PROJECT_SOURCE_DIR}/include/medley/*.h)
list(REMOVE_ITEM medley_public_headers medley/com_base.h medley/export.h
     ${MEDLEY_FOUNDATION_PUBLIC_HEADERS} ${MEDLEY_PROTOCOL_PUBLIC_HEADERS})
add_library(medley_contract INTERFACE)
medley_expose_headers(medley_contract INTERFACE include.contract include ${medley_public_headers})
target_link_libraries(medley_contract INTERFACE medley_com_base)
