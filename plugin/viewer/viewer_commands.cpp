#include "plugin/viewer/viewer_commands.h"

namespace pmk::ui {

namespace {

using enum TextId;

constexpr QKeyCombination kNoKey{};
constexpr std::optional<TextId> kNoText;

constexpr std::array<CommandEntry, 21> kCommands = {{
    {kCommandOptions, nullptr, kOptions, kNoText, MenuGroup::kFile, {kNoKey, kNoKey}, true},
    {kCommandExit, nullptr, kExitItem, kNoText, MenuGroup::kFile, {kNoKey, kNoKey}, true},
    {kCommandSign,
     "IDP_PENCIL",
     kSignImageItem,
     kSignTooltip,
     MenuGroup::kSign,
     {kNoKey, kNoKey},
     true},
    {kCommandBatchSign,
     "IDP_PENCILS",
     kBatchSigningItem,
     kBatchSigningItem,
     MenuGroup::kSign,
     {kNoKey, kNoKey},
     true},
    {kCommandDetect,
     "IDP_SEARCH",
     kDetectItem,
     kDetectTooltip,
     MenuGroup::kDetect,
     {kNoKey, kNoKey},
     true},
    {kCommandJpegCheck,
     nullptr,
     kJpegCheckItem,
     kJpegCheckItem,
     MenuGroup::kDetect,
     {kNoKey, kNoKey},
     true},
    {kCommandBatchDetect,
     "IDP_SEARCH_MULTI",
     kBatchDetectionItem,
     kBatchDetectionItem,
     MenuGroup::kDetect,
     {kNoKey, kNoKey},
     true},
    {kCommandVisitWebSite,
     nullptr,
     kVisitWebSiteItem,
     kNoText,
     MenuGroup::kHelp,
     {kNoKey, kNoKey},
     true},
    {kCommandShortener, nullptr, kShortenerItem, kNoText, MenuGroup::kHelp, {kNoKey, kNoKey}, true},
    {kCommandAbout,
     nullptr,
     kAboutItem,
     kNoText,
     MenuGroup::kHelp,
     {Qt::ALT | Qt::Key_Slash, Qt::ALT | Qt::Key_Question},
     true},
    // The "=" key carries "+" on most keyboards without Shift.
    {kCommandZoomIn,
     "IDP_ZOOMIN",
     kNoText,
     kZoomInTooltip,
     MenuGroup::kNone,
     {QKeyCombination(Qt::Key_Plus), QKeyCombination(Qt::Key_Equal)},
     true},
    {kCommandZoomOut,
     "IDP_ZOOMOUT",
     kNoText,
     kZoomOutTooltip,
     MenuGroup::kNone,
     {QKeyCombination(Qt::Key_Minus), kNoKey},
     true},
    {kCommandZoom100,
     "IDP_ZOOM100",
     kNoText,
     kZoom100Tooltip,
     MenuGroup::kNone,
     {kNoKey, kNoKey},
     true},
    {kCommandZoomFit,
     "IDP_ZOOMFIT",
     kNoText,
     kZoomFitTooltip,
     MenuGroup::kNone,
     {kNoKey, kNoKey},
     true},
    {kCommandZoomBox, nullptr, kNoText, kZoomBoxTooltip, MenuGroup::kNone, {kNoKey, kNoKey}, true},
    {kCommandMoveLeft,
     nullptr,
     kNoText,
     kNoText,
     MenuGroup::kNone,
     {QKeyCombination(Qt::Key_Left), kNoKey},
     true},
    {kCommandMoveRight,
     nullptr,
     kNoText,
     kNoText,
     MenuGroup::kNone,
     {QKeyCombination(Qt::Key_Right), kNoKey},
     true},
    {kCommandMoveUp,
     nullptr,
     kNoText,
     kNoText,
     MenuGroup::kNone,
     {QKeyCombination(Qt::Key_Up), kNoKey},
     true},
    {kCommandMoveDown,
     nullptr,
     kNoText,
     kNoText,
     MenuGroup::kNone,
     {QKeyCombination(Qt::Key_Down), kNoKey},
     true},
    {kCommandMenu, "IDP_PICKER", kNoText, kNoText, MenuGroup::kNone, {kNoKey, kNoKey}, true},
    {kCommandSpacer, nullptr, kNoText, kNoText, MenuGroup::kNone, {kNoKey, kNoKey}, false},
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

std::optional<TextId> MenuGroupText(MenuGroup group) noexcept {
  switch (group) {
    case MenuGroup::kFile:
      return TextId::kFileMenu;
    case MenuGroup::kSign:
      return TextId::kSignMenu;
    case MenuGroup::kDetect:
      return TextId::kDetectMenu;
    case MenuGroup::kHelp:
      return TextId::kHelpMenu;
    case MenuGroup::kNone:
      break;
  }
  return std::nullopt;
}

}  // namespace pmk::ui
