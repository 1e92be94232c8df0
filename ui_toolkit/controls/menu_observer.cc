#include "ui_toolkit/controls/menu_observer.h"

#include <algorithm>

namespace SkinUI {

MenuObserverImpl::MenuObserverImpl() : receivers_(new std::vector<MenuReceiverImpl*>()) {}

MenuObserverImpl::~MenuObserverImpl() {
  for (MenuReceiverImpl* receiver : *receivers_) receiver->ForgetObserver(this);
  delete receivers_;
}

void MenuObserverImpl::Subscribe(MenuReceiverImpl* receiver) {
  if (receiver == nullptr) return;
  receivers_->push_back(receiver);
  receiver->OnSubscribed(this);
}

void MenuObserverImpl::Unsubscribe(MenuReceiverImpl* receiver) {
  if (receiver == nullptr) return;
  auto it = std::find(receivers_->begin(), receivers_->end(), receiver);
  if (it != receivers_->end()) receivers_->erase(it);
}

BOOL MenuObserverImpl::Publish(MenuCloseParam param) {
  // Menu windows only post WM_CLOSE here, but a receiver that leaves during
  // the walk must not make it read past the end or skip the others.
  for (std::size_t i = receivers_->size(); i > 0;) {
    --i;
    if (i >= receivers_->size()) {
      i = receivers_->size();
      continue;
    }
    MenuCloseParam copy = param;
    (*receivers_)[i]->OnPublished(copy);
  }
  return FALSE;
}

void MenuObserverImpl::SetMainManager(CPaintManagerUI* manager) {
  if (manager != nullptr) main_manager_ = manager;
}

CPaintManagerUI* MenuObserverImpl::GetMainManager() const { return main_manager_; }

void MenuObserverImpl::SetCheckStates(CUiStringPtrMap* states) { check_states_ = states; }

CUiStringPtrMap* MenuObserverImpl::GetCheckStates() const { return check_states_; }

MenuReceiverImpl::MenuReceiverImpl() : observers_(new std::vector<MenuMenuObserverImplBase*>()) {}

MenuReceiverImpl::~MenuReceiverImpl() {
  UnsubscribeAll();
  delete observers_;
}

void MenuReceiverImpl::OnSubscribed(MenuMenuObserverImplBase* observer) { observers_->push_back(observer); }

void MenuReceiverImpl::UnsubscribeAll() {
  for (MenuMenuObserverImplBase* observer : *observers_) observer->Unsubscribe(this);
}

void MenuReceiverImpl::ForgetObserver(MenuMenuObserverImplBase* observer) {
  std::erase(*observers_, observer);
}

BOOL MenuReceiverImpl::OnPublished(MenuCloseParam) { return FALSE; }

MenuObserverImpl& ProcessMenuObserver() {
  // A function-local static gives the thread-safe one-time creation.
  static MenuObserverImpl observer;
  return observer;
}

}  // namespace SkinUI
