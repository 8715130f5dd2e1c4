// The main window.
#pragma once

#include <QMainWindow>

namespace veltrane {

class frmMain : public QMainWindow {
    Q_OBJECT
  public:
    explicit frmMain(QWidget* parent = nullptr);
};

}  // namespace veltrane
