// Camera files for the metadata tests, made from the committed pictures with
// ImageMagick and exiftool, and the damaged variants the tests build on them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/temp_folder.h"

namespace pmk::testing {

// What a shell command printed on standard output; empty when it failed.
inline std::string ShellOutput(const std::string& line) {
  std::string out;
  if (FILE* pipe = ::popen(line.c_str(), "r")) {
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    if (::pclose(pipe) != 0) out.clear();
  }
  return out;
}

inline std::string Quoted(const std::filesystem::path& file) {
  return "'" + file.string() + "'";
}

// The matrix's sources in `folder`:
//   camera.jpg  EXIF with GPS and DateTimeOriginal, Adobe RGB profile
//   camera.png  the same EXIF (eXIf chunk) and profile (iCCP)
//   camera.tif  8-bit LZW TIFF with the EXIF directory and the profile, as raw
//               converters write them
//   deep.tif    16-bit TIFF with the profile only
//   plain.bmp   no metadata at all
// and profile.icc, the profile itself.
inline void MakeCameraSources(const std::filesystem::path& folder) {
  const std::string jpeg = Quoted(TestData("kodim13_exif_icc.jpg"));
  const std::string png = Quoted(TestData("kodim13.png"));
  const std::string set = "exiftool -q -q -overwrite_original ";
  const std::string line =
      "cd " + Quoted(folder) + " && cp " + jpeg + " camera.jpg && " + set +
      "-GPSLatitude=47.5 -GPSLatitudeRef=N -GPSLongitude=8.25 -GPSLongitudeRef=E "
      "'-DateTimeOriginal=2024:05:06 07:08:09' camera.jpg && "
      "exiftool -b -ICC_Profile camera.jpg > profile.icc && convert " +
      png + " camera.png && " + set +
      "-tagsfromfile camera.jpg -exif:all '-icc_profile<=profile.icc' camera.png && " +
      "convert camera.jpg -compress lzw camera.tif && " + set +
      "-tagsfromfile camera.jpg -exif:all camera.tif && convert " + png +
      " -depth 16 -compress zip deep.tif && " + set + "'-icc_profile<=profile.icc' deep.tif && " +
      "convert " + png + " BMP3:plain.bmp && echo made";
  ASSERT_EQ(ShellOutput(line), "made\n") << "ImageMagick and exiftool are needed";
}

// small_camera.tif in `folder`: camera.tif's kind of file (LZW, EXIF
// directory, profile) at 384 x 256, for runs under valgrind.
inline void MakeSmallCameraTiff(const std::filesystem::path& folder) {
  const std::string jpeg = Quoted(TestData("kodim13_exif_icc.jpg"));
  ASSERT_EQ(ShellOutput("cd " + Quoted(folder) + " && convert " + jpeg +
                        " -resize 384x256 -compress lzw small_camera.tif && exiftool -q -q "
                        "-overwrite_original -tagsfromfile " +
                        jpeg + " -exif:all small_camera.tif && echo made"),
            "made\n");
}

// A big-endian EXIF block whose first directory names a Make string far past
// the block's end, and whose EXIF directory and next directory both lead back
// to the first directory: a loop.
inline std::string MalformedExif() {
  const unsigned char block[] = {
      'M',  'M',  0, 42, 0, 0, 0, 8,                           // header, first directory at 8
      0,    2,                                                 // two entries
      0x01, 0x0F, 0, 2,  0, 0, 0, 40, 0xFF, 0xFF, 0xFF, 0x00,  // Make, past the end
      0x87, 0x69, 0, 4,  0, 0, 0, 1,  0,    0,    0,    8,     // EXIF directory: itself
      0,    0,    0, 8};                                       // next directory: itself again
  return std::string(reinterpret_cast<const char*>(block), sizeof block);
}

// Puts an APP1 EXIF segment holding `exif` right after a JPEG's start marker.
inline void InsertJpegExif(const std::filesystem::path& jpeg, const std::string& exif) {
  std::string bytes = ReadBytes(jpeg);
  const std::string payload = std::string("Exif\0\0", 6) + exif;
  const std::size_t length = payload.size() + 2;
  const std::string segment = std::string{'\xFF', '\xE1', static_cast<char>(length >> 8),
                                          static_cast<char>(length & 0xFF)} +
                              payload;
  WriteBytes(jpeg, bytes.insert(2, segment));
}

// Sets the value of entry `tag` in the first directory of a little-endian TIFF.
inline void PatchTiffEntry(const std::filesystem::path& tiff, std::uint16_t tag,
                           std::uint32_t value) {
  std::string bytes = ReadBytes(tiff);
  ASSERT_EQ(bytes.compare(0, 2, "II"), 0);
  const auto u16 = [&](std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8);
  };
  const std::size_t directory = u16(4) | static_cast<std::size_t>(u16(6)) << 16;
  for (std::size_t i = 0; i < u16(directory); ++i) {
    const std::size_t entry = directory + 2 + 12 * i;
    if (u16(entry) != tag) continue;
    for (int b = 0; b < 4; ++b) bytes[entry + 8 + b] = static_cast<char>(value >> (8 * b));
    WriteBytes(tiff, bytes);
    return;
  }
  FAIL() << "no entry " << tag << " in " << tiff;
}

