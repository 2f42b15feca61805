# The program's own sources, by subsystem.
set(DRAVOLIN_CORE_SOURCES
  app/console_output.cpp
  app/driver_folders.cpp
  app/file_names.cpp
  app/globals.cpp
  app/run_log.cpp
  app/run_sequence.cpp
  app/system_error.cpp
  app/system_info.cpp
  app/text_format.cpp
  app/target_installation.cpp
  registry/registry_key.cpp
  devices/acpi_scan.cpp
  devices/catalog_copy.cpp
  devices/class_key_inf_copy.cpp
  devices/device_classes.cpp
  devices/device_tree_walk.cpp
  devices/driver_file_copy.cpp
  devices/inf_search.cpp
  devices/pci_scan.cpp
  devices/service_binary_copy.cpp
)
# The INF reader and model matcher.
if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/inf_sources.cmake)
  include(${CMAKE_CURRENT_LIST_DIR}/inf_sources.cmake)
  list(APPEND DRAVOLIN_CORE_SOURCES ${DRAVOLIN_INF_SOURCES})
endif()
