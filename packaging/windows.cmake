# Windows: the programs, the README and the icon in one folder (a statically
# linked build needs no DLL beside them), packed by CPack as an NSIS installer
# with a Start-menu entry and as a .zip:
#   cmake --build build-win64 && (cd build-win64 && cpack -G "NSIS;ZIP")
set(luma_programs luma10ctl)
set(luma_menu luma10ctl "LUMA-10 luma10ctl")
if(LUMA_GUI)
  list(APPEND luma_programs luma10)
  set(luma_menu luma10 "LUMA-10" ${luma_menu})
endif()
install(TARGETS ${luma_programs} RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)

# The icon: the program's SVG rendered at the sizes Windows asks for
# (rsvg-convert) and packed into one .ico by ImageMagick; both run on the
# build machine.
find_program(LUMA_RSVG_CONVERT rsvg-convert)
find_program(LUMA_IM_CONVERT NAMES convert-im6.q16 convert)
if(NOT LUMA_RSVG_CONVERT OR NOT LUMA_IM_CONVERT)
  message(FATAL_ERROR "rsvg-convert and ImageMagick's convert make the Windows icon "
                      "(scripts/setup.sh installs librsvg2-bin and imagemagick)")
endif()
set(icon_svg ${CMAKE_CURRENT_SOURCE_DIR}/luma10.svg)
set(icon_ico ${CMAKE_CURRENT_BINARY_DIR}/luma10.ico)
set(icon_pngs)
set(icon_commands)
foreach(size 16 24 32 48 64 256)
  set(png ${CMAKE_CURRENT_BINARY_DIR}/icon-${size}.png)
  list(APPEND icon_pngs ${png})
  list(APPEND icon_commands COMMAND ${LUMA_RSVG_CONVERT} --width=${size} --height=${size} --format=png
       --output=${png} ${icon_svg})
endforeach()
add_custom_command(OUTPUT ${icon_ico}
  ${icon_commands}
  COMMAND ${LUMA_IM_CONVERT} ${icon_pngs} ${icon_ico}
  DEPENDS ${icon_svg}
  COMMENT "Making the Windows icon luma10.ico")
add_custom_target(luma10_ico ALL DEPENDS ${icon_ico})
install(FILES ${icon_ico} DESTINATION .)

set(CPACK_PACKAGE_NAME luma10)
set(CPACK_PACKAGE_VENDOR "LUMA-10")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configurator of LUMA-10 gas detectors over Modbus RTU")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "LUMA-10")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(luma_arch win64)
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
  # A 64-bit installer: it runs where the programs run, Wine's 64-bit
  # loader included.
  set(CPACK_NSIS_DEFINES "Unicode true\n  Target amd64-unicode")
else()
  set(luma_arch win32)
  set(CPACK_NSIS_DEFINES "Unicode true")
endif()
set(CPACK_PACKAGE_FILE_NAME luma10-${PROJECT_VERSION}-${luma_arch})
set(CPACK_GENERATOR "NSIS;ZIP")
set(CPACK_PACKAGE_EXECUTABLES ${luma_menu})
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_MUI_ICON ${icon_ico})
set(CPACK_NSIS_MUI_UNIICON ${icon_ico})
set(CPACK_NSIS_INSTALLED_ICON_NAME luma10.ico)
set(CPACK_NSIS_DISPLAY_NAME "LUMA-10")
set(CPACK_NSIS_PACKAGE_NAME "LUMA-10 ${PROJECT_VERSION}")
set(CPACK_STRIP_FILES ON)
include(CPack)
