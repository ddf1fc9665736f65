// Two concrete shared-memory lists for the tests, benchmarks and fuzz targets:
// one of 32-bit numbers (fixed-size records) and one of texts (records of any
// size). Their records: the marker (the number of data bytes), then
//   numbers  int32 value
//   texts    int32 n, then n UTF-16 code units
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Streams.h"
#include "runtime1/files/Mystreammemlists.h"

namespace qn::test_support {

struct TNumberHolder : TUsefulBaseListObject {
  int32_t value = 0;
};

class TNumberMemList : public TMyStreamMemList {
 public:
  explicit TNumberMemList(std::u16string_view name) : TMyStreamMemList(name, ClassOf<TNumberHolder, 4>()) {}

  void AddNumber(int32_t value) {
    auto* item = new TNumberHolder();
    item->value = value;
    Add(item);
  }
  int32_t Number(int32_t i) const { return static_cast<TNumberHolder*>(Items(i))->value; }

  int32_t SizeofHolderData(int32_t) override { return 8; }
  bool WriteHolderToMap(int32_t i) override {
    uint8_t record[8];
    platform::PutLE<int32_t>(record, 4);
    platform::PutLE<int32_t>(record + 4, Number(i));
    return memmap->WriteToMemmap(record, memmap->Position(), 8);
  }
  int32_t ReadHolderFromMap(int32_t bytesLeft) override {
    uint8_t data[4];
    if (bytesLeft < 4 || memmap->ReadFromMemmap(data, memmap->Position(), 4) != 4) return -1;
    AddNumber(platform::GetLE<int32_t>(data));
    return 4;
  }
};

struct TTextHolder : TUsefulBaseListObject {
  std::u16string text;
};

class TTextMemList : public TMyStreamMemList {
 public:
  explicit TTextMemList(std::u16string_view name) : TMyStreamMemList(name, ClassOf<TTextHolder, 4>()) {}

  void AddText(std::u16string_view text) {
    auto* item = new TTextHolder();
    item->text = text;
    Add(item);
  }
  const std::u16string& Text(int32_t i) const { return static_cast<TTextHolder*>(Items(i))->text; }

  int32_t SizeofHolderData(int32_t i) override { return 8 + 2 * static_cast<int32_t>(Text(i).size()); }
  bool WriteHolderToMap(int32_t i) override {
    const std::u16string& text = Text(i);
    platform::TByteWriter record;
    record.Put<int32_t>(4 + 2 * static_cast<int32_t>(text.size()))
        .Put<int32_t>(static_cast<int32_t>(text.size()))
        .PutUnits(text);
    return memmap->WriteToMemmap(record.Bytes().data(), memmap->Position(),
                                 static_cast<int32_t>(record.Size()));
  }
  int32_t ReadHolderFromMap(int32_t bytesLeft) override {
    const int32_t start = memmap->Position();
    uint8_t count[4];
    if (bytesLeft < 4 || memmap->ReadFromMemmap(count, start, 4) != 4) return -1;
    const int32_t n = platform::GetLE<int32_t>(count);
    // The count is checked against the bytes left before anything is made.
    if (n < 0 || n > (bytesLeft - 4) / 2) return -1;
    std::u16string text(static_cast<size_t>(n), u'\0');
    std::string bytes(2 * static_cast<size_t>(n), '\0');
    if (memmap->ReadFromMemmap(bytes.data(), start + 4, 2 * n) != 2 * n) return -1;
    for (int32_t k = 0; k < n; ++k) {
      text[static_cast<size_t>(k)] = platform::GetLE<char16_t>(reinterpret_cast<const uint8_t*>(bytes.data()) + 2 * k);
    }
    AddText(text);
    return 4 + 2 * n;
  }
};

}  // namespace qn::test_support