// The offset of a little-endian TIFF's first directory.
inline std::uint32_t FirstDirectory(const std::filesystem::path& tiff) {
  const std::string bytes = ReadBytes(tiff);
  std::uint32_t offset = 0;
  for (int b = 3; b >= 0; --b) offset = offset << 8 | static_cast<unsigned char>(bytes[4 + b]);
  return offset;
}

// The damaged sources, made in `folder` after MakeCameraSources:
//   exif_loop.jpg      MalformedExif() in a JPEG
//   exif_loop.tif      camera.tif whose EXIF directory is its first directory
//                      (a loop) and whose GPS directory lies past the end
//   exif_cut.jpg       a JPEG whose EXIF block breaks off after 40 bytes
//   lying_profile.jpg  camera.jpg whose profile claims 1000 bytes more
inline void MakeDamagedSources(const std::filesystem::path& folder) {
  ASSERT_EQ(ShellOutput("cd " + Quoted(folder) + " && convert " + Quoted(TestData("kodim13.png")) +
                        " -quality 92 exif_loop.jpg && cp exif_loop.jpg exif_cut.jpg && "
                        "cp camera.tif exif_loop.tif && echo made"),
            "made\n");
  InsertJpegExif(folder / "exif_loop.jpg", MalformedExif());
  const std::string exif = ShellOutput("exiftool -b -EXIF " + Quoted(folder / "camera.jpg"));
  ASSERT_GT(exif.size(), 40u);
  InsertJpegExif(folder / "exif_cut.jpg", exif.substr(0, 40));
  PatchTiffEntry(folder / "exif_loop.tif", 34665, FirstDirectory(folder / "exif_loop.tif"));
  PatchTiffEntry(folder / "exif_loop.tif", 34853, 0xFFFFFF00u);

  std::string profile = ReadBytes(folder / "profile.icc");
  const std::uint32_t lie = static_cast<std::uint32_t>(profile.size()) + 1000;
  for (int b = 0; b < 4; ++b) profile[b] = static_cast<char>(lie >> (8 * (3 - b)));
  WriteBytes(folder / "lying.icc", profile);
  ASSERT_EQ(ShellOutput("cd " + Quoted(folder) +
                        " && cp camera.jpg lying_profile.jpg && exiftool -q -q "
                        "-overwrite_original '-icc_profile<=lying.icc' lying_profile.jpg && "
                        "echo made"),
            "made\n");
}

// An XMP packet as photo managers write it, with a property given twice (as
// an attribute and as an element), which Exiv2's toolkit refuses to parse.
inline constexpr const char* kDuplicatedXmp =
    "<?xpacket begin='\xEF\xBB\xBF' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
    "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
    "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>\n"
    "<rdf:Description rdf:about='' xmlns:dc='http://purl.org/dc/elements/1.1/' "
    "xmlns:xmp='http://ns.adobe.com/xap/1.0/' xmp:Rating='4' xmp:Label='Red'>\n"
    "<dc:creator><rdf:Seq><rdf:li>Ada Lovelace</rdf:li></rdf:Seq></dc:creator>\n"
    "<dc:rights><rdf:Alt><rdf:li xml:lang='x-default'>(c) Ada Lovelace</rdf:li></rdf:Alt>"
    "</dc:rights>\n<xmp:Rating>4</xmp:Rating>\n"
    "</rdf:Description></rdf:RDF></x:xmpmeta>\n<?xpacket end='w'?>";

