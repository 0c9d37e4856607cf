// Preset classes over many random lists, through the whole division: every
// preset that fits is honoured, the classes keep the sizes the deal gave them,
// every student appears exactly once; presets that cannot be honoured end the
// division with a message that names them, before any sheet is added.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <string>

#include "division_world.h"

namespace fenban::division::testing {
namespace {

using host::Value;

struct PresetList {
  Table data;  // 姓名, 性别, 住校, 总分, 预设班
  int32_t k = 1;
  int32_t topN = 0;
  BalanceFlags flags;
};

PresetList MakePresetList(std::mt19937& rng) {
  auto uniform = [&](int32_t low, int32_t high) { return std::uniform_int_distribution<int32_t>(low, high)(rng); };
  auto chance = [&](double p) { return std::bernoulli_distribution(p)(rng); };
  PresetList list;
  const int32_t n = uniform(2, 160);
  list.k = uniform(1, std::min(n, 12));
  list.topN = chance(0.5) ? 0 : uniform(1, 3);
  list.flags = {false, chance(0.5), chance(0.5)};
  const int32_t totalRange = chance(0.5) ? uniform(2, 12) : 300;  // many ties or few
  // Presets crowd into a few classes, so that some of them come near or
  // beyond what a class holds.
  const int32_t favourite = uniform(1, list.k);
  const double presetShare = chance(0.5) ? 0.1 : 0.4;
  list.data.push_back({"姓名", "性别", "住校", "总分", "预设班"});
  for (int32_t i = 1; i <= n; ++i) {
    Value preset;
    if (chance(presetShare)) preset = chance(0.4) ? favourite : uniform(1, list.k);
    list.data.push_back({"学生" + std::to_string(i), chance(0.5) ? "男" : "女", chance(0.3) ? "是" : "否",
                         uniform(0, totalRange), preset});
  }
  return list;
}

// Runs a division of the list with a fixed seed; returns the world afterwards.
std::unique_ptr<DivisionWorld> Divide(const PresetList& list, uint64_t seed) {
  auto world = std::make_unique<DivisionWorld>();
  world->services.seed = seed;
  WriteTable(world->DataSheet(), list.data);
  world->form.txtFenBan.value = list.k;
  world->form.txtNMing.value = list.topN;
  world->Tick(list.flags.sex, list.flags.boarding, list.flags.current);
  world->state.NextSheetNo = 1;
  DivideClasses(world->app, world->form, world->state);
  return world;
}

// Class of every student (by name) on 分班表1.
std::map<std::string, int32_t> ClassesOnDivisionSheet(DivisionWorld& world) {
  host::Worksheet* division = world.dataBook->FindSheet("分班表1");
  if (division == nullptr) return {};
  return ClassesByKey(*division, DivisionWorld::HeaderRowOf(*division), 3);
}

std::map<int32_t, int32_t> SizesOf(const std::map<std::string, int32_t>& classes) {
  std::map<int32_t, int32_t> sizes;
  for (const auto& [name, classNo] : classes) ++sizes[classNo];
  return sizes;
}

TEST(PresetProperty, EveryPresetThatFitsIsHonouredAndTheClassSizesStay) {
  std::mt19937 rng(20261208);
  int32_t honouredLists = 0, refusedLists = 0;
  for (int32_t round = 1; round <= 150; ++round) {
    const PresetList list = MakePresetList(rng);
    const uint64_t seed = 1000u + static_cast<uint64_t>(round);
    SCOPED_TRACE("round " + std::to_string(round) + ": " + std::to_string(list.data.size() - 1) + " students, k " +
                 std::to_string(list.k) + ", N " + std::to_string(list.topN));

    // The same list without presets, dealt with the same seed, gives the sizes as dealt.
    PresetList unpreset = list;
    for (size_t r = 1; r < unpreset.data.size(); ++r) unpreset.data[r][4] = Value();
    const std::unique_ptr<DivisionWorld> plain = Divide(unpreset, seed);
    ASSERT_TRUE(plain->services.messages.empty());
    const std::map<int32_t, int32_t> dealt = SizesOf(ClassesOnDivisionSheet(*plain));

    std::map<int32_t, int32_t> wanted;
    for (size_t r = 1; r < list.data.size(); ++r) {
      if (!list.data[r][4].IsEmpty()) ++wanted[list.data[r][4].ToLong()];
    }
    bool fits = true;
    for (const auto& [classNo, count] : wanted) fits = fits && count <= (dealt.count(classNo) ? dealt.at(classNo) : 0);

    const std::unique_ptr<DivisionWorld> world = Divide(list, seed);
    EXPECT_TRUE(world->WorkingSheetsClean());
    if (!fits) {
      ++refusedLists;
      ASSERT_EQ(world->services.messages.size(), 1u);
      EXPECT_NE(world->services.messages[0].prompt.find("预设班的人数超过了班级人数"), std::string::npos);
      EXPECT_EQ(world->dataBook->SheetCount(), 1) << "no sheet is added";
      EXPECT_TRUE(world->Settings().CellValue(3, 1).IsEmpty()) << "no counter is written";
      continue;
    }
    ++honouredLists;
    ASSERT_TRUE(world->services.messages.empty()) << world->services.messages[0].prompt;
    const std::map<std::string, int32_t> classes = ClassesOnDivisionSheet(*world);
    ASSERT_EQ(classes.size(), list.data.size() - 1) << "every student exactly once";
    host::Worksheet& division = *world->dataBook->FindSheet("分班表1");
    const int32_t headerRow = DivisionWorld::HeaderRowOf(division);
    EXPECT_EQ(division.CurrentRegion(headerRow, 1).row2 - headerRow, static_cast<int32_t>(list.data.size()) - 1)
        << "no student twice";
    EXPECT_EQ(SizesOf(classes), dealt) << "class sizes as dealt";
    for (size_t r = 1; r < list.data.size(); ++r) {
      const std::string name = list.data[r][0].ToText();
      ASSERT_EQ(classes.count(name), 1u) << name;
      if (!list.data[r][4].IsEmpty()) {
        EXPECT_EQ(classes.at(name), list.data[r][4].ToLong()) << name;
      }
    }
    if (::testing::Test::HasFailure()) return;
  }
  // Both outcomes were met often enough to mean something.
  EXPECT_GE(honouredLists, 40);
  EXPECT_GE(refusedLists, 10);
}

// Divides a list of four students whose presets are given; returns the world.
std::unique_ptr<DivisionWorld> DivideWithPresets(const std::vector<Value>& presets, int32_t k) {
  PresetList list;
  list.k = k;
  list.data.push_back({"姓名", "性别", "住校", "总分", "预设班"});
  for (size_t i = 0; i < presets.size(); ++i) {
    list.data.push_back({"学生" + std::to_string(i + 1), "男", "否", 100 - static_cast<double>(i), presets[i]});
  }
  return Divide(list, 7);
}

TEST(PresetCheck, PresetsThatNameNoClassEndTheDivisionNamingEveryStudent) {
  const std::unique_ptr<DivisionWorld> world = DivideWithPresets(
      {0, -1, 3, "一班", 2.5, "2", host::Value::Boolean(true), Value(), Value(host::ErrorValue{"#N/A"})}, 2);
  ASSERT_EQ(world->services.messages.size(), 1u);
  const std::string& message = world->services.messages[0].prompt;
  EXPECT_EQ(world->services.messages[0].title, "警告");
  EXPECT_NE(message.find("预设班应为 1 到 2 的整数"), std::string::npos) << message;
  for (const char* wrong : {"第3行 学生2：“-1”", "第4行 学生3：“3”", "第5行 学生4：“一班”", "第6行 学生5：“2.5”",
                            "第8行 学生7：“TRUE”", "第10行 学生9：“#N/A”"}) {
    EXPECT_NE(message.find(wrong), std::string::npos) << wrong << " in " << message;
  }
  // 0, numeric text "2" and an empty cell are fine and not named.
  for (const char* fine : {"学生1：", "学生6：", "学生8："}) EXPECT_EQ(message.find(fine), std::string::npos) << fine;
  EXPECT_EQ(world->dataBook->SheetCount(), 1);
  EXPECT_TRUE(world->WorkingSheetsClean());
  EXPECT_TRUE(world->Settings().CellValue(3, 1).IsEmpty());
  EXPECT_TRUE(world->services.beeps.empty());
}

TEST(PresetCheck, ALongListOfWrongPresetsIsCut) {
  std::vector<Value> presets(30, Value(11));
  const std::unique_ptr<DivisionWorld> world = DivideWithPresets(presets, 10);
  ASSERT_EQ(world->services.messages.size(), 1u);
  const std::string& message = world->services.messages[0].prompt;
  EXPECT_NE(message.find("第21行 学生20"), std::string::npos);
  EXPECT_EQ(message.find("第22行"), std::string::npos);
  EXPECT_NE(message.find("……共 30 人"), std::string::npos);
}

TEST(PresetCheck, EveryStudentPresetToOneClassIsRefused) {
  std::vector<Value> presets(40, Value(1));
  const std::unique_ptr<DivisionWorld> world = DivideWithPresets(presets, 4);
  ASSERT_EQ(world->services.messages.size(), 1u);
  EXPECT_NE(world->services.messages[0].prompt.find("第1班只有 10 人，预设到该班的却有 40 人"), std::string::npos)
      << world->services.messages[0].prompt;
  EXPECT_EQ(world->dataBook->SheetCount(), 1);
}

}  // namespace
}  // namespace fenban::division::testing
