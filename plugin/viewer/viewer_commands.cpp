#include "plugin/viewer/viewer_commands.h"

namespace pmk::ui {

namespace {

constexpr QKeyCombination kNoKey{};

constexpr std::array<CommandEntry, 21> kCommands = {{
    {kCommandOptions, nullptr, 97, 0, MenuGroup::kFile, {kNoKey, kNoKey}, true},
    {kCommandExit, nullptr, 49, 0, MenuGroup::kFile, {kNoKey, kNoKey}, true},
    {kCommandSign, "IDP_PENCIL", 50, 16, MenuGroup::kSign, {kNoKey, kNoKey}, true},
    {kCommandBatchSign, "IDP_PENCILS", 51, 51, MenuGroup::kSign, {kNoKey, kNoKey}, true},
    {kCommandDetect, "IDP_SEARCH", 52, 17, MenuGroup::kDetect, {kNoKey, kNoKey}, true},
    {kCommandJpegCheck, nullptr, 123, 123, MenuGroup::kDetect, {kNoKey, kNoKey}, true},
    {kCommandBatchDetect, "IDP_SEARCH_MULTI", 53, 53, MenuGroup::kDetect, {kNoKey, kNoKey}, true},
    {kCommandVisitWebSite, nullptr, 55, 0, MenuGroup::kHelp, {kNoKey, kNoKey}, true},
    {kCommandShortener, nullptr, 136, 0, MenuGroup::kHelp, {kNoKey, kNoKey}, true},
    {kCommandAbout,
     nullptr,
     58,
     0,
     MenuGroup::kHelp,
     {Qt::ALT | Qt::Key_Slash, Qt::ALT | Qt::Key_Question},
     true},
    // The "=" key carries "+" on most keyboards without Shift.
    {kCommandZoomIn,
     "IDP_ZOOMIN",
     0,
     18,
     MenuGroup::kNone,
     {QKeyCombination(Qt::Key_Plus), QKeyCombination(Qt::Key_Equal)},
     true},
    {kCommandZoomOut,
     "IDP_ZOOMOUT",
     0,
     19,
     MenuGroup::kNone,
     {QKeyCombination(Qt::Key_Minus), kNoKey},
     true},
    {kCommandZoom100, "IDP_ZOOM100", 0, 101, MenuGroup::kNone, {kNoKey, kNoKey}, true},
    {kCommandZoomFit, "IDP_ZOOMFIT", 0, 20, MenuGroup::kNone, {kNoKey, kNoKey}, true},
    {kCommandZoomBox, nullptr, 0, 102, MenuGroup::kNone, {kNoKey, kNoKey}, true},
    {kCommandMoveLeft,
     nullptr,
     0,
     0,
     MenuGroup::kNone,
     {QKeyCombination(Qt::Key_Left), kNoKey},
     true},
    {kCommandMoveRight,
     nullptr,
     0,
     0,
     MenuGroup::kNone,
     {QKeyCombination(Qt::Key_Right), kNoKey},
     true},
    {kCommandMoveUp, nullptr, 0, 0, MenuGroup::kNone, {QKeyCombination(Qt::Key_Up), kNoKey}, true},
    {kCommandMoveDown,
     nullptr,
     0,
     0,
     MenuGroup::kNone,
     {QKeyCombination(Qt::Key_Down), kNoKey},
     true},
    {kCommandMenu, "IDP_PICKER", 0, 0, MenuGroup::kNone, {kNoKey, kNoKey}, true},
    {kCommandSpacer, nullptr, 0, 0, MenuGroup::kNone, {kNoKey, kNoKey}, false},
}};

constexpr std::array<int, 12> kToolbar = {
    kCommandSign,        kCommandDetect,  kToolbarSeparator, kCommandBatchSign,
    kCommandBatchDetect, kCommandSpacer,  kCommandZoomIn,    kCommandZoomOut,
    kCommandZoom100,     kCommandZoomFit, kCommandZoomBox,   kCommandMenu,
};

}  // namespace

std::span<const CommandEntry> Commands() noexcept {
  return kCommands;
}

const CommandEntry* FindCommand(int id) noexcept {
  for (const CommandEntry& entry : kCommands) {
    if (entry.id == id) return &entry;
  }
  return nullptr;
}

std::span<const int> ToolbarLayout() noexcept {
  return kToolbar;
}

int MenuGroupText(MenuGroup group) noexcept {
  switch (group) {
    case MenuGroup::kFile:
      return 40;
    case MenuGroup::kSign:
      return 41;
    case MenuGroup::kDetect:
      return 42;
    case MenuGroup::kHelp:
      return 43;
    case MenuGroup::kNone:
      break;
  }
  return 0;
}

}  // namespace pmk::ui
