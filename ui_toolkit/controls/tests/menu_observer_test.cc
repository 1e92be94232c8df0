// The close broadcast between menu windows and the records a menu hands to
// the application.
#include "ui_toolkit/controls/menu_observer.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui_toolkit/controls/menu_records.h"
#include "ui_toolkit/core/ui_string_ptr_map.h"

namespace SkinUI {
namespace {

// Records what it is told, in a log shared by every receiver of a test.
class RecordingReceiver : public MenuReceiverImpl {
 public:
  RecordingReceiver(int id, std::vector<std::pair<int, MenuCloseParam>>* log) : id_(id), log_(log) {}
  BOOL OnPublished(MenuCloseParam param) override {
    log_->push_back({id_, param});
    if (on_published) on_published();
    return TRUE;
  }
  std::function<void()> on_published;

 private:
  int id_;
  std::vector<std::pair<int, MenuCloseParam>>* log_;
};

std::vector<int> Ids(const std::vector<std::pair<int, MenuCloseParam>>& log) {
  std::vector<int> ids;
  for (const auto& entry : log) ids.push_back(entry.first);
  return ids;
}

TEST(MenuObserverTest, PublishReachesEveryReceiverLastSubscribedFirst) {
  std::vector<std::pair<int, MenuCloseParam>> log;
  RecordingReceiver a(1, &log), b(2, &log), c(3, &log);
  MenuObserverImpl observer;
  observer.Subscribe(&a);
  observer.Subscribe(nullptr);
  observer.Subscribe(&b);
  observer.Subscribe(&c);
  ASSERT_EQ(observer.Receivers().size(), 3u);

  HWND window = reinterpret_cast<HWND>(0x1234);
  EXPECT_EQ(observer.Publish({kMenuCloseBelow, window}), FALSE);
  EXPECT_EQ(Ids(log), (std::vector<int>{3, 2, 1}));
  for (const auto& [id, param] : log) {
    EXPECT_EQ(param.kind, kMenuCloseBelow);
    EXPECT_EQ(param.window, window);
  }
}

TEST(MenuObserverTest, UnsubscribeTakesOutTheFirstOccurrenceAndKeepsTheOrder) {
  std::vector<std::pair<int, MenuCloseParam>> log;
  RecordingReceiver a(1, &log), b(2, &log), c(3, &log);
  MenuObserverImpl observer;
  for (auto* r : {&a, &b, &c, &a}) observer.Subscribe(r);
  observer.Unsubscribe(&a);
  observer.Unsubscribe(nullptr);
  observer.Publish({kMenuCloseAll, nullptr});
  EXPECT_EQ(Ids(log), (std::vector<int>{1, 3, 2}));
}

TEST(MenuObserverTest, UnsubscribeAllLeavesEveryObserverTheReceiverJoined) {
  std::vector<std::pair<int, MenuCloseParam>> log;
  RecordingReceiver a(1, &log), b(2, &log);
  MenuObserverImpl first, second;
  first.Subscribe(&a);
  first.Subscribe(&b);
  second.Subscribe(&a);
  a.UnsubscribeAll();
  EXPECT_EQ(first.Receivers(), (std::vector<MenuReceiverImpl*>{&b}));
  EXPECT_TRUE(second.Receivers().empty());
  a.UnsubscribeAll();  // a second time does no harm
  EXPECT_EQ(first.Receivers().size(), 1u);
}

TEST(MenuObserverTest, AReceiverThatIsDestroyedLeavesTheObserver) {
  std::vector<std::pair<int, MenuCloseParam>> log;
  MenuObserverImpl observer;
  RecordingReceiver kept(1, &log);
  observer.Subscribe(&kept);
  {
    RecordingReceiver gone(2, &log);
    observer.Subscribe(&gone);
  }
  observer.Publish({kMenuCloseAll, nullptr});
  EXPECT_EQ(Ids(log), (std::vector<int>{1}));
}

TEST(MenuObserverTest, AReceiverOutlivingItsObserverIsDestroyedSafely) {
  std::vector<std::pair<int, MenuCloseParam>> log;
  auto receiver = std::make_unique<RecordingReceiver>(1, &log);
  {
    MenuObserverImpl observer;
    observer.Subscribe(receiver.get());
  }
  receiver->UnsubscribeAll();
  receiver.reset();
  SUCCEED();
}

TEST(MenuObserverTest, ReceiversLeavingDuringAPublishDoNotDerailIt) {
  std::vector<std::pair<int, MenuCloseParam>> log;
  MenuObserverImpl observer;
  RecordingReceiver a(1, &log), b(2, &log), c(3, &log);
  for (auto* r : {&a, &b, &c}) observer.Subscribe(r);
  // The last receiver takes itself and the one before it out when told.
  c.on_published = [&] {
    observer.Unsubscribe(&c);
    observer.Unsubscribe(&b);
  };
  observer.Publish({kMenuCloseAll, nullptr});
  EXPECT_EQ(Ids(log), (std::vector<int>{3, 1}));
}

TEST(MenuObserverTest, MainManagerIgnoresNullAndCheckStatesTakeWhatIsGiven) {
  MenuObserverImpl observer;
  auto* manager = reinterpret_cast<CPaintManagerUI*>(0x10);
  observer.SetMainManager(manager);
  observer.SetMainManager(nullptr);
  EXPECT_EQ(observer.GetMainManager(), manager);
  CUiStringPtrMap states;
  observer.SetCheckStates(&states);
  EXPECT_EQ(observer.GetCheckStates(), &states);
  observer.SetCheckStates(nullptr);
  EXPECT_EQ(observer.GetCheckStates(), nullptr);
}

TEST(MenuObserverTest, TheProcessObserverIsOneInstance) {
  EXPECT_EQ(&ProcessMenuObserver(), &ProcessMenuObserver());
}

TEST(MenuRecordsTest, ClickRecordTextsAreCutToTheirFields) {
  struct Case {
    std::size_t name, data, text;
  };
  for (Case c : {Case{0, 0, 0}, Case{255, 1023, 1023}, Case{256, 1024, 1024}, Case{5000, 5000, 5000}}) {
    std::wstring name(c.name, L'n'), data(c.data, L'd'), text(c.text, L't');
    auto record = MakeMenuClickRecord(name.c_str(), data.c_str(), text.c_str(), true);
    EXPECT_EQ(std::wstring(record->item_name), name.substr(0, 255));
    EXPECT_EQ(std::wstring(record->user_data), data.substr(0, 1023));
    EXPECT_EQ(std::wstring(record->item_text), text.substr(0, 1023));
    EXPECT_EQ(record->checked, 1);
  }
  auto empty = MakeMenuClickRecord(nullptr, nullptr, nullptr, false);
  EXPECT_EQ(empty->item_name[0], L'\0');
  EXPECT_EQ(empty->checked, 0);
}

TEST(MenuRecordsTest, APostedClickRecordReachesTheWindowAndFailedPostsReportFalse) {
  HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(PostMenuClickRecord(window, MakeMenuClickRecord(L"open", L"42", L"Open", false), 77));
  MSG msg{};
  ASSERT_TRUE(::PeekMessageW(&msg, window, kMenuClickMessage, kMenuClickMessage, PM_REMOVE));
  EXPECT_EQ(msg.lParam, 77);
  auto record = TakeMenuClickRecord(msg.wParam);
  EXPECT_STREQ(record->item_name, L"open");
  EXPECT_STREQ(record->user_data, L"42");
  EXPECT_STREQ(record->item_text, L"Open");
  ::DestroyWindow(window);
  EXPECT_FALSE(PostMenuClickRecord(window, MakeMenuClickRecord(L"x", L"", L"", false), 0));
}

TEST(MenuRecordsTest, CheckMarksAreStoredByNameInTheApplicationsMap) {
  CUiStringPtrMap states;
  EXPECT_EQ(StoreMenuCheckState(nullptr, L"bold", true), nullptr);
  EXPECT_EQ(StoreMenuCheckState(&states, L"", true), nullptr);
  EXPECT_FALSE(ReadMenuCheckState(&states, L"bold"));

  MenuCheckState* bold = StoreMenuCheckState(&states, L"bold", true);
  ASSERT_NE(bold, nullptr);
  EXPECT_STREQ(bold->item_name, L"bold");
  EXPECT_TRUE(ReadMenuCheckState(&states, L"bold"));
  EXPECT_FALSE(ReadMenuCheckState(&states, L"Bold"));  // names are case-sensitive
  EXPECT_EQ(StoreMenuCheckState(&states, L"bold", false), bold);
  EXPECT_FALSE(ReadMenuCheckState(&states, L"bold"));
  EXPECT_FALSE(ReadMenuCheckState(nullptr, L"bold"));

  std::wstring long_name(400, L'x');
  MenuCheckState* cut = StoreMenuCheckState(&states, long_name.c_str(), true);
  ASSERT_NE(cut, nullptr);
  EXPECT_EQ(std::wstring(cut->item_name), long_name.substr(0, 255));
  EXPECT_TRUE(ReadMenuCheckState(&states, long_name.c_str()));

  CUiStringPtrMap no_buckets;
  no_buckets.Resize(0);
  EXPECT_EQ(StoreMenuCheckState(&no_buckets, L"bold", true), nullptr);

  // The entries are the application's to free.
  for (int i = 0; i < states.GetSize(); ++i) delete static_cast<MenuCheckState*>(states.Find(states.GetKeyAt(i)));
}

}  // namespace
}  // namespace SkinUI
