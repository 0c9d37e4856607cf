#include "host/shared_text.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host/model_worksheet.h"

namespace fenban::host {
namespace {

TEST(SharedTextTest, NoTextReadsEmpty) {
  const SharedText none;
  EXPECT_FALSE(none);
  EXPECT_EQ(none.Str(), "");
  EXPECT_EQ(none.UseCount(), 0u);

  // An empty text is still a text.
  const SharedText empty{std::string()};
  EXPECT_TRUE(empty);
  EXPECT_EQ(empty.Str(), "");
  EXPECT_EQ(empty.UseCount(), 1u);
}

TEST(SharedTextTest, BuiltFromEachKindOfString) {
  const std::string owned = "=R1C1+1";
  EXPECT_EQ(SharedText(owned).Str(), owned);
  EXPECT_EQ(SharedText(std::string_view("张三 abc").substr(0, 6)).Str(), "张三");
  EXPECT_EQ(SharedText("=SUM(R1C1:R2C1)").Str(), "=SUM(R1C1:R2C1)");
  const SharedText text("abc");
  EXPECT_EQ(*text, "abc");
  EXPECT_EQ(text->size(), 3u);
}

TEST(SharedTextTest, CopiesShareTheTextAndOutliveTheOriginal) {
  SharedText copy;
  {
    SharedText original(std::string(100, 'x'));  // too long to sit inside std::string
    copy = original;
    EXPECT_EQ(original.UseCount(), 2u);
    EXPECT_EQ(&copy.Str(), &original.Str());
    SharedText third(copy);
    EXPECT_EQ(copy.UseCount(), 3u);
  }
  EXPECT_EQ(copy.UseCount(), 1u);
  EXPECT_EQ(copy.Str(), std::string(100, 'x'));
}

TEST(SharedTextTest, AssignmentLetsGoOfTheOldText) {
  SharedText a("first");
  SharedText b("second");
  const SharedText keepFirst(a);
  EXPECT_EQ(keepFirst.UseCount(), 2u);
  a = b;
  EXPECT_EQ(a.Str(), "second");
  EXPECT_EQ(keepFirst.UseCount(), 1u);
  EXPECT_EQ(b.UseCount(), 2u);
  // Assigning the text already held changes no count.
  a = b;
  EXPECT_EQ(b.UseCount(), 2u);
  a = SharedText();
  EXPECT_FALSE(a);
  EXPECT_EQ(b.UseCount(), 1u);
}

TEST(SharedTextTest, SelfAssignmentKeepsTheText) {
  SharedText text("=R1C1");
  SharedText& alias = text;
  text = alias;
  EXPECT_EQ(text.Str(), "=R1C1");
  EXPECT_EQ(text.UseCount(), 1u);
  text = std::move(alias);
  EXPECT_EQ(text.Str(), "=R1C1");
  EXPECT_EQ(text.UseCount(), 1u);
}

TEST(SharedTextTest, MovingStealsWithoutCounting) {
  SharedText source("moved");
  const std::string* address = &source.Str();
  SharedText target(std::move(source));
  EXPECT_FALSE(source);  // NOLINT(bugprone-use-after-move): the moved-from state is what is tested
  EXPECT_EQ(source.Str(), "");
  EXPECT_EQ(&target.Str(), address);
  EXPECT_EQ(target.UseCount(), 1u);

  SharedText other("other");
  const SharedText keepOther(other);
  other = std::move(target);
  EXPECT_FALSE(target);  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(other.Str(), "moved");
  EXPECT_EQ(other.UseCount(), 1u);
  EXPECT_EQ(keepOther.UseCount(), 1u);

  // Moving between two holders of the same text leaves one holder.
  SharedText twin(other);
  EXPECT_EQ(other.UseCount(), 2u);
  twin = std::move(other);
  EXPECT_EQ(twin.UseCount(), 1u);
  EXPECT_EQ(twin.Str(), "moved");
}

TEST(SharedTextTest, ResetDropsOneHolder) {
  SharedText a("text");
  SharedText b(a);
  a.Reset();
  EXPECT_FALSE(a);
  EXPECT_EQ(b.UseCount(), 1u);
  a.Reset();  // nothing to drop
  EXPECT_FALSE(a);
  EXPECT_EQ(b.Str(), "text");
}

TEST(SharedTextTest, ThreadsCopyingAtOnceKeepTheCount) {
  constexpr int kThreads = 4;
  constexpr size_t kCopies = 100000;
  const SharedText source(std::string(64, 'k'));
  std::vector<std::vector<SharedText>> held(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&source, &copies = held[static_cast<size_t>(t)]] {
      copies.reserve(kCopies);
      for (size_t i = 0; i < kCopies; ++i) {
        copies.push_back(source);
        // Copies made and dropped at once race with the other threads too.
        SharedText passing(source);
        passing.Reset();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(source.UseCount(), 1 + kThreads * kCopies);

  threads.clear();
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&copies = held[static_cast<size_t>(t)]] { copies.clear(); });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(source.UseCount(), 1u);
  EXPECT_EQ(source.Str(), std::string(64, 'k'));
}

TEST(CellTest, CellsAreTwentyFourBytes) {
  EXPECT_EQ(sizeof(Value), 16u);
  EXPECT_EQ(sizeof(Cell), 24u);
  // Copying a cell shares its text and keeps its formula's index.
  Cell cell;
  cell.value = Value(std::string(40, 'v'));
  cell.formula = 3;
  cell.style = 7;
  const Cell copy = cell;
  EXPECT_EQ(copy.formula, 3u);
  EXPECT_EQ(copy.value.Text().data(), cell.value.Text().data());
  EXPECT_EQ(copy.style, 7u);
}

}  // namespace
}  // namespace fenban::host
