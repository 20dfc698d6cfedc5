#pragma once

#include <QProgressBar>

#include "thermo/progress_bar.h"

namespace velgrin {

class QtProgressBar final : public ProgressBar {
  public:
    explicit QtProgressBar(QProgressBar& bar) : bar_(bar) {}
    void setRange(int minimum, int maximum) override { bar_.setRange(minimum, maximum); }
    void setPosition(int position) override { bar_.setValue(position); }

  private:
    QProgressBar& bar_;
};

}  // namespace velgrin
