#pragma once

#include <initializer_list>
#include <vector>

#include <QPointer>
#include <QWidget>

namespace velgrin {

// Gives the keyboard focus back to the control that started a write once the write is over.
// A write disables its button for a while (and the all-thermometers write the whole row); Qt
// then moves the focus on along the tab chain, where it may land on a read-only field with its
// text selected. When the control cannot take the focus any more, the first of `fallbacks`
// that can takes it.
class FocusReturn {
  public:
    explicit FocusReturn(QWidget* started, std::initializer_list<QWidget*> fallbacks = {});
    ~FocusReturn();
    FocusReturn(const FocusReturn&) = delete;
    FocusReturn& operator=(const FocusReturn&) = delete;

  private:
    std::vector<QPointer<QWidget>> candidates_;
};

}  // namespace velgrin
