// The fast scanner of sheet and shared-string parts against expat: every
// XML part of the test workbooks (files saved by openpyxl, by LibreOffice,
// by hand and by this program's writer) gives the same events through both,
// fed whole or in small pieces; forms it does not handle are refused; and a
// part refused late is read again by expat as if the scanner had not run.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "files/file_error.h"
#include "files/files_test_support.h"
#include "files/model_compare.h"
#include "files/package_builder.h"
#include "files/save_check.h"
#include "files/xlsx_reader_internal.h"
#include "files/xml_scanner.h"
#include "files/zip_archive.h"
#include "host/model_worksheet.h"

namespace fenban::files {
namespace {

using testing::TempDir;

// The events of a parse as text, with the character data between two tags joined.
class Recorder : public XmlHandler {
 public:
  void Start(std::string_view name, const char** attrs) override {
    Flush();
    std::string event = "<" + std::string(name);
    for (size_t i = 0; attrs[i] != nullptr; i += 2) event += "\x1f" + std::string(attrs[i]) + "=" + attrs[i + 1];
    events_.push_back(event);
  }
  void End(std::string_view name) override {
    Flush();
    events_.push_back("/" + std::string(name));
  }
  void Text(std::string_view text) override { text_.append(text); }
  std::vector<std::string> Events() {
    Flush();
    return events_;
  }

