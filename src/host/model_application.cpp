#include "host/model_application.h"

#include <algorithm>
#include <exception>
#include <string>

#include "host/errors.h"

namespace fenban::host {

namespace {

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

// The active window: its settings belong to the active sheet of the active
// workbook (view) and to the workbook (tab ratio).
class ModelApplication::ModelWindow final : public Window {
 public:
  explicit ModelWindow(ModelApplication& app) : app_(app) {}

  void SetScrollRow(int32_t row) override {
    if (row < 1 || row > kMaxRows) Raise(kErrHost, "滚动行超出工作表范围");
    View().scrollRow = row;
  }
  void SetScrollColumn(int32_t column) override {
    if (column < 1 || column > kMaxColumns) Raise(kErrHost, "滚动列超出工作表范围");
    View().scrollColumn = column;
  }
  void SetTabRatio(double ratio) override { Book().SetTabRatio(ratio); }
  void SetSplitRow(int32_t rows) override {
    if (rows < 0 || rows >= kMaxRows) Raise(kErrHost, "拆分行超出工作表范围");
    View().splitRow = rows;
  }
  void SetSplitColumn(int32_t columns) override {
    if (columns < 0 || columns >= kMaxColumns) Raise(kErrHost, "拆分列超出工作表范围");
    View().splitColumn = columns;
  }
  void SetFreezePanes(bool freeze) override { View().freezePanes = freeze; }
  void SetZoom(int32_t percent) override {
    if (percent < 10 || percent > 400) Raise(kErrHost, "显示比例必须在 10 到 400 之间");
    View().zoom = percent;
  }
  int32_t ScrollRow() const override { return View().scrollRow; }
  int32_t ScrollColumn() const override { return View().scrollColumn; }
  double TabRatio() const override { return Book().TabRatio(); }
  int32_t SplitRow() const override { return View().splitRow; }
  int32_t SplitColumn() const override { return View().splitColumn; }
  bool FreezePanes() const override { return View().freezePanes; }
  int32_t Zoom() const override { return View().zoom; }

 private:
  ModelWorkbook& Book() const { return app_.ActiveModelWorkbook(); }
  SheetView& View() const {
    ModelWorkbook& book = Book();
    if (book.SheetCount() == 0) Raise(91);
    return book.ModelSheetAt(book.ActiveSheetIndex()).View();
  }
  ModelApplication& app_;
};

ModelApplication::ModelApplication(PlatformServices& services, WorkbookLoader loader)
    : services_(&services), loader_(std::move(loader)), window_(std::make_unique<ModelWindow>(*this)) {}

ModelApplication::~ModelApplication() = default;

ModelWorkbook& ModelApplication::AddWorkbook(std::unique_ptr<ModelWorkbook> book) {
  if (!book) Raise(kErrHost, "无法打开文件");
  if (FindWorkbook(book->Name()) != nullptr) Raise(kErrHost, "已经打开了同名的工作簿: " + book->Name());
  book->Attach(this);
  books_.push_back(std::move(book));
  active_ = WorkbookCount();
  return *books_.back();
}

std::unique_ptr<ModelWorkbook> ModelApplication::TakeWorkbook(const ModelWorkbook& book) {
  auto found = std::find_if(books_.begin(), books_.end(),
                            [&book](const std::unique_ptr<ModelWorkbook>& open) { return open.get() == &book; });
  if (found == books_.end()) Raise(kErrSubscript);
  const auto index = static_cast<int32_t>(found - books_.begin()) + 1;
  if (clipSheet_ != nullptr && book.IndexOf(*clipSheet_) != 0) SetClipboard(nullptr, Rect());
  std::unique_ptr<ModelWorkbook> taken = std::move(*found);
  books_.erase(found);
  taken->Attach(nullptr);
  if (active_ > index || active_ > WorkbookCount()) --active_;
  return taken;
}

ModelWorkbook& ModelApplication::ModelWorkbookAt(int32_t index) {
  if (index < 1 || index > WorkbookCount()) Raise(kErrSubscript);
  return *books_[static_cast<size_t>(index - 1)];
}

ModelWorkbook& ModelApplication::ActiveModelWorkbook() {
  if (active_ < 1 || active_ > WorkbookCount()) Raise(91);
  return *books_[static_cast<size_t>(active_ - 1)];
}

void ModelApplication::SetActiveWorkbook(Workbook& book) {
  for (size_t i = 0; i < books_.size(); ++i) {
    if (books_[i].get() == &book) {
      active_ = static_cast<int32_t>(i) + 1;
      return;
    }
  }
  Raise(kErrHost, "工作簿不属于此应用程序");
}

Workbook& ModelApplication::WorkbookAt(int32_t index) { return ModelWorkbookAt(index); }

Workbook* ModelApplication::FindWorkbook(const std::string& name) {
  for (auto& book : books_) {
    if (book->Name() == name) return book.get();
  }
  return nullptr;
}

Workbook& ModelApplication::OpenWorkbook(const std::string& path) {
  if (!loader_) Raise(kErrHost, "无法打开文件: " + path);
  if (FindWorkbook(FileNameOf(path)) != nullptr) Raise(kErrHost, "已经打开了同名的工作簿: " + FileNameOf(path));
  std::unique_ptr<ModelWorkbook> book;
  try {
    book = loader_(path);
  } catch (const RuntimeError&) {
    throw;
  } catch (const std::exception& error) {
    Raise(kErrFile, "无法打开文件: " + path + " (" + error.what() + ")");
  }
  if (!book) Raise(kErrHost, "无法打开文件: " + path);
  return AddWorkbook(std::move(book));
}

Workbook& ModelApplication::ThisWorkbook() {
  if (books_.empty()) Raise(91);
  return *books_.front();
}

Workbook& ModelApplication::ActiveWorkbook() { return ActiveModelWorkbook(); }

Window& ModelApplication::ActiveWindow() {
  ActiveModelWorkbook();  // raises when no workbook is open
  return *window_;
}

uint64_t ModelApplication::Randomize() {
  const uint64_t seed = services_->RandomSeed();
  random_.seed(seed);
  return seed;
}

double ModelApplication::Rnd() {
  // 53 random bits give every double of [0, 1) with that spacing.
  return static_cast<double>(random_() >> 11) * (1.0 / 9007199254740992.0);
}

void ModelApplication::SetClipboard(Worksheet* sheet, const Rect& area) {
  if (sheet != nullptr) CheckRect(area);
  clipSheet_ = sheet;
  clipArea_ = sheet != nullptr ? area : Rect{};
}

void ModelApplication::ForgetSheet(const Worksheet* sheet) {
  if (clipSheet_ == sheet) {
    clipSheet_ = nullptr;
    clipArea_ = Rect{};
  }
}

}  // namespace fenban::host
