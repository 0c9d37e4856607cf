#include "app/teacher_manual.h"

#include <cstdint>
#include <vector>

#include <fmt/format.h>

namespace fenban::app {

namespace {

// Decodes one UTF-8 character at text[i], advancing i; invalid bytes give U+FFFD.
uint32_t NextCodePoint(std::string_view text, size_t& i) {
  auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  uint8_t lead = byte(i);
  int extra = 0;
  uint32_t cp = 0;
  if (lead < 0x80) {
    ++i;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1;
    cp = lead & 0x1Fu;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2;
    cp = lead & 0x0Fu;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3;
    cp = lead & 0x07u;
  } else {
    ++i;
    return 0xFFFD;
  }
  if (i + static_cast<size_t>(extra) >= text.size()) {  // cut short at the end
    i = text.size();
    return 0xFFFD;
  }
  for (int k = 1; k <= extra; ++k) {
    uint8_t next = byte(i + static_cast<size_t>(k));
    if ((next & 0xC0) != 0x80) {
      i += static_cast<size_t>(k);
      return 0xFFFD;
    }
    cp = (cp << 6) | (next & 0x3Fu);
  }
  i += static_cast<size_t>(extra) + 1;
  return cp;
}

void AppendUnicode(std::string& out, uint32_t unit) {
  // RTF reads \u as a signed 16-bit number.
  int32_t value = unit >= 0x8000 ? static_cast<int32_t>(unit) - 0x10000 : static_cast<int32_t>(unit);
  out += fmt::format("\\u{}?", value);
}

// The manual's content: headings, paragraphs and list items.
enum class Kind { Title, Heading, Paragraph, Item };
struct Block {
  Kind kind;
  std::string text;
};

std::vector<Block> ManualBlocks() {
  return {
      {Kind::Title, "分班程序 fenban 使用说明"},
      {Kind::Paragraph,
       "fenban 把一个年级的学生分成人数、成绩和男女等情况都均衡的班级，并用一张统计表比较各班。"
       "它在终端里运行，读写的是普通的 .xlsx 工作簿，可以用 WPS、LibreOffice 或 Excel 打开。"},

      {Kind::Heading, "一、文件夹里有什么"},
      {Kind::Item, "fenban.xlsx：主工作簿。“DTB”表保存选项和表号，“登记表”登记要统计的学科，“FBB”“JZB”“SYB”是分班时用的工作表，平时是空的。"},
      {Kind::Item, "数据 文件夹：放学生名单（数据工作簿），每个学年或每次分班一个文件，.xlsx 或 .xls 都可以。"},
      {Kind::Item, "help.doc：本说明。"},

      {Kind::Heading, "二、分班的步骤"},
      {Kind::Item, "1. 建立文件夹：fenban init 分班2026。想先试一试，可以加 --example 400，程序会在 数据 文件夹里生成一个有 400 名学生的“示例.xlsx”。"},
      {Kind::Item, "2. 把学生名单放进 数据 文件夹。名单放在名为“数据表”的工作表里（没有这张表时，打开的那张表会被改名为“数据表”），第一行是表头，每个学生一行，中间不要有空行或空列。"
                   "表头要有“总分”；按性别、住校、应届均衡时还要有“性别”“住校”“应届”；统计表要用“姓名”和各学科的成绩；“预设班”一列可以写上必须分到的班号（1 到班级数，空白或 0 表示不预设；班号不对或预设到一个班的人数超过该班人数时，程序会列出这些学生，不分班）。姓名里的空格会被自动去掉。"},
      {Kind::Item, "3. 查看名单和选项：fenban -C 分班2026 list。列出 数据 文件夹里的工作簿和现在的七个选项。"},
      {Kind::Item, "4. 分班：fenban -C 分班2026 divide 名单.xlsx --classes 8 --by-sex。程序在名单工作簿里新建“分班表1”和“统计表1”（以后是 2、3……），保存后在屏幕上列出各班人数和最大差。"},
      {Kind::Item, "5. 手工调整：用表格软件打开名单工作簿，在“分班表”里改学生的班号（“新班级”一列），保存。"},
      {Kind::Item, "6. 重新统计：fenban -C 分班2026 stats 名单.xlsx 分班表1。按调整后的班号重排分班表，重建统计表。统计按这次分班的班数做，调到新的一个班（8 个班时的第 9 班）的学生算作那个班；另给的班级数与分班表的班数不同时，程序会提示，不按它统计。"},
      {Kind::Item, "7. 清理：fenban -C 分班2026 clean 名单.xlsx 分班表3。只留下“数据表”和第 3 次分班的两张表，其余的都删除；以后的分班又从 1 开始编号，但不会覆盖留下的那一对表。"},

      {Kind::Heading, "三、命令一览"},
      {Kind::Item, "init [文件夹] [--example N] [--seed S]：建立主工作簿、数据 文件夹和本说明；--example 生成 N 名学生的示例名单。已有 fenban.xlsx 时不会覆盖它。"},
      {Kind::Item, "list：列出可选的数据工作簿（前面的数字是它在列表里的位置）和选项。"},
      {Kind::Item, "divide 工作簿 [选项]：分班。"},
      {Kind::Item, "stats 工作簿 工作表：重建这张分班表（或统计表）所属一对表的统计。"},
      {Kind::Item, "clean 工作簿 [工作表]：删除“数据表”和这张表所属一对表以外的所有工作表；不写工作表时只留“数据表”。"},
      {Kind::Item, "template [--subjects 语文,数学,...]：重建“登记表”；给出 --subjects 时先把这些学科名（最多 19 个）写进登记表。"},
      {Kind::Item, "help：打开本说明。"},
      {Kind::Item, "在别的文件夹里运行时，用 -C 文件夹 指明 fenban.xlsx 所在的文件夹。"},

      {Kind::Heading, "四、选项"},
      {Kind::Item, "--classes K：班级数，默认 10。学生太少时会自动减少。"},
      {Kind::Item, "--excellent N：每班前 N 名算“优秀”，用于统计表，默认 20。"},
      {Kind::Item, "--pass N：每班前 N 名算“及格”，用于统计表，默认 30。"},
      {Kind::Item, "--top N：勾选均衡项时，全年级前“班级数×N”名只按成绩蛇形分配，默认 3；0 表示不用这一步。"},
      {Kind::Item, "--by-sex / --no-by-sex，--by-boarding / --no-by-boarding，--by-current / --no-by-current：是否按性别、住校、应届均衡。"},
      {Kind::Item, "--refine / --no-refine：分班后是否再优化：在班级人数和预设班不变的前提下调换学生，使各班总分和各科平均分、性别住校应届人数、优秀及格人数、总分标准差都尽量接近；数据表里“分开”列值相同的学生分到不同的班，“同班”列值相同的学生分到同一个班，同名学生尽量分开。做不到时程序会列出这些学生，不分班。不优化时不看“分开”“同班”，程序会提示。命令结束时显示每一项优化前后的最大差。"},
      {Kind::Item, "--round yes|no：分班前是否把总分四舍五入为整数（写在登记表 C2）。"},
      {Kind::Item, "--seed S：随机种子。同分学生的先后是随机的；每次分班都会显示所用的种子，用同一个种子可以得到完全相同的分班结果。"},
      {Kind::Paragraph, "给出的选项会保存在 fenban.xlsx 里，下次不写就沿用。"},

      {Kind::Heading, "五、怎样看统计表"},
      {Kind::Paragraph, "统计表从上到下有三张表，每张表一班一行，最后一行“最大差”是各班中最大值减最小值，越小说明越均衡。"},
      {Kind::Item, "第一张表：“总人数”是各班人数；“性别 男”“住校 是”“应届 是”这样的列是各班中这一类学生的人数；“总分≥600”这样的列是总分达到这个分数的人数，分数线从高到低，每一档大约每班多 5 人。"},
      {Kind::Item, "表下的红字“同班同名统计”列出分在同一个班、姓名又相同的学生，没有时写“无”。"},
      {Kind::Item, "第二张表“优秀人数统计(前N名)”和“及格人数统计(前M名)”：全年级第“班级数×N”名的分数作为优秀线，第“班级数×M”名的分数作为及格线，各科分别统计，表中是各班达到这条线的人数。"},
      {Kind::Item, "第三张表“平均分统计”：各班总分最高的 N 名（或 M 名）学生在各科的平均分，保留一位小数。"},
      {Kind::Paragraph, "分班表按班分页，每班一页，可以直接打印发给班主任。"},

      {Kind::Heading, "六、出错时"},
      {Kind::Paragraph, "程序遇到问题时会在屏幕上写出“提示”“警告”或“错误”和原因，并且不保存任何文件，原来的文件保持不变。"
                        "程序结束时返回 0 表示成功，1 表示有提示或错误，2 表示命令写错了（用 fenban --help 查看写法）。"},
      {Kind::Paragraph, "正在被表格软件打开的工作簿也能处理，但请先在表格软件里关闭它，否则表格软件保存时会覆盖分班结果。"},
  };
}

}  // namespace

std::string RtfEscape(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() * 3);
  size_t i = 0;
  while (i < utf8.size()) {
    uint32_t cp = NextCodePoint(utf8, i);
    if (cp == '\\' || cp == '{' || cp == '}') {
      out += '\\';
      out += static_cast<char>(cp);
    } else if (cp == '\n') {
      out += "\\line ";
    } else if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp > 0xFFFF) {
      uint32_t v = cp - 0x10000;
      AppendUnicode(out, 0xD800 + (v >> 10));
      AppendUnicode(out, 0xDC00 + (v & 0x3FF));
    } else {
      AppendUnicode(out, cp);
    }
  }
  return out;
}

std::string BuildTeacherManual() {
  std::string doc =
      "{\\rtf1\\ansi\\ansicpg936\\deff0\\uc1\n"
      "{\\fonttbl{\\f0\\fnil\\fcharset134 SimSun;}{\\f1\\fnil\\fcharset134 SimHei;}}\n"
      "\\paperw11906\\paperh16838\\margl1440\\margr1440\\margt1440\\margb1440\n";
  for (const Block& block : ManualBlocks()) {
    switch (block.kind) {
      case Kind::Title:
        doc += "\\pard\\qc\\sb240\\sa360\\f1\\fs36\\b ";
        break;
      case Kind::Heading:
        doc += "\\pard\\sb240\\sa120\\f1\\fs28\\b ";
        break;
      case Kind::Paragraph:
        doc += "\\pard\\sa120\\fi480\\f0\\fs22 ";
        break;
      case Kind::Item:
        doc += "\\pard\\sa80\\li480\\f0\\fs22 ";
        break;
    }
    doc += RtfEscape(block.text);
    doc += (block.kind == Kind::Title || block.kind == Kind::Heading) ? "\\b0\\par\n" : "\\par\n";
  }
  doc += "}\n";
  return doc;
}

}  // namespace fenban::app
