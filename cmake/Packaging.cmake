# What `cmake --install` puts where, and the Debian package CPack makes of
# it (`make package`). The version comes from project() alone.
set(CMAKE_INSTALL_DOCDIR share/doc/quorvel)
include(GNUInstallDirs)

set(QUORVEL_HOMEPAGE_RAW "https://raw.githubusercontent.com/quorvel/quorvel/main" CACHE STRING
    "Where the published README's pictures can be fetched")
set(generated ${CMAKE_BINARY_DIR}/package)

install(TARGETS quorvel quorvel-analyze quorvel-synth RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES app/settings.ini README.md ${CMAKE_BINARY_DIR}/share/quorvel/demo-recording.wav
        DESTINATION ${CMAKE_INSTALL_DATADIR}/quorvel)
file(GLOB doc_pictures ${PROJECT_SOURCE_DIR}/docs/*.png)
install(FILES ${doc_pictures} DESTINATION ${CMAKE_INSTALL_DATADIR}/quorvel/docs)
install(FILES data/quorvel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/quorvel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The icon's PNG sizes are drawn from its SVG, the one picture kept.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(icons)
foreach(size 16 24 32 48 64 128 256)
  set(png ${generated}/icons/${size}x${size}/quorvel.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}/icons/${size}x${size}
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} ${PROJECT_SOURCE_DIR}/data/quorvel.svg -o ${png}
    DEPENDS ${PROJECT_SOURCE_DIR}/data/quorvel.svg VERBATIM)
  list(APPEND icons ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
configure_file(data/io.github.quorvel.Quorvel.metainfo.xml ${generated}/io.github.quorvel.Quorvel.metainfo.xml @ONLY)
install(FILES ${generated}/io.github.quorvel.Quorvel.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Man pages and the changelog, compressed the way Debian keeps them.
find_program(GZIP gzip REQUIRED)
set(compressed)
foreach(page quorvel quorvel-analyze quorvel-synth)
  configure_file(data/man/${page}.1 ${generated}/${page}.1 @ONLY)
  list(APPEND compressed ${generated}/${page}.1)
endforeach()
configure_file(data/changelog ${generated}/changelog COPYONLY)
configure_file(data/copyright ${generated}/copyright @ONLY)
list(APPEND compressed ${generated}/changelog)
set(gzipped)
foreach(file ${compressed})
  add_custom_command(OUTPUT ${file}.gz COMMAND ${GZIP} -9nc ${file} > ${file}.gz DEPENDS ${file} VERBATIM)
  list(APPEND gzipped ${file}.gz)
endforeach()
add_custom_target(package_documents ALL DEPENDS ${gzipped} ${icons})
install(FILES ${generated}/quorvel.1.gz ${generated}/quorvel-analyze.1.gz ${generated}/quorvel-synth.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${generated}/changelog.gz ${generated}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Quorvel developers <developers@quorvel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "measure the velocity of air-gun pellets with a microphone")
set(CPACK_PACKAGE_DESCRIPTION "Quorvel is an acoustic chronograph. With a microphone set near the gun it
hears the muzzle report and the pellet striking a target a known distance
away, and from the samples between them computes the pellet's velocity and
energy. It keeps the shot string with its statistics in large print, shows
a live scope, re-analyses any shot as a zoomable waveform with draggable
trigger levels, plays it back, runs a timed calibration shot, and saves
shots as text lines and WAVE files. quorvel-analyze measures recordings
from the command line with the same core.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${QUORVEL_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds its window system plugin at run time; no library names it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The sound server itself: libpulse talks to PulseAudio or pipewire-pulse.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio | pipewire-pulse, xdg-utils")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR OFF)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
