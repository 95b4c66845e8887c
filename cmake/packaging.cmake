# What an installation holds besides the program, its help pages, the desktop
# entry and the 64x64 icon, and the Debian package made of it all (make deb).
# Included from the top-level CMakeLists.txt after its install rules.

set(FRAMZO_APP_ID org.example.framzo)

# The icon at the other sizes the icon themes have folders for.
foreach(size 16 22 24 32 48 128 256)
  install(FILES data/icons/framzo-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME framzo.png)
endforeach()

install(FILES data/${FRAMZO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The manual page and the changelog are installed compressed, as man and the
# Debian tools expect; -n keeps the name and time out, so the files are the
# same at every build.
set(FRAMZO_GZIPPED "")
foreach(doc framzo.1 changelog)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${doc}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/data/${doc} ${CMAKE_BINARY_DIR}/${doc}
    COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/${doc}
    DEPENDS ${CMAKE_SOURCE_DIR}/data/${doc}
    VERBATIM)
  list(APPEND FRAMZO_GZIPPED ${CMAKE_BINARY_DIR}/${doc}.gz)
endforeach()
add_custom_target(framzo_docs ALL DEPENDS ${FRAMZO_GZIPPED})
install(FILES ${CMAKE_BINARY_DIR}/framzo.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES data/copyright ${CMAKE_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/framzo)

# ---- the Debian package -------------------------------------------------------

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME framzo)
set(CPACK_PACKAGE_VENDOR Ketra)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "image viewer that cuts photos to a ratio or a size")
# The lines as they are to show (a terminal of 80 columns); an empty line
# separates the paragraphs.
string(JOIN "\n" CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Framzo is an image viewer for people who cut photos. Open a photo, lay a"
  "cut frame over it, sized by a width-to-height ratio such as 13:9 or in"
  "centimetres at the photo's own resolution, drag it into place and press"
  "Return: the framed part of the full-resolution photo is written into a"
  "capture folder and opened at once."
  ""
  "It reads JPEG, PNG, TIFF, BMP, GIF, WebP, HEIC/HEIF, AVIF, JPEG XL and"
  "camera raw files (DNG, CR2, CR3, NEF, ARW, RAF, ORF, RW2, PEF and more)."
  "It also steps through the photos of a folder, rotates, inverts and adjusts"
  "colours, saves in JPEG, PNG, BMP, TIFF, XPM or WebP, and writes static HTML"
  "photo galleries, in a window or from the command line.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Debian wants an address with the name; the project has none of its own yet,
# so it is one of the placeholder domain the other addresses use.
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Ketra <ketra@framzo.example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://framzo.example.org/)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The libraries come from the binary (dpkg-shlibdeps): the toolkit, exiv2,
# libjpeg-turbo, libheif, libjxl, LibRaw and Little CMS. What it cannot see is the
# toolkit's TIFF and WebP readers, plugins loaded at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-image-formats-plugins)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
