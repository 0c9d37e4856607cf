#include "app/example_generator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <random>

#include <fmt/format.h>

#include "host/worksheet.h"

namespace fenban::app {

namespace {

// Random numbers from the raw engine output only, so the same seed gives the
// same students with every standard library.
class ExampleRandom {
 public:
  explicit ExampleRandom(uint64_t seed) : engine_(seed) {}
  double Uniform() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }  // [0, 1)
  size_t Index(size_t count) { return std::min(count - 1, static_cast<size_t>(Uniform() * static_cast<double>(count))); }
  bool Chance(double probability) { return Uniform() < probability; }
  double Normal() {  // Box-Muller
    double u1 = 1.0 - Uniform();
    double u2 = Uniform();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
  }

 private:
  std::mt19937_64 engine_;
};

// Common surnames, most frequent first; the first ones are drawn more often.
constexpr std::array kSurnames = {
    "王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙", "马", "朱", "胡", "郭", "何",
    "林", "高", "罗", "郑", "梁", "谢", "宋", "唐", "许", "韩", "冯", "邓", "曹", "彭", "曾", "肖", "田",
    "董", "潘", "袁", "蔡", "蒋", "余", "于", "杜", "叶", "程", "魏", "苏", "吕", "丁", "任", "卢", "姚",
    "沈", "钟", "姜", "崔", "谭", "陆", "范", "汪", "廖", "石", "金", "贾", "夏", "方", "邹", "熊", "白",
    "孟", "秦", "邱", "侯", "江", "薛", "雷", "龙", "史", "陶", "贺", "毛", "顾", "龚", "邵", "万", "欧阳"};

constexpr std::array kBoyChars = {"伟", "强", "磊", "军", "勇", "杰", "涛", "明", "超", "刚", "辉", "鹏", "华",
                                  "飞", "鑫", "波", "斌", "宇", "浩", "凯", "健", "俊", "帆", "旭", "宁", "龙",
                                  "阳", "博", "文", "轩", "晨", "昊", "天", "睿", "泽", "宏", "志", "建", "国",
                                  "东", "海", "峰", "子", "嘉", "一", "诚", "毅", "铭", "航", "成"};

constexpr std::array kGirlChars = {"芳", "娜", "敏", "静", "丽", "艳", "娟", "霞", "燕", "玲", "婷", "雪", "慧",
                                   "琳", "颖", "欣", "怡", "悦", "佳", "倩", "晶", "洁", "蕾", "薇", "璐", "莹",
                                   "萍", "梅", "琪", "雨", "涵", "思", "梦", "诗", "可", "馨", "月", "彤", "瑶",
                                   "晓", "子", "嘉", "一", "婉", "心", "语", "文", "然", "宁", "欢"};

struct Subject {
  const char* name;
  double maximum;
  double mean;
  double spread;
};

constexpr std::array kSubjects = {
    Subject{"语文", 150, 101, 15}, Subject{"数学", 150, 95, 24}, Subject{"英语", 150, 98, 21},
    Subject{"物理", 100, 64, 16},  Subject{"化学", 100, 67, 15}, Subject{"生物", 100, 69, 13},
    Subject{"政治", 100, 72, 10},  Subject{"历史", 100, 70, 12}, Subject{"地理", 100, 68, 12}};

std::string PickSurname(ExampleRandom& random) {
  // Squaring the uniform number favours the common names at the front.
  double u = random.Uniform();
  auto index = static_cast<size_t>(u * u * static_cast<double>(kSurnames.size()));
  return kSurnames[std::min(index, kSurnames.size() - 1)];
}

std::string PickGivenName(ExampleRandom& random, bool boy) {
  auto pick = [&] {
    return boy ? std::string(kBoyChars[random.Index(kBoyChars.size())])
               : std::string(kGirlChars[random.Index(kGirlChars.size())]);
  };
  std::string name = pick();
  if (random.Chance(0.68)) name += pick();
  return name;
}

double Score(ExampleRandom& random, const Subject& subject, double ability) {
  double raw = subject.mean + subject.spread * (0.78 * ability + 0.62 * random.Normal());
  raw = std::clamp(raw, 0.0, subject.maximum);
  // Mostly whole marks; now and then a half mark.
  double score = std::round(raw);
  if (random.Chance(0.04) && score < subject.maximum) score += 0.5;
  return score;
}

}  // namespace

std::vector<std::string> ExampleHeaders() {
  std::vector<std::string> headers = {"考号", "姓名", "性别", "住校", "应届"};
  for (const Subject& subject : kSubjects) headers.emplace_back(subject.name);
  headers.emplace_back("总分");
  headers.emplace_back("预设班");
  return headers;
}

std::vector<std::vector<host::Value>> GenerateExampleTable(int32_t studentCount, uint64_t seed) {
  ExampleRandom random(seed);
  std::vector<std::vector<host::Value>> table;
  std::vector<host::Value> header;
  for (const std::string& text : ExampleHeaders()) header.emplace_back(text);
  table.push_back(std::move(header));

  const size_t count = studentCount > 0 ? static_cast<size_t>(studentCount) : 0;
  const int idWidth = count > 9999 ? 6 : 4;
  for (size_t i = 0; i < count; ++i) {
    bool boy = random.Chance(0.51);
    std::vector<host::Value> row;
    row.emplace_back(fmt::format("2026{:0{}}", i + 1, idWidth));
    row.emplace_back(PickSurname(random) + PickGivenName(random, boy));
    row.emplace_back(boy ? "男" : "女");
    row.emplace_back(random.Chance(0.42) ? "是" : "否");
    row.emplace_back(random.Chance(0.88) ? "是" : "否");
    double ability = random.Normal();
    double total = 0;
    for (const Subject& subject : kSubjects) {
      double score = Score(random, subject, ability);
      total += score;
      row.emplace_back(score);
    }
    row.emplace_back(total);
    if (random.Chance(0.015)) {
      row.emplace_back(static_cast<int>(1 + random.Index(2)));  // fits every division into 2 classes or more
    } else {
      row.emplace_back(host::Value());
    }
    table.push_back(std::move(row));
  }

  // A few pairs of students who share a name (and so a sex), as real lists have.
  size_t pairs = count < 2 ? 0 : std::clamp<size_t>(count / 80, 1, 8);
  for (size_t p = 0; p < pairs; ++p) {
    size_t from = 1 + random.Index(count);
    size_t to = 1 + random.Index(count);
    if (from == to) to = from == count ? 1 : from + 1;
    table[to][1] = table[from][1];
    table[to][2] = table[from][2];
  }
  return table;
}

void WriteTable(host::Worksheet& sheet, const std::vector<std::vector<host::Value>>& table) {
  for (size_t r = 0; r < table.size(); ++r) {
    for (size_t c = 0; c < table[r].size(); ++c) {
      if (table[r][c].IsEmpty()) continue;
      sheet.SetCellValue(static_cast<int32_t>(r + 1), static_cast<int32_t>(c + 1), table[r][c]);
    }
  }
}

}  // namespace fenban::app
