#include "settings/fast_ini.h"

#include <cerrno>
#include <random>
#include <utility>

#include "platform/cp1251.h"
#include "platform/folders.h"
#include "platform/raw_file.h"

namespace vertamo {
namespace {

constexpr std::string_view kNoName = "NONAMED";

std::string_view SectionName(std::string_view section) { return section.empty() ? kNoName : section; }

// A text of the settings ends at its first zero byte, as it does in the file.
std::string_view UpToZero(std::string_view text) {
  const size_t zero = text.find('\0');
  return zero == std::string_view::npos ? text : text.substr(0, zero);
}

bool SameName(std::string_view stored, std::string_view wanted) {
  return !stored.empty() && EqualsIgnoreCaseAscii(stored, wanted);
}

std::string RandomSuffix() {
  static constexpr char kHex[] = "0123456789abcdef";
  std::random_device rd;
  std::string out;
  for (int i = 0; i < 4; ++i) {
    const unsigned v = rd();
    out += kHex[v & 15];
    out += kHex[(v >> 4) & 15];
  }
  return out;
}

constexpr std::string_view kTemporaryMark = ".tmp";
constexpr size_t kTemporarySuffixLength = 8;  // RandomSuffix

}  // namespace

int RemoveStaleIniTemporaries(const std::string& fileName) {
  const std::string target = ResolvedPath(fileName);
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string prefix = target.substr(folder.size()) + std::string(kTemporaryMark);
  int removed = 0;
  for (const std::string& name : FilesInFolder(folder)) {
    if (name.size() != prefix.size() + kTemporarySuffixLength || name.compare(0, prefix.size(), prefix) != 0)
      continue;
    const std::string_view suffix = std::string_view(name).substr(prefix.size());
    if (suffix.find_first_not_of("0123456789abcdef") != std::string_view::npos) continue;
    if (RemoveFile(folder + name)) ++removed;
  }
  return removed;
}

const TFastIniKey* TFastIniSection::Key(int index) const {
  if (index < 0 || index >= KeyCount()) return nullptr;
  return &keys[static_cast<size_t>(index)];
}

int IniStrToInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  unsigned value = 0;  // unsigned: an overflow wraps instead of being undefined
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value * 10u + unsigned(text[i] - '0');
  return static_cast<int>(negative ? 0u - value : value);
}

TFastIni::TFastIni(std::string fileName, bool deferLoad) : fileName_(std::move(fileName)) {
  if (!deferLoad) Load();
}

TFastIni::~TFastIni() {
  if (modified_) Save();
}

void TFastIni::Load() {
  sections_.clear();
  TRawFile file;
  if (!file.Open(fileName_, TRawFile::kGenericRead, TRawFile::kFileShareRead, TRawFile::kOpenAlways,
                 TRawFile::kFileAttributeNormal | TRawFile::kFileAttributeOwnerOnly |
                     TRawFile::kFileFlagSequentialScan)) {
    failed_ = true;
    return;
  }
  char buffer[kLineBufferSize];
  int current = -1;
  while (file.ReadLine(buffer, sizeof buffer)) ParseLine(buffer, current);  // the line ends at a zero byte
  if (file.ErrorCode() != 0) failed_ = true;  // reading aborted: keep what was read
  file.Close();
  modified_ = false;
}

void TFastIni::ParseLine(std::string_view line, int& current) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  const size_t first = line.find_first_not_of(' ');
  if (first == std::string_view::npos) return;
  line.remove_prefix(first);

  if (line.front() == '[') {
    const size_t close = line.find(']', 1);
    if (close == std::string_view::npos || close == 1) return;
    sections_.push_back(TFastIniSection{std::string(line.substr(1, close - 1)), {}});
    current = static_cast<int>(sections_.size()) - 1;
    return;
  }
  const size_t eq = line.find('=');
  if (current < 0 || eq == std::string_view::npos || eq == 0) return;
  std::string_view name = line.substr(0, eq);
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  std::string_view value = line.substr(eq + 1);
  while (value.size() > 1 && value.back() == ' ') value.remove_suffix(1);
  sections_[static_cast<size_t>(current)].keys.push_back(TFastIniKey{std::string(name), std::string(value)});
}

std::string TFastIni::ToText() const {
  std::string text;
  for (const TFastIniSection& s : sections_) {
    text.append("[").append(s.name).append("]\r\n");
    for (const TFastIniKey& k : s.keys) text.append(k.name).append("=").append(k.value).append("\r\n");
  }
  return text;
}

bool TFastIni::Save() {
  const std::string text = ToText();
  // Write through a symbolic link to the file it names, so the link survives.
  const std::string target = ResolvedPath(fileName_);
  TRawFile file;
  std::string temp;
  for (int attempt = 0; attempt < 8 && !file.IsOpen(); ++attempt) {
    temp = target + std::string(kTemporaryMark) + RandomSuffix();
    if (!file.Open(temp, TRawFile::kGenericWrite, TRawFile::kFileShareRead, TRawFile::kCreateNew,
                   TRawFile::kFileAttributeNormal | TRawFile::kFileAttributeOwnerOnly) &&
        file.ErrorCode() != EEXIST)
      break;
  }
  if (!file.IsOpen()) {
    failed_ = true;
    return false;
  }
  // The file may hold a password: a new one is its owner's only, a rewritten
  // one keeps the old one's permissions.
  const int mode = FileMode(target);
  if (mode >= 0) file.SetMode(static_cast<unsigned>(mode));
  bool ok = file.Write(text.data(), text.size()) && file.Flush();
  ok = file.Close() && ok;
  ok = ok && ReplaceFile(temp, target);
  if (!ok) {
    RemoveFile(temp);
    failed_ = true;
    return false;
  }
  modified_ = false;
  return true;
}

