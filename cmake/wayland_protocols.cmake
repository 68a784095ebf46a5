# The Wayland client side of the `orvane` program: libwayland-client and wayland-egl, and the
# client code of the protocols it speaks, generated at build time with wayland-scanner from
# their XML: the layer shell from the project's own copy (src/host/wayland/protocols, MIT,
# its origin in the COPYING note there), fractional scale, viewporter and xdg-shell (the
# layer shell's popups refer to it) from Debian's wayland-protocols.
find_package(PkgConfig REQUIRED)
pkg_check_modules(WAYLAND REQUIRED IMPORTED_TARGET wayland-client wayland-egl)
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
pkg_get_variable(WAYLAND_SCANNER wayland-scanner wayland_scanner)
if(NOT WAYLAND_PROTOCOLS_DIR OR NOT WAYLAND_SCANNER)
  message(FATAL_ERROR "wayland-protocols and wayland-scanner are needed (Debian: wayland-protocols, libwayland-bin)")
endif()

set(protocol_dir ${CMAKE_BINARY_DIR}/wayland-protocols)
set(protocol_sources)
foreach(pair "wlr-layer-shell-unstable-v1|${CMAKE_SOURCE_DIR}/src/host/wayland/protocols/wlr-layer-shell-unstable-v1.xml"
             "xdg-shell|${WAYLAND_PROTOCOLS_DIR}/stable/xdg-shell/xdg-shell.xml"
             "fractional-scale-v1|${WAYLAND_PROTOCOLS_DIR}/staging/fractional-scale/fractional-scale-v1.xml"
             "viewporter|${WAYLAND_PROTOCOLS_DIR}/stable/viewporter/viewporter.xml")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 name)
  list(GET pair 1 xml)
  if(NOT EXISTS "${xml}")
    message(FATAL_ERROR "${xml} not found (Debian: wayland-protocols 1.31 or later)")
  endif()
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
