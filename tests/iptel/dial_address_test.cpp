// Which addresses of the address book the phone program can dial, and that a
// refused one says why.
#include "iptel/dial_address.h"

#include <gtest/gtest.h>

#include "platform/cp1251.h"

namespace vertamo {
namespace {

TEST(DialAddressTest, TakesHostsAndRefusesWhatCannotBeDialled) {
  struct Row {
    const char* address;  // UTF-8
    const char* why;      // the start of the reason; empty: diallable
  };
  const Row rows[] = {
      {"10.0.0.5", ""},
      {"255.255.255.255:1720", ""},
      {"post.example.org", ""},
      {"3*17*1@gw-2.local:1720", ""},
      {"", "Адрес не указан"},
      {"10.0.0.5 ", "В адресе не должно быть пробелов"},
      {"10.0.0.256", "Неверный IP адрес"},
      {"10.0.0", "Неверный IP адрес"},
      {"10.0.0.5.6", "Неверный IP адрес"},
      {"10..0.5", "Неверный IP адрес"},
      {"10.0.0.5:0", "Неверный порт"},
      {"10.0.0.5:99999", "Неверный порт"},
      {"10.0.0.5:", "Неверный порт"},
      {"@10.0.0.5", "Неверный номер"},
      {"1 2@10.0.0.5", "В адресе не должно быть пробелов"},
      {"3*1@", "В адресе нет имени"},
      {"холл.local", "Неверное имя узла"},
      {"-gate.local", "Неверное имя узла"},
      {"gate..local", "Неверное имя узла"},
      {"gate_1", "Неверное имя узла"},
  };
  for (const Row& row : rows) {
    const std::string why = Cp1251ToUtf8(DialAddressProblem(Utf8ToCp1251(row.address)));
    if (*row.why == '\0')
      EXPECT_EQ(why, "") << row.address;
    else
      EXPECT_EQ(why.rfind(row.why, 0), 0u) << row.address << ": " << why;
  }
}

}  // namespace
}  // namespace vertamo
