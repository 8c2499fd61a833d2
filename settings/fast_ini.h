// TFastIni: one INI settings file, read whole into memory when created and
// rewritten whole when saved (or destroyed after a change).
//
// File format, as read:
//   - lines end with CR, LF or any two of them in a row; a line holds at most
//     511 bytes, a longer one is taken as several lines;
//   - leading blanks (spaces only) are skipped, empty lines ignored;
//   - "[name]" starts a section (the name is what stands between "[" and the
//     first "]", blanks kept; "[]" and a "[" without "]" are ignored); every
//     header starts a new section, even of a name seen before;
//   - "key=value" inside a section is a key: the name loses its trailing
//     blanks, the value keeps its leading blanks and loses its trailing ones
//     except its first character; every key line is appended, duplicates too;
//   - everything else (lines before the first header, lines without "=" or
//     starting with "=") is dropped. There are no comments, quotes or escapes.
// As written: "[name]" and "name=value" lines, each ended by CR LF, nothing else.
//
// Names of sections and keys are equal when they differ only in the case of
// A-Z; every other byte (Cyrillic letters included) must match. The empty
// section name stands for "NONAMED". Lookups and writes take the first match.
// Texts are code page 1251 bytes, stored as they are; a text ends at its
// first zero byte.
//
// Saving writes a temporary file in the same folder, flushes it to the disk
// and renames it over the old file: a failed save leaves the old file as it
// was, keeps the data in memory and keeps Modified() set.
//
// An object belongs to the thread that uses it; there is no locking.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings/form_bounds.h"

namespace vertamo {

struct TFastIniKey {
  std::string name;   // empty: absent, never found by a lookup
  std::string value;  // empty: absent, reads as the empty text
};

struct TFastIniSection {
  std::string name;
  std::vector<TFastIniKey> keys;

  int KeyCount() const { return static_cast<int>(keys.size()); }
  // Nullptr when the index is out of range.
  const TFastIniKey* Key(int index) const;
};

// The number rule of settings files: leading white space skipped, one optional
// "+" or "-", then decimal digits up to the first other character; no digits
// give 0. An overflowing number wraps around instead of being detected.
int IniStrToInt(std::string_view text);

// Removes the temporary files that a Save cut short left next to the settings
// file (<file>.tmp and eight hexadecimal digits; they may hold a password).
// Returns how many went. For the start of the program, before any Save.
int RemoveStaleIniTemporaries(const std::string& fileName);

class TFastIni {
 public:
  static constexpr size_t kLineBufferSize = 512;

  explicit TFastIni(std::string fileName, bool deferLoad = false);
  // Saves first when modified.
  ~TFastIni();
  TFastIni(const TFastIni&) = delete;
  TFastIni& operator=(const TFastIni&) = delete;

  // Replaces the content with the file's; a missing file is created empty.
  // Clears Modified() on success.
  void Load();
  // Rewrites the whole file; true on success.
  bool Save();

  std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  int ReadInteger(std::string_view section, std::string_view key, int def) const;
  void WriteInteger(std::string_view section, std::string_view key, int value);
  // True exactly when the value reads as a number other than 0.
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;
  void WriteBool(std::string_view section, std::string_view key, bool value);

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  // Removes the first matching key and then the section when it is left empty;
  // sets Modified() whenever the section exists.
  void DeleteKey(std::string_view section, std::string_view key);
  // Removes the first matching section with all its keys.
  void EraseSection(std::string_view section);

  // Adds a section at the end without looking for one of the same name: for
  // a file built whole by a caller that knows its names are new (a search
  // per section would make a large file cost the square of its size).
  void AppendSection(TFastIniSection section);

  int SectionCount() const { return static_cast<int>(sections_.size()); }
  // Nullptr when the index is out of range.
  const TFastIniSection* Section(int index) const;

  // Window bounds under the keys "Left", "Top", "Width", "Height". Reading
  // does nothing unless the section has "Left"; each value defaults to the
  // window's current one. Without a section the window's own name is used.
  void ReadFormBounds(std::string_view section, IFormBounds* window) const;
  void WriteFormBounds(std::string_view section, const IFormBounds* window);
  void ReadFormBounds(IFormBounds* window) const;
  void WriteFormBounds(const IFormBounds* window);

  // Column widths under the keys "<grid name>_col<n>", n counted from 1.
  // Without a section the name of the grid's window is used.
  void ReadGridColWidths(std::string_view section, IGridColumns* grid) const;
  void WriteGridColWidths(std::string_view section, const IGridColumns* grid);
  void ReadGridColWidths(IGridColumns* grid) const;
  void WriteGridColWidths(const IGridColumns* grid);

  bool Failed() const { return failed_; }
  bool Modified() const { return modified_; }
  const std::string& FileName() const { return fileName_; }
  // The file's text as Save writes it.
  std::string ToText() const;

 private:
  const TFastIniSection* FindSection(std::string_view section) const;
  TFastIniSection* FindSection(std::string_view section);
  TFastIniSection& FindOrAddSection(std::string_view section);
  const TFastIniKey* FindKey(std::string_view section, std::string_view key) const;
  // `current` is the index of the section that key lines go to; -1 for none.
  void ParseLine(std::string_view line, int& current);

  std::vector<TFastIniSection> sections_;
  bool modified_ = false;
  bool failed_ = false;
  std::string fileName_;
};

}  // namespace vertamo
