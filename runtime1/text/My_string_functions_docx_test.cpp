#include "runtime1/text/My_string_functions_docx.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/testing/TestFiles.h"
#include "runtime1/files/Zip_utils.h"

namespace qn {
namespace {

using S = std::u16string;

TEST(DocumentXml, ParagraphsRunsAndReferences) {
  EXPECT_EQ(DocumentXmlText(u"<w:body><w:p><w:r><w:t>Hello</w:t></w:r><w:r><w:t xml:space=\"preserve\"> world"
                            u"</w:t></w:r></w:p><w:p w:rsidR=\"1\"><w:pPr/><w:r><w:t>Two</w:t></w:r></w:p></w:body>"),
            u"Hello world\r\nTwo\r\n");
  // <w:pPr> and <w:tab/> are not paragraphs or texts; a self-closing
  // paragraph adds nothing.
  EXPECT_EQ(DocumentXmlText(u"<w:p/><w:p><w:pPr><w:tab/></w:pPr><w:t>x</w:t></w:p>"), u"x\r\n");
  // References are decoded; unknown ones stay as written.
  EXPECT_EQ(DocumentXmlText(u"<w:p><w:t>a &amp; b &lt;c&gt; &quot;d&quot; &apos;e&apos; &#233;&#x1F600; &nbsp; &#0; &</w:t></w:p>"),
            u"a & b <c> \"d\" 'e' \u00E9\U0001F600 &nbsp; &#0; &\r\n");
  // A paragraph or a run without its closing tag ends at the end of the text.
  EXPECT_EQ(DocumentXmlText(u"<w:p><w:t>open"), u"open\r\n");
  EXPECT_EQ(DocumentXmlText(u""), u"");
}

TEST(DocumentXml, AlternateContentKeepsTheFallback) {
  EXPECT_EQ(DocumentXmlText(u"<w:p><w:t>a</w:t><mc:AlternateContent><mc:Choice><w:t>choice</w:t></mc:Choice>"
                            u"<mc:Fallback><w:t>b</w:t></mc:Fallback></mc:AlternateContent><w:t>c</w:t></w:p>"),
            u"abc\r\n");
  // Without a fallback the block goes; nested blocks are matched by depth.
  EXPECT_EQ(DocumentXmlText(u"<w:p><w:t>a</w:t><mc:AlternateContent><mc:Choice><w:t>x</w:t></mc:Choice>"
                            u"</mc:AlternateContent><w:t>c</w:t></w:p>"),
            u"ac\r\n");
  EXPECT_EQ(DocumentXmlText(u"<w:p><mc:AlternateContent><mc:Choice><mc:AlternateContent><mc:Fallback><w:t>in"
                            u"</w:t></mc:Fallback></mc:AlternateContent></mc:Choice><mc:Fallback><mc:AlternateContent>"
                            u"<mc:Fallback><w:t>deep</w:t></mc:Fallback></mc:AlternateContent></mc:Fallback>"
                            u"</mc:AlternateContent><w:t>!</w:t></w:p>"),
            u"deep!\r\n");
  // An unclosed block runs to the end of the text.
  EXPECT_EQ(DocumentXmlText(u"<w:p><w:t>a</w:t></w:p><mc:AlternateContent><w:p><w:t>lost</w:t></w:p>"), u"a\r\n");
}

TEST(DocumentXml, HostileNestingStaysLinear) {
  S deep;
  for (int i = 0; i < 20000; ++i) deep += u"<mc:AlternateContent><mc:Fallback>";
  deep += u"<w:p><w:t>x</w:t></w:p>";
  S opens;
  for (int i = 0; i < 200000; ++i) opens += u"<w:p>";
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(DocumentXmlText(deep), u"");  // deeper than the followed depth: removed
  EXPECT_EQ(DocumentXmlText(opens).size(), 2u);  // one paragraph running to the end
  const S amps = u"<w:p><w:t>" + S(300000, u'&') + u";</w:t></w:p>";
  EXPECT_EQ(DocumentXmlText(amps).size(), 300000u + 3u);
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 20.0);
}

class DocxFiles : public test_support::TTempFolderTest {
 protected:
  S MakeArchive(const char* name, const std::vector<std::pair<std::string, std::string>>& entries) {
    const auto path = fDir / name;
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    EXPECT_NE(archive, nullptr);
    for (const auto& [entry, bytes] : entries) {
      void* copy = std::malloc(bytes.size() + 1);
      std::memcpy(copy, bytes.data(), bytes.size());
      zip_source_t* source = zip_source_buffer(archive, copy, bytes.size(), 1);
      zip_file_add(archive, entry.c_str(), source, ZIP_FL_OVERWRITE);
    }
    EXPECT_EQ(zip_close(archive), 0);
    return test_support::Wide(path);
  }
};

TEST_F(DocxFiles, TheMainPartNotTheGlossary) {
  const S docx = MakeArchive("a.docx", {{"[Content_Types].xml", "<Types/>"},
                                        {"word/glossary/document.xml", "<w:p><w:t>glossary</w:t></w:p>"},
                                        {"word/document.xml", "<w:p><w:t>caf\xC3\xA9</w:t></w:p>"}});
  EXPECT_EQ(DOCXFileText(docx), u"caf\u00E9\r\n");
  // Without word/document.xml the first part named document.xml serves, in
  // any letter case; bytes after a zero byte are not text.
  const S other = MakeArchive("b.docx", {{"x/Document.XML", std::string("<w:p><w:t>one</w:t></w:p>\0<w:p>", 31)},
                                         {"y/document.xml", "<w:p><w:t>two</w:t></w:p>"}});
  EXPECT_EQ(DOCXFileText(other), u"one\r\n");
  const S none = MakeArchive("c.docx", {{"word/styles.xml", "<w:p><w:t>no</w:t></w:p>"}});
  EXPECT_EQ(DOCXFileText(none), u"");
  EXPECT_EQ(DOCXFileText(test_support::Wide(fDir / "missing.docx")), u"");
  test_support::WriteBytes(fDir / "bad.docx", "not a zip archive at all");
  EXPECT_THROW(DOCXFileText(test_support::Wide(fDir / "bad.docx")), EZipError);
}

}  // namespace
}  // namespace qn
