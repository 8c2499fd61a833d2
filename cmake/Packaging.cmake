# Installation and the Debian package.
#
# An installed workstation keeps its program folder private: the program and
# its companions (the demo program, the simulators, the "Wave" sounds) live in /usr/lib/vertamo/,
# and /usr/bin/vertamo is a link to the program, which finds its folder through
# the resolved link. The desktop menu gets two entries (the workstation and
# its demo district), the icon at the usual sizes and a man page.
#
#   cmake --build build --target package    builds everything, then the .deb
#   tools/make-package.sh                   builds only what the package holds
#
# Nothing is installed in, or removed from, the users' work folders.

set(VERTAMO_PROGRAM_DIR lib/vertamo)  # below the prefix /usr
set(VERTAMO_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/resources/desktop)
set(VERTAMO_PACKAGE_FILES ${CMAKE_BINARY_DIR}/package-files)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The programs of the program folder: the workstation and every simulator the
# build has (tools/<name>-sim builds the program <name>-sim).
set(VERTAMO_INSTALLED_PROGRAMS vertamo)
file(GLOB sim_dirs LIST_DIRECTORIES true ${PROJECT_SOURCE_DIR}/tools/*-sim)
foreach(dir ${sim_dirs})
  get_filename_component(name ${dir} NAME)
  if(TARGET ${name})
    list(APPEND VERTAMO_INSTALLED_PROGRAMS ${name})
  endif()
endforeach()
# The phone program, which the workstation starts as "ohphone", and the demo's
# servers, which `vertamo --demo` starts.
list(APPEND VERTAMO_INSTALLED_PROGRAMS vertamo-phone vertamo-demo)
foreach(program ${VERTAMO_INSTALLED_PROGRAMS})
  # Relocations read-only after start-up, as Debian builds its programs.
  target_link_options(${program} PRIVATE -Wl,-z,relro -Wl,-z,now)
endforeach()
install(TARGETS ${VERTAMO_INSTALLED_PROGRAMS} RUNTIME DESTINATION ${VERTAMO_PROGRAM_DIR})
# The sounds travel with the program when the build's program folder has them.
install(DIRECTORY $<TARGET_FILE_DIR:vertamo>/Wave DESTINATION ${VERTAMO_PROGRAM_DIR} OPTIONAL)

# The link on the PATH, relative so that it holds in any root.
file(MAKE_DIRECTORY ${VERTAMO_PACKAGE_FILES})
file(CREATE_LINK ../${VERTAMO_PROGRAM_DIR}/vertamo ${VERTAMO_PACKAGE_FILES}/vertamo SYMBOLIC)
install(FILES ${VERTAMO_PACKAGE_FILES}/vertamo DESTINATION bin)
file(CREATE_LINK vertamo-phone ${VERTAMO_PACKAGE_FILES}/ohphone SYMBOLIC)
install(FILES ${VERTAMO_PACKAGE_FILES}/ohphone DESTINATION ${VERTAMO_PROGRAM_DIR})
# The demo's passenger voice, beside the phone program, when the build made it.
install(FILES $<TARGET_FILE_DIR:vertamo-phone>/cabin-voice.wav $<TARGET_FILE_DIR:vertamo-phone>/subscriber-voice.wav
        DESTINATION ${VERTAMO_PROGRAM_DIR} OPTIONAL)

# The desktop menu.
install(FILES ${VERTAMO_DESKTOP_DIR}/vertamo.desktop ${VERTAMO_DESKTOP_DIR}/vertamo-demo.desktop
        DESTINATION share/applications)
foreach(size 16 32 48 64 128 256)
  install(FILES ${VERTAMO_DESKTOP_DIR}/icons/vertamo-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME vertamo.png)
endforeach()
install(FILES ${VERTAMO_DESKTOP_DIR}/icons/vertamo.svg DESTINATION share/icons/hicolor/scalable/apps)

# The man page and the package's own documents, compressed as Debian wants
# them (no time stamp inside).
configure_file(${VERTAMO_DESKTOP_DIR}/changelog.in ${VERTAMO_PACKAGE_FILES}/changelog @ONLY)
set(compressed)
foreach(doc ${VERTAMO_DESKTOP_DIR}/vertamo.1 ${VERTAMO_PACKAGE_FILES}/changelog)
  get_filename_component(name ${doc} NAME)
  add_custom_command(OUTPUT ${VERTAMO_PACKAGE_FILES}/${name}.gz
                     COMMAND gzip -9nc ${doc} > ${VERTAMO_PACKAGE_FILES}/${name}.gz
                     DEPENDS ${doc})
  list(APPEND compressed ${VERTAMO_PACKAGE_FILES}/${name}.gz)
endforeach()
add_custom_target(vertamo_package_files ALL DEPENDS ${compressed})
add_dependencies(vertamo_package_files ${VERTAMO_INSTALLED_PROGRAMS})
install(FILES ${VERTAMO_PACKAGE_FILES}/vertamo.1.gz DESTINATION share/man/man1)
install(FILES ${VERTAMO_PACKAGE_FILES}/changelog.gz ${VERTAMO_DESKTOP_DIR}/copyright
        DESTINATION share/doc/vertamo)

# The package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vertamo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Vertamo developers")
set(CPACK_PACKAGE_CONTACT "Vertamo developers <vertamo@vertamo.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "workstation of a lift dispatch service")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Vertamo logs in to an Orvex dispatch server and shows the district's maps
with every lift, intercom unit and sensor live, keeps the operational
journal and the reports, and lets the dispatcher talk to a lift cabin.

The desktop menu has a second entry that starts the workstation against a
built-in demo district, for training without a live server.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # vertamo_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link are found by dpkg-shlibdeps; besides them:
# Qt's platform plugins (the X11 one), zlib under the PNG codec, and libsndfile
# and the PulseAudio client library for the sound output.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The phone program drives baresip, with its PulseAudio module (baresip-x11).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, zlib1g, libsndfile1, libpulse0, baresip-core, baresip-x11")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, qt6-translations-l10n, fonts-liberation, fonts-dejavu-core")
include(CPack)
