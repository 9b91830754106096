# Windows: the programs and the README in one folder (a statically linked
# build needs no DLL beside them).
set(luma_programs luma10ctl)
if(LUMA_GUI)
  list(APPEND luma_programs luma10)
endif()
install(TARGETS ${luma_programs} RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
