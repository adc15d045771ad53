# CPack's pre-build script for the Debian package: the package's dependencies,
# read by dpkg-shlibdeps from the ELF files staged for it.
#
# CPack's own reading (CPACK_DEBIAN_PACKAGE_SHLIBDEPS) would also make the
# maintainer scripts call ldconfig, because it takes any shared object under
# /usr/lib for a system library, the plug-in in its private folder
# /usr/lib/pictomarker included. Nothing of ours is in the dynamic linker's
# path, and Debian's checker rightly objects to the needless calls.
set(staging "${CPACK_TEMPORARY_DIRECTORY}")
file(GLOB_RECURSE staged LIST_DIRECTORIES false RELATIVE "${staging}" "${staging}/*")
set(elf_files)
foreach(file IN LISTS staged)
  if(NOT IS_SYMLINK "${staging}/${file}")
    file(READ "${staging}/${file}" magic LIMIT 4 HEX)
    if(magic STREQUAL "7f454c46")
      list(APPEND elf_files "${file}")
    endif()
  endif()
endforeach()
if(NOT elf_files)
  message(FATAL_ERROR "deb_depends: no programs staged in ${staging}")
endif()

# dpkg-shlibdeps wants to run inside a source package.
file(MAKE_DIRECTORY "${staging}/debian")
file(WRITE "${staging}/debian/control" "")
execute_process(COMMAND dpkg-shlibdeps --ignore-missing-info -O ${elf_files}
                WORKING_DIRECTORY "${staging}"
                OUTPUT_VARIABLE shlibdeps ERROR_VARIABLE errors RESULT_VARIABLE result)
file(REMOVE_RECURSE "${staging}/debian")
if(NOT result EQUAL 0 OR NOT shlibdeps MATCHES "shlibs:Depends=([^\n]+)")
  message(FATAL_ERROR "deb_depends: dpkg-shlibdeps failed: ${errors}")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CMAKE_MATCH_1}, ${CPACK_DEBIAN_PACKAGE_DEPENDS}")
