# The Debian package: `cpack -G DEB` in the build tree (or `cmake --build BUILD --target package`)
# makes askgame_VERSION_amd64.deb from the install rules of component `deb`, which no plain
# `cmake --install` runs. Under /usr it holds:
#   lib/askgame/      the host program, the plug-in and its two libraries, with links to the data,
#                     the same runnable folder as the build tree's bin/
#   share/askgame/    the data (skins, language files, demo scenarios)
#   bin/askgame-host  a link to lib/askgame/askgame-host: the host runs from its own folder, where
#                     it and the plug-in find the plug-in, its libraries and the host's data
#   lib/frei0r-1/askgame.so, the GStreamer element and the OBS module, added by adapters/frei0r,
#                     adapters/gstreamer and adapters/obs.
set(ASKGAME_PACKAGE_LIB lib/askgame)
set(ASKGAME_PACKAGE_DATA share/askgame)

install(TARGETS askgame askgame-platform askgame-toolkit askgame-host
        RUNTIME DESTINATION ${ASKGAME_PACKAGE_LIB} COMPONENT deb EXCLUDE_FROM_ALL
        LIBRARY DESTINATION ${ASKGAME_PACKAGE_LIB} COMPONENT deb EXCLUDE_FROM_ALL)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/ DESTINATION ${ASKGAME_PACKAGE_DATA} COMPONENT deb
        EXCLUDE_FROM_ALL)

# The links, made once in the build tree and installed as links. The plug-in looks for its skins
# beside itself and for the host's data beside the host program: both are lib/askgame/.
set(links ${PROJECT_BINARY_DIR}/package-links)
file(REMOVE_RECURSE ${links})
file(MAKE_DIRECTORY ${links}/lib ${links}/bin)
file(GLOB data_entries CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}/data
     ${PROJECT_SOURCE_DIR}/data/*)
foreach(entry IN LISTS data_entries)
    file(CREATE_LINK ../../${ASKGAME_PACKAGE_DATA}/${entry} ${links}/lib/${entry} SYMBOLIC)
endforeach()
file(CREATE_LINK ../${ASKGAME_PACKAGE_LIB}/askgame-host ${links}/bin/askgame-host SYMBOLIC)
install(DIRECTORY ${links}/lib/ DESTINATION ${ASKGAME_PACKAGE_LIB} COMPONENT deb EXCLUDE_FROM_ALL)
install(DIRECTORY ${links}/bin/ DESTINATION bin COMPONENT deb EXCLUDE_FROM_ALL)

set(CPACK_PACKAGE_NAME askgame)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR askgame)
set(CPACK_PACKAGE_CONTACT "askgame developers <askgame@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "quiz game drawn over video, for ffmpeg, GStreamer, MLT and OBS")
set(CPACK_PACKAGE_DESCRIPTION
    "askgame-host plays the quiz game over a video or a test card, live or from a scenario; the \
frei0r filter plays it inside ffmpeg, GStreamer and MLT, the GStreamer element askgame draws it in \
place on I420, NV12 and RGB frames, and the OBS Studio module draws it as a source.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Only component deb, as one package.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};deb;/")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ffmpeg, fonts-arphic-uming")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "obs-studio, gstreamer1.0-plugins-bad, melt")
# The libraries' own packages, from dpkg-shlibdeps (dpkg-dev) when it is there; the package's own
# libraries are found in lib/askgame/ of the tree being packed.
find_program(ASKGAME_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(ASKGAME_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS usr/${ASKGAME_PACKAGE_LIB})
else()
    message(STATUS "dpkg-shlibdeps not found (Debian: dpkg-dev): the package names no libraries")
endif()
include(CPack)
