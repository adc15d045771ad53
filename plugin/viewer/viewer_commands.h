// Every command of the viewer in one table, which feeds the toolbar, the
// pop-up menu and the keys (accelerator table 109).
#pragma once

#include <QKeyCombination>
#include <array>
#include <optional>
#include <span>

#include "plugin/dialogs/language_text_ids.h"

namespace pmk::ui {

// Command ids, kept as the window's command numbers.
inline constexpr int kCommandSign = 32778;
inline constexpr int kCommandBatchSign = 32779;
inline constexpr int kCommandDetect = 32780;
inline constexpr int kCommandBatchDetect = 32781;
inline constexpr int kCommandVisitWebSite = 32792;
inline constexpr int kCommandZoomIn = 32793;
inline constexpr int kCommandZoomOut = 32794;
inline constexpr int kCommandZoomFit = 32795;
inline constexpr int kCommandMoveLeft = 32797;
inline constexpr int kCommandMoveRight = 32798;
inline constexpr int kCommandMoveUp = 32799;
inline constexpr int kCommandMoveDown = 32800;
inline constexpr int kCommandOptions = 32801;
inline constexpr int kCommandZoomBox = 32803;
inline constexpr int kCommandZoom100 = 32804;
inline constexpr int kCommandJpegCheck = 32805;
inline constexpr int kCommandMenu = 32811;
inline constexpr int kCommandSpacer = 32812;
inline constexpr int kCommandShortener = 32814;
inline constexpr int kCommandAbout = 104;
inline constexpr int kCommandExit = 105;

// Other ids of the window's parts.
inline constexpr int kToolbarId = 109;
inline constexpr int kAcceleratorTable = 109;

// Submenus of the pop-up menu, in their order.
enum class MenuGroup { kNone, kFile, kSign, kDetect, kHelp };

struct CommandEntry {
  int id;
  const char* icon;                    // toolbar image ("IDP_..."), or nullptr
  std::optional<TextId> menu_text;     // none when not in the menu
  std::optional<TextId> tooltip_text;  // none for no tooltip
  MenuGroup group;
  std::array<QKeyCombination, 2> keys;  // QKeyCombination() for none
  bool available;  // false: present but waiting for a later part of the plug-in
};

// The table, in pop-up menu order within each group.
std::span<const CommandEntry> Commands() noexcept;
const CommandEntry* FindCommand(int id) noexcept;

// Toolbar slots in order: a command id, or one of these.
inline constexpr int kToolbarSeparator = 0;
std::span<const int> ToolbarLayout() noexcept;

// The submenu's title; none for kNone.
std::optional<TextId> MenuGroupText(MenuGroup group) noexcept;

}  // namespace pmk::ui
