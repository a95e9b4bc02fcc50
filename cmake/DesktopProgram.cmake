# kh_install_program(<target> [METAINFO <appstream-id>])
#
# Installs the program <target> and what a Linux desktop shows for it. The
# files come from data/<target>/ and go below CMAKE_INSTALL_PREFIX:
#   <target>.desktop          share/applications/<target>.desktop
#   <target>.svg              share/icons/hicolor/scalable/apps/<target>.svg
#   <target>-48.png           share/icons/hicolor/48x48/apps/<target>.png
#   <target>-128.png          share/icons/hicolor/128x128/apps/<target>.png
#   <target>.1.in             share/man/man1/<target>.1 (@PROJECT_VERSION@ filled in)
#   <id>.metainfo.xml         share/metainfo/<id>.metainfo.xml (with METAINFO <id>)
# The PNGs are rendered from the SVG by tools/render-icons.sh and committed.
# Only programs installed this way have install rules, so `cmake --install`
# and the Debian package carry nothing else.
include(GNUInstallDirs)

set(KH_ICON_SIZES 48 128)

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

  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES "${data}/${target}.desktop" DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

  set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  install(FILES "${data}/${target}.svg" DESTINATION ${icons}/scalable/apps)
  foreach(size IN LISTS KH_ICON_SIZES)
    install(FILES "${data}/${target}-${size}.png" DESTINATION ${icons}/${size}x${size}/apps
            RENAME ${target}.png)
  endforeach()

  configure_file("${data}/${target}.1.in" "${CMAKE_CURRENT_BINARY_DIR}/${target}.1" @ONLY)
  install(FILES "${CMAKE_CURRENT_BINARY_DIR}/${target}.1" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  if(ARG_METAINFO)
    install(FILES "${data}/${ARG_METAINFO}.metainfo.xml" DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  endif()
endfunction()
