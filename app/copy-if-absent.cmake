# cmake -DSRC=from -DDST=to -P copy-if-absent.cmake: copies SRC to DST unless DST exists.
if(NOT EXISTS "${DST}")
  file(COPY_FILE "${SRC}" "${DST}")
endif()
