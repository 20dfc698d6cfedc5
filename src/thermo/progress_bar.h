#pragma once

namespace velgrin {

// A progress bar's range and position; its visibility goes through the control surface like
// any other control's.
class ProgressBar {
  public:
    virtual ~ProgressBar() = default;
    virtual void setRange(int minimum, int maximum) = 0;
    virtual void setPosition(int position) = 0;
};

}  // namespace velgrin