 private:
  void Flush() {
    if (!text_.empty()) events_.push_back("\"" + text_);
    text_.clear();
  }
  std::vector<std::string> events_;
  std::string text_;
};

// Scans xml fed in pieces of `piece` bytes; nullopt when refused.
std::optional<std::vector<std::string>> Scanned(std::string_view xml, size_t piece) {
  Recorder recorder;
  XmlScanner scanner(recorder);
  for (size_t i = 0; i < xml.size(); i += piece) {
    if (!scanner.Feed(xml.data() + i, std::min(piece, xml.size() - i))) return std::nullopt;
  }
  if (!scanner.Finish()) return std::nullopt;
  return recorder.Events();
}

// Expat's events; nullopt when expat finds the XML malformed.
std::optional<std::vector<std::string>> Parsed(std::string_view xml) {
  Recorder recorder;
  try {
    ParseXmlText(xml, "part", recorder);
  } catch (const FormatError&) {
    return std::nullopt;
  }
  return recorder.Events();
}

// Checks that the scanner, fed whole and in pieces, either refuses xml or
// gives expat's events, and refuses whatever expat finds malformed.
// Returns whether the scanner handled it.
bool ScansAsExpatParses(std::string_view xml, const std::string& label) {
  const auto expected = Parsed(xml);
  const auto whole = Scanned(xml, xml.size() + 1);
  if (!expected) {
    EXPECT_FALSE(whole.has_value()) << label << ": accepted what expat refuses";
  } else if (whole) {
    EXPECT_EQ(*whole, *expected) << label;
  }
  std::vector<size_t> pieces = {2, 7, 300, 4096};
  if (xml.size() < 20000) pieces.push_back(1);
  for (const size_t piece : pieces) {
    EXPECT_EQ(Scanned(xml, piece), whole) << label << " in pieces of " << piece;
  }
  return whole.has_value();
}

bool IsXmlPart(const std::string& name) {
  return name.ends_with(".xml") || name.ends_with(".rels") || name.ends_with(".vml");
}

// Every XML part of the workbook at path; a part that cannot be read is left out.
std::vector<std::pair<std::string, std::string>> XmlParts(const std::string& path) {
  std::vector<std::pair<std::string, std::string>> parts;
  try {
    const ZipArchive zip = ZipArchive::OpenFile(path);
    for (const std::string& name : zip.Names()) {
      if (!IsXmlPart(name)) continue;
      try {
        parts.emplace_back(name, zip.Read(name, size_t{64} << 20));
      } catch (const FormatError&) {
      }
    }
  } catch (const FormatError&) {
  }
  return parts;
}

TEST(XmlScanner, EveryPartOfTheTestWorkbooksScansAsExpatParsesIt) {
  TempDir dir;
  // A workbook of this program's writer with the texts that need escaping.
  host::ModelWorkbook written("a.xlsx", dir.Path());
  host::ModelWorksheet& sheet = written.AppendSheet("数据表");
  const std::vector<std::string> texts = {"<&>\"'", "行一\r\n行二\t制表", "_x0041_ 字面", "😀 é ]]> 末尾 ", " "};
  for (size_t i = 0; i < texts.size(); ++i) sheet.SetCellValue(static_cast<int32_t>(i + 1), 1, texts[i]);
  sheet.SetCellValue(1, 2, 0.1 + 0.2);
  sheet.SetCellValue(2, 2, host::Value::Boolean(true));
  sheet.Merge(host::Rect{7, 1, 8, 2});
  WriteXlsx(written, dir.File("a.xlsx"));

  std::vector<std::string> files = {dir.File("a.xlsx")};
  for (const auto& entry : std::filesystem::directory_iterator(FENBAN_TEST_DATA)) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  size_t handled = 0, parts = 0;
  for (const std::string& file : files) {
    const std::string name = std::filesystem::path(file).filename();
    const bool fromPrograms = name == "a.xlsx" || name.starts_with("openpyxl_") || name.starts_with("libreoffice_");
    for (const auto& [part, xml] : XmlParts(file)) {
      ++parts;
      const bool scanned = ScansAsExpatParses(xml, name + " " + part);
      handled += scanned ? 1 : 0;
      // What spreadsheet programs write goes the fast way.
      if (fromPrograms && (part.find("worksheets/") != std::string::npos || part.ends_with("sharedStrings.xml"))) {
        EXPECT_TRUE(scanned) << name << " " << part;
      }
      if ((name == "doctype.xlsx" || name == "cut_sheet.xlsx") && part.find("worksheets/") != std::string::npos) {
        EXPECT_FALSE(scanned) << name;
      }
    }
  }
  EXPECT_GT(parts, 100u);
  EXPECT_GT(handled, parts * 9 / 10);
}

TEST(XmlScanner, TheFormsItHandlesGiveExpatsEvents) {
  const std::vector<std::string> documents = {
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<x:sheet xmlns:x=\"urn:a\"><x:c r='A1' t = "
      "\"s\">a &amp; b &lt;&gt;&quot;&apos; &#20013;&#x1F600;</x:c></x:sheet>",
      "<a b=\"1\r\n2\t3\n4\r5\">x\r\ny\rz\n</a>\r\n",
      "<a b=\"&#10;&#9;&#13;\">&#13;&#xd;</a>",
      "<?xml version='1.0'?><a/>",
      "<?xml version=\"1.0\" standalone=\"no\" ?>\n<a></a >  \n",
      "<a><b/><b></b>]]<c>]>]</c></a>",
      "<a>中文😀 é\t</a>",
      "<a b='\"' c=\"'\" d=\">\" e=\"]]>\"/>",
      "<a:b.c-d_e x:y='1'><f/></a:b.c-d_e>",
  };
  for (const std::string& xml : documents) {
    EXPECT_TRUE(Parsed(xml).has_value()) << xml;
    EXPECT_TRUE(ScansAsExpatParses(xml, xml)) << xml;
  }
}

TEST(XmlScanner, FormsItDoesNotHandleAndBrokenXmlAreRefused) {
  const std::vector<std::string> documents = {
      // well-formed, left to expat
      "<!DOCTYPE a><a/>", "<a><![CDATA[x]]></a>", "<a><!-- c --></a>", "<a/><!-- c -->", "<a><?pi x?></a>",
      "\xEF\xBB\xBF<a/>", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xE9</a>", "<\xC3\xA9/>",
      "<a \xC3\xA9=\"1\"/>", "<?xml version=\"1.0\" encoding=\"UTF-16\"?><a/>",
      // malformed
      "<a>&nbsp;</a>", "<a>&#0;</a>", "<a>&#xD800;</a>", "<a>&#xFFFE;</a>", "<a>&#x110000;</a>", "<a>&;</a>",
      "<a>&amp</a>", "<a>&#X41;</a>", "<a b=\"&lt\"/>", " <?xml version=\"1.0\"?><a/>", "<?xml encoding=\"UTF-8\"?><a/>", "<a></b>",
      "<a><b></a></b>", "<a>", "<a><b/>", "", "   ", "<a b=\"1\" b=\"2\"/>", "<a b=\"1\"c=\"2\"/>", "<a b=1/>",
      "<a b=\"<\"/>", "<a>\xC3</a>", "<a>\xC0\xAF</a>", "<a>\xED\xA0\x80</a>", "<a>\xEF\xBF\xBE</a>",
      "<a>\xF4\x90\x80\x80</a>", "<a>\x01</a>", "<a b=\"\x02\"/>", "<a>x]]>y</a>", "<a/><b/>", "x<a/>", "<a/>x",
      "<a/ >", "< a/>", "<a>\x7F</a>", "<a", "<a b=\"1", "</a>", "<a></a></a>"};
  for (const std::string& xml : documents) {
    EXPECT_FALSE(ScansAsExpatParses(xml, xml)) << xml;
  }
  // Limits that keep a hostile part from costing the scanner more than expat.
  std::string many = "<a";
  for (size_t i = 0; i <= XmlScanner::kMaxAttributes; ++i) many += " a" + std::to_string(i) + "=\"1\"";
  EXPECT_TRUE(Parsed(many + "/>").has_value());
  EXPECT_FALSE(ScansAsExpatParses(many + "/>", "many attributes"));
  EXPECT_TRUE(ScansAsExpatParses(many.substr(0, many.rfind(' ')) + "/>", "attributes up to the limit"));
  const std::string longText = "<a>" + std::string(XmlScanner::kMaxToken + (1 << 17), 'x') + "</a>";
  EXPECT_FALSE(Scanned(longText, 1 << 16).has_value());
  EXPECT_TRUE(Scanned(longText.substr(0, XmlScanner::kMaxToken - 1) + "</a>", 1 << 16).has_value());
}

// The sheet part below, read the fast way and, with a comment before its
// end, read again by expat after the scanner refused it late.
std::string FeaturedSheet(const std::string& tail) {
  return "<sheetPr/><sheetViews><sheetView zoomScale=\"120\"><pane ySplit=\"1\" topLeftCell=\"A2\" state=\"frozen\"/>"
         "</sheetView></sheetViews><sheetFormatPr defaultRowHeight=\"18\" defaultColWidth=\"12\"/>"
         "<cols><col min=\"1\" max=\"2\" width=\"20\" customWidth=\"1\"/></cols><sheetData>"
         "<row r=\"1\" ht=\"30\" customHeight=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>姓名 &amp; 号</t></is></c>"
         "<c r=\"B1\"><v>2.5</v></c><c r=\"C1\"><f>A2+B1</f></c><c r=\"D1\"><f>NOSUCH(1)</f></c></row>"
         "<row r=\"2\"><c r=\"A2\"><v>4</v></c><c r=\"B2\" t=\"b\"><v>1</v></c><c r=\"C2\" t=\"e\"><v>#N/A</v></c></row>"
         "</sheetData><autoFilter ref=\"A1:C2\"/><mergeCells count=\"1\"><mergeCell ref=\"E1:F2\"/></mergeCells>"
         "<conditionalFormatting sqref=\"A1\"/>"
         "<dataValidations count=\"1\"><dataValidation type=\"list\" allowBlank=\"1\" sqref=\"B1:B9\">"
         "<formula1>\"是,否\"</formula1></dataValidation></dataValidations>"
         "<pageMargins left=\"0.5\" right=\"0.5\" top=\"1\" bottom=\"1\" header=\"0.3\" footer=\"0.3\"/>"
         "<pageSetup orientation=\"landscape\" scale=\"90\"/><headerFooter><oddFooter>&amp;C&amp;P</oddFooter>"
         "</headerFooter><rowBreaks count=\"1\"><brk id=\"1\"/></rowBreaks>" +
         tail;
}

TEST(XmlScannerFallback, ASheetRefusedLateReadsAsTheSameSheetReadTheFastWay) {
  TempDir dir;
  testing::WritePackage(dir.File("fast.xlsx"), {FeaturedSheet("")});
  testing::WritePackage(dir.File("late.xlsx"), {FeaturedSheet("<!-- written by hand -->")});
  auto fast = ReadWorkbook(dir.File("fast.xlsx"));
  auto late = ReadWorkbook(dir.File("late.xlsx"));
  EXPECT_EQ(testing::DiffText(*fast, *late), "");
  EXPECT_EQ(fast->FileOrigin().unkeptParts, late->FileOrigin().unkeptParts);
  EXPECT_EQ(fast->ModelSheetAt(1).UncomputedFormulas(), late->ModelSheetAt(1).UncomputedFormulas());
  EXPECT_EQ(late->ModelSheetAt(1).Merges().size(), 1u);
  EXPECT_EQ(late->ModelSheetAt(1).Validations().size(), 1u);
  EXPECT_EQ(late->ModelSheetAt(1).CellValue(1, 3).Number(), 6.5);

  // The cell budget spent on the refused read is given back: the least
  // budget the fast read needs is enough for the read again.
  const auto readWith = [&](const std::string& file, uint64_t slots) {
    const ZipArchive zip = ZipArchive::OpenFile(dir.File(file));
    try {
      ReadXlsxArchive(zip, file, dir.Path(), slots);
      return true;
    } catch (const FormatError&) {
      return false;
    }
  };
  uint64_t least = 1;
  while (!readWith("fast.xlsx", least)) ++least;
  EXPECT_FALSE(readWith("late.xlsx", least - 1));
  EXPECT_TRUE(readWith("late.xlsx", least));
}

// A part large enough to be inflated on a second thread while it is scanned:
// the scanner stops that thread when it refuses the part near its end.
TEST(XmlScannerFallback, ALargePartRefusedNearItsEndIsReadAgainWhole) {
  TempDir dir;
  const int32_t count = 60000;
  const std::string rows = testing::LargeSheetData(count);
  ASSERT_GT(rows.size(), ZipArchive::kPipelinedSize);
  testing::WritePackage(dir.File("a.xlsx"), {rows + "<!-- -->"});
  auto book = ReadWorkbook(dir.File("a.xlsx"));
  host::ModelWorksheet& sheet = book->ModelSheetAt(1);
  EXPECT_EQ(sheet.RowsData().size(), static_cast<size_t>(count));
  EXPECT_EQ(sheet.CellValue(count, 1).Text(), "学生" + std::to_string(count));
  EXPECT_EQ(sheet.CellValue(count, 2).Number(), count % 750 + 0.5);
  EXPECT_NO_THROW(CheckWrittenFile(*book, dir.File("a.xlsx")));
}

TEST(XmlScannerFallback, SharedStringsRefusedHalfWayAreReadOnce) {
  TempDir dir;
  const std::string cells = "<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>2</v></c>"
                            "<c r=\"C1\" t=\"s\"><v>3</v></c></row></sheetData>";
  testing::WritePackage(dir.File("a.xlsx"), {cells}, "",
                        "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><si><t>甲</t></si>"
                        "<si><t>乙</t></si><!-- --><si><t>丙</t></si><si><r><t>丁</t></r><r><t>戊</t></r></si></sst>");
  auto book = ReadWorkbook(dir.File("a.xlsx"));
  host::ModelWorksheet& sheet = book->ModelSheetAt(1);
  EXPECT_EQ(sheet.CellValue(1, 1).Text(), "甲");
  EXPECT_EQ(sheet.CellValue(1, 2).Text(), "丙");
  EXPECT_EQ(sheet.CellValue(1, 3).Text(), "丁戊");
}

// The read-back check of a part refused late starts its walk of the model again.
TEST(XmlScannerFallback, TheCheckOfARefusedPartComparesItOnce) {
  TempDir dir;
  host::ModelWorkbook model("a.xlsx", dir.Path());
  host::ModelWorksheet& sheet = model.AppendSheet("S1");
  sheet.SetCellValue(1, 1, 1);
  sheet.SetCellValue(2, 2, "乙");
  const std::string rows = "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"2\"><c r=\"B2\" "
                           "t=\"inlineStr\"><is><t>乙</t></is></c></row></sheetData>";
  testing::WritePackage(dir.File("a.xlsx"), {rows + "<!-- -->"});
  EXPECT_NO_THROW(CheckWrittenFile(model, dir.File("a.xlsx")));
  sheet.SetCellValue(2, 2, "丙");
  try {
    CheckWrittenFile(model, dir.File("a.xlsx"));
    ADD_FAILURE() << "a wrong cell passed the check";
  } catch (const FormatError& error) {
    EXPECT_NE(std::string(error.what()).find("单元格 B2"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace fenban::files