const TFastIniSection* TFastIni::FindSection(std::string_view section) const {
  const std::string_view name = SectionName(UpToZero(section));
  for (const TFastIniSection& s : sections_)
    if (SameName(s.name, name)) return &s;
  return nullptr;
}

TFastIniSection* TFastIni::FindSection(std::string_view section) {
  return const_cast<TFastIniSection*>(std::as_const(*this).FindSection(section));
}

TFastIniSection& TFastIni::FindOrAddSection(std::string_view section) {
  if (TFastIniSection* s = FindSection(section)) return *s;
  sections_.push_back(TFastIniSection{std::string(SectionName(UpToZero(section))), {}});
  return sections_.back();
}

const TFastIniKey* TFastIni::FindKey(std::string_view section, std::string_view key) const {
  const TFastIniSection* s = FindSection(section);
  if (s == nullptr) return nullptr;
  key = UpToZero(key);
  for (const TFastIniKey& k : s->keys)
    if (SameName(k.name, key)) return &k;
  return nullptr;
}

std::string TFastIni::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
  const TFastIniKey* k = FindKey(section, key);
  return std::string(k != nullptr ? std::string_view(k->value) : def);
}

void TFastIni::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  modified_ = true;
  TFastIniSection& s = FindOrAddSection(section);
  key = UpToZero(key);
  value = UpToZero(value);
  for (TFastIniKey& k : s.keys) {
    if (SameName(k.name, key)) {
      k.value = std::string(value);
      return;
    }
  }
  s.keys.push_back(TFastIniKey{std::string(key), std::string(value)});
}

int TFastIni::ReadInteger(std::string_view section, std::string_view key, int def) const {
  const TFastIniKey* k = FindKey(section, key);
  return k != nullptr ? IniStrToInt(k->value) : def;
}

void TFastIni::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

bool TFastIni::ReadBool(std::string_view section, std::string_view key, bool def) const {
  const TFastIniKey* k = FindKey(section, key);
  return k != nullptr ? IniStrToInt(k->value) != 0 : def;
}

void TFastIni::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

bool TFastIni::SectionExists(std::string_view section) const { return FindSection(section) != nullptr; }

bool TFastIni::ValueExists(std::string_view section, std::string_view key) const {
  return FindKey(section, key) != nullptr;
}

void TFastIni::DeleteKey(std::string_view section, std::string_view key) {
  TFastIniSection* s = FindSection(section);
  if (s == nullptr) return;
  modified_ = true;
  key = UpToZero(key);
  for (auto it = s->keys.begin(); it != s->keys.end(); ++it) {
    if (SameName(it->name, key)) {
      s->keys.erase(it);
      break;
    }
  }
  if (s->keys.empty()) sections_.erase(sections_.begin() + (s - sections_.data()));
}

void TFastIni::EraseSection(std::string_view section) {
  TFastIniSection* s = FindSection(section);
  if (s == nullptr) return;
  modified_ = true;
  sections_.erase(sections_.begin() + (s - sections_.data()));
}

void TFastIni::AppendSection(TFastIniSection section) {
  if (section.name.empty()) section.name = std::string(kNoName);
  sections_.push_back(std::move(section));
  modified_ = true;
}

const TFastIniSection* TFastIni::Section(int index) const {
  if (index < 0 || index >= SectionCount()) return nullptr;
  return &sections_[static_cast<size_t>(index)];
}

void TFastIni::ReadFormBounds(std::string_view section, IFormBounds* window) const {
  if (window == nullptr || !ValueExists(section, "Left")) return;
  window->setLeft(ReadInteger(section, "Left", window->left()));
  window->setTop(ReadInteger(section, "Top", window->top()));
  window->setWidth(ReadInteger(section, "Width", window->width()));
  window->setHeight(ReadInteger(section, "Height", window->height()));
}

void TFastIni::WriteFormBounds(std::string_view section, const IFormBounds* window) {
  if (window == nullptr) return;
  WriteInteger(section, "Left", window->left());
  WriteInteger(section, "Top", window->top());
  WriteInteger(section, "Width", window->width());
  WriteInteger(section, "Height", window->height());
}

void TFastIni::ReadFormBounds(IFormBounds* window) const {
  if (window != nullptr) ReadFormBounds(window->name(), window);
}

void TFastIni::WriteFormBounds(const IFormBounds* window) {
  if (window != nullptr) WriteFormBounds(window->name(), window);
}

namespace {
std::string ColumnKey(const IGridColumns& grid, int column) {
  return grid.name() + "_col" + std::to_string(column + 1);
}
}  // namespace

void TFastIni::ReadGridColWidths(std::string_view section, IGridColumns* grid) const {
  if (grid == nullptr || !SectionExists(section)) return;
  const int count = grid->columnCount();
  for (int i = 0; i < count; ++i)
    grid->setWidth(i, ReadInteger(section, ColumnKey(*grid, i), grid->width(i)));
}

void TFastIni::WriteGridColWidths(std::string_view section, const IGridColumns* grid) {
  if (grid == nullptr) return;
  modified_ = true;
  FindOrAddSection(section);
  const int count = grid->columnCount();
  for (int i = 0; i < count; ++i) WriteInteger(section, ColumnKey(*grid, i), grid->width(i));
}

void TFastIni::ReadGridColWidths(IGridColumns* grid) const {
  if (grid != nullptr) ReadGridColWidths(grid->ownerName(), grid);
}

void TFastIni::WriteGridColWidths(const IGridColumns* grid) {
  if (grid != nullptr) WriteGridColWidths(grid->ownerName(), grid);
}

}  // namespace vertamo
