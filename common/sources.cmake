# The portable layer's sources, for every build that compiles them (the
# Linux editions here, the Windows cross-build from windows/).
set(QOR_COMMON_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/byte_source.cpp
  ${CMAKE_CURRENT_LIST_DIR}/line_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/smtp_reply.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pager_digits.cpp
  ${CMAKE_CURRENT_LIST_DIR}/le_record.cpp
)
set(QOR_COMMON_INCLUDE_DIR ${CMAKE_CURRENT_LIST_DIR})
