// A committed photograph signed by this build's PMKCmd, as the plug-in's
// reader delivers it.
#pragma once

#include <string>

#include "image/plugin_image_files.h"
#include "support/pmk_cmd_program.h"
#include "support/run_process.h"
#include "support/temp_folder.h"

namespace pmk::testing {

inline ImageRecord SignedPicture(const std::string& photograph, const std::string& signature) {
  TempFolder folder;
  RunProcess(kPmkCmdProgram,
             {"-s", signature, "-i", TestData(photograph).string(), "-o",
              (folder / "signed.png").string()},
             folder.path());
  ImageRecord picture;
  LoadPluginImage(folder / "signed.png", picture);
  return picture;
}

}  // namespace pmk::testing
