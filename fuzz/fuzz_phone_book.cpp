// The address book loader on arbitrary bytes: load, check the limits, save
// (through the temporary file and the rename), load again and demand the same
// entries (a book not read whole keeps what it set aside after them),
// export; each address is judged diallable or not.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "iptel/dial_address.h"
#include "voice/phone_book.h"
#include "support/temp_folder.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const vertamo::testing::TempFolder work(vertamo::testing::FastTempBase());
  static const std::string folder = work.folder();
  {
    std::ofstream out(folder + "IpAbonents.ini", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  vertamo::TPhoneBook book(folder);
  Check(book.LoadPhoneBook());
  Check(book.Count() <= vertamo::TPhoneBook::kMaxEntries);
  for (int i = 0; i < book.Count(); ++i) {
    Check(book.At(i)->Name.size() < 64 && book.At(i)->Adr.size() < 64);
    Check(book.At(i)->Name.find('\0') == std::string::npos);
    // Every stored address is judged diallable or not without fault.
    const std::string why = vertamo::DialAddressProblem(book.At(i)->Adr);
    Check(!why.empty() || !book.At(i)->Adr.empty());  // an empty address is never dialled
  }
  book.SavePhoneBook();
  vertamo::TPhoneBook again(folder);
  const bool loaded = again.LoadPhoneBook();
  if (book.ReadWhole()) {
    Check(loaded == (book.Count() > 0));
    Check(again.Count() == book.Count());
  } else {
    // What was kept aside unread comes back after the entries shown.
    Check(again.Count() >= book.Count());
    for (int i = 0; i < book.Count(); ++i) Check(again.At(i)->Name == book.At(i)->Name);
  }
  Check(book.ExportPhoneBook(folder + "Ip.dat"));
  return 0;
}
