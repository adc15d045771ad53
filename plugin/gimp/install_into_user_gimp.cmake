# Installs the GIMP plug-in into the user's GIMP folder, found as GIMP 2.10
# finds it: $GIMP2_DIRECTORY (relative to the home folder unless absolute),
# else GIMP/2.10 in the configuration folder.
if(NOT "$ENV{GIMP2_DIRECTORY}" STREQUAL "")
  set(gimp_folder "$ENV{GIMP2_DIRECTORY}")
  if(NOT IS_ABSOLUTE "${gimp_folder}")
    set(gimp_folder "$ENV{HOME}/${gimp_folder}")
  endif()
elseif(NOT "$ENV{XDG_CONFIG_HOME}" STREQUAL "")
  set(gimp_folder "$ENV{XDG_CONFIG_HOME}/GIMP/2.10")
else()
  set(gimp_folder "$ENV{HOME}/.config/GIMP/2.10")
endif()
set(plugin_folder "${gimp_folder}/plug-ins/pictomarker")

file(INSTALL DESTINATION "${plugin_folder}" TYPE EXECUTABLE FILES "${PMK_GIMP_PROGRAM}")
file(INSTALL DESTINATION "${plugin_folder}" TYPE SHARED_LIBRARY FILES "${PMK_PLUGIN_LIBRARY}")
file(INSTALL DESTINATION "${plugin_folder}" TYPE FILE FILES "${PMK_LANGUAGE_FILE}")
# The plug-in starts PMKCmd from pmk_cmd beside itself for batch jobs.
file(INSTALL DESTINATION "${plugin_folder}/pmk_cmd" TYPE EXECUTABLE FILES "${PMK_CMD_PROGRAM}")
