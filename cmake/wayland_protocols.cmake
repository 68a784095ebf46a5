# The Wayland client side of the `orvane` program: libwayland-client and wayland-egl, and the
# client code of the layer shell, generated at build time with wayland-scanner from the
# protocol's XML. Debian ships that XML only inside its Rust protocol crate
# (librust-wayland-protocols-dev); ORVANE_LAYER_SHELL_XML names another copy. The layer
# shell's popups refer to xdg-shell, whose code comes from wayland-protocols.
find_package(PkgConfig REQUIRED)
pkg_check_modules(WAYLAND REQUIRED IMPORTED_TARGET wayland-client wayland-egl)
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
pkg_get_variable(WAYLAND_SCANNER wayland-scanner wayland_scanner)
if(NOT WAYLAND_PROTOCOLS_DIR OR NOT WAYLAND_SCANNER)
  message(FATAL_ERROR "wayland-protocols and wayland-scanner are needed (Debian: wayland-protocols, libwayland-bin)")
endif()
if(NOT ORVANE_LAYER_SHELL_XML)
  file(GLOB layer_shell_candidates
       /usr/share/cargo/registry/wayland-protocols-*/wlr-protocols/unstable/wlr-layer-shell-unstable-v1.xml)
  list(SORT layer_shell_candidates)
  list(REVERSE layer_shell_candidates)  # the newest crate first
  list(GET layer_shell_candidates 0 layer_shell_found)
  set(ORVANE_LAYER_SHELL_XML "${layer_shell_found}" CACHE FILEPATH "wlr-layer-shell-unstable-v1.xml")
endif()
if(NOT EXISTS "${ORVANE_LAYER_SHELL_XML}")
  message(FATAL_ERROR "wlr-layer-shell-unstable-v1.xml not found (Debian: librust-wayland-protocols-dev); "
                      "set ORVANE_LAYER_SHELL_XML")
endif()

set(protocol_dir ${CMAKE_BINARY_DIR}/wayland-protocols)
set(protocol_sources)
foreach(pair "wlr-layer-shell-unstable-v1|${ORVANE_LAYER_SHELL_XML}"
             "xdg-shell|${WAYLAND_PROTOCOLS_DIR}/stable/xdg-shell/xdg-shell.xml")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 name)
  list(GET pair 1 xml)
  add_custom_command(OUTPUT ${protocol_dir}/${name}-client-protocol.h ${protocol_dir}/${name}-protocol.c
    COMMAND ${CMAKE_COMMAND} -E make_directory ${protocol_dir}
    COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${protocol_dir}/${name}-client-protocol.h
    COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${protocol_dir}/${name}-protocol.c
    DEPENDS ${xml}
    COMMENT "Wayland client code of ${name}")
  list(APPEND protocol_sources ${protocol_dir}/${name}-client-protocol.h ${protocol_dir}/${name}-protocol.c)
endforeach()
add_library(orvane_wayland_protocols STATIC ${protocol_sources})
target_include_directories(orvane_wayland_protocols PUBLIC ${protocol_dir})
target_link_libraries(orvane_wayland_protocols PUBLIC PkgConfig::WAYLAND)
