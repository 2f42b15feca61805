# The program's own sources, by layer: each uses only the ones listed below
# it (the INF reader, appended last, sits below devices/ as well).
set(DRAVOLIN_CORE_SOURCES
  app/driver_folders.cpp
  app/run_sequence.cpp
  app/target_installation.cpp
  devices/acpi_scan.cpp
  devices/catalog_copy.cpp
  devices/class_key_inf_copy.cpp
  devices/device_classes.cpp
  devices/device_folder.cpp
  devices/device_tree_walk.cpp
  devices/driver_file_copy.cpp
  devices/file_names.cpp
  devices/inf_search.cpp
  devices/pci_scan.cpp
  devices/service_binary_copy.cpp
  registry/registry_key.cpp
  common/console_output.cpp
  common/folders.cpp
  common/globals.cpp
  common/run_log.cpp
  common/system_error.cpp
  common/system_info.cpp
  common/text_format.cpp
)
# The INF reader and model matcher.
if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/inf_sources.cmake)
  include(${CMAKE_CURRENT_LIST_DIR}/inf_sources.cmake)
  list(APPEND DRAVOLIN_CORE_SOURCES ${DRAVOLIN_INF_SOURCES})
endif()
