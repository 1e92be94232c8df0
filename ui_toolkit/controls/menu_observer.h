// The close broadcast of the pop-up menus: every open menu window of the
// process subscribes to one observer, and a menu closes the others by
// publishing a close record through it. The observer also carries what the
// application gave the root menu: its window's paint manager (where leaf
// clicks and the notifications of controls inside a menu go) and the map of
// check marks by item name.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace SkinUI {

class CPaintManagerUI;
class CUiStringPtrMap;
class MenuReceiverImpl;

// Kinds of close record.
inline constexpr std::uintptr_t kMenuCloseAll = 1;
// Closes the menu windows that lie below |window| (their parent chain meets it).
inline constexpr std::uintptr_t kMenuCloseBelow = 2;

struct MenuCloseParam {
  std::uintptr_t kind = 0;
  HWND window = nullptr;
};

class MenuMenuObserverImplBase {
 public:
  virtual ~MenuMenuObserverImplBase() = default;
  virtual void Subscribe(MenuReceiverImpl* receiver) = 0;
  virtual void Unsubscribe(MenuReceiverImpl* receiver) = 0;
  virtual BOOL Publish(MenuCloseParam param) = 0;
};

class MenuMenuReceiverImplBase {
 public:
  virtual ~MenuMenuReceiverImplBase() = default;
  virtual void OnSubscribed(MenuMenuObserverImplBase* observer) = 0;
  virtual void UnsubscribeAll() = 0;
  virtual BOOL OnPublished(MenuCloseParam param) = 0;
};

class MenuObserverImpl : public MenuMenuObserverImplBase {
 public:
  MenuObserverImpl();
  MenuObserverImpl(const MenuObserverImpl&) = delete;
  MenuObserverImpl& operator=(const MenuObserverImpl&) = delete;
  ~MenuObserverImpl() override;

  void Subscribe(MenuReceiverImpl* receiver) override;
  void Unsubscribe(MenuReceiverImpl* receiver) override;
  // Every receiver, the last subscribed first, gets its own copy. Answers FALSE.
  BOOL Publish(MenuCloseParam param) override;
  // Null leaves the stored manager.
  virtual void SetMainManager(CPaintManagerUI* manager);
  virtual CPaintManagerUI* GetMainManager() const;
  virtual void SetCheckStates(CUiStringPtrMap* states);
  virtual CUiStringPtrMap* GetCheckStates() const;

  // Open menu windows (and other receivers) in subscription order.
  const std::vector<MenuReceiverImpl*>& Receivers() const { return *receivers_; }

 private:
  std::vector<MenuReceiverImpl*>* receivers_;
  CPaintManagerUI* main_manager_ = nullptr;
  CUiStringPtrMap* check_states_ = nullptr;
};

class MenuReceiverImpl : public MenuMenuReceiverImplBase {
 public:
  MenuReceiverImpl();
  MenuReceiverImpl(const MenuReceiverImpl&) = delete;
  MenuReceiverImpl& operator=(const MenuReceiverImpl&) = delete;
  // Leaves every observer it is still subscribed to, so that no observer
  // keeps a pointer to a receiver that is gone.
  ~MenuReceiverImpl() override;

  void OnSubscribed(MenuMenuObserverImplBase* observer) override;
  void UnsubscribeAll() override;
  BOOL OnPublished(MenuCloseParam param) override;

 private:
  friend class MenuObserverImpl;
  // An observer that goes first (the process one at exit) takes itself out
  // of the lists of its receivers that remain.
  void ForgetObserver(MenuMenuObserverImplBase* observer);

  std::vector<MenuMenuObserverImplBase*>* observers_;
};

// The process-wide observer, made on first use.
MenuObserverImpl& ProcessMenuObserver();

}  // namespace SkinUI
