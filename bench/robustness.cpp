// How well a signature survives what happens to pictures: signs every
// photograph of a folder with a fixed seed, measures how much the signing
// changed it, then attacks the signed picture (JPEG, rescaling, both) and
// searches it the way PMKCmd does (DetectSignature on two cores). Unsigned
// originals are searched too, to count false positives.
//
//   robustness [FOLDER] [--out FILE] [--cores N] [--robust]
//
// FOLDER defaults to the committed test photographs. The report is Markdown,
// printed and, with --out, written to FILE. --robust signs a second time with
// larger regions (PMKCmd -robust) and sets both modes side by side;
// --robust-only signs with larger regions alone.
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_pictures.h"
#include "engine/engine.h"

namespace pmk::bench {
namespace {

constexpr char kSignature[] = "robust-26";
constexpr std::uint32_t kSeed = 20260611;

using AttackFunction = std::function<bool(const ImageRecord&, ImageRecord&)>;

struct Attack {
  std::string name;
  AttackFunction apply;
  bool on_original = false;  // the unsigned picture: a find is a false positive
};

AttackFunction Jpeg(int quality) {
  return [quality](const ImageRecord& in, ImageRecord& out) {
    return JpegRoundTrip(in, quality, out);
  };
}

AttackFunction Resize(int percent, FREE_IMAGE_FILTER filter) {
  return [percent, filter](const ImageRecord& in, ImageRecord& out) {
    const auto width = static_cast<std::int32_t>(std::lround(in.width() * percent / 100.0));
    const auto height = static_cast<std::int32_t>(std::lround(in.height() * percent / 100.0));
    return Rescale(in, width, height, filter, out);
  };
}

std::vector<Attack> Attacks() {
  std::vector<Attack> attacks;
  attacks.push_back({"none (signed file as written)",
                     [](const ImageRecord& in, ImageRecord& out) { return CopyPicture(out, in); }});
  for (const int q : {95, 90, 80, 70, 60, 50}) {
    attacks.push_back({"JPEG quality " + std::to_string(q), Jpeg(q)});
  }
  for (const int percent : {110, 90, 75, 67, 50, 150}) {
    attacks.push_back(
        {"resize " + std::to_string(percent) + " % bicubic", Resize(percent, FILTER_BICUBIC)});
    attacks.push_back(
        {"resize " + std::to_string(percent) + " % Lanczos", Resize(percent, FILTER_LANCZOS3)});
  }
  attacks.push_back(
      {"JPEG 80, then resize 67 % bicubic", [](const ImageRecord& in, ImageRecord& out) {
         ImageRecord compressed;
         return JpegRoundTrip(in, 80, compressed) && Resize(67, FILTER_BICUBIC)(compressed, out);
       }});
  attacks.push_back({"unsigned original (false positives)",
                     [](const ImageRecord& in, ImageRecord& out) { return CopyPicture(out, in); },
                     true});
  return attacks;
}

struct Verdict {
  bool found = false;
  std::string signature;
  double scale = 0.0;  // the first scale of the series that reads it back
};

// The search as PMKCmd runs it; when it finds something, the scales are
// tried again one by one (1.0 first, as the sequential search does) to tell
// at which the signature reads back.
Verdict Detect(const ImageRecord& picture, const EngineControl& control) {
  Verdict verdict;
  OutputText text;
  if (DetectSignature(picture, text, control) != ResultCode::kOk) return verdict;
  verdict.found = true;
  verdict.signature = text.Signature();
  for (std::int32_t i = 0; i < kDetectionScaleCount; ++i) {
    const double scale = SequentialScale(DetectionMode::kDetection, i);
    OutputText again;
    if (DetectAtScale(picture, again, scale, control) == ResultCode::kOk) {
      verdict.scale = scale;
      break;
    }
  }
  return verdict;
}

struct Row {
  int tried = 0;
  int correct = 0;
  std::vector<std::string> failures;  // picture names, with why
  std::map<std::string, int> scales;  // "1.00" -> how often
};

std::string Fixed(double value, int decimals) {
  if (std::isinf(value)) return "identical";
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Join(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : ", ") + item;
  return out.empty() ? "–" : out;
}

// What one signing mode gave on the whole folder.
struct ModeResult {
  std::string label;
  std::string pictures;  // the Markdown rows of "What signing changes"
  std::vector<Row> rows;
};

ModeResult RunMode(const std::string& label, bool larger_regions, const EngineControl& control,
                   const std::vector<std::filesystem::path>& files,
                   const std::vector<Attack>& attacks, std::vector<std::string>& skipped) {
  ModeResult result{label, "", std::vector<Row>(attacks.size())};
  const PayloadText payload = FormatPayload(kSignature);
  std::ostringstream pictures;
  for (const auto& file : files) {
    const std::string name = file.filename().string();
    ImageRecord original;
    if (!LoadColour(file, original)) {
      skipped.push_back(name + " (not readable as 8-bit colour)");
      continue;
    }
    ImageRecord signed_picture;
    CopyPicture(signed_picture, original);
    EmbedOptions options;
    options.use_fixed_seed = true;
    options.fixed_seed = kSeed;
    options.larger_regions = larger_regions;
    EmbedReport report;
    const ResultCode signed_result =
        EmbedSignature(signed_picture, payload, control, options, &report);
    if (signed_result != ResultCode::kOk) {
      skipped.push_back(name + " (" + label + " signing refused, code " +
                        std::to_string(CodeByte(signed_result)) + ")");
      continue;
    }
    std::fprintf(stderr, "%s (%s): signed in %d region(s)\n", name.c_str(), label.c_str(),
                 report.regions);
    pictures << "| " << name << " | " << original.width() << "×" << original.height() << " | "
             << report.regions << " | " << Fixed(Psnr(original, signed_picture, -1), 2) << " | "
             << Fixed(Psnr(original, signed_picture, 0), 2) << " | "
             << LargestChange(original, signed_picture) << " |\n";

    for (std::size_t a = 0; a < attacks.size(); ++a) {
      const Attack& attack = attacks[a];
      Row& row = result.rows[a];
      ImageRecord attacked;
      if (!attack.apply(attack.on_original ? original : signed_picture, attacked)) {
        row.failures.push_back(name + " (attack failed)");
        continue;
      }
      const Verdict verdict = Detect(attacked, control);
      ++row.tried;
      if (attack.on_original) {
        // Here "correct" counts the pictures rightly left unreported.
        if (!verdict.found) {
          ++row.correct;
        } else {
          row.failures.push_back(name + " (reported \"" + verdict.signature + "\")");
        }
        continue;
      }
      if (verdict.found && verdict.signature == kSignature) {
        ++row.correct;
        ++row.scales[Fixed(verdict.scale, 2)];
      } else if (verdict.found) {
        row.failures.push_back(name + " (read \"" + verdict.signature + "\")");
      } else {
        row.failures.push_back(name);
      }
      std::fprintf(stderr, "  %-40s %s\n", attack.name.c_str(),
                   verdict.found ? ("found at " + Fixed(verdict.scale, 2)).c_str() : "not found");
    }
  }
  result.pictures = pictures.str();
  return result;
}

std::string Rate(const Row& row, bool false_positive_row) {
  return false_positive_row
             ? std::to_string(row.tried - row.correct) + " false of " + std::to_string(row.tried)
             : std::to_string(row.correct) + "/" + std::to_string(row.tried);
}

std::string Scales(const Row& row, bool false_positive_row) {
  if (false_positive_row) return "–";
  std::vector<std::string> scales;
  for (const auto& [scale, count] : row.scales) {
    scales.push_back(scale + (count > 1 ? " (" + std::to_string(count) + ")" : ""));
  }
  return Join(scales);
}

constexpr char kPictureHeader[] =
    "| Picture | Size | Regions | PSNR (dB) | PSNR blue (dB) | Largest change |\n"
    "|---|---|---|---|---|---|\n";

}  // namespace
}  // namespace pmk::bench

