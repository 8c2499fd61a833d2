#include "iptel/phone_book.h"

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

}  // namespace

std::string PhoneBookText(std::string_view text) {
  const size_t end = text.find('\0');
  if (end != std::string_view::npos) text = text.substr(0, end);
  return std::string(text.substr(0, PhoneBookEntry::kCapacity - 1));
}

TPhoneBook::TPhoneBook(std::string workFolder) : fileName_(WithTrailingSlash(workFolder) + kFileName) {}

bool TPhoneBook::LoadPhoneBook() {
  entries_.clear();
  if (!FileExists(fileName_)) return false;
  const TFastIni ini(fileName_);
  for (int i = 0; i < kMaxEntries; ++i) {
    const std::string section = SectionName(i);
    if (!ini.SectionExists(section)) break;
    Add(ini.ReadString(section, "Name", ""), ini.ReadString(section, "Adr", ""));
  }
  return true;
}

void TPhoneBook::SavePhoneBook() const {
  if (entries_.empty()) {
    RemoveFile(fileName_);
    return;
  }
  // A fresh object on the same name, never loaded: Save writes a temporary
  // file and renames it over the old book.
  TFastIni ini(fileName_, true);
  for (int i = 0; i < Count(); ++i) {
    const std::string section = SectionName(i);
    ini.WriteString(section, "Name", entries_[static_cast<size_t>(i)].Name);
    ini.WriteString(section, "Adr", entries_[static_cast<size_t>(i)].Adr);
  }
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
