// lemmatise (words on standard input, headwords out, through the lemmatiser's
// C functions) and detect (the encoding each text will be read in, and why).
#include <unicode/ucsdet.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <iostream>
#include <span>
#include <string>

#include "cli/quillon/Commands.h"
#include "cli/quillon/Workers.h"
#include "platform/CaseMapping.h"
#include "platform/CodePages.h"
#include "platform/Exceptions.h"
#include "platform/Locales.h"
#include "platform/Streams.h"
#include "quillon/QuillonLemmatiser.h"
#include "runtime1/files/FileOfChar.h"
#include "runtime1/files/Zip_utils.h"

namespace quillon {

int RunLemmatise(const std::string& lemmas, const TOutputOptions& output) {
  constexpr uint8_t kSlot = 0;
  const uint32_t lcid = qn::platform::UserDefaultLCID();
  const std::u16string name = Utf16(lemmas);
  if (::access(lemmas.c_str(), R_OK) != 0 ||
      !LoadedOne(kSlot, reinterpret_cast<const QNWideChar*>(name.c_str()), QN_KIND_LEMMA, {}, {}, lcid, false, false)) {
    throw TFatal{kExitCannot, lemmas + ": no lemma pairs could be read from this list"};
  }
  TTableWriter out(output, {"word", "headword"});
  std::string word;
  while (std::cin >> word) {
    const std::u16string wide = Utf16(word);
    const std::u16string upper = qn::platform::UpperCasedForLCID(lcid, wide);
    const auto* head = static_cast<const QNWideChar*>(TallierChangeWord(kSlot, upper.c_str(), 0, QN_TRUE16));
    out.Str(word);
    if (head != nullptr && head[0] != 0) {
      out.Str(Lowered(reinterpret_cast<const char16_t*>(head)));
    } else {
      out.Str(word);
    }
    out.EndRow();
  }
  out.Finish();
  ClearOne(kSlot, QN_KIND_LEMMA);
  return kExitOk;
}

namespace {

struct TDetection {
  std::string encoding, reason, detected;
  int32_t confidence = -1;
};

TDetection Detect(std::span<const uint8_t> bytes) {
  TDetection d;
  qn::platform::TTextEncoding used = qn::platform::kEncodingDefault;
  qn::DecodedTextFileBytes(bytes, &used);
  const bool markUtf8 = bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF;
  const bool markUtf16 = bytes.size() >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF));
  if (used == qn::platform::kEncodingUTF8) {
    d.encoding = "UTF-8";
    d.reason = markUtf8 ? "mark" : "UTF-8 evidence";
  } else if (used == qn::platform::kEncodingUTF16LE || used == qn::platform::kEncodingUTF16BE) {
    d.encoding = used == qn::platform::kEncodingUTF16LE ? "UTF-16LE" : "UTF-16BE";
    d.reason = markUtf16 ? "mark" : "UTF-16 without mark";
  } else {
    d.encoding = "8-bit";
    d.reason = "8-bit";
    UErrorCode status = U_ZERO_ERROR;
    UCharsetDetector* detector = ucsdet_open(&status);
    if (U_SUCCESS(status)) {
      const int32_t length = static_cast<int32_t>(std::min<size_t>(bytes.size(), 1u << 20));
      ucsdet_setText(detector, reinterpret_cast<const char*>(bytes.data()), length, &status);
      const UCharsetMatch* match = ucsdet_detect(detector, &status);
      if (U_SUCCESS(status) && match != nullptr) {
        const char* charset = ucsdet_getName(match, &status);
        if (U_SUCCESS(status) && charset != nullptr) d.detected = charset;
        d.confidence = ucsdet_getConfidence(match, &status);
      }
      ucsdet_close(detector);
    }
  }
  return d;
}

}  // namespace

