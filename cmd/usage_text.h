// The usage text of PMKCmd, byte for byte as callers and users know it.
#pragma once

#include <string_view>

namespace pmk::cmd {

inline constexpr std::string_view kUsageText =
    "\nPictomarker v4.26\n"
    "SYNTAX: Pictomarker [arguments]\n\n"
    "Arguments (the order of the arguments does not matter):\n"
    " -i <input_image_filename>   (REQUIRED)\n"
    " -o <output_image_filename>   (REQUIRED when signing the image)\n"
    " -s <sign>   (REQUIRED when signing the image)\n"
    " -v verbose mode (OPTIONAL - default off) - program will print messages to stderr\n"
    " -c <compression_in_percents> (OPTIONAL - default 95) - compression for output JPG files\n"
    " -cores <number of cores> (OPTIONAL - default 1) - number of cores that will be used by PMK\n"
    " -l <logfile> (OPTIONAL - default is stdout\n"
    "\nEXAMPLES:\n"
    "Sign image: Pictomarker -s my_sign -o output_img.jpg -i input_img.jpg\n"
    "Verify image: Pictomarker -i input_img.jpg\n";

}  // namespace pmk::cmd