int main(int argc, char** argv) {
  using namespace pmk;
  using namespace pmk::bench;
  std::string out_file;
  int cores = 2;
  bool robust = false;
  bool robust_only = false;
  std::filesystem::path folder = TestDataFolder();
  std::string folder_label = "tests/data";
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--out" && i + 1 < argc) {
      out_file = argv[++i];
    } else if (argument == "--cores" && i + 1 < argc) {
      cores = std::atoi(argv[++i]);
    } else if (argument == "--robust") {
      robust = true;
    } else if (argument == "--robust-only") {
      robust_only = true;
    } else if (!argument.empty() && argument[0] != '-') {
      folder = argument;
      folder_label = argument;
    } else {
      std::fputs("usage: robustness [FOLDER] [--out FILE] [--cores N] [--robust | --robust-only]\n",
                 stderr);
      return 2;
    }
  }
  const EngineControl control{.threads = static_cast<std::uint8_t>(cores)};

  const std::vector<Attack> attacks = Attacks();
  const std::vector<std::filesystem::path> files = PicturesIn(folder);
  std::vector<std::string> skipped;
  std::vector<ModeResult> modes;
  if (!robust_only) {
    modes.push_back(RunMode("as specified", false, control, files, attacks, skipped));
  }
  if (robust || robust_only) {
    modes.push_back(RunMode("larger regions", true, control, files, attacks, skipped));
  }
  robust = robust && !robust_only;

  std::ostringstream report;
  report << "# Robustness report\n\n"
         << "Folder: `" << folder_label << "`; signature `" << kSignature << "`, fixed seed "
         << kSeed << "; detection with `DetectSignature` on " << cores
         << " cores. Resizing uses FreeImage_Rescale; JPEG is written as PMKCmd writes it "
         << "(FreeImage, 4:2:0) and read back.\n\n";
  if (robust) {
    report << "Two signing modes: as specified (smallest regions) and larger regions "
           << "(`PMKCmd -robust`); detection is the same for both.\n\n";
  }
  report << "## What signing changes\n\n";
  for (const ModeResult& mode : modes) {
    if (robust) report << "### " << mode.label << "\n\n";
    report << kPictureHeader << mode.pictures << "\n";
  }
  report << "## Detection after attacks\n\n";
  if (!robust) {
    report << "| Attack | Detection rate | Found at scale | Failures |\n|---|---|---|---|\n";
    for (std::size_t a = 0; a < attacks.size(); ++a) {
      const Row& row = modes[0].rows[a];
      const bool fp = attacks[a].on_original;
      report << "| " << attacks[a].name << " | " << Rate(row, fp) << " | " << Scales(row, fp)
             << " | " << Join(row.failures) << " |\n";
    }
  } else {
    report << "| Attack | Rate: " << modes[0].label << " | Rate: " << modes[1].label
           << " | Scales: " << modes[0].label << " | Scales: " << modes[1].label
           << " | Failures: " << modes[0].label << " | Failures: " << modes[1].label
           << " |\n|---|---|---|---|---|---|---|\n";
    for (std::size_t a = 0; a < attacks.size(); ++a) {
      const Row& plain = modes[0].rows[a];
      const Row& larger = modes[1].rows[a];
      const bool fp = attacks[a].on_original;
      report << "| " << attacks[a].name << " | " << Rate(plain, fp) << " | " << Rate(larger, fp)
             << " | " << Scales(plain, fp) << " | " << Scales(larger, fp) << " | "
             << Join(plain.failures) << " | " << Join(larger.failures) << " |\n";
    }
  }
  if (!skipped.empty()) report << "\nNot used: " << Join(skipped) << ".\n";

  std::cout << report.str();
  if (!out_file.empty()) {
    std::ofstream out(out_file);
    out << report.str();
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", out_file.c_str());
      return 1;
    }
  }
  return 0;
}
