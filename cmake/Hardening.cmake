# SPDX-License-Identifier: GPL-3.0-or-later
# The hardening flags Debian builds with (stack protector, fortify, relro and
# immediate binding), taken from dpkg-buildflags; the optimisation and debug
# flags stay the build type's.
if(TAVRILO_HARDENING)
  find_program(DPKG_BUILDFLAGS dpkg-buildflags)
  if(DPKG_BUILDFLAGS)
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
      execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                ${DPKG_BUILDFLAGS} --get ${kind}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
        COMMAND_ERROR_IS_FATAL ANY)
      separate_arguments(flags UNIX_COMMAND "${flags}")
      foreach(flag IN LISTS flags)
        if(flag MATCHES "^-(g|O)|^-f(file|debug|macro)-prefix-map=")
          continue()
        elseif(kind STREQUAL "LDFLAGS")
          add_link_options(${flag})
        elseif(flag MATCHES "^-D_FORTIFY_SOURCE")
          # glibc warns about fortify without optimisation.
          add_compile_options($<$<NOT:$<CONFIG:Debug>>:${flag}>)
        else()
          add_compile_options(${flag})
        endif()
      endforeach()
    endforeach()
  else()
    message(STATUS "No dpkg-buildflags: building without its hardening flags")
  endif()
endif()

# Reproducible: no build or source folder in what the compiler writes.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=
                    -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