namespace {

// One text's row of the report, as a worker hands it back: the text's index
// and the fields, each length-prefixed (checked on reading).
void PutField(std::string& out, std::string_view field) {
  out += std::to_string(field.size());
  out += ':';
  out += field;
}

std::string_view TakeField(std::string_view& rest) {
  const size_t colon = rest.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon > 12) throw TFatal{kExitCannot, "worker results cut short"};
  size_t n = 0;
  for (const char c : rest.substr(0, colon)) {
    if (c < '0' || c > '9') throw TFatal{kExitCannot, "worker results cut short"};
    n = n * 10 + static_cast<size_t>(c - '0');
  }
  rest.remove_prefix(colon + 1);
  if (n > rest.size()) throw TFatal{kExitCannot, "worker results cut short"};
  const std::string_view field = rest.substr(0, n);
  rest.remove_prefix(n);
  return field;
}

}  // namespace

int RunDetect(const std::vector<std::string>& paths, TInputOptions& input, const TOutputOptions& output) {
  ApplyInputOptions(input);
  std::vector<TTextRef> texts;
  ListTexts(paths, input, 0, texts);
  NumberAndShard(texts, input);
  TTableWriter out(output, {"file", "encoding", "reason", "code_page", "detected", "confidence"});
  // Worker w reports the texts w, w + n, ...: per text its index, encoding,
  // reason, detected set and confidence ("" when there is none); a text that
  // could not be read gives no row.
  const auto work = [&](int w, int n) {
    std::string rows;
    std::unique_ptr<qn::TZipForge> zip;
    std::u16string zipPath;
    for (size_t i = static_cast<size_t>(w); i < texts.size(); i += static_cast<size_t>(n)) {
      const TTextRef& ref = texts[i];
      std::vector<uint8_t> bytes;
      try {
        if (ref.zipEntry < 0) {
          bytes = qn::platform::ReadWholeFile(ref.path);
        } else {
          if (!zip || zipPath != ref.path) {
            zip = std::make_unique<qn::TZipForge>();
            zip->SetFileName(ref.path);
            zipPath = ref.path;
            zip->OpenArchive();
          }
          const std::string entry = zip->ExtractEntryToString(ref.zipEntry);
          bytes.assign(entry.begin(), entry.end());
        }
      } catch (const qn::Exception& error) {
        if (ref.zipEntry >= 0) zip.reset();
        ReportProblem(ref.display, error.what());
        continue;
      }
      const TDetection d = Detect(bytes);
      PutField(rows, std::to_string(i));
      PutField(rows, d.encoding);
      PutField(rows, d.reason);
      PutField(rows, d.detected);
      PutField(rows, d.confidence >= 0 ? std::to_string(d.confidence) : std::string());
    }
    return rows;
  };
  const std::vector<std::string> parts = RunInWorkers(input.jobs, texts, work);
  // Back in the order of the texts.
  std::vector<std::vector<std::string>> rows(texts.size());
  for (const std::string& part : parts) {
    std::string_view rest(part);
    while (!rest.empty()) {
      const std::string index(TakeField(rest));
      std::vector<std::string> fields;
      for (int f = 0; f < 4; ++f) fields.emplace_back(TakeField(rest));
      const size_t i = static_cast<size_t>(std::strtoull(index.c_str(), nullptr, 10));
      if (i >= rows.size() || !rows[i].empty()) throw TFatal{kExitCannot, "worker results differ"};
      rows[i] = std::move(fields);
    }
  }
  for (size_t i = 0; i < texts.size(); ++i) {
    const std::vector<std::string>& row = rows[i];
    if (row.empty()) continue;
    out.Str(texts[i].display);
    out.Str(row[0]);
    out.Str(row[1]);
    if (row[0] == "8-bit") {
      out.Int(qn::platform::ActiveCodePage());
      out.Str(row[2]);
      if (!row[3].empty()) out.Int(std::strtoll(row[3].c_str(), nullptr, 10));
      else out.Empty();
    } else {
      out.Empty();
      out.Empty();
      out.Empty();
    }
    out.EndRow();
  }
  out.Finish();
  return AnyInputFailed() ? kExitSomeInputsFailed : kExitOk;
}

}  // namespace quillon
