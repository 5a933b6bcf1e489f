# Installing like any other program: a launcher that runs the game in the player's own folder,
# the game itself, its packs, tunes and fonts, the menu entry, icon and metadata, and the score
# service with its pictures. Every place is a cache variable, so a distribution picks its own
# layout (Debian's: the launcher in games/, the data in share/games/zapwheely) without editing
# this file.
include(GNUInstallDirs)
set(ZW_INSTALL_LAUNCHERDIR ${CMAKE_INSTALL_BINDIR} CACHE STRING
    "where the zapwheely command goes, relative to the prefix")
set(ZW_INSTALL_GAMEDIR ${CMAKE_INSTALL_LIBEXECDIR}/zapwheely CACHE STRING
    "where the game program itself goes, relative to the prefix")
set(ZW_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/zapwheely CACHE STRING
    "where the game's Data folder (packs, tunes, fonts) goes, relative to the prefix")
# The system's own copies of the two font families, linked instead of installing ours, where a
# distribution packages them (Debian: fonts-bebas-neue and fonts-liberation). Ours stay in
# Data/Fonts for the build folder and for installs without them.
set(ZW_SYSTEM_BEBAS_NEUE_DIR "" CACHE PATH
    "folder with BebasNeue-Regular.otf and BebasNeue-Bold.otf to link to (empty: install ours)")
set(ZW_SYSTEM_LIBERATION_DIR "" CACHE PATH
    "folder with LiberationMono-Regular.ttf to link to (empty: install ours)")
set(ZW_SCORE_HOST_FILE "/etc/zapwheely/score-host" CACHE FILEPATH
    "the system-wide score host setting the game reads at start")
target_compile_definitions(zapwheely PRIVATE ZW_SCORE_HOST_FILE="${ZW_SCORE_HOST_FILE}")

file(RELATIVE_PATH ZW_REL_GAME /${ZW_INSTALL_LAUNCHERDIR} /${ZW_INSTALL_GAMEDIR}/zapwheely)
file(RELATIVE_PATH ZW_REL_DATA /${ZW_INSTALL_LAUNCHERDIR} /${ZW_INSTALL_DATADIR})
configure_file(${CMAKE_SOURCE_DIR}/dist/zapwheely.in ${CMAKE_BINARY_DIR}/dist/zapwheely @ONLY)

set(ZW_ICON_DIR ${CMAKE_BINARY_DIR}/dist/icon)
add_custom_command(
  OUTPUT ${ZW_ICON_DIR}/zapwheely.png ${ZW_ICON_DIR}/zapwheely.svg
  COMMAND packbuild --icon ${ZW_ICON_DIR}
  DEPENDS packbuild
  COMMENT "Drawing the desktop icon"
  VERBATIM)
add_custom_target(icon ALL DEPENDS ${ZW_ICON_DIR}/zapwheely.png ${ZW_ICON_DIR}/zapwheely.svg)

install(TARGETS zapwheely RUNTIME DESTINATION ${ZW_INSTALL_GAMEDIR})
install(PROGRAMS ${CMAKE_BINARY_DIR}/dist/zapwheely DESTINATION ${ZW_INSTALL_LAUNCHERDIR})
install(TARGETS zapwheely-pack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${ZW_RUN_DIR}/Data/Res ${ZW_RUN_DIR}/Data/Music
        DESTINATION ${ZW_INSTALL_DATADIR}/Data)

# The fonts: ours, or links to the system's copies of the same files.
set(ZW_FONT_DEST ${CMAKE_INSTALL_PREFIX}/${ZW_INSTALL_DATADIR}/Data/Fonts)
foreach(font BebasNeue-Regular.otf BebasNeue-Bold.otf LiberationMono-Regular.ttf)
  if(font MATCHES "^Bebas")
    set(sysdir "${ZW_SYSTEM_BEBAS_NEUE_DIR}")
    set(licence LICENSE-BebasNeue.txt)
  else()
    set(sysdir "${ZW_SYSTEM_LIBERATION_DIR}")
    set(licence LICENSE-Liberation.txt)
  endif()
  if(sysdir)
    install(CODE "
      file(MAKE_DIRECTORY \"\$ENV{DESTDIR}${ZW_FONT_DEST}\")
      file(CREATE_LINK \"${sysdir}/${font}\" \"\$ENV{DESTDIR}${ZW_FONT_DEST}/${font}\" SYMBOLIC)
      message(STATUS \"Linking: \$ENV{DESTDIR}${ZW_FONT_DEST}/${font} -> ${sysdir}/${font}\")")
  else()
    install(FILES ${CMAKE_SOURCE_DIR}/Data/Fonts/${font} ${CMAKE_SOURCE_DIR}/Data/Fonts/${licence}
            DESTINATION ${ZW_INSTALL_DATADIR}/Data/Fonts)
  endif()
endforeach()

set(ZW_APPSTREAM_ID io.github.zapwheely.zapwheely)
install(FILES ${CMAKE_SOURCE_DIR}/dist/${ZW_APPSTREAM_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/dist/${ZW_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The replay file type, so a desktop opens a .zwr with the game.
install(FILES ${CMAKE_SOURCE_DIR}/dist/${ZW_APPSTREAM_ID}.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${ZW_ICON_DIR}/zapwheely.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(FILES ${ZW_ICON_DIR}/zapwheely.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/dist/zapwheely.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${CMAKE_SOURCE_DIR}/dist/zapwheely-pack.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/CREDITS ${CMAKE_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zapwheely)

# The score service, its manual page and the pictures its home page shows.
install(TARGETS zapwheely-scores RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/dist/zapwheely-scores.8 DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
install(FILES ${CMAKE_SOURCE_DIR}/docs/menu.png ${CMAKE_SOURCE_DIR}/docs/race-riding.png
              ${CMAKE_SOURCE_DIR}/docs/race-traffic.png ${CMAKE_SOURCE_DIR}/docs/tally.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zapwheely-scores/docs)
