# Installation under CMAKE_INSTALL_PREFIX (DESTDIR honoured): the program, its data in
# share/tunewright (where the program looks from bin/../share/tunewright), the desktop entry,
# the AppStream metainfo, the icons, the manual page; and the Debian package made by CPack.
include(GNUInstallDirs)

# The application id: desktop entry, metainfo and icon names.
set(TW_APP_ID com.orvanesoft.Tunewright)
set(TW_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/tunewright)
set(TW_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/tunewright)
# The program states its own version; the package takes it from there.
file(STRINGS ${PROJECT_SOURCE_DIR}/src/web/update_check.h _tw_version_line
     REGEX "kProgramVersion = \"[0-9.]+\"")
string(REGEX MATCH "[0-9]+(\\.[0-9]+)+" TW_PROGRAM_VERSION "${_tw_version_line}")
if(NOT TW_PROGRAM_VERSION)
  message(FATAL_ERROR "No kProgramVersion in src/web/update_check.h")
endif()

install(TARGETS tunewright RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/demo-guitar.flac DESTINATION ${TW_INSTALL_DATADIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/help/ DESTINATION ${TW_INSTALL_DATADIR}/help)

# The artwork: the drawings of resources/images and the pictures built from them (target
# tw_images, which draws into <build>/share/tunewright/images).
file(GLOB _tw_drawings CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/images/*.svg
     ${PROJECT_SOURCE_DIR}/resources/images/*.png)
if(_tw_drawings)
  install(FILES ${_tw_drawings} DESTINATION ${TW_INSTALL_DATADIR}/images)
endif()
if(TARGET tw_images)
  install(DIRECTORY ${CMAKE_BINARY_DIR}/share/tunewright/images/ DESTINATION
          ${TW_INSTALL_DATADIR}/images FILES_MATCHING PATTERN "*.png")
endif()

install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/${TW_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/${TW_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The application icon: the drawing as the scalable icon, and pictures at the sizes that
# desktops ask the hicolor theme for.
set(TW_ICON_SOURCE ${PROJECT_SOURCE_DIR}/resources/images/tunewright.svg)
set(TW_ICON_SIZES 16 22 24 32 48 64 128 256 512)
find_program(RSVG_CONVERT rsvg-convert)
if(NOT EXISTS ${TW_ICON_SOURCE})
  message(WARNING "${TW_ICON_SOURCE} is missing: the application icon is not installed")
elseif(NOT RSVG_CONVERT)
  message(WARNING "rsvg-convert not found (package librsvg2-bin): only the scalable icon is installed")
  install(FILES ${TW_ICON_SOURCE} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
          RENAME ${TW_APP_ID}.svg)
else()
  install(FILES ${TW_ICON_SOURCE} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
          RENAME ${TW_APP_ID}.svg)
  set(_tw_icons "")
  foreach(size ${TW_ICON_SIZES})
    set(_icon ${CMAKE_BINARY_DIR}/icons/${size}x${size}/${TW_APP_ID}.png)
    add_custom_command(
      OUTPUT ${_icon}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
      COMMAND ${RSVG_CONVERT} --width=${size} --height=${size} --keep-aspect-ratio
              --output=${_icon} ${TW_ICON_SOURCE}
      DEPENDS ${TW_ICON_SOURCE}
      COMMENT "Drawing the application icon at ${size}x${size}"
      VERBATIM)
    list(APPEND _tw_icons ${_icon})
    install(FILES ${_icon} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(tw_icons ALL DEPENDS ${_tw_icons})
endif()

# The manual page, compressed as Debian's policy asks (man reads it either way); -n keeps the
# name and time out of the archive so that builds are reproducible.
find_program(GZIP gzip REQUIRED)
set(_tw_man ${CMAKE_BINARY_DIR}/man/tunewright.1.gz)
add_custom_command(
  OUTPUT ${_tw_man}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
  COMMAND ${GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/resources/man/tunewright.1 > ${_tw_man}
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/man/tunewright.1
  COMMENT "Compressing the manual page"
  VERBATIM)
add_custom_target(tw_manual_page ALL DEPENDS ${_tw_man})
install(FILES ${_tw_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Debian wants the copyright and a change log beside every package's files.
set(_tw_changelog ${CMAKE_BINARY_DIR}/doc/changelog.gz)
add_custom_command(
  OUTPUT ${_tw_changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
  COMMAND ${GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/resources/desktop/changelog > ${_tw_changelog}
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/desktop/changelog
  VERBATIM)
add_custom_target(tw_changelog ALL DEPENDS ${_tw_changelog})
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/copyright ${_tw_changelog}
        DESTINATION ${TW_INSTALL_DOCDIR})

# The Debian package: `cpack -G DEB` in the build folder.
set(CPACK_PACKAGE_NAME tunewright)
set(CPACK_PACKAGE_VERSION ${TW_PROGRAM_VERSION})
set(CPACK_PACKAGE_VENDOR "Orvane Software")
set(CPACK_PACKAGE_CONTACT "Orvane Software <packages@orvanesoft.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "musical instrument tuner")
set(CPACK_PACKAGE_INSTALL_DIRECTORY tunewright)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.orvanesoft.example/tunewright/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The summary above is the first line; CPack indents these lines and marks the empty one as
# a paragraph break.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tunewright listens to an instrument through the microphone, shows the note
played and how far it is from the note wanted, and plays a reference tone
for tuning by ear. It knows the usual tunings of guitar, bass, banjo,
mandolin, ukulele, violin, viola, cello and double bass, and also tunes to
any note or frequency.

From the command line it prints the pitch of a sound file or of the live
input, plays reference tones and lists the sound devices.")
include(CPack)
