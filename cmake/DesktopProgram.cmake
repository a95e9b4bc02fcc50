# SPDX-License-Identifier: GPL-3.0-or-later
# kh_install_program(<target> [METAINFO <appstream-id>])
#
# Installs the program <target> and what a Linux desktop shows for it. The
# files come from data/<target>/ and go below CMAKE_INSTALL_PREFIX:
#   <target>.desktop          share/applications/<target>.desktop
#   <target>.svg              share/icons/hicolor/scalable/apps/<target>.svg
#   <target>-48.png           share/icons/hicolor/48x48/apps/<target>.png
#   <target>-128.png          share/icons/hicolor/128x128/apps/<target>.png
#   <target>.1.in             share/man/man1/<target>.1.gz (@PROJECT_VERSION@ filled in)
#   <id>.metainfo.xml         share/metainfo/<id>.metainfo.xml (with METAINFO <id>)
# The PNGs are rendered from the SVG by tools/render-icons.sh and committed.
# Only programs installed this way have install rules, so `cmake --install`
# and the Debian package carry nothing else.
include(GNUInstallDirs)

set(KH_ICON_SIZES 48 128)

# kh_gzip(<file> <target>): <file>.gz beside <file>, made by the build target
# <target>. Installed files are compressed as Debian's policy asks; -n keeps
# the name and time out, so every build makes the same bytes.
function(kh_gzip file target)
  add_custom_command(OUTPUT "${file}.gz" COMMAND gzip -9nkf "${file}" DEPENDS "${file}" VERBATIM)
  add_custom_target(${target} ALL DEPENDS "${file}.gz")
endfunction()

function(kh_install_program target)
  cmake_parse_arguments(ARG "" "METAINFO" "" ${ARGN})
  set(data "${PROJECT_SOURCE_DIR}/data/${target}")
  set(required "${target}.desktop" "${target}.svg" "${target}.1.in")
  foreach(size IN LISTS KH_ICON_SIZES)
    list(APPEND required "${target}-${size}.png")
  endforeach()
  if(ARG_METAINFO)
    list(APPEND required "${ARG_METAINFO}.metainfo.xml")
  endif()
  foreach(file IN LISTS required)
    if(NOT EXISTS "${data}/${file}")
      message(FATAL_ERROR "kh_install_program(${target}): data/${target}/${file} is missing")
    endif()
  endforeach()

  # Without the compilers' notes, as Debian ships its programs.
  add_custom_command(TARGET ${target} POST_BUILD
                     COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment $<TARGET_FILE:${target}> VERBATIM)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES "${data}/${target}.desktop" DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

  set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  install(FILES "${data}/${target}.svg" DESTINATION ${icons}/scalable/apps)
  foreach(size IN LISTS KH_ICON_SIZES)
    install(FILES "${data}/${target}-${size}.png" DESTINATION ${icons}/${size}x${size}/apps
            RENAME ${target}.png)
  endforeach()

  set(page "${CMAKE_CURRENT_BINARY_DIR}/${target}.1")
  configure_file("${data}/${target}.1.in" "${page}" @ONLY)
  kh_gzip("${page}" ${target}-manpage)
  install(FILES "${page}.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  if(ARG_METAINFO)
    install(FILES "${data}/${ARG_METAINFO}.metainfo.xml" DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  endif()
endfunction()
