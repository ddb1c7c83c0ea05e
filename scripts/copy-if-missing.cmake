# cmake -DSOURCE=a -DTARGET=b -P copy-if-missing.cmake: copies a to b only when b does not exist.
if(NOT EXISTS "${TARGET}")
  file(READ "${SOURCE}" content)
  file(WRITE "${TARGET}" "${content}")
endif()