// A big-endian EXIF block of a Minolta camera whose maker note places its
// preview (offset 0x1000, 256 bytes) after the EXIF block, as those cameras
// do in their JPEGs: Make, the EXIF directory with the maker note, and the
// maker note's version, preview offset and length, and colour mode.
inline std::string MinoltaExif() {
  const unsigned char block[] = {
      'M', 'M', 0, 42, 0, 0, 0, 8,                            // header
      0, 2, 0x01, 0x0F, 0, 2, 0, 0, 0, 8, 0, 0, 0, 38,        // Make at 38
      0x87, 0x69, 0, 4, 0, 0, 0, 1, 0, 0, 0, 46, 0, 0, 0, 0,  // EXIF
                                                              // directory
      'M', 'i', 'n', 'o', 'l', 't', 'a', 0,                   // Make
      0, 1, 0x92, 0x7C, 0, 7, 0, 0, 0, 54, 0, 0, 0, 64, 0, 0, 0,
      0,                                                       // maker note at 64
      0, 4, 0x00, 0x00, 0, 7, 0, 0, 0, 4, 'M', 'L', 'T', '0',  // version
      0x00, 0x88, 0, 4, 0, 0, 0, 1, 0, 0, 0x10, 0x00,          // preview offset
      0x00, 0x89, 0, 4, 0, 0, 0, 1, 0, 0, 0x01, 0x00,          // preview length
      0x01, 0x01, 0, 4, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 0};   // colour mode
  return std::string(reinterpret_cast<const char*>(block), sizeof block);
}

// The sources of what Exiv2 alone would not carry, made in `folder` after
// MakeCameraSources:
//   dup_xmp.jpg    camera.jpg with kDuplicatedXmp
//   photoshop.jpg  camera.jpg with a Photoshop block of several resources
//                  (IPTC, its digest, copyright flag, URL, thumbnail) and a
//                  comment
//   colour.tif     camera.tif with colorimetry, 300 dpi, page 1 of 3, IPTC,
//                  Photoshop resources and kDuplicatedXmp
//   colour.png     camera.png (gAMA, cHRM, bKGD from ImageMagick) with text
//                  chunks and kDuplicatedXmp
//   srgb_grey.png  a grey PNG with gAMA, sRGB and a grey bKGD, no profile
//   minolta.jpg    a JPEG holding MinoltaExif()
inline void MakeCarrySources(const std::filesystem::path& folder) {
  WriteBytes(folder / "dup.xmp", kDuplicatedXmp);
  const std::string set = "exiftool -q -q -overwrite_original ";
  const std::string line =
      "cd " + Quoted(folder) + " && cp camera.jpg dup_xmp.jpg && cp camera.jpg photoshop.jpg && " +
      "cp camera.tif colour.tif && cp camera.png colour.png && " + set +
      "'-xmp<=dup.xmp' dup_xmp.jpg && convert camera.jpg -resize 160x thumb.jpg && " + set +
      "-IPTC:Keywords=alpine -IPTC:By-line=Ada -Photoshop:IPTCDigest=new "
      "-Photoshop:CopyrightFlag=True -Photoshop:URL=https://example.org "
      "'-PhotoshopThumbnail<=thumb.jpg' '-Comment=Ada was here' photoshop.jpg && " +
      set +
      "'-WhitePoint=0.3127 0.329' '-PrimaryChromaticities=0.64 0.33 0.3 0.6 0.15 0.06' "
      "-XResolution=300 -YResolution=300 -ResolutionUnit=inches '-PageNumber=1 3' "
      "-IPTC:Keywords=alpine -Photoshop:CopyrightFlag=True -Photoshop:URL=https://example.org "
      "'-xmp<=dup.xmp' colour.tif && " +
      set + "-PNG:Title=Stream -PNG:Author=Ada '-xmp<=dup.xmp' colour.png && convert " +
      Quoted(TestData("cliff_grey.png")) +
      " -strip -background '#808080' -define png:include-chunk=bKGD,gAMA srgb_grey.png && " + set +
      "-SRGBRendering=Perceptual srgb_grey.png && convert camera.jpg -strip minolta.jpg && " +
      "echo made";
  ASSERT_EQ(ShellOutput(line), "made\n");
  InsertJpegExif(folder / "minolta.jpg", MinoltaExif());
}

}  // namespace pmk::testing
