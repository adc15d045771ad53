#include "platform/utf8_path.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/folder_search.h"
#include "support/temp_folder.h"

namespace pmk::platform {
namespace {

constexpr const char* kName = "Ørsted – 北京.jpg";

TEST(Utf8PathTest, AUnicodeNameSurvivesPathsFilesAndFolderWalks) {
  const std::filesystem::path name = PathFromUtf8(kName);
  EXPECT_EQ(Utf8FromPath(name), kName);
  EXPECT_EQ(Utf8FromPath(name.stem()), "Ørsted – 北京");
  EXPECT_EQ(name.extension(), ".jpg");

  pmk::testing::TempFolder folder;
  const std::filesystem::path file = folder / name;
  {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(OpenFile(file, "wb"), &std::fclose);
    ASSERT_NE(out, nullptr);
    ASSERT_GE(std::fputs("pixels", out.get()), 0);
  }
  EXPECT_TRUE(std::filesystem::exists(file));
  const auto entries = ListFolder(folder.path());
  ASSERT_TRUE(entries.has_value());
  ASSERT_EQ(entries->size(), 1u);
  EXPECT_EQ(entries->front().name, kName);
  EXPECT_EQ(OpenFile(folder / "missing.jpg", "rb"), nullptr);
}

TEST(Utf8PathTest, Utf16LengthCountsSurrogatePairsAndMalformedBytes) {
  const struct {
    std::string_view text;
    std::size_t units;
  } cases[] = {
      {"", 0},
      {"abc", 3},
      {"Ørsted – 北京.jpg", 15},
      {"\xF0\x9F\x93\xB7", 2},  // U+1F4F7, beyond the 16-bit plane
      {"\xFF", 1},
      {"\xE5\x8C", 2},  // a sequence cut short: each byte stands alone
      {"\xC3(", 2},     // a lead byte without its continuation
  };
  for (const auto& c : cases) EXPECT_EQ(Utf16Length(c.text), c.units) << c.text;
#ifdef _WIN32
  EXPECT_EQ(NativeNameLength(kName), 15u);
#else
  EXPECT_EQ(NativeNameLength(kName), std::string_view(kName).size());
#endif
}

}  // namespace
}  // namespace pmk::platform
