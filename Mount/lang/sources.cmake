# Platform-neutral part of localization: the language file scanner, the
# UTF-8 decoder and the process-wide dictionary.
target_sources(vg_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/language_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/utf8_decode.cpp
  ${CMAKE_CURRENT_LIST_DIR}/xml_scan.cpp)
