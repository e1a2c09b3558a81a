# The Debian package, made of what `cmake --install` puts under /usr:
#   cpack --config build/CPackConfig.cmake -G DEB -B DIR
# Depends lists the packages of the libraries the programs are linked with, as
# dpkg-shlibdeps finds them. The decoding libraries the programs open when a file first
# needs one (AVIF, HEIF, JPEG XL, camera raw, SVG) are Recommends: without one, only its
# formats fail to load. Their packages are the ones that hold those libraries here.

# The package that holds the library file named soname beside one of pkg_libraries
# (a library of the pkg-config module); empty when dpkg does not know it.
function(qel_package_of_library variable pkg_libraries soname)
  set(${variable} "" PARENT_SCOPE)
  foreach(path IN LISTS pkg_libraries)
    get_filename_component(folder "${path}" DIRECTORY)
    if(EXISTS "${folder}/${soname}")
      execute_process(COMMAND dpkg-query --search "${folder}/${soname}"
                      OUTPUT_VARIABLE owner RESULT_VARIABLE failed ERROR_QUIET)
      # "libheif1:amd64: /usr/lib/x86_64-linux-gnu/libheif.so.1"
      if(NOT failed AND owner MATCHES "^([a-z0-9][a-z0-9+.-]*)[:,]")
        set(${variable} "${CMAKE_MATCH_1}" PARENT_SCOPE)
        return()
      endif()
    endif()
  endforeach()
endfunction()

set(QEL_RECOMMENDED_PACKAGES)
foreach(pair "HEIF;${QEL_HEIF_LIBRARY}" "AVIF;${QEL_AVIF_LIBRARY}" "JXL;${QEL_JXL_LIBRARY}"
        "LIBRAW;${QEL_RAW_LIBRARY}" "RSVG;${QEL_RSVG_LIBRARY}")
  list(GET pair 0 module)
  list(GET pair 1 soname)
  qel_package_of_library(package "${${module}_LINK_LIBRARIES}" "${soname}")
  if(package)
    list(APPEND QEL_RECOMMENDED_PACKAGES ${package})
  else()
    message(STATUS "No Debian package holds ${soname}: the package will not recommend it")
  endif()
endforeach()
list(JOIN QEL_RECOMMENDED_PACKAGES ", " CPACK_DEBIAN_PACKAGE_RECOMMENDS)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qel-image-tool)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${QEL_MAINTAINER})
set(CPACK_PACKAGE_VENDOR "The qel Image Tool developers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${QEL_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small image viewer and converter")
# Lines as the control file shows them (lintian wants them shorter than 80 characters).
set(CPACK_PACKAGE_DESCRIPTION
    "qel Image Tool shows one picture in a small window that stays on top of the
others, with every command in its popup menu: step through a folder, resize
with seven filters, rotate, crop, add borders and effects, capture the screen
under the window, copy and paste, and save into eight formats without ever
damaging the file replaced.

qel-convert does the same on the command line, a folder at a time on all
processor cores. Both read some sixty file extensions, among them JPEG, PNG,
GIF, TIFF, WebP, AVIF, HEIF, JPEG XL, JPEG 2000, SVG and camera raw files.")
# zsh on Debian reads the completions of packages from its vendor folder.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/debian_zsh_folder.cmake)
include(CPack)
