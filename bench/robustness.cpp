// How well a signature survives what happens to pictures: signs every
// photograph of a folder with a fixed seed, measures how much the signing
// changed it, then attacks the signed picture (JPEG, rescaling, both) and
// searches it the way PMKCmd does (DetectSignature on two cores). Unsigned
// originals are searched too, to count false positives.
//
//   robustness [FOLDER] [--out FILE] [--cores N]
//
// FOLDER defaults to the committed test photographs. The report is Markdown,
// printed and, with --out, written to FILE.
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
Verdict Detect(const ImageRecord& picture) {
  Verdict verdict;
  OutputText text;
  if (DetectSignature(picture, text) != kResultOk) return verdict;
  verdict.found = true;
  verdict.signature = text.Signature();
  for (std::int32_t i = 0; i < kDetectionScaleCount; ++i) {
    const double scale = SequentialScale(kDetectionMode, i);
    OutputText again;
    FoundSlot.store(-1);
    if (DetectAtScale(picture, again, scale, nullptr) == kResultOk) {
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

}  // namespace
}  // namespace pmk::bench

int main(int argc, char** argv) {
  using namespace pmk;
  using namespace pmk::bench;
  std::string out_file;
  int cores = 2;
  std::filesystem::path folder = TestDataFolder();
  std::string folder_label = "tests/data";
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--out" && i + 1 < argc) {
      out_file = argv[++i];
    } else if (argument == "--cores" && i + 1 < argc) {
      cores = std::atoi(argv[++i]);
    } else if (!argument.empty() && argument[0] != '-') {
      folder = argument;
      folder_label = argument;
    } else {
      std::fputs("usage: robustness [FOLDER] [--out FILE] [--cores N]\n", stderr);
      return 2;
    }
  }
  CoreCount.store(static_cast<std::uint8_t>(cores));

  const PayloadText payload = FormatPayload(kSignature);
  const std::vector<Attack> attacks = Attacks();
  std::vector<Row> rows(attacks.size());
  std::ostringstream pictures;
  pictures << "| Picture | Size | Regions | PSNR (dB) | PSNR blue (dB) | Largest change |\n"
           << "|---|---|---|---|---|---|\n";
  std::vector<std::string> skipped;

  for (const auto& file : PicturesIn(folder)) {
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
    EmbedReport report;
    const std::uint8_t signed_result =
        EmbedSignature(signed_picture, payload.c_str(), options, &report);
    if (signed_result != kResultOk) {
      skipped.push_back(name + " (signing refused, code " + std::to_string(signed_result) + ")");
      continue;
    }
    std::fprintf(stderr, "%s: signed in %d region(s)\n", name.c_str(), report.regions);
    pictures << "| " << name << " | " << original.width() << "×" << original.height() << " | "
             << report.regions << " | " << Fixed(Psnr(original, signed_picture, -1), 2) << " | "
             << Fixed(Psnr(original, signed_picture, 0), 2) << " | "
             << LargestChange(original, signed_picture) << " |\n";

    for (std::size_t a = 0; a < attacks.size(); ++a) {
      const Attack& attack = attacks[a];
      Row& row = rows[a];
      ImageRecord attacked;
      if (!attack.apply(attack.on_original ? original : signed_picture, attacked)) {
        row.failures.push_back(name + " (attack failed)");
        continue;
      }
      const Verdict verdict = Detect(attacked);
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

  std::ostringstream report;
  report << "# Robustness report\n\n"
         << "Folder: `" << folder_label << "`; signature `" << kSignature << "`, fixed seed "
         << kSeed << "; detection with `DetectSignature` on " << cores
         << " cores. Resizing uses FreeImage_Rescale; JPEG is written as PMKCmd writes it "
         << "(FreeImage, 4:2:0) and read back.\n\n"
         << "## What signing changes\n\n"
         << pictures.str() << "\n## Detection after attacks\n\n"
         << "| Attack | Detection rate | Found at scale | Failures |\n|---|---|---|---|\n";
  for (std::size_t a = 0; a < attacks.size(); ++a) {
    const Row& row = rows[a];
    std::vector<std::string> scales;
    for (const auto& [scale, count] : row.scales) {
      scales.push_back(scale + (count > 1 ? " (" + std::to_string(count) + ")" : ""));
    }
    const bool false_positive_row = attacks[a].on_original;
    report << "| " << attacks[a].name << " | "
           << (false_positive_row ? std::to_string(row.tried - row.correct) + " false of " +
                                        std::to_string(row.tried)
                                  : std::to_string(row.correct) + "/" + std::to_string(row.tried))
           << " | " << (false_positive_row ? "–" : Join(scales)) << " | " << Join(row.failures)
           << " |\n";
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
