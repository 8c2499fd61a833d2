// The IP phone address book: subscribers with a name and a host name or IP
// address, in the order the voice window lists them. It lives in
// "IpAbonents.ini" in the work folder (sections ABONENT0, ABONENT1, ...) and
// is rewritten whole after every change; it can be exported to a quoted text
// file. Texts are code page 1251. Main thread only.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vertamo {

struct PhoneBookEntry {
  static constexpr size_t kCapacity = 64;  // a longer text keeps its first 63 bytes
  std::string Name;
  std::string Adr;
};

class TPhoneBook {
 public:
  static constexpr const char* kFileName = "IpAbonents.ini";
  static constexpr int kMaxEntries = 4096;
  static constexpr int kNotFound = -1;

  // The book of the work folder `workFolder` (ending in "/").
  explicit TPhoneBook(std::string workFolder);

  // Empties the book and reads the file; false when the file does not exist.
  // The book holds the sections numbered from 0 up to the first missing
  // number, at most kMaxEntries of them; the file's other entries (after a
  // gap, over the limit) are kept aside, unread, and written back on save.
  bool LoadPhoneBook();
  // Replaces the file in one step (a crash leaves the old or the new book):
  // the book's entries, then every entry that was not read, numbered on
  // without a gap. An empty book with nothing kept aside removes it.
  void SavePhoneBook() const;
  // False when the file holds entries the book does not show.
  bool ReadWhole() const { return unread_.empty(); }
  // What the window tells the dispatcher when the book was not read whole
  // (code page 1251); empty when it was.
  std::string NotReadWholeText() const;
  // The export file: two header lines, then "name","address" per entry, code
  // page 1251, CR LF. False when the file cannot be written.
  bool ExportPhoneBook(const std::string& fileName) const;

  void Add(std::string_view name, std::string_view address);
  // Nothing for a position out of range.
  void Replace(int position, std::string_view name, std::string_view address);
  // Nothing for a position out of range.
  void Delete(int position);
  int Count() const { return static_cast<int>(entries_.size()); }
  // Nullptr when out of range.
  const PhoneBookEntry* At(int position) const;

  // The first entry whose name (address) equals the text, ignoring the case
  // of Latin and Cyrillic letters; kNotFound for the empty text.
  int FindByName(std::string_view text) const;
  int FindByAddress(std::string_view text) const;

  const std::string& FileName() const { return fileName_; }

 private:
  std::string fileName_;
  std::vector<PhoneBookEntry> entries_;
  std::vector<PhoneBookEntry> unread_;  // entries of the file the book does not show
  bool overLimit_ = false;              // unread because of kMaxEntries, not a gap
};

// The text cut to what a 64-byte field keeps.
std::string PhoneBookText(std::string_view text);

}  // namespace vertamo
