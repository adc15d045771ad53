// The plug-in's texts: 160 numbered strings ("string1" ... "string160") read
// from the language file beside the plug-in, each with a built-in English
// default. Loaded once when the viewer is created; read by every window.
#pragma once

#include <QString>

#include "plugin/dialogs/language_text_ids.h"

namespace pmk::ui {

inline constexpr int kLanguageTextCount = 160;
// The most languages the options dialog offers.
inline constexpr int kMaxLanguages = 100;
// The longest text a key may give (a buffer of 1024 with its terminator).
inline constexpr int kMaxLanguageTextLength = 1023;

// The text in the loaded table (the English default before any load); an
// empty text for an id outside the keys 1 ... 160.
const QString& LanguageText(TextId id);

// The built-in English text; empty for keys that have none.
QString DefaultLanguageText(TextId id);

// The second default of TextId::kRestartAfterLanguageChange, used when it is
// read again after the options dialog.
QString RestartAfterLanguageChangeDefault();

// "<plugin_folder>/Pictomarker_loc.ini"; "/Pictomarker_loc.ini" ... for an
// empty folder, as the plug-in has always built it.
QString LanguageFilePath(const QString& plugin_folder);

// The language file's section name for a language index ("%i").
QString LanguageSection(int language_index);

// One key of one language section, `fallback` when missing, cut to
// kMaxLanguageTextLength characters.
QString ReadLanguageText(const QString& plugin_folder, int language_index, TextId id,
                         const QString& fallback);

// Loads all 160 keys of the language `language_index` into the table; keys
// (or the whole file) that are missing take their defaults.
void LoadLanguageTable(const QString& plugin_folder, int language_index);

}  // namespace pmk::ui
