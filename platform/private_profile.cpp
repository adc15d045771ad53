#include "platform/private_profile.h"

#include <climits>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>

#include "platform/process_id.h"

namespace pmk::platform {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// One line of the file: where it starts, its text without the line break, and
// where the next line starts.
struct Line {
  std::size_t begin = 0;
  std::string_view text;
  std::size_t next = 0;
};

std::optional<Line> LineAt(std::string_view content, std::size_t begin) {
  if (begin >= content.size()) return std::nullopt;
  const auto end = content.find('\n', begin);
  const std::size_t stop = end == std::string_view::npos ? content.size() : end;
  const std::size_t next = end == std::string_view::npos ? content.size() : end + 1;
  std::string_view text = content.substr(begin, stop - begin);
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  return Line{begin, text, next};
}

// The section's name when the line is a section header.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  line.remove_prefix(1);
  const auto close = line.find(']');
  return Trim(close == std::string_view::npos ? line : line.substr(0, close));
}

bool IsComment(std::string_view line) {
  line = Trim(line);
  return !line.empty() && line.front() == ';';
}

// The key and value of an entry line.
std::optional<std::pair<std::string_view, std::string_view>> Entry(std::string_view line) {
  if (IsComment(line) || SectionName(line)) return std::nullopt;
  const auto equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return std::make_pair(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)));
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& file) {
  std::ifstream stream(file, std::ios::binary);
  if (!stream) return std::nullopt;
  std::ostringstream content;
  content << stream.rdbuf();
  if (stream.bad()) return std::nullopt;
  return std::move(content).str();
}

// Where the section's header line starts, or npos.
std::size_t FindSection(std::string_view content, std::string_view section) {
  std::size_t at = content.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
  while (auto line = LineAt(content, at)) {
    if (auto name = SectionName(line->text); name && SameName(*name, section)) return line->begin;
    at = line->next;
  }
  return std::string_view::npos;
}

std::optional<std::string> FindValue(std::string_view content, std::string_view section,
                                     std::string_view key) {
  const std::size_t header = FindSection(content, section);
  if (header == std::string_view::npos) return std::nullopt;
  std::size_t at = LineAt(content, header)->next;
  while (auto line = LineAt(content, at)) {
    if (SectionName(line->text)) break;
    if (auto entry = Entry(line->text); entry && SameName(entry->first, key)) {
      std::string_view value = entry->second;
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
          value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
      }
      return std::string(value);
    }
    at = line->next;
  }
  return std::nullopt;
}

// The content with `key` set; the rest kept byte for byte.
std::string WithKeySet(std::string content, std::string_view section, std::string_view key,
                       std::string_view value) {
  const std::string newline = content.find("\r\n") != std::string::npos ? "\r\n" : "\n";
  const std::string entry = std::string(key) + "=" + std::string(value);
  const std::size_t header = FindSection(content, section);
  if (header == std::string::npos) {
    if (!content.empty() && content.back() != '\n') content += newline;
    content += "[" + std::string(section) + "]" + newline + entry + newline;
    return content;
  }
  std::size_t insert_at = LineAt(content, header)->next;
  bool insert_after_unterminated =
      LineAt(content, header)->next == content.size() && content.back() != '\n';
  std::size_t at = insert_at;
  while (auto line = LineAt(content, at)) {
    if (SectionName(line->text)) break;
    if (auto found = Entry(line->text)) {
      if (SameName(found->first, key)) {
        const std::size_t text_end = line->begin + line->text.size();
        content.replace(line->begin, text_end - line->begin, entry);
        return content;
      }
      insert_at = line->next;
      insert_after_unterminated = line->next == content.size() && content.back() != '\n';
    }
    at = line->next;
  }
  if (insert_after_unterminated) {
    content.insert(insert_at, newline + entry);
  } else {
    content.insert(insert_at, entry + newline);
  }
  return content;
}

}  // namespace

std::string ReadProfileString(const std::filesystem::path& file, std::string_view section,
                              std::string_view key, std::string_view fallback) {
  const auto content = ReadWholeFile(file);
  if (!content) return std::string(fallback);
  auto value = FindValue(*content, section, key);
  return value ? std::move(*value) : std::string(fallback);
}

int ReadProfileInt(const std::filesystem::path& file, std::string_view section,
                   std::string_view key, int fallback) {
  const auto content = ReadWholeFile(file);
  if (!content) return fallback;
  const auto value = FindValue(*content, section, key);
  if (!value) return fallback;
  std::string_view text = Trim(*value);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  long long number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    number = number * 10 + (c - '0');
    if (number > static_cast<long long>(INT_MAX) + 1) number = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) number = -number;
  if (number > INT_MAX) number = INT_MAX;
  return static_cast<int>(number);
}

void WriteProfileString(const std::filesystem::path& file, std::string_view section,
                        std::string_view key, std::string_view value) noexcept {
  try {
    std::error_code error;
    if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), error);
    std::string content;
    if (std::filesystem::exists(file, error)) {
      auto existing = ReadWholeFile(file);
      // A file that exists but cannot be read must not be replaced by one key.
      if (!existing) return;
      content = std::move(*existing);
    }
    const std::string updated = WithKeySet(std::move(content), section, key, value);
    std::filesystem::path temporary = file;
    temporary += ".new" + std::to_string(ProcessId());
    {
      std::ofstream stream(temporary, std::ios::binary | std::ios::trunc);
      stream.write(updated.data(), static_cast<std::streamsize>(updated.size()));
      stream.close();
      if (!stream) {
        std::filesystem::remove(temporary, error);
        return;
      }
    }
    std::filesystem::rename(temporary, file, error);
    if (error) std::filesystem::remove(temporary, error);
  } catch (...) {
    // Ignored on purpose: the caller's values stay in force for this run.
  }
}

void WriteProfileInt(const std::filesystem::path& file, std::string_view section,
                     std::string_view key, int value) noexcept {
  char text[16];
  std::snprintf(text, sizeof(text), "%i", value);
  WriteProfileString(file, section, key, text);
}

}  // namespace pmk::platform
