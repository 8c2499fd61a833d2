#include "voice/phone_book.h"

#include <algorithm>
#include <unordered_map>

#include "platform/cp1251.h"
#include "platform/folders.h"
#include "platform/raw_file.h"
#include "settings/fast_ini.h"

namespace vertamo {

namespace {

std::string SectionName(int position) { return "ABONENT" + std::to_string(position); }

// The header of the export file, as UTF-8; written in code page 1251.
constexpr const char* kExportHeader[] = {
    "; Записная книжка IP телефонии (для Pelcor)",
    "; Формат: \"Имя обонента\",\"Имя узла или IP адрес\"",
};

constexpr std::string_view kSectionPrefix = "ABONENT";

// The number of an entry's section name ("ABONENT" and decimal digits, A-Z
// folded as settings names are); empty for any other section.
std::string_view EntryNumber(std::string_view name) {
  if (name.size() <= kSectionPrefix.size() || !EqualsIgnoreCaseAscii(name.substr(0, kSectionPrefix.size()), kSectionPrefix))
    return {};
  const std::string_view digits = name.substr(kSectionPrefix.size());
  for (char c : digits)
    if (c < '0' || c > '9') return {};
  return digits;
}

// Numbers of any length in numeric order (leading zeros aside).
bool NumberBefore(std::string_view a, std::string_view b) {
  a.remove_prefix(std::min(a.find_first_not_of('0'), a.size()));
  b.remove_prefix(std::min(b.find_first_not_of('0'), b.size()));
  return a.size() != b.size() ? a.size() < b.size() : a < b;
}

std::string Value(const TFastIniSection& section, std::string_view key) {
  for (const TFastIniKey& k : section.keys)
    if (!k.name.empty() && EqualsIgnoreCaseAscii(k.name, key)) return k.value;
  return {};
}

}  // namespace

std::string PhoneBookText(std::string_view text) {
  const size_t end = text.find('\0');
  if (end != std::string_view::npos) text = text.substr(0, end);
  return std::string(text.substr(0, PhoneBookEntry::kCapacity - 1));
}

TPhoneBook::TPhoneBook(std::string workFolder) : fileName_(WithTrailingSlash(workFolder) + kFileName) {}

bool TPhoneBook::LoadPhoneBook() {
  entries_.clear();
  unread_.clear();
  overLimit_ = false;
  if (!FileExists(fileName_)) return false;
  const TFastIni ini(fileName_);
  // The entry sections in the file's order; the first one of each number in
  // its plain form ("ABONENT7", not "ABONENT07") is the one a look-up finds.
  struct Found {
    std::string_view number;
    const TFastIniSection* section;
  };
  std::vector<Found> found;
  std::unordered_map<std::string_view, size_t> plain;  // number -> index in found
  for (int i = 0; i < ini.SectionCount(); ++i) {
    const TFastIniSection* section = ini.Section(i);
    const std::string_view number = EntryNumber(section->name);
    if (number.empty()) continue;
    if (number.size() == 1 || number[0] != '0') plain.emplace(number, found.size());
    found.push_back({number, section});
  }
  std::vector<bool> read(found.size(), false);
  for (int i = 0; i < kMaxEntries; ++i) {
    const auto it = plain.find(std::to_string(i));
    if (it == plain.end()) break;
    read[it->second] = true;
    Add(Value(*found[it->second].section, "Name"), Value(*found[it->second].section, "Adr"));
  }
  std::vector<size_t> rest;
  for (size_t i = 0; i < found.size(); ++i)
    if (!read[i]) rest.push_back(i);
  std::stable_sort(rest.begin(), rest.end(),
                   [&](size_t a, size_t b) { return NumberBefore(found[a].number, found[b].number); });
  for (size_t i : rest)
    unread_.push_back({PhoneBookText(Value(*found[i].section, "Name")), PhoneBookText(Value(*found[i].section, "Adr"))});
  overLimit_ = Count() == kMaxEntries && !unread_.empty();
  return true;
}

std::string TPhoneBook::NotReadWholeText() const {
  if (unread_.empty()) return {};
  const std::string shown = std::to_string(Count());
  const std::string total = std::to_string(Count() + static_cast<int>(unread_.size()));
  const std::string why = overLimit_ ? "более " + std::to_string(kMaxEntries) + " записей"
                                     : "пропуск в номерах разделов";
  return Utf8ToCp1251("Записная книжка прочитана не полностью (" + why + "): показано " + shown + " из " +
                      total + " записей; остальные сохраняются в файле.");
}

void TPhoneBook::SavePhoneBook() const {
  if (entries_.empty() && unread_.empty()) {
    RemoveFile(fileName_);
    return;
  }
  // A fresh object on the same name, never loaded: Save writes a temporary
  // file and renames it over the old book.
  TFastIni ini(fileName_, true);
  int number = 0;
  for (const std::vector<PhoneBookEntry>* part : {&entries_, &unread_})
    for (const PhoneBookEntry& entry : *part)
      ini.AppendSection({SectionName(number++), {{"Name", entry.Name}, {"Adr", entry.Adr}}});
  ini.Save();
}

bool TPhoneBook::ExportPhoneBook(const std::string& fileName) const {
  RemoveFile(fileName);
  TRawFile file;
  if (!file.Open(fileName, TRawFile::kGenericWrite, 0, TRawFile::kCreateAlways, TRawFile::kFileAttributeNormal))
    return false;
  std::string text;
  for (const char* line : kExportHeader) text.append(Utf8ToCp1251(line)).append("\r\n");
  for (const PhoneBookEntry& entry : entries_) text.append("\"" + entry.Name + "\",\"" + entry.Adr + "\"\r\n");
  const bool written = file.Write(text.data(), text.size());
  return file.Close() && written;
}

void TPhoneBook::Add(std::string_view name, std::string_view address) {
  entries_.push_back({PhoneBookText(name), PhoneBookText(address)});
}

void TPhoneBook::Replace(int position, std::string_view name, std::string_view address) {
  if (position < 0 || position >= Count()) return;
  entries_[static_cast<size_t>(position)] = {PhoneBookText(name), PhoneBookText(address)};
}

void TPhoneBook::Delete(int position) {
  if (position < 0 || position >= Count()) return;
  entries_.erase(entries_.begin() + position);
}

const PhoneBookEntry* TPhoneBook::At(int position) const {
  return position >= 0 && position < Count() ? &entries_[static_cast<size_t>(position)] : nullptr;
}

int TPhoneBook::FindByName(std::string_view text) const {
  if (text.empty()) return kNotFound;
  for (int i = 0; i < Count(); ++i)
    if (EqualsIgnoreCaseCp1251(entries_[static_cast<size_t>(i)].Name, text)) return i;
  return kNotFound;
}

int TPhoneBook::FindByAddress(std::string_view text) const {
  if (text.empty()) return kNotFound;
  for (int i = 0; i < Count(); ++i)
    if (EqualsIgnoreCaseCp1251(entries_[static_cast<size_t>(i)].Adr, text)) return i;
  return kNotFound;
}

}  // namespace vertamo
