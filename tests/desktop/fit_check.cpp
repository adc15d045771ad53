// pmk_fit_check SCREENSHOT PICTURE_WIDTH PICTURE_HEIGHT
//
// Reads a screenshot of the viewer and says whether the picture is shown as
// a fit: the view area is found as the largest connected field of the view's
// background grey (48, which the window's controls never use), the picture
// as what is not that grey inside it. The picture must be as large as the fit
// makes it (the whole picture with a 2-pixel margin, at most 800 %) and centred,
// within a few pixels. Prints what it measured; exits 0 when it fits, 1 when
// not, 2 on a usage or reading error.
#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kTolerance = 3;

struct Box {
  int left = 0, top = 0, right = -1, bottom = -1;  // inclusive
  int width() const { return right - left + 1; }
  int height() const { return bottom - top + 1; }
  void Add(int x, int y) {
    if (right < left) {
      left = right = x;
      top = bottom = y;
      return;
    }
    left = std::min(left, x), right = std::max(right, x);
    top = std::min(top, y), bottom = std::max(bottom, y);
  }
};

bool IsBackground(const QImage& shot, int x, int y) {
  return (shot.pixel(x, y) & 0xffffff) == 0x303030;
}

// The bounding box of the largest 4-connected field of background pixels.
Box ViewArea(const QImage& shot) {
  const int width = shot.width(), height = shot.height();
  std::vector<char> seen(static_cast<std::size_t>(width) * height, 0);
  std::vector<int> stack;
  Box best;
  long best_count = 0;
  for (int start = 0; start < width * height; ++start) {
    if (seen[start] || !IsBackground(shot, start % width, start / width)) continue;
    Box box;
    long count = 0;
    seen[start] = 1;
    stack.push_back(start);
    while (!stack.empty()) {
      const int at = stack.back();
      stack.pop_back();
      const int x = at % width, y = at / width;
      box.Add(x, y);
      ++count;
      const int next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
      for (const auto& [nx, ny] : next) {
        if (nx < 0 || ny < 0 || nx >= width || ny >= height) continue;
        const int index = ny * width + nx;
        if (!seen[index] && IsBackground(shot, nx, ny)) {
          seen[index] = 1;
          stack.push_back(index);
        }
      }
    }
    if (count > best_count) best = box, best_count = count;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: pmk_fit_check SCREENSHOT PICTURE_WIDTH PICTURE_HEIGHT\n");
    return 2;
  }
  const QImage shot(QString::fromLocal8Bit(argv[1]));
  const double picture_width = std::atof(argv[2]), picture_height = std::atof(argv[3]);
  if (shot.isNull() || picture_width <= 0 || picture_height <= 0) {
    std::fprintf(stderr, "pmk_fit_check: cannot read %s\n", argv[1]);
    return 2;
  }
  const Box view = ViewArea(shot);
  Box picture;
  for (int y = view.top; y <= view.bottom; ++y) {
    for (int x = view.left; x <= view.right; ++x) {
      if (!IsBackground(shot, x, y)) picture.Add(x, y);
    }
  }
  const double zoom = std::min({(view.width() / 2.0 - 2) / (picture_width / 2),
                                (view.height() / 2.0 - 2) / (picture_height / 2), 8.0});
  const double expected_width = picture_width * zoom, expected_height = picture_height * zoom;
  // Centred: as much background on either side of the picture.
  const int off_x = (picture.left - view.left) - (view.right - picture.right);
  const int off_y = (picture.top - view.top) - (view.bottom - picture.bottom);
  std::printf(
      "view %dx%d at %d,%d; picture %dx%d at %d,%d; a fit is %.1fx%.1f (%.1f %%); "
      "off centre by %d,%d\n",
      view.width(), view.height(), view.left, view.top, picture.width(), picture.height(),
      picture.left, picture.top, expected_width, expected_height, zoom * 100, off_x, off_y);
  const bool fits = std::abs(picture.width() - expected_width) <= kTolerance &&
                    std::abs(picture.height() - expected_height) <= kTolerance &&
                    std::abs(off_x) <= kTolerance && std::abs(off_y) <= kTolerance;
  std::printf("%s\n", fits ? "fitted" : "NOT fitted");
  return fits ? 0 : 1;
}
